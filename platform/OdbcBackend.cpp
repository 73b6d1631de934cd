#include "platform/OdbcBackend.h"

#include "platform/Motores.h"
#include "platform/SentenciasFila.h"
#include "platform/TextoSql.h"

#include <QRegularExpression>
#include <QSet>
#include <QSqlDriver>
#include <QSqlError>
#include <QSqlField>
#include <QSqlQuery>
#include <QSqlRecord>
#include <atomic>
#include <cmath>

namespace {

// ODBC SQL type codes of the columns that hold a Boolean.
constexpr int SQL_BIT_ = -7;

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
    Resultado leer() override { return r_; }
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

void OdbcBackend::ejecutar_en(QSqlQuery& q, const QString& sql, const QVariantList& parametros) const
{
    q.setForwardOnly(true);
    q.setNumericalPrecisionPolicy(QSql::LowPrecisionDouble);
    if (parametros.isEmpty()) {
        if (!q.exec(sql)) fallar(q.lastError(), sql);
        return;
    }
    if (!q.prepare(sql)) fallar(q.lastError(), sql);
    for (int i = 0; i < parametros.size(); ++i) q.bindValue(i, valor_enlazado(parametros[i]));
    if (!q.exec()) fallar(q.lastError(), sql);
}

QString OdbcBackend::identificador(const QString& nombre) const
{
    return ::identificador(*db_.driver(), nombre);
}

void OdbcBackend::ejecutar(const QString& sql, const QVariantList& parametros)
{
    QSqlQuery q(db_);
    ejecutar_en(q, sql, parametros);
    q.finish();
    if (cambia_esquema(sql)) columnas_.clear();
}

std::unique_ptr<Consulta> OdbcBackend::abrir(const QString& sql, const QVariantList& parametros,
                                             bool)
{
    QSqlQuery q(db_);
    ejecutar_en(q, sql, parametros);
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
    if (q.lastError().isValid()) fallar(q.lastError(), sql);
    q.finish();
    const SeleccionSimple s = seleccion_simple(sql);
    return std::make_unique<ConsultaOdbc>(std::move(r), s.valida ? s.tabla : QString());
}

QVector<Columna> OdbcBackend::columnas(const QString& tabla)
{
    const QString clave = tabla.toLower();
    auto it = columnas_.constFind(clave);
    if (it != columnas_.constEnd()) return *it;
    const QSqlRecord registro = db_.record(tabla);
    if (registro.isEmpty())
        throw Fallo(codigo_error::TABLA_INEXISTENTE,
                    QStringLiteral("No se encuentra la tabla '%1' (%2).").arg(tabla, sin_clave(cadena_)));
    QVector<Columna> r;
    for (int i = 0; i < registro.count(); ++i) {
        Columna c;
        c.nombre = registro.fieldName(i);
        c.tipo = tipo_de(registro.field(i));
        r << c;
    }
    columnas_.insert(clave, r);
    return r;
}

void OdbcBackend::insertar(const QString& tabla, const QStringList& columnas,
                           const QVariantList& valores)
{
    const QString sql = sql_insertar(*db_.driver(), tabla, columnas);
    QSqlQuery q(db_);
    ejecutar_en(q, sql, valores);
    q.finish();
}

void OdbcBackend::actualizar(const QString& tabla, const Resultado& leido, int fila,
                             const QStringList& columnas, const QVariantList& valores)
{
    if (columnas.isEmpty()) return;
    if (fila < 0 || fila >= leido.filas.size())
        throw Fallo(codigo_error::FILA_NO_LOCALIZADA,
                    QStringLiteral("La fila de '%1' no se puede localizar para actualizarla.").arg(tabla));
    QSet<QString> de_la_tabla;
    for (const Columna& c : this->columnas(tabla)) de_la_tabla.insert(c.nombre.toLower());

    QVariantList p = valores;
    // The row is found by every value it had when it was read: if another
    // program has changed any of them, no row matches.
    QStringList condiciones;
    const QVariantList& original = leido.filas[fila];
    for (int i = 0; i < leido.columnas.size() && i < original.size(); ++i) {
        const QString& nombre = leido.columnas[i].nombre;
        if (!de_la_tabla.contains(nombre.toLower())) continue;
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
    // Identical rows would all match: the change is undone rather than
    // written into rows that were not the one read.
    const bool transaccion = db_.transaction();
    QSqlQuery q(db_);
    int cambiadas = 0;
    try {
        ejecutar_en(q, sql, p);
        cambiadas = q.numRowsAffected();
        q.finish();
    } catch (...) {
        if (transaccion) db_.rollback();
        throw;
    }
    if (cambiadas > 1 && transaccion) {
        db_.rollback();
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
