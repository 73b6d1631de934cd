#include "platform/OdbcBackend.h"

#include "platform/Motores.h"
#include "platform/SentenciasFila.h"
#include "platform/TextoSql.h"

#include <QRegularExpression>
#include <QSet>
#include <QSqlIndex>
#include <QSqlDriver>
#include <QSqlError>
#include <QSqlField>
#include <QSqlQuery>
#include <QSqlRecord>
#include <atomic>
#include <cmath>
#include <utility>

namespace {

// ODBC SQL type codes.
constexpr int SQL_BIT_ = -7;
constexpr int SQL_CHAR_ = 1;
constexpr int SQL_VARCHAR_ = 12;
constexpr int SQL_LONGVARCHAR_ = -1;
constexpr int SQL_WLONGVARCHAR_ = -10;
constexpr int SQL_LONGVARBINARY_ = -4;

// A long column: SQL Server's text, ntext and image (SQL_LONGVARCHAR,
// SQL_WLONGVARCHAR, SQL_LONGVARBINARY of 2^30 - 1 or more), on which it
// refuses "=", so a row is never looked for by their values. A long type of
// no stated size (SQLite's TEXT; varchar(max) is SQL_VARCHAR) compares as
// any text.
bool largo(int tipo_sql, int tamano)
{
    return (tipo_sql == SQL_LONGVARCHAR_ || tipo_sql == SQL_WLONGVARCHAR_ || tipo_sql == SQL_LONGVARBINARY_)
        && tamano > 8000;
}

TipoColumna tipo_de(const QSqlField& campo)
{
    if (campo.typeID() == SQL_BIT_) return TipoColumna::Logico;
    switch (campo.metaType().id()) {
    case QMetaType::QString:
        return TipoColumna::Texto;
    case QMetaType::Bool:
        return TipoColumna::Logico;
    case QMetaType::QDate:
    case QMetaType::QDateTime:
        return TipoColumna::Fecha;
    case QMetaType::Int: case QMetaType::UInt: case QMetaType::LongLong:
    case QMetaType::ULongLong: case QMetaType::Double: case QMetaType::Short:
    case QMetaType::UShort: case QMetaType::Float:
        return TipoColumna::Numero;
    default:
        return TipoColumna::Otro;
    }
}

// The rows are fetched when the statement is opened: a server may defer
// checking a prepared statement until it runs, and Recordset.Open must raise
// a missing table or column there.
class ConsultaOdbc : public Consulta {
public:
    ConsultaOdbc(Resultado r, QString tabla) : r_(std::move(r)), tabla_(std::move(tabla)) {}
    // Read once by the recordset, which keeps the rows and writes into them.
    Resultado leer() override { return std::exchange(r_, Resultado{}); }
    QString tabla() const override { return tabla_; }

private:
    Resultado r_;
    QString tabla_;
};

}  // namespace

std::shared_ptr<Backend> abrir_odbc(const QString& cadena, const QString& usuario,
                                    const QString& clave)
{
    return std::make_shared<OdbcBackend>(cadena, usuario, clave);
}

OdbcBackend::OdbcBackend(const QString& cadena, const QString& usuario, const QString& clave)
    : cadena_(cadena)
{
    static std::atomic<int> siguiente{0};
    nombre_ = QStringLiteral("enlace_odbc_%1").arg(++siguiente);
    db_ = QSqlDatabase::addDatabase(QStringLiteral("QODBC"), nombre_);
    db_.setDatabaseName(cadena_);
    if (!db_.open(usuario, clave)) {
        QString texto = db_.lastError().databaseText();
        if (texto.isEmpty()) texto = db_.lastError().text();
        db_ = QSqlDatabase();
        QSqlDatabase::removeDatabase(nombre_);
        throw Fallo(codigo_error::FALLO_GENERAL,
                    QStringLiteral("No se puede conectar con '%1': %2").arg(sin_clave(cadena_), texto));
    }
}

OdbcBackend::~OdbcBackend()
{
    preparadas_.clear();
    db_.close();
    db_ = QSqlDatabase();
    QSqlDatabase::removeDatabase(nombre_);
}

void OdbcBackend::fallar(const QSqlError& error, const QString& sql) const
{
    QString mensaje = error.databaseText();
    if (mensaje.isEmpty()) mensaje = error.text();
    const QString nativo = error.nativeErrorCode();
    qint32 numero = codigo_error::FALLO_GENERAL;
    // SQL Server: 207 invalid column name, 208 invalid object name.
    if (mensaje.contains(QLatin1String("42S22")) || mensaje.contains(QLatin1String("no such column"), Qt::CaseInsensitive)
        || mensaje.contains(QLatin1String("Invalid column name"), Qt::CaseInsensitive) || nativo == QLatin1String("207"))
        numero = codigo_error::ERROR_EN_COMANDO;
    else if (mensaje.contains(QLatin1String("42S02")) || mensaje.contains(QLatin1String("no such table"), Qt::CaseInsensitive)
             || mensaje.contains(QLatin1String("Invalid object name"), Qt::CaseInsensitive) || nativo == QLatin1String("208"))
        numero = codigo_error::TABLA_INEXISTENTE;
    throw Fallo(numero, QStringLiteral("%1 (sentencia: %2)").arg(mensaje, sql));
}

std::shared_ptr<QSqlQuery> OdbcBackend::preparada(const QString& sql)
{
    auto it = preparadas_.constFind(sql);
    if (it != preparadas_.constEnd()) return *it;
    auto q = std::make_shared<QSqlQuery>(db_);
    q->setForwardOnly(true);
    q->setNumericalPrecisionPolicy(QSql::LowPrecisionDouble);
    if (!q->prepare(sql)) fallar(q->lastError(), sql);
    preparadas_.insert(sql, q);
    return q;
}

// QODBC binds a QString as SQL_WVARCHAR of the text's own length, whatever
// the column, and has no option to bind it otherwise (SQL_C_CHAR only on a
// driver without wide characters). The statements built here therefore cast
// a parameter compared with a char or varchar column to that column's type
// (see condicion()), so the server compares in the column's type and can
// use its index; elsewhere the wide text is only converted on assignment.
void OdbcBackend::ejecutar_preparada(QSqlQuery& q, const QString& sql, const QVariantList& parametros)
{
    for (int i = 0; i < parametros.size(); ++i) q.bindValue(i, valor_enlazado(parametros[i]));
    if (!q.exec()) {
        const QSqlError e = q.lastError();
        q.finish();
        fallar(e, sql);
    }
}

void OdbcBackend::olvidar_esquema()
{
    preparadas_.clear();
    tablas_.clear();
}

QString OdbcBackend::identificador(const QString& nombre) const
{
    return ::identificador(*db_.driver(), nombre);
}

void OdbcBackend::ejecutar(const QString& sql, const QVariantList& parametros)
{
    if (cambia_esquema(sql)) {
        // Statements and columns known so far may no longer hold.
        olvidar_esquema();
        QSqlQuery q(db_);
        q.setForwardOnly(true);
        if (!q.prepare(sql)) fallar(q.lastError(), sql);
        ejecutar_preparada(q, sql, parametros);
        q.finish();
        olvidar_esquema();
        return;
    }
    const auto preparado = preparada(sql);
    ejecutar_preparada(*preparado, sql, parametros);
    preparado->finish();
}

std::unique_ptr<Consulta> OdbcBackend::abrir(const QString& sql, const QVariantList& parametros,
                                             bool)
{
    const auto preparado = preparada(sql);
    QSqlQuery& q = *preparado;
    ejecutar_preparada(q, sql, parametros);
    Resultado r;
    const QSqlRecord registro = q.record();
    for (int i = 0; i < registro.count(); ++i) {
        Columna c;
        c.nombre = registro.fieldName(i);
        c.tipo = tipo_de(registro.field(i));
        r.columnas << c;
    }
    while (q.next()) {
        QVariantList fila;
        fila.reserve(registro.count());
        for (int i = 0; i < registro.count(); ++i) fila << valor_leido(q.value(i));
        r.filas << fila;
    }
    const QSqlError error = q.lastError();
    q.finish();
    if (error.isValid()) fallar(error, sql);
    const SeleccionSimple s = seleccion_simple(sql);
    return std::make_unique<ConsultaOdbc>(std::move(r), s.valida ? s.tabla : QString());
}

const OdbcBackend::Tabla& OdbcBackend::tabla(const QString& nombre)
{
    const QString clave = nombre.toLower();
    auto it = tablas_.constFind(clave);
    if (it != tablas_.constEnd()) return *it;
    const QSqlRecord registro = db_.record(nombre);
    if (registro.isEmpty())
        throw Fallo(codigo_error::TABLA_INEXISTENTE,
                    QStringLiteral("No se encuentra la tabla '%1' (%2).").arg(nombre, sin_clave(cadena_)));
    Tabla t;
    for (int i = 0; i < registro.count(); ++i) {
        const QSqlField campo = registro.field(i);
        Columna c;
        c.nombre = campo.name();
        c.tipo = tipo_de(campo);
        t.columnas << c;
        t.campos << Campo{campo.name(), campo.typeID(), int(campo.length())};
    }
    const QSqlIndex primaria = db_.primaryIndex(nombre);
    for (int i = 0; i < primaria.count(); ++i) t.clave << primaria.fieldName(i);
    return *tablas_.insert(clave, t);
}

QVector<Columna> OdbcBackend::columnas(const QString& tabla)
{
    return this->tabla(tabla).columnas;
}

void OdbcBackend::insertar(const QString& tabla, const QStringList& columnas,
                           const QVariantList& valores)
{
    const QString sql = sql_insertar(*db_.driver(), tabla, columnas);
    const auto preparado = preparada(sql);
    ejecutar_preparada(*preparado, sql, valores);
    preparado->finish();
}

namespace {

int indice_de(const QVector<Columna>& columnas, const QString& nombre)
{
    for (int i = 0; i < columnas.size(); ++i)
        if (mismo_nombre(columnas[i].nombre, nombre)) return i;
    return -1;
}

}  // namespace

void OdbcBackend::actualizar(const QString& tabla, const Resultado& leido, int fila,
                             const QStringList& columnas, const QVariantList& valores)
{
    if (columnas.isEmpty()) return;
    if (fila < 0 || fila >= leido.filas.size())
        throw Fallo(codigo_error::FILA_NO_LOCALIZADA,
                    QStringLiteral("La fila de '%1' no se puede localizar para actualizarla.").arg(tabla));
    const Tabla& t = this->tabla(tabla);
    const QVariantList& original = leido.filas[fila];

    // The row is found by its key and the values the changed columns had
    // when it was read, so another program's change to them is seen. A table
    // without a key (or a read without its key columns) is searched by every
    // value of the row.
    QVector<int> buscar;   // columns of leido
    bool por_clave = !t.clave.isEmpty();
    for (const QString& k : t.clave) {
        const int i = indice_de(leido.columnas, k);
        if (i < 0 || i >= original.size()) { por_clave = false; break; }
        buscar << i;
    }
    if (por_clave) {
        for (const QString& c : columnas) {
            const int i = indice_de(leido.columnas, c);
            if (i >= 0 && i < original.size() && !buscar.contains(i)) buscar << i;
        }
    } else {
        buscar.clear();
        for (int i = 0; i < leido.columnas.size() && i < original.size(); ++i) buscar << i;
    }

    QVariantList p = valores;
    QStringList condiciones;
    for (int i : std::as_const(buscar)) {
        const QString& nombre = leido.columnas[i].nombre;
        const Campo* campo = nullptr;
        for (const Campo& c : t.campos)
            if (mismo_nombre(c.nombre, nombre)) { campo = &c; break; }
        if (!campo || largo(campo->tipo_sql, campo->tamano)) continue;
        const QVariant& v = original[i];
        const QString id = identificador(nombre);
        if (!v.isValid() || v.isNull()) {
            condiciones << id + QStringLiteral(" IS NULL");
        } else if (v.typeId() == QMetaType::QByteArray) {
            continue;   // binary columns cannot be compared by value
        } else if (v.typeId() == QMetaType::Double || v.typeId() == QMetaType::Float) {
            // A driver may hand a double over as 15 significant digits; a
            // margin far below a cent tells that from a real change.
            const double d = v.toDouble();
            const double margen = std::max(std::fabs(d) * 1e-12, 1e-12);
            condiciones << id + QStringLiteral(" BETWEEN ? AND ?");
            p << d - margen << d + margen;
        } else if (v.typeId() == QMetaType::QString
                   && (campo->tipo_sql == SQL_CHAR_ || campo->tipo_sql == SQL_VARCHAR_)
                   && campo->tamano > 0 && campo->tamano <= 8000) {
            // Compared in the column's own type: see ejecutar_preparada().
            condiciones << id + QStringLiteral(" = CAST(? AS VARCHAR(%1))").arg(campo->tamano);
            p << v;
        } else {
            condiciones << id + QStringLiteral(" = ?");
            p << v;
        }
    }
    if (condiciones.isEmpty())
        throw Fallo(codigo_error::FILA_NO_LOCALIZADA,
                    QStringLiteral("La fila de '%1' no se puede localizar para actualizarla: no tiene valores con que buscarla.")
                        .arg(tabla));
    const QString sql = QStringLiteral("UPDATE %1 SET %2 WHERE %3")
                            .arg(identificador(tabla), sql_asignaciones(*db_.driver(), columnas),
                                 condiciones.join(QStringLiteral(" AND ")));
    // Without a key, identical rows would all match: the change is undone
    // rather than written into rows that were not the one read.
    const bool transaccion = !por_clave && db_.transaction();
    const auto preparado = preparada(sql);
    QSqlQuery& q = *preparado;
    int cambiadas = 0;
    try {
        ejecutar_preparada(q, sql, p);
        cambiadas = q.numRowsAffected();
        q.finish();
    } catch (...) {
        if (transaccion) db_.rollback();
        throw;
    }
    if (cambiadas > 1) {
        if (transaccion) db_.rollback();
        throw Fallo(codigo_error::FILA_NO_LOCALIZADA,
                    QStringLiteral("La fila de '%1' no se puede actualizar: hay %2 filas iguales a ella y no se sabe cuál es.")
                        .arg(tabla).arg(cambiadas));
    }
    if (transaccion && !db_.commit()) fallar(db_.lastError(), sql);
    if (cambiadas == 0)
        throw Fallo(codigo_error::FILA_NO_LOCALIZADA,
                    QStringLiteral("La fila de '%1' no se puede localizar para actualizarla: otro programa la ha cambiado desde que se leyó.")
                        .arg(tabla));
}
