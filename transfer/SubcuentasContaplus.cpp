// The four subaccount creators: each adds its subaccount to XSubCta unless
// the code is already there.
#include "contaplus/Subcuentas.h"
#include "platform/valores/Cp1252.h"
#include "transfer/Textos.h"
#include "transfer/Traspaso.h"

// The name and tax number come from the first invoice that needs the code; a
// Null one gives an empty column, as the dBASE file would hold it.
void Traspaso::CREAR_CLIENTE_CONTAPLUS()
{
    const QString nombre = texto_o_vacio(m.rs_fac.campo(QStringLiteral("FacCliN")));
    if (crear_subcuenta(rs_subcuentas, conexion_subcuentas,
                        fila_cliente(subcuenta_cliente, nombre, texto_o_vacio(m.rs_fac.campo(QStringLiteral("FacNifC"))))))
        anotar_nombre(nombre, QStringLiteral("subcuenta ") + subcuenta_cliente);
}

void Traspaso::anotar_nombre(const QString& nombre, const QString& donde)
{
    if (windows_1252().admite(nombre)) return;
    const QPair<QString, QString> n{nombre, donde};
    if (!resumen.nombres_sin_caracteres.contains(n)) resumen.nombres_sin_caracteres.append(n);
}

void Traspaso::CREAR_VENTAS_CONTAPLUS2()
{
    crear_subcuenta(rs_subcuentas, conexion_subcuentas, fila_ventas(subcuenta));
}

void Traspaso::CREAR_CUENTA_TASA()
{
    crear_subcuenta(rs_subcuentas, conexion_subcuentas, fila_tasa(m.cuenta_tasa));
}

void Traspaso::CREAR_IVA_CONTAPLUS()
{
    crear_subcuenta(rs_subcuentas, conexion_subcuentas, fila_iva(subcuenta, porcentaje_iva));
}
