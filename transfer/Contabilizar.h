#pragma once
// The posting of invoices: every staged invoice not posted yet becomes one
// journal entry in Xdiario, its subaccounts added to XSubCta when the
// company lacks them, and is marked posted in fac; one whose entry does not
// balance leaves nothing and stays staged.
#include "contaplus/FilaDiario.h"
#include "platform/sql/Recordset.h"
#include "transfer/ContaplusAbierto.h"
#include "transfer/ContextoPaso.h"
#include "transfer/FilasHotel.h"
#include "transfer/PuntoDurable.h"
#include <QString>

class Contabilizacion {
public:
    // `cuenta_ventas_defecto`: where the sales the services do not explain go.
    Contabilizacion(ContextoPaso& c, ContaplusAbierto& contaplus, Durabilidad& durabilidad,
                    const QString& cuenta_ventas_defecto);

    // Posts the staged invoices; returns how many were left out unbalanced.
    int contabilizar();

    // The sales lines of the staged invoice, rebuilt in fal from the
    // services charged on it.
    void generar_fal(const FacturaPreparada& factura, const QString& w_eje, const QString& w_numero);

    // Subaccounts, added to XSubCta unless the code is already there.
    void CREAR_CLIENTE_CONTAPLUS(const FacturaPreparada& factura, const QString& subcuenta_cliente);
    void CREAR_VENTAS_CONTAPLUS2(const QString& subcuenta);
    void CREAR_CUENTA_TASA();
    void CREAR_IVA_CONTAPLUS(const QString& subcuenta, double porcentaje_iva);

    // The lines of an invoice entry, from the staged invoice; the posting
    // numbers, dates and writes them.
    LineaDiario MOVER_DATOS_CLIENTE_CONTAPLUS(const FacturaPreparada& factura, const QString& subcuenta_cliente);
    LineaDiario MOVER_DATOS_TASA_CONTAPLUS(const FacturaPreparada& factura);
    LineaDiario MOVER_DATOS_VENTAS_CONTAPLUS2(const FacturaPreparada& factura, const QString& subcuenta,
                                              double importe_ventas);
    LineaDiario MOVER_DATOS_IVA_CONTAPLUS(const FacturaPreparada& factura, const QString& subcuenta, double cuota_iva,
                                          double base_imponible, double porcentaje_iva);

    // The staged invoices' cursor, for a caller that stands it on a row,
    // and the sales lines' cursor generar_fal leaves open.
    Recordset& fac() { return rs_fac_; }
    Recordset& fal() { return rs_fal_; }

private:
    struct Sumas;
    class Conocidas;
    Sumas asentar_factura(const FacturaPreparada& fac, Conocidas& conocidas, qint32 n_apunte);

    ContextoPaso& c_;
    ContaplusAbierto& contaplus_;
    Durabilidad& durabilidad_;
    const QString cuenta_ventas_defecto_;
    Recordset rs_fac_, rs_fal_, rs_emi_, rs_hiscadia_;
};
