#pragma once
// One journal line of Xdiario. Every line the link writes sets the same 30
// columns, found by name, and no other: Asien and Fecha, which the entry's lines
// share, and the 28 below. The defaults are the values of a cash or deposit
// line; an invoice line differs in Auxiliar and MonedaUso and fills the
// peseta columns.
#include "platform/motor/FilaDirecta.h"
#include "platform/sql/Conexion.h"
#include <QDate>
#include <QString>
#include <QVariant>
#include <array>

struct LineaDiario {
    QVariant subcta;
    QVariant contra = QString();
    qint32 pta_debe = 0;
    QString concepto;
    qint32 pta_haber = 0;
    QVariant factura = 0;
    qint32 base_impo = 0;
    QVariant iva = 0;
    QVariant documento = QString();
    QString auxiliar;  // "*" on invoice lines
    QString serie;     // "G" on VAT lines
    QVariant moneda_uso = QStringLiteral("2");
    QVariant euro_debe = 0;
    QVariant euro_haber = 0;
    QVariant base_euro = 0;
};

// EuroDebe and EuroHaber of a line as written.
struct ImportesLinea {
    double debe = 0, haber = 0;
};

// Appends whole lines to Xdiario: Asien, Fecha and the 28 columns of a
// LineaDiario, each value converted to its column's type as a recordset's
// asignar() does and in the same order, so the first value that does not
// fit is the one named and nothing is written. Each line is one record
// written by the columns' places, found once per set of columns the engine
// gives (a journal reopened after another program's change is found again),
// its values put straight into the record where the engine can (see
// FilaDirecta); no recordset is opened, nothing is read.
class EscritorDiario {
public:
    static constexpr int COLUMNAS = 30;

    // With `importes`, the line's EuroDebe and EuroHaber, as numbers (a Null
    // one fails before anything is written).
    void anadir(Conexion& conexion_diario, qint32 asien, const QDate& fecha, const LineaDiario& linea,
                ImportesLinea* importes = nullptr);

private:
    QVector<Columna> columnas_;
    QVector<int> indices_;  // by the order the columns are set in
    QVector<int> lugares_;  // of each, in the table's order
    // The line's values in the table's order, kept from line to line: the
    // fixed ones (zeros and empty texts) stay converted once a whole line
    // has converted.
    std::array<ValorDirecto, COLUMNAS> valores_d_;
    // By place: the last value that needed converting and what it gave,
    // where a converted value points.
    struct Convertido {
        bool hecho = false;
        QVariant origen, valor;
    };
    std::array<Convertido, COLUMNAS> convertidos_;
    std::array<QVariant, COLUMNAS> propios_;  // a value of the line's own type, when it needs converting
    bool fijos_ = false;
    // For an engine without FilaDirecta: the row handed to it, kept from
    // line to line (the columns a line never sets stay unset).
    QVariantList valores_;
    QVector<bool> asignada_;
};

// Text joined to a field as the runtime's & does: a Null adds nothing.
QString unir(const QString& texto, const QVariant& campo);
