#include "contaplus/FilaDiario.h"
#include "platform/Vb.h"

void nueva_fila_diario(Recordset& rs, Conexion& conexion_diario, double asien,
                       const QDate& fecha)
{
    rs.cerrar();
    rs.abrir(QStringLiteral("SELECT * FROM Xdiario"), conexion_diario, Cursor::Dinamico,
             Bloqueo::Optimista);
    rs.nuevo();
    rs.asignar(QStringLiteral("Asien"), asien);
    rs.asignar(QStringLiteral("Fecha"), fecha);
}

void asignar_linea(Recordset& rs, const LineaDiario& l)
{
    const QString vacio;
    rs.asignar(QStringLiteral("subcta"), l.subcta);
    rs.asignar(QStringLiteral("Contra"), l.contra);
    rs.asignar(QStringLiteral("PtaDebe"), l.pta_debe);
    rs.asignar(QStringLiteral("Concepto"), l.concepto);
    rs.asignar(QStringLiteral("PtaHaber"), l.pta_haber);
    rs.asignar(QStringLiteral("Factura"), l.factura);
    rs.asignar(QStringLiteral("BaseImpo"), l.base_impo);
    rs.asignar(QStringLiteral("iva"), l.iva);
    rs.asignar(QStringLiteral("Recequiv"), 0);
    rs.asignar(QStringLiteral("Documento"), l.documento);
    rs.asignar(QStringLiteral("Departa"), vacio);
    rs.asignar(QStringLiteral("Clave"), vacio);
    rs.asignar(QStringLiteral("estado"), vacio);
    rs.asignar(QStringLiteral("Ncasado"), 0);
    rs.asignar(QStringLiteral("Tcasado"), 0);
    rs.asignar(QStringLiteral("Trans"), 0);
    rs.asignar(QStringLiteral("Cambio"), 0);
    rs.asignar(QStringLiteral("DebeMe"), 0);
    rs.asignar(QStringLiteral("HaberMe"), 0);
    rs.asignar(QStringLiteral("Auxiliar"), l.auxiliar);
    rs.asignar(QStringLiteral("Serie"), l.serie);
    rs.asignar(QStringLiteral("Sucursal"), vacio);
    rs.asignar(QStringLiteral("CodDivisa"), vacio);
    rs.asignar(QStringLiteral("ImpAuxMe"), 0);
    rs.asignar(QStringLiteral("MonedaUso"), l.moneda_uso);
    rs.asignar(QStringLiteral("EuroDebe"), l.euro_debe);
    rs.asignar(QStringLiteral("EuroHaber"), l.euro_haber);
    rs.asignar(QStringLiteral("BaseEuro"), l.base_euro);
}

void anadir_linea(Recordset& rs, Conexion& conexion_diario, double asien, const QDate& fecha,
                  const LineaDiario& linea)
{
    nueva_fila_diario(rs, conexion_diario, asien, fecha);
    asignar_linea(rs, linea);
    rs.guardar();
}

QString unir(const QString& texto, const QVariant& campo)
{
    return vb::esNulo(campo) ? texto : texto + vb::texto(campo);
}
