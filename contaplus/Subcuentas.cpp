#include "contaplus/Subcuentas.h"
#include "platform/valores/Vb.h"

namespace {

// Closes `rs` and opens it on the code's row, if any, to add to it. The code
// is bound, not pasted: a code with an apostrophe is looked up like any other.
bool falta_subcuenta(Recordset& rs, Conexion& conexion, const QString& cod)
{
    rs.cerrar();
    rs.abrir(QStringLiteral("SELECT * FROM xsubcta WHERE COD = ?"), conexion, Cursor::Dinamico, Bloqueo::Optimista,
             {cod});
    return rs.eof();
}

// Adds and saves the row of a missing code; its 12 columns in file order.
void anadir_subcuenta(Recordset& rs, const FilaSubcuenta& f)
{
    const QString vacio;
    rs.nuevo();
    rs.asignar(QStringLiteral("COD"), f.cod);
    rs.asignar(QStringLiteral("TITULO"), f.titulo);
    rs.asignar(QStringLiteral("NIF"), f.nif);
    rs.asignar(QStringLiteral("DOMICILIO"), vacio);
    rs.asignar(QStringLiteral("POBLACION"), vacio);
    rs.asignar(QStringLiteral("PROVINCIA"), vacio);
    rs.asignar(QStringLiteral("CODPOSTAL"), vacio);
    rs.asignar(QStringLiteral("DIVISA"), false);
    rs.asignar(QStringLiteral("CodDivisa"), vacio);
    rs.asignar(QStringLiteral("Documento"), false);
    rs.asignar(QStringLiteral("AJUSTAME"), false);
    rs.asignar(QStringLiteral("TIPOIVA"), f.tipoiva);
    rs.guardar();
}

}  // namespace

FilaSubcuenta fila_cliente(const QString& cod, const QString& nombre, const QString& nif)
{
    return {cod, nombre, nif, QString()};
}

FilaSubcuenta fila_ventas(const QString& cod)
{
    return {cod, QStringLiteral("INGRESOS ?????"), QString(), QString()};
}

FilaSubcuenta fila_tasa(const QString& cod)
{
    return {cod, QStringLiteral("Tasa Turística EET"), QString(), QStringLiteral("G")};
}

FilaSubcuenta fila_iva(const QString& cod, double porcentaje)
{
    return {cod, QStringLiteral("IVA REPERCUTIDO ") + vb::CStr(porcentaje) + QStringLiteral(" %"), QString(),
            QStringLiteral("G")};
}

bool crear_subcuenta(Recordset& rs, Conexion& conexion_subcuentas, const FilaSubcuenta& fila)
{
    const bool falta = falta_subcuenta(rs, conexion_subcuentas, fila.cod);
    if (falta) anadir_subcuenta(rs, fila);
    rs.cerrar();
    return falta;
}
