// The four lines of an invoice entry. The posting numbers and dates them;
// each filler makes the other 28 columns from the staged invoice and the
// values it is given. A value that does not fit its column
// leaves the line unwritten.
#include "contaplus/LineasFactura.h"
#include "transfer/Contabilizar.h"

LineaDiario Contabilizacion::MOVER_DATOS_CLIENTE_CONTAPLUS(const FacturaPreparada& factura,
                                                           const QString& subcuenta_cliente)
{
    return linea_cliente(factura.numero, subcuenta_cliente, factura.total);
}

LineaDiario Contabilizacion::MOVER_DATOS_TASA_CONTAPLUS(const FacturaPreparada& factura)
{
    return linea_tasa(factura.numero, c_.ajustes.cuenta_tasa, factura.tasa);
}

LineaDiario Contabilizacion::MOVER_DATOS_VENTAS_CONTAPLUS2(const FacturaPreparada& factura, const QString& subcuenta,
                                                           double importe_ventas)
{
    return linea_ventas(factura.numero, subcuenta, importe_ventas);
}

LineaDiario Contabilizacion::MOVER_DATOS_IVA_CONTAPLUS(const FacturaPreparada& factura, const QString& subcuenta,
                                                       double cuota_iva, double base_imponible, double porcentaje_iva)
{
    return linea_iva(factura.numero, subcuenta, factura.cuenta_cliente, cuota_iva, base_imponible, porcentaje_iva);
}
