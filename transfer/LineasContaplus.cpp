// The four lines of an invoice entry. The posting has set the entry's
// number and date; each filler makes the other 28 columns from m.rs_fac and
// the window variables and leaves the writing to the posting. A value that
// does not fit its column leaves the line unwritten.
#include "contaplus/LineasFactura.h"
#include "transfer/Traspaso.h"

void Traspaso::MOVER_DATOS_CLIENTE_CONTAPLUS()
{
    linea_pendiente = (linea_cliente(m.rs_fac.campo(QStringLiteral("FacFra")), subcuenta_cliente,
                                           m.rs_fac.campo(QStringLiteral("FacTotal"))));
}

void Traspaso::MOVER_DATOS_TASA_CONTAPLUS()
{
    linea_pendiente = (linea_tasa(m.rs_fac.campo(QStringLiteral("FacFra")), m.cuenta_tasa,
                                        m.rs_fac.campo(QStringLiteral("ImporteTasa"))));
}

void Traspaso::MOVER_DATOS_VENTAS_CONTAPLUS2()
{
    linea_pendiente = (linea_ventas(m.rs_fac.campo(QStringLiteral("FacFra")), subcuenta, importe_ventas));
}

void Traspaso::MOVER_DATOS_IVA_CONTAPLUS()
{
    linea_pendiente = (linea_iva(m.rs_fac.campo(QStringLiteral("FacFra")), subcuenta,
                                       m.rs_fac.campo(QStringLiteral("FacCtaC")), cuota_iva, base_imponible,
                                       porcentaje_iva));
}
