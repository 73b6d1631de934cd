// The four subaccount creators: each adds its subaccount to XSubCta unless
// the code is already there.
#include "contaplus/Subcuentas.h"
#include "platform/valores/Cp1252.h"
#include "transfer/Contabilizar.h"
#include "transfer/Textos.h"

// The name and tax number come from the first invoice that needs the code; a
// Null one gives an empty column, as the dBASE file would hold it.
void Contabilizacion::CREAR_CLIENTE_CONTAPLUS(const FacturaPreparada& factura, const QString& subcuenta_cliente)
{
    const QString nombre = texto_o_vacio(factura.nombre);
    if (crear_subcuenta(contaplus_.rs_subcuentas, contaplus_.conexion_subcuentas,
                        fila_cliente(subcuenta_cliente, nombre, texto_o_vacio(factura.nif))))
        anotar_nombre(c_.resumen, nombre, QStringLiteral("subcuenta ") + subcuenta_cliente);
}

void anotar_nombre(ResumenTraspaso& resumen, const QString& nombre, const QString& donde)
{
    if (windows_1252().admite(nombre)) return;
    const QPair<QString, QString> n{nombre, donde};
    if (!resumen.nombres_sin_caracteres.contains(n)) resumen.nombres_sin_caracteres.append(n);
}

void Contabilizacion::CREAR_VENTAS_CONTAPLUS2(const QString& subcuenta)
{
    crear_subcuenta(contaplus_.rs_subcuentas, contaplus_.conexion_subcuentas, fila_ventas(subcuenta));
}

void Contabilizacion::CREAR_CUENTA_TASA()
{
    crear_subcuenta(contaplus_.rs_subcuentas, contaplus_.conexion_subcuentas, fila_tasa(c_.ajustes.cuenta_tasa));
}

void Contabilizacion::CREAR_IVA_CONTAPLUS(const QString& subcuenta, double porcentaje_iva)
{
    crear_subcuenta(contaplus_.rs_subcuentas, contaplus_.conexion_subcuentas, fila_iva(subcuenta, porcentaje_iva));
}
