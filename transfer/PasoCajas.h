#pragma once
// The cash pass of a run: the range's receipts staged in cajj (invoice
// payments and deposit collections) and marked in caja, and the receipts
// whose invoice is not found, left for the clerk.
#include "platform/sql/Recordset.h"
#include "transfer/ContextoPaso.h"
#include "transfer/CuentasCliente.h"
#include "transfer/PuntoDurable.h"
#include <QSet>
#include <QString>

class PasoCajas {
public:
    // `desde` and `hasta`: the range, aaaammdd.
    PasoCajas(ContextoPaso& c, CuentasCliente& cuentas, Durabilidad& durabilidad, const QString& desde,
              const QString& hasta);

    // The receipts earlier runs left for the clerk (cobros_sin_factura),
    // told in the log and in the run's summary; their keys, day and order.
    // Those this run finds go to the summary too.
    QSet<QString> cobros_anteriores();
    // Cash pass: the range's receipts staged in cajj and marked in caja;
    // those in `avisados` are not told again.
    void pasar_cajas(const QSet<QString>& avisados);

private:
    ContextoPaso& c_;
    CuentasCliente& cuentas_;
    Durabilidad& durabilidad_;
    const QString desde_, hasta_;
    Recordset rs_caja_, rs_cajj_, rs_emi_;
};
