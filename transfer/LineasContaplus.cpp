// The four lines of an invoice entry. The posting numbers and dates them;
// each filler makes the other 28 columns from the staged invoice under
// rs_fac_ and the values it is given. A value that does not fit its column
// leaves the line unwritten.
#include "contaplus/LineasFactura.h"
#include "transfer/Contabilizar.h"

LineaDiario Contabilizacion::MOVER_DATOS_CLIENTE_CONTAPLUS(const QString& subcuenta_cliente)
{
    return linea_cliente(rs_fac_.campo(QStringLiteral("FacFra")), subcuenta_cliente,
                         rs_fac_.campo(QStringLiteral("FacTotal")));
}

LineaDiario Contabilizacion::MOVER_DATOS_TASA_CONTAPLUS()
{
    return linea_tasa(rs_fac_.campo(QStringLiteral("FacFra")), c_.ajustes.cuenta_tasa,
                      rs_fac_.campo(QStringLiteral("ImporteTasa")));
}

LineaDiario Contabilizacion::MOVER_DATOS_VENTAS_CONTAPLUS2(const QString& subcuenta, double importe_ventas)
{
    return linea_ventas(rs_fac_.campo(QStringLiteral("FacFra")), subcuenta, importe_ventas);
}

LineaDiario Contabilizacion::MOVER_DATOS_IVA_CONTAPLUS(const QString& subcuenta, double cuota_iva,
                                                       double base_imponible, double porcentaje_iva)
{
    return linea_iva(rs_fac_.campo(QStringLiteral("FacFra")), subcuenta, rs_fac_.campo(QStringLiteral("FacCtaC")),
                     cuota_iva, base_imponible, porcentaje_iva);
}
