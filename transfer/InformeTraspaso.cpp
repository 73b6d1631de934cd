// The run's side of its report: the summary filled from the run, and the
// report asked for with the run's values.
#include "transfer/InformeTraspaso.h"

#include "platform/sistema/Fallo.h"
#include "platform/valores/Vb.h"
#include "report/CifrasTraspaso.h"
#include "report/InformeTraspaso.h"
#include "transfer/CuentasCliente.h"
#include "transfer/Traspaso.h"

#include <QMap>

namespace {

// A Windows folder and a file name in it, whether the folder ends in "\" or not.
QString en_carpeta(const QString& carpeta, const QString& nombre)
{
    return carpeta.endsWith(QLatin1Char('\\')) ? carpeta + nombre : carpeta + QLatin1Char('\\') + nombre;
}

// The company's name from the hotel's emp table; empty when it has none.
QString nombre_empresa(Module1& m)
{
    try {
        Recordset rs;
        rs.abrir(QStringLiteral("SELECT EmpNom FROM emp WHERE EmpCod = ?"), m.hotel(m.conexion_emp), Cursor::Dinamico,
                 Bloqueo::SoloLectura, {m.empresa});
        return rs.eof() ? QString() : vb::texto_o_vacio(rs.campo(QStringLiteral("EmpNom"))).trimmed();
    } catch (const Fallo&) {
        return {};  // the report goes without it
    }
}

// Payment method names by the subaccount they post to, by cuenta_cobro's
// rule (cuenta_cobro itself would change the run's descripcion_cobro).
QMap<QString, QStringList> formas_por_cuenta(const Traspaso& t)
{
    QMap<QString, QStringList> formas;
    Module1& m = t.m;
    try {
        Recordset rs;
        rs.abrir(QStringLiteral("SELECT * FROM formas ORDER BY ForCod"), m.hotel(m.conexion_formas), Cursor::Dinamico,
                 Bloqueo::SoloLectura);
        for (; !rs.eof(); rs.siguiente()) {
            const QString nombre = vb::texto_o_vacio(rs.campo(QStringLiteral("ForDes"))).trimmed();
            QStringList& nombres = formas[cuenta_de_forma(t.m, rs.campo(QStringLiteral("ForCta")))];
            if (!nombre.isEmpty() && !nombres.contains(nombre)) nombres << nombre;
        }
    } catch (const Fallo&) {
        // Named from the lines' concepts instead.
    }
    return formas;
}

}  // namespace

QString Traspaso::fichero_diario_local() const
{
    return local(en_carpeta(carpeta_ficheros(), QStringLiteral("Xdiario.dbf")));
}

QString Traspaso::fichero_subcuentas_local() const
{
    return local(en_carpeta(carpeta_ficheros(), QStringLiteral("XSubCta.dbf")));
}

void empezar_resumen(Traspaso& t)
{
    ResumenTraspaso r;
    r.simulacion = t.resumen.simulacion;
    r.ruta_hotel = t.m.unidad + QStringLiteral(":\\quelmira");
    r.ruta_contaplus = t.m.ruta_contaplus;
    r.carpeta_ficheros = t.carpeta_ficheros();
    // The company of the files the activation opened.
    r.empresa = t.codigo_empresa.isEmpty() ? codigo_contaplus(t.m.empresa) : t.codigo_empresa;
    r.nombre_empresa = nombre_empresa(t.m);
    r.externa = t.m.externa;
    r.desde = t.fecha_desde;
    r.hasta = t.fecha_hasta;
    r.inicio = t.ahora();
    r.reloj.start();
    t.resumen = r;
}

void contar_registros(Traspaso& t)
{
    contar_registros(t.resumen, t.contaplus.conexion_diario, t.contaplus.conexion_subcuentas);
}

OrigenInforme origen_informe(const Traspaso& t)
{
    OrigenInforme o;
    o.diario = t.fichero_diario_local();
    o.subcuentas = t.fichero_subcuentas_local();
    o.subcuentas_empresa =
        t.local(carpeta_empresa(t.m.ruta_contaplus, t.resumen.empresa) + QStringLiteral("\\SubCta.dbf"));
    o.formas = [&t] { return formas_por_cuenta(t); };
    return o;
}

void dejar_informe(Traspaso& t, FinTraspaso como)
{
    t.informe = dejar_informe(t.resumen, {como, t.detenido, t.ahora(), t.nombre_registro}, origen_informe(t),
                              t.m.unidades, t.m.interlocutor);
}
