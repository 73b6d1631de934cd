// The four lines of an invoice entry. The posting has opened rs_diario,
// added the row and set Asien and Fecha; each filler sets the other 28
// columns from m.rs_fac and the window variables and leaves the saving to
// the posting. A failed conversion leaves the row unsaved.
#include "contaplus/LineasFactura.h"
#include "transfer/Traspaso.h"

void Traspaso::MOVER_DATOS_CLIENTE_CONTAPLUS()
{
    asignar_linea(rs_diario, linea_cliente(m.rs_fac.campo(QStringLiteral("FacFra")), subcuenta_cliente,
                                           m.rs_fac.campo(QStringLiteral("FacTotal"))));
}

void Traspaso::MOVER_DATOS_TASA_CONTAPLUS()
{
    asignar_linea(rs_diario, linea_tasa(m.rs_fac.campo(QStringLiteral("FacFra")), m.cuenta_tasa,
                                        m.rs_fac.campo(QStringLiteral("ImporteTasa"))));
}

void Traspaso::MOVER_DATOS_VENTAS_CONTAPLUS2()
{
    asignar_linea(rs_diario, linea_ventas(m.rs_fac.campo(QStringLiteral("FacFra")), subcuenta, importe_ventas));
}

void Traspaso::MOVER_DATOS_IVA_CONTAPLUS()
{
    asignar_linea(rs_diario, linea_iva(m.rs_fac.campo(QStringLiteral("FacFra")), subcuenta,
                                       m.rs_fac.campo(QStringLiteral("FacCtaC")), cuota_iva, base_imponible,
                                       porcentaje_iva));
}
