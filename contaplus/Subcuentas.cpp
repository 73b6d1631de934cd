// The four subaccount creators. Each adds its subaccount to XSubCta unless a
// row with the same code is already there, so a code is never added twice
// and an existing row is never changed.
#include "platform/Vb.h"
#include "transfer/Traspaso.h"

namespace {

// A Null name or tax number of the invoice gives an empty column, as the
// dBASE file would hold it, rather than a failed transfer.
QString texto_o_vacio(const QVariant& v)
{
    return vb::esNulo(v) ? QString() : vb::texto(v);
}

// Closes `rs` and opens it on the code's row, if any, to add to it. The code
// is bound, not pasted: a code with an apostrophe is looked up like any other.
bool falta_subcuenta(Recordset& rs, Conexion& conexion, const QString& cod)
{
    rs.cerrar();
    rs.abrir(QStringLiteral("SELECT * FROM xsubcta WHERE COD = ?"), conexion, Cursor::Dinamico,
             Bloqueo::Optimista, {cod});
    return rs.eof();
}

// Adds and saves the row of a missing code; its 12 columns in file order.
void anadir_subcuenta(Recordset& rs, const QString& cod, const QString& titulo,
                      const QString& nif, const QString& tipoiva)
{
    const QString vacio;
    rs.nuevo();
    rs.asignar(QStringLiteral("COD"), cod);
    rs.asignar(QStringLiteral("TITULO"), titulo);
    rs.asignar(QStringLiteral("NIF"), nif);
    rs.asignar(QStringLiteral("DOMICILIO"), vacio);
    rs.asignar(QStringLiteral("POBLACION"), vacio);
    rs.asignar(QStringLiteral("PROVINCIA"), vacio);
    rs.asignar(QStringLiteral("CODPOSTAL"), vacio);
    rs.asignar(QStringLiteral("DIVISA"), false);
    rs.asignar(QStringLiteral("CodDivisa"), vacio);
    rs.asignar(QStringLiteral("Documento"), false);
    rs.asignar(QStringLiteral("AJUSTAME"), false);
    rs.asignar(QStringLiteral("TIPOIVA"), tipoiva);
    rs.guardar();
}

}  // namespace

// The name and tax number come from the first invoice that needs the code.
void Traspaso::CREAR_CLIENTE_CONTAPLUS()
{
    if (falta_subcuenta(rs_subcuentas, conexion_subcuentas, subcuenta_cliente))
        anadir_subcuenta(rs_subcuentas, subcuenta_cliente,
                         texto_o_vacio(m.rs_fac.campo(QStringLiteral("FacCliN"))),
                         texto_o_vacio(m.rs_fac.campo(QStringLiteral("FacNifC"))), QString());
    rs_subcuentas.cerrar();
}

void Traspaso::CREAR_VENTAS_CONTAPLUS2()
{
    if (falta_subcuenta(rs_subcuentas, conexion_subcuentas, subcuenta))
        anadir_subcuenta(rs_subcuentas, subcuenta, QStringLiteral("INGRESOS ?????"), QString(),
                         QString());
    rs_subcuentas.cerrar();
}

void Traspaso::CREAR_CUENTA_TASA()
{
    if (falta_subcuenta(rs_subcuentas, conexion_subcuentas, m.cuenta_tasa))
        anadir_subcuenta(rs_subcuentas, m.cuenta_tasa, QStringLiteral("Tasa Turística EET"),
                         QString(), QStringLiteral("G"));
    rs_subcuentas.cerrar();
}

// The title writes the rate as the Spanish locale does: 21, 7, 10,5.
void Traspaso::CREAR_IVA_CONTAPLUS()
{
    if (falta_subcuenta(rs_subcuentas, conexion_subcuentas, subcuenta))
        anadir_subcuenta(rs_subcuentas, subcuenta,
                         QStringLiteral("IVA REPERCUTIDO ") + vb::CStr(porcentaje_iva) +
                             QStringLiteral(" %"),
                         QString(), QStringLiteral("G"));
    rs_subcuentas.cerrar();
}
