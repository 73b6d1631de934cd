#pragma once
// The invoice pass of a run: the range's invoices selected, forced closings,
// each stageable invoice staged in fac with the deposit it carries in edep,
// and a staged invoice not posted yet refreshed from what the hotel holds.
#include "platform/sql/Recordset.h"
#include "transfer/ContextoPaso.h"
#include "transfer/CuentasCliente.h"
#include "transfer/FilasHotel.h"
#include "transfer/PuntoDurable.h"
#include <QString>

class PasoFacturas {
public:
    // `desde` and `hasta`: the range, aaaammdd.
    PasoFacturas(ContextoPaso& c, CuentasCliente& cuentas, Durabilidad& durabilidad, const QString& desde,
                 const QString& hasta);

    // Selects the range's invoices; false when there is none.
    bool seleccionar();
    // Invoice pass over the selected invoices.
    void pasar_facturas();

private:
    ContextoPaso& c_;
    CuentasCliente& cuentas_;
    Durabilidad& durabilidad_;
    const QString desde_, hasta_;
    Recordset rs_emi_, rs_cab_, rs_fac_, rs_edep_;
};

// Staging of a hotel invoice (PrepararFactura.cpp). crear_fac adds the fac
// row of `factura`, numbered `numero`, to `fac` and returns its customer
// subaccount.
QString crear_fac(Recordset& fac, const FacturaHotel& factura, const QString& numero, const AjustesEnlace& ajustes,
                  CuentasCliente& cuentas);
// The staged row under `fac`, not posted, given the amounts the hotel now
// holds for it; true when any changed.
bool refrescar_importes(Recordset& fac, const FacturaHotel& factura);
// Whether the staged row under `fac` makes an entry that balances.
bool cuadra_preparada(Recordset& fac);
