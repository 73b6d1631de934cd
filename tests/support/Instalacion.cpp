// A hotel installation in a temporary folder for the tests, built from the
// same schema as the demo, with the ContaPlus side in place.
#include "tests/support/Instalacion.h"

#include "contaplus/Plantillas.h"
#include "demo/EsquemaHotel.h"
#include "demo/GeneradorDemo.h"
#include "platform/sistema/Fallo.h"
#include "platform/sql/Conexion.h"
#include "platform/sql/Recordset.h"
#include "tests/support/Odbc.h"

#include <QDir>

namespace {

QString identificador(const QString& nombre)
{
    return '"' + QString(nombre).replace('"', "\"\"") + '"';
}

}  // namespace

Instalacion::Instalacion(bool modo_sql, QChar unidad) : modo_sql_(modo_sql), unidad_(unidad.toUpper())
{
    if (!dir_.isValid()) throw Fallo(codigo_error::ERROR_DE_ARCHIVO, "No se puede crear la carpeta temporal.");
    // Registered whatever the mode: the driver manager reads its driver
    // list once, so it must be in place before the first ODBC connection
    // of the process, even one that is meant to fail.
    registrar_sql_native_client();

    esquema::OpcionesInstalacion o;
    o.unidad = unidad_;
    o.modo_sql = modo_sql_;
    o.catalogo_local = catalogo();
    esquema::crear_instalacion(unidades(), o);
    preparar_contaplus();
}

Instalacion::Instalacion(const Demo& demo) : modo_sql_(false), unidad_('C')
{
    if (!dir_.isValid()) throw Fallo(codigo_error::ERROR_DE_ARCHIVO, "No se puede crear la carpeta temporal.");
    registrar_sql_native_client();
    OpcionesDemo o;
    o.facturas = demo.facturas;
    o.dias = demo.dias;
    o.desde = demo.desde;
    generar_demo(raiz(), o);
    preparar_contaplus();
}

// The two templates in c:\quelmira\sp1, C:\ContaEli\TMP and the company's
// empty SubCta.
void Instalacion::preparar_contaplus()
{
    escribir_plantillas(local("C:\\quelmira\\sp1"));
    if (!QDir().mkpath(local("C:\\ContaEli\\TMP")))
        throw Fallo(codigo_error::ERROR_DE_ARCHIVO, "No se puede crear C:\\ContaEli\\TMP.");
    escribir_subcta(local("C:\\ContaEli\\EMP0001\\SubCta.dbf"));
}

QString Instalacion::raiz() const
{
    return dir_.path() + "/unidades";
}

QString Instalacion::catalogo() const
{
    return modo_sql_ ? dir_.path() + "/sql/HOTEL.db" : QString();
}

Unidades Instalacion::unidades() const
{
    return Unidades(raiz());
}

QString Instalacion::local(const QString& ruta_windows) const
{
    return unidades().local(ruta_windows);
}

QStringList Instalacion::logs() const
{
    return QDir(local("C:\\quelmira\\sp1")).entryList({"tc_*.log"}, QDir::Files, QDir::Name);
}

QString Instalacion::archivo_de(const QString& tabla) const
{
    const QString nombre = esquema::nombre_tabla(tabla);
    if (nombre.isEmpty()) throw Fallo(codigo_error::TABLA_INEXISTENTE, "Tabla desconocida: " + tabla);
    if (modo_sql_ && esquema::tablas_catalogo().contains(nombre)) return catalogo();
    return local(esquema::ruta_access(nombre, unidad_));
}

void Instalacion::sql(const QString& tabla, const QString& sentencia, const QVariantList& p)
{
    ArchivoSqlite(archivo_de(tabla), false).ejecutar(sentencia, p);
}

void Instalacion::insertar(const QString& tabla, const QVariantMap& fila)
{
    QStringList columnas, marcas;
    QVariantList valores;
    for (auto it = fila.begin(); it != fila.end(); ++it) {
        columnas << identificador(it.key());
        marcas << "?";
        valores << it.value();
    }
    sql(tabla,
        "INSERT INTO " + identificador(tabla) + " (" + columnas.join(", ") + ") VALUES (" + marcas.join(", ") + ")",
        valores);
}

QVector<QVariantMap> Instalacion::filas(const QString& tabla, const QString& donde, const QVariantList& p) const
{
    QString sentencia = "SELECT * FROM " + identificador(tabla);
    if (!donde.isEmpty()) sentencia += " WHERE " + donde;
    // In the order the rows were added unless the test asks for another.
    if (!donde.contains("ORDER BY", Qt::CaseInsensitive)) sentencia += " ORDER BY rowid";
    return ArchivoSqlite(archivo_de(tabla), false).consultar(sentencia, p);
}

void Instalacion::ajustes(const QVariantMap& cambios)
{
    if (cambios.isEmpty()) return;
    QStringList asignaciones;
    QVariantList valores;
    for (auto it = cambios.begin(); it != cambios.end(); ++it) {
        asignaciones << identificador(it.key()) + " = ?";
        valores << it.value();
    }
    sql("cc", "UPDATE cc SET " + asignaciones.join(", ") + " WHERE ccc = 'BIRO4'", valores);
}

void Instalacion::subcuenta_empresa(const QString& cod, const QString& titulo)
{
    Conexion c;
    c.abrir("Driver={Microsoft dBASE Driver (*.dbf)};DriverID=277;dbq=C:\\ContaEli\\EMP0001;", unidades());
    Recordset rs;
    rs.abrir("SELECT * FROM SubCta", c, Cursor::Dinamico, Bloqueo::Optimista);
    rs.nuevo();
    rs.asignar("COD", cod);
    rs.asignar("TITULO", titulo);
    rs.guardar();
    rs.cerrar();
}

void Instalacion::cc_antigua(bool sin_externa)
{
    ArchivoSqlite a(archivo_de("cc"), false);
    a.ejecutar("ALTER TABLE cc DROP COLUMN Tasa");
    if (sin_externa) {
        a.ejecutar("ALTER TABLE cc DROP COLUMN Externa");
        a.ejecutar("ALTER TABLE cc DROP COLUMN AAAAMM");
    }
}

void Instalacion::fac_antigua()
{
    ArchivoSqlite(archivo_de("fac"), false).ejecutar("ALTER TABLE fac DROP COLUMN ImporteTasa");
}
