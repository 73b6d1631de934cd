#pragma once
// The invoices the receipts of one day pay, read together: one statement per
// year of the day's receipts, their numbers in lists of up to 256, instead
// of one lookup per receipt; on a server each statement is a round trip.
// Kept for that day only, so memory follows the day, not the year. An
// invoice not among them is looked up alone as before, so a number the
// server matches otherwise than by its exact text (case, trailing blanks)
// still finds what the lookup finds.
#include "platform/sql/Conexion.h"
#include "transfer/FilasHotel.h"
#include <QHash>
#include <QString>
#include <QVariant>
#include <QVector>
#include <optional>

class FacturasDeCobros {
public:
    // The invoices of `claves` (year and number, as the texts the lookup
    // binds; Null ones are left out), replacing those of the day before.
    void leer(Conexion& emi, const QVector<std::pair<QVariant, QVariant>>& claves);
    // The customer of the invoice of that year and number, when it was read.
    std::optional<ClienteFactura> buscar(const QVariant& ano, const QVariant& numero) const;
    // The invoices read, for the customers' lookups to read theirs together.
    const QHash<QString, ClienteFactura>& leidas() const { return leidas_; }

private:
    QHash<QString, ClienteFactura> leidas_;  // by year|number
};

// "?, ?, ?": the parameters of an IN list of `n` values.
QString lista_de_parametros(int n);
// The length of the IN list for `n` values: 1, 2, 4 ... 256, so that few
// statement texts are prepared; the list is filled up with its last value.
int largo_de_lista(int n);
// The values of an IN list: `n` of `valores` from `desde`, filled up to
// `largo` with the last of them.
QVariantList valores_de_lista(const QStringList& valores, qsizetype desde, int n, int largo);
