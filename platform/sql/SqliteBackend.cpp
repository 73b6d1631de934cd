#include "platform/sql/SqliteBackend.h"

#include "platform/sistema/Averias.h"
#include "platform/sistema/Fichero.h"
#include "platform/sql/Motores.h"
#include "platform/sql/SentenciasFila.h"
#include "platform/valores/TextoSql.h"
#include "platform/valores/Vb.h"

#include <QFileInfo>
#include <QRegularExpression>
#include <QSqlDriver>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <algorithm>
#include <atomic>
#include <bit>
#include <cerrno>
#include <sqlite3.h>
#include <vector>

namespace {

// Access's Val inside SQL, so "ORDER BY EmiFec, val(EmiNum)" sorts numbers
// as numbers.
void funcion_val(sqlite3_context* contexto, int, sqlite3_value** argumentos)
{
    sqlite3_value* v = argumentos[0];
    switch (sqlite3_value_type(v)) {
    case SQLITE_NULL: sqlite3_result_null(contexto); return;
    case SQLITE_INTEGER: sqlite3_result_int64(contexto, sqlite3_value_int64(v)); return;
    case SQLITE_FLOAT: sqlite3_result_double(contexto, sqlite3_value_double(v)); return;
    default: {
        const auto* texto = reinterpret_cast<const char*>(sqlite3_value_text(v));
        sqlite3_result_double(contexto, vb::Val(QString::fromUtf8(texto ? texto : "")));
    }
    }
}

TipoColumna tipo_declarado(const QString& declarado)
{
    const QString t = declarado.trimmed().toUpper();
    const QString base = t.section(QLatin1Char('('), 0, 0).trimmed().section(QLatin1Char(' '), 0, 0);
    static const QStringList textos = {"TEXT", "CHAR",   "VARCHAR",  "NVARCHAR", "NCHAR",
                                       "MEMO", "STRING", "LONGTEXT", "CLOB"};
    static const QStringList logicos = {"BIT", "BOOLEAN", "BOOL", "YESNO", "LOGICAL"};
    static const QStringList fechas = {"DATE", "DATETIME", "TIMESTAMP"};
    static const QStringList numeros = {"INTEGER", "INT",     "REAL",          "DOUBLE",   "FLOAT",
                                        "NUMERIC", "DECIMAL", "CURRENCY",      "MONEY",    "LONG",
                                        "SHORT",   "BYTE",    "SINGLE",        "SMALLINT", "TINYINT",
                                        "BIGINT",  "COUNTER", "AUTOINCREMENT", "NUMBER"};
    if (textos.contains(base)) return TipoColumna::Texto;
    if (logicos.contains(base)) return TipoColumna::Logico;
    if (fechas.contains(base)) return TipoColumna::Fecha;
    if (numeros.contains(base)) return TipoColumna::Numero;
    // SQLite's own affinity rules for whatever else a table declares.
    if (t.contains(QLatin1String("INT"))) return TipoColumna::Numero;
    if (t.contains(QLatin1String("CHAR")) || t.contains(QLatin1String("CLOB")) || t.contains(QLatin1String("TEXT")))
        return TipoColumna::Texto;
    if (t.contains(QLatin1String("REAL")) || t.contains(QLatin1String("FLOA")) || t.contains(QLatin1String("DOUB")))
        return TipoColumna::Numero;
    return TipoColumna::Otro;
}

// A value of a row as Qt's driver reads it, SQL NULL the invalid QVariant.
// A text the same as `anterior` (that column's text in the row before) is
// that QString again: in a page most texts repeat from row to row, and each
// new one is an allocation. Only ASCII is compared; the rest is decoded.
QVariant valor_columna(sqlite3_stmt* s, int i, QString& anterior)
{
    // The column's value taken once and asked of directly: each
    // sqlite3_column_* call would find it again. It is unprotected, which
    // matters only to a connection shared between threads, and ours never is.
    sqlite3_value* v = sqlite3_column_value(s, i);
    switch (sqlite3_value_type(v)) {
    case SQLITE_NULL: return QVariant();
    case SQLITE_INTEGER: return QVariant(qlonglong(sqlite3_value_int64(v)));
    case SQLITE_FLOAT: return QVariant(sqlite3_value_double(v));
    case SQLITE_BLOB: {
        const void* p = sqlite3_value_blob(v);
        return QVariant(QByteArray(static_cast<const char*>(p), sqlite3_value_bytes(v)));
    }
    default: {
        const auto* p = sqlite3_value_text(v);
        const int n = sqlite3_value_bytes(v);
        if (n > 0 && n == anterior.size()) {
            const QChar* a = anterior.constData();
            int k = 0;
            while (k < n && p[k] < 0x80 && a[k].unicode() == p[k]) ++k;
            if (k == n) return QVariant(anterior);
        }
        anterior = QString::fromUtf8(reinterpret_cast<const char*>(p), n);
        return QVariant(anterior);
    }
    }
}

class ConsultaSqlite : public Consulta {
public:
    // With `por_clave` (the table's row by rowid) the statement reads the
    // rowid first; with `solo_claves`, the same selection reads only it.
    ConsultaSqlite(SqliteBackend& b, QString texto, QVariantList parametros, QString tabla, QString por_clave,
                   QString solo_claves)
        : b_(b), texto_(std::move(texto)), parametros_(std::move(parametros)), tabla_(std::move(tabla)),
          por_clave_(std::move(por_clave)), solo_claves_(std::move(solo_claves)), con_clave_(!por_clave_.isEmpty())
    {
    }

    QString tabla() const override { return tabla_; }

    Resultado leer() override
    {
        sqlite3_stmt* s = b_.preparada(texto_);
        b_.enlazar(s, texto_, parametros_);
        Resultado r;
        const int primera = con_clave_ ? 1 : 0;
        const int n = sqlite3_column_count(s);
        r.columnas = columnas(texto_, s, primera);
        QString* anterior = b_.anteriores(s, n);
        while (b_.paso(s, texto_)) {
            QVariantList fila;
            fila.reserve(n - primera);
            for (int i = primera; i < n; ++i) fila << valor_columna(s, i, anterior[i]);
            r.filas << std::move(fila);
            if (con_clave_) r.claves << sqlite3_column_int64(s, 0);
        }
        return r;
    }

    // With the key read, the selection is read by pages: its keys first, in
    // the query's order, then each page's rows by key.
    bool por_paginas() const override { return con_clave_; }

    // The keys, and the rows of the first page as they are read with them:
    // the page most selections are whole in needs no second reading. A
    // selection in an order of its own reads only its keys (sorting whole
    // rows would cost more than reading the first page again by key).
    qint64 contar() override
    {
        claves_.clear();
        primera_ = Resultado();
        if (!solo_claves_.isEmpty()) {
            sqlite3_stmt* s = b_.preparada(solo_claves_);
            b_.enlazar(s, solo_claves_, parametros_);
            while (b_.paso(s, solo_claves_)) claves_ << sqlite3_column_int64(s, 0);
            claves_.squeeze();
            return claves_.size();
        }
        sqlite3_stmt* s = b_.preparada(texto_);
        b_.enlazar(s, texto_, parametros_);
        primera_.columnas = columnas(texto_, s, 1);
        const int n = sqlite3_column_count(s);
        QString* anterior = b_.anteriores(s, n);
        while (b_.paso(s, texto_)) {
            const qint64 clave = sqlite3_column_int64(s, 0);
            claves_ << clave;
            if (claves_.size() <= PRIMERA_PAGINA) {
                QVariantList fila;
                fila.reserve(n - 1);
                for (int i = 1; i < n; ++i) fila << valor_columna(s, i, anterior[i]);
                primera_.filas << std::move(fila);
                primera_.claves << clave;
            }
        }
        claves_.squeeze();
        return claves_.size();
    }

    Resultado pagina(qint64 desde, int cuantas) override
    {
        if (desde == 0 && !primera_.claves.isEmpty() && cuantas <= primera_.claves.size()) {
            Resultado r = std::move(primera_);
            primera_ = Resultado();
            r.filas.resize(cuantas);
            r.claves.resize(cuantas);
            return r;
        }
        primera_ = Resultado();
        const QString& sql = por_clave_;
        sqlite3_stmt* s = b_.preparada(sql);
        Resultado r;
        r.columnas = columnas(sql, s, 1);
        const int n = sqlite3_column_count(s);
        QString* anterior = b_.anteriores(s, n);
        r.filas.reserve(cuantas);
        r.claves.reserve(cuantas);
        // Outside a transaction each lookup would take and drop the file's
        // read lock: the page is read under one.
        const bool propia = cuantas > 1 && sqlite3_get_autocommit(b_.manejador());
        if (propia) b_.correr(QStringLiteral("BEGIN"), {});
        const qint64 hasta = qMin<qint64>(desde + cuantas, claves_.size());
        try {
            if (ascendentes(desde, hasta)) {
                // Keys in the table's own order, close together (a selection
                // in the order its rows were added): one pass over their
                // span, taking the rows wanted.
                const QString& rango = rango_clave();
                sqlite3_stmt* t = b_.preparada(rango);
                sqlite3_reset(t);
                b_.enlazar_clave(t, 1, claves_[desde]);
                b_.enlazar_clave(t, 2, claves_[hasta - 1]);
                qint64 k = desde;
                while (k < hasta && b_.paso(t, rango)) {
                    const qint64 clave = sqlite3_column_int64(t, 0);
                    for (; k < hasta && claves_[k] < clave; ++k) {
                        r.claves << -1;  // deleted since the keys were read
                        r.filas << QVariantList();
                    }
                    if (k == hasta || claves_[k] != clave) continue;
                    QVariantList fila;
                    fila.reserve(n - 1);
                    for (int i = 1; i < n; ++i) fila << valor_columna(t, i, anterior[i]);
                    r.claves << clave;
                    r.filas << std::move(fila);
                    ++k;
                }
                sqlite3_reset(t);
                for (; k < hasta; ++k) {
                    r.claves << -1;
                    r.filas << QVariantList();
                }
            } else {
                for (qint64 k = desde; k < hasta; ++k) {
                    sqlite3_reset(s);
                    b_.enlazar_clave(s, 1, claves_[k]);
                    QVariantList fila;
                    if (b_.paso(s, sql)) {
                        fila.reserve(n - 1);
                        for (int i = 1; i < n; ++i) fila << valor_columna(s, i, anterior[i]);
                        r.claves << claves_[k];
                    } else {
                        r.claves << -1;  // deleted since the keys were read
                    }
                    r.filas << std::move(fila);
                }
                sqlite3_reset(s);
            }
        } catch (...) {
            if (propia) sqlite3_exec(b_.manejador(), "ROLLBACK", nullptr, nullptr, nullptr);
            throw;
        }
        if (propia) b_.correr(QStringLiteral("COMMIT"), {});
        return r;
    }

private:
    SqliteBackend& b_;
    QString texto_;
    QVariantList parametros_;
    QString tabla_;
    QString por_clave_;
    QString solo_claves_;
    bool con_clave_;
    QVector<qint64> claves_;
    // The rows read with the keys, until the first page is asked for.
    static constexpr int PRIMERA_PAGINA = 256;
    Resultado primera_;
    QVector<Columna> columnas_;

    QString rango_;

    // Keys desde..hasta rising, spanning at most twice their number.
    bool ascendentes(qint64 desde, qint64 hasta) const
    {
        if (hasta - desde < 2) return false;
        for (qint64 k = desde + 1; k < hasta; ++k)
            if (claves_[k] <= claves_[k - 1]) return false;
        return claves_[hasta - 1] - claves_[desde] < 2 * (hasta - desde);
    }

    // The rows of the table whose rowid is between two keys, in rowid order.
    const QString& rango_clave()
    {
        if (rango_.isEmpty()) {
            rango_ = por_clave_;
            rango_.replace(QStringLiteral("WHERE rowid = ?"),
                           QStringLiteral("WHERE rowid BETWEEN ? AND ? ORDER BY rowid"));
        }
        return rango_;
    }

    const QVector<Columna>& columnas(const QString& sql, sqlite3_stmt* s, int primera)
    {
        if (columnas_.isEmpty()) columnas_ = b_.columnas_de(sql, s, tabla_, primera);
        return columnas_;
    }
};

bool mismas_columnas(const QVector<Columna>& a, const QVector<Columna>& b)
{
    return std::equal(a.cbegin(), a.cend(), b.cbegin(), b.cend(), [](const Columna& x, const Columna& y) {
        return x.nombre == y.nombre && x.tipo == y.tipo && x.ancho == y.ancho && x.decimales == y.decimales;
    });
}

// The entry of `tabla` in `por_tabla`, added empty when missing, found
// through `memo` when asked for before.
template <typename V>
V& por_tabla(QHash<QString, V>& por_tabla, MemoTexto<V>& memo, const QString& tabla)
{
    if (V* m = memo.buscar(tabla)) return *m;
    auto it = por_tabla.find(tabla);
    if (it == por_tabla.end()) {
        memo.olvidar();
        it = por_tabla.insert(tabla, V());
    }
    memo.recordar(tabla, &*it);
    return *it;
}

}  // namespace

std::shared_ptr<Backend> abrir_sqlite(const QString& archivo_local)
{
    return std::make_shared<SqliteBackend>(archivo_local);
}

SqliteBackend::SqliteBackend(const QString& archivo) : archivo_(archivo)
{
    // SQLite would create a missing file: an .MDB that is not there is a
    // failure to open, never a new empty database.
    if (!QFileInfo(archivo_).isFile())
        throw Fallo(codigo_error::FALLO_GENERAL, QStringLiteral("No se encuentra el archivo '%1'.").arg(archivo_));

    // Before the library's first connection: each connection is used by one
    // thread at a time, so none needs its mutex taken on every call, and no
    // memory statistics are kept (each allocation would take another).
    // Later calls are refused by the library, harmlessly.
    static const bool configurada = [] {
        sqlite3_config(SQLITE_CONFIG_MULTITHREAD);
        sqlite3_config(SQLITE_CONFIG_MEMSTATUS, 0);
        return true;
    }();
    (void)configurada;

    static std::atomic<int> siguiente{0};
    nombre_ = QStringLiteral("enlace_sqlite_%1").arg(++siguiente);
    db_ = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), nombre_);
    db_.setDatabaseName(archivo_);
    // Other programs of the hotel use the same files: wait for their locks.
    db_.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=10000"));
    if (!db_.open()) {
        const QString texto = db_.lastError().text();
        db_ = QSqlDatabase();
        QSqlDatabase::removeDatabase(nombre_);
        throw Fallo(codigo_error::FALLO_GENERAL,
                    QStringLiteral("No se puede abrir el archivo '%1': %2").arg(archivo_, texto));
    }
    try {
        QSqlQuery q(db_);
        if (!q.exec(QStringLiteral("SELECT count(*) FROM sqlite_master")))
            throw Fallo(codigo_error::FALLO_GENERAL, QStringLiteral("El archivo '%1' no es una base de datos: %2")
                                                         .arg(archivo_, q.lastError().databaseText()));
        q.finish();
        // A transfer commits one row at a time; with the default journal each
        // row would cost several fsyncs.
        q.exec(QStringLiteral("PRAGMA journal_mode=WAL"));
        q.finish();
        q.exec(QStringLiteral("PRAGMA synchronous=NORMAL"));
        q.finish();
        if (q.exec(QStringLiteral("PRAGMA encoding")) && q.next())
            utf8_ = q.value(0).toString() == QLatin1String("UTF-8");
        q.finish();
        const QVariant v = db_.driver() ? db_.driver()->handle() : QVariant();
        if (v.isValid() && qstrcmp(v.typeName(), "sqlite3*") == 0) h_ = *static_cast<sqlite3* const*>(v.constData());
        sqlite3* h = h_;
        if (!h || sqlite3_create_function_v2(h, "val", 1, SQLITE_UTF8 | SQLITE_DETERMINISTIC, nullptr, funcion_val,
                                             nullptr, nullptr, nullptr) != SQLITE_OK)
            throw Fallo(codigo_error::FALLO_GENERAL,
                        QStringLiteral("No se puede preparar el archivo '%1' (función val).").arg(archivo_));
    } catch (...) {
        db_.close();
        db_ = QSqlDatabase();
        QSqlDatabase::removeDatabase(nombre_);
        throw;
    }
}

SqliteBackend::~SqliteBackend()
{
    olvidar_esquema();
    db_.close();
    db_ = QSqlDatabase();
    QSqlDatabase::removeDatabase(nombre_);
}

void SqliteBackend::fallar(const QSqlError& error, const QString& sql) const
{
    QString mensaje = error.databaseText();
    if (mensaje.isEmpty()) mensaje = error.text();
    fallar(mensaje, sql);
}

void SqliteBackend::fallar(const QString& mensaje, const QString& sql) const
{
    qint32 numero = codigo_error::FALLO_GENERAL;
    if (mensaje.contains(QLatin1String("no such table"), Qt::CaseInsensitive))
        numero = codigo_error::TABLA_INEXISTENTE;
    else if (mensaje.contains(QLatin1String("no such column"), Qt::CaseInsensitive))
        numero = codigo_error::PARAMETRO_SIN_VALOR;  // what the Access provider raises for an unknown name
    throw Fallo(numero, QStringLiteral("%1 (sentencia: %2; archivo: %3)").arg(mensaje, sql, archivo_));
}

namespace {

sqlite3_stmt* preparar(sqlite3* h, const QString& sql, unsigned int opciones, QString* error)
{
    const QByteArray texto = sql.toUtf8();
    sqlite3_stmt* s = nullptr;
    if (sqlite3_prepare_v3(h, texto.constData(), int(texto.size()), opciones, &s, nullptr) != SQLITE_OK) {
        *error = QString::fromUtf8(sqlite3_errmsg(h));
        sqlite3_finalize(s);
        return nullptr;
    }
    return s;
}

}  // namespace

SqliteBackend::Sentencia* SqliteBackend::sentencia(const QString& sql)
{
    if (Sentencia* m = memo_preparadas_.buscar(sql)) return m;
    auto it = preparadas_.find(sql);
    if (it == preparadas_.end()) return nullptr;
    memo_preparadas_.recordar(sql, &*it);
    return &*it;
}

QString* SqliteBackend::anteriores(sqlite3_stmt* s, int n)
{
    std::vector<QString>& v = anteriores_[s];
    if (size_t(n) > v.size()) v.resize(size_t(n));
    return v.data();
}

sqlite3_stmt* SqliteBackend::preparada(const QString& sql)
{
    if (const Sentencia* e = sentencia(sql)) return e->s;
    QString error;
    sqlite3_stmt* s = preparar(h_, sql, SQLITE_PREPARE_PERSISTENT, &error);
    if (!s) fallar(error, sql);
    Sentencia nueva;
    nueva.s = s;
    memo_preparadas_.olvidar();
    preparadas_.insert(sql, nueva);
    return s;
}

QVector<Columna> SqliteBackend::columnas_de(const QString& sql, sqlite3_stmt* s, const QString& tabla, int primera)
{
    if (const Sentencia* e = sentencia(sql); e && e->primera == primera && e->tabla == tabla) return e->columnas;
    QVector<Columna> de_tabla;
    if (!tabla.isEmpty()) de_tabla = columnas(tabla);
    QVector<Columna> r;
    const int n = sqlite3_column_count(s);
    r.reserve(n - primera);
    for (int i = primera; i < n; ++i) {
        Columna c;
        c.nombre = QString::fromUtf8(sqlite3_column_name(s, i)).remove(QLatin1Char('"'));
        // "SELECT * FROM t" gives the table's columns in order: look
        // there first, search only when the query names its own.
        const int k = i - primera;
        if (k < de_tabla.size() && de_tabla[k].nombre == c.nombre) {
            c.tipo = de_tabla[k].tipo;
        } else {
            for (const Columna& t : de_tabla)
                if (mismo_nombre(t.nombre, c.nombre)) {
                    c.tipo = t.tipo;
                    break;
                }
        }
        r << c;
    }
    // The table's own columns are shared, so a recordset that adds rows
    // sees at once that they are the ones it reads.
    if (mismas_columnas(r, de_tabla)) r = de_tabla;
    Sentencia* e = sentencia(sql);
    if (e && e->s == s) {
        e->primera = primera;
        e->tabla = tabla;
        e->columnas = r;
    }
    return r;
}

void SqliteBackend::enlazar(sqlite3_stmt* s, const QString& sql, const QVariantList& parametros)
{
    sqlite3_reset(s);
    // Places left unbound are Null, not what the last run bound there.
    if (parametros.size() < sqlite3_bind_parameter_count(s)) limpiar_enlaces(s);
    for (int i = 0; i < parametros.size(); ++i) enlazar(s, sql, i + 1, parametros[i]);
}

SqliteBackend::Enlazado* SqliteBackend::enlazado(sqlite3_stmt* s, int n)
{
    if (s != enlazados_de_) {
        std::vector<Enlazado>& v = enlazados_[s];
        if (v.empty()) v.resize(size_t(std::max(sqlite3_bind_parameter_count(s), 1)));
        enlazados_de_ = s;
        enlazados_ultimos_ = &v;
    }
    return n >= 1 && size_t(n) <= enlazados_ultimos_->size() ? &(*enlazados_ultimos_)[size_t(n - 1)] : nullptr;
}

void SqliteBackend::limpiar_enlaces(sqlite3_stmt* s)
{
    sqlite3_clear_bindings(s);
    const auto it = enlazados_.find(s);
    if (it == enlazados_.end()) return;
    for (Enlazado& e : it->second) e.tipo = Enlazado::Ninguno;
}

int SqliteBackend::enlazar_entero(sqlite3_stmt* s, int n, Enlazado* e, qint64 x)
{
    if (e && e->tipo == Enlazado::Entero && e->entero == x) return SQLITE_OK;
    const int r = sqlite3_bind_int64(s, n, x);
    if (e) {
        e->tipo = r == SQLITE_OK ? Enlazado::Entero : Enlazado::Ninguno;
        e->entero = x;
    }
    return r;
}

int SqliteBackend::enlazar_doble(sqlite3_stmt* s, int n, Enlazado* e, double x)
{
    if (e && e->tipo == Enlazado::Doble && std::bit_cast<quint64>(e->doble) == std::bit_cast<quint64>(x))
        return SQLITE_OK;
    const int r = sqlite3_bind_double(s, n, x);
    if (e) {
        e->tipo = r == SQLITE_OK ? Enlazado::Doble : Enlazado::Ninguno;
        e->doble = x;
    }
    return r;
}

void SqliteBackend::enlazar_clave(sqlite3_stmt* s, int n, qint64 clave)
{
    enlazar_entero(s, n, enlazado(s, n), clave);
}

void SqliteBackend::enlazar(sqlite3_stmt* s, const QString& sql, int n, const QVariant& v)
{
    Enlazado* e = enlazado(s, n);
    // A UTF-16 text the engine converts as it binds needs no copy of its own.
    // A short ASCII one (most keys and codes) is bound as the UTF-8 it
    // already is, from the statement's own place for that parameter (see
    // enlazados_): the engine neither copies nor allocates.
    const auto texto = [&](const QString& t) {
        const char16_t* p = reinterpret_cast<const char16_t*>(t.constData());
        const qsizetype largo = t.size();
        if (e && utf8_ && largo <= 256) {
            std::string& b = e->texto;
            if (e->tipo == Enlazado::Texto && b.size() == size_t(largo)) {
                // The same characters as the ASCII bound there: left bound.
                qsizetype i = 0;
                while (i < largo && p[i] == char16_t(uchar(b[size_t(i)]))) ++i;
                if (i == largo) return SQLITE_OK;
            }
            e->tipo = Enlazado::Ninguno;
            b.resize(size_t(largo));
            char16_t todos = 0;
            for (qsizetype i = 0; i < largo; ++i) {
                todos |= p[i];
                b[size_t(i)] = char(p[i]);
            }
            if (todos < 0x80) {
                // A null QString is the empty text, never NULL.
                const int r = sqlite3_bind_text(s, n, largo ? b.data() : "", int(largo), SQLITE_STATIC);
                if (r == SQLITE_OK) e->tipo = Enlazado::Texto;
                return r;
            }
        }
        if (e) e->tipo = Enlazado::Ninguno;
        if (t.isEmpty()) return sqlite3_bind_text(s, n, "", 0, SQLITE_STATIC);
        return sqlite3_bind_text16(s, n, t.constData(), int(largo * sizeof(QChar)),
                                   utf8_ ? SQLITE_STATIC : SQLITE_TRANSIENT);
    };
    int r = SQLITE_OK;
    if (vb::esNulo(v)) {
        // Any typed null is Null.
        if (e && e->tipo == Enlazado::Nulo) return;
        r = sqlite3_bind_null(s, n);
        if (e) e->tipo = r == SQLITE_OK ? Enlazado::Nulo : Enlazado::Ninguno;
    } else {
        switch (v.typeId()) {
        case QMetaType::QString: r = texto(*static_cast<const QString*>(v.constData())); break;
        case QMetaType::QByteArray: {
            const auto* b = static_cast<const QByteArray*>(v.constData());
            if (e) e->tipo = Enlazado::Ninguno;
            r = sqlite3_bind_blob(s, n, b->constData(), int(b->size()), SQLITE_TRANSIENT);
            break;
        }
        case QMetaType::Int: r = enlazar_entero(s, n, e, *static_cast<const int*>(v.constData())); break;
        case QMetaType::Bool: r = enlazar_entero(s, n, e, *static_cast<const bool*>(v.constData()) ? 1 : 0); break;
        case QMetaType::Double: r = enlazar_doble(s, n, e, *static_cast<const double*>(v.constData())); break;
        case QMetaType::UInt: r = enlazar_entero(s, n, e, *static_cast<const uint*>(v.constData())); break;
        case QMetaType::LongLong: r = enlazar_entero(s, n, e, *static_cast<const qlonglong*>(v.constData())); break;
        // Whatever else as the text Qt's driver binds (a date or time in
        // ISO form).
        case QMetaType::QDateTime: r = texto(v.toDateTime().toString(Qt::ISODateWithMs)); break;
        case QMetaType::QTime: r = texto(v.toTime().toString(QStringLiteral("hh:mm:ss.zzz"))); break;
        default: r = texto(v.toString());
        }
    }
    if (r != SQLITE_OK) {
        const QString mensaje = QString::fromUtf8(sqlite3_errmsg(h_));
        sqlite3_reset(s);
        fallar(mensaje, sql);
    }
}

bool SqliteBackend::paso(sqlite3_stmt* s, const QString& sql)
{
    const int r = sqlite3_step(s);
    if (r == SQLITE_ROW) return true;
    if (r == SQLITE_DONE) {
        sqlite3_reset(s);
        return false;
    }
    const QString mensaje = QString::fromUtf8(sqlite3_errmsg(h_));
    sqlite3_reset(s);
    fallar(mensaje, sql);
}

int SqliteBackend::terminar(sqlite3_stmt* s, const QString& sql)
{
    while (paso(s, sql)) {
    }
    return sqlite3_changes(h_);
}

int SqliteBackend::correr(const QString& sql, const QVariantList& parametros)
{
    sqlite3_stmt* s = preparada(sql);
    enlazar(s, sql, parametros);
    return terminar(s, sql);
}

SqliteBackend::Escritura SqliteBackend::escritura(const QString& sql)
{
    averia(sql);
    return Escritura{sql, preparada(sql)};
}

void SqliteBackend::olvidar_esquema()
{
    for (const Sentencia& s : std::as_const(preparadas_)) sqlite3_finalize(s.s);
    preparadas_.clear();
    // Only now: no statement is left that points into them.
    enlazados_.clear();
    anteriores_.clear();
    enlazados_de_ = nullptr;
    enlazados_ultimos_ = nullptr;
    memo_preparadas_.olvidar();
    columnas_.clear();
    memo_columnas_.olvidar();
    altas_.clear();
    memo_altas_.olvidar();
    actualizaciones_.clear();
    memo_actualizaciones_.olvidar();
}

void SqliteBackend::averia(const QString& sql) const
{
    averias::ante_sentencia(archivo_, QStringLiteral("archivo"), sql);
}

void SqliteBackend::ordenar(const QString& sql)
{
    correr(sql, {});
}

void SqliteBackend::comenzar()
{
    if (en_transaccion_)
        throw Fallo(codigo_error::FALLO_GENERAL, QStringLiteral("Ya hay una transacción empezada en %1").arg(archivo_));
    ordenar(QStringLiteral("PRAGMA synchronous=FULL"));
    ordenar(QStringLiteral("BEGIN IMMEDIATE"));
    en_transaccion_ = true;
}

void SqliteBackend::confirmar()
{
    averia(QStringLiteral("COMMIT"));
    ordenar(QStringLiteral("COMMIT"));
    en_transaccion_ = false;
    ordenar(QStringLiteral("PRAGMA synchronous=NORMAL"));
}

void SqliteBackend::deshacer()
{
    if (!en_transaccion_) return;
    en_transaccion_ = false;
    ordenar(QStringLiteral("ROLLBACK"));
    ordenar(QStringLiteral("PRAGMA synchronous=NORMAL"));
}

void SqliteBackend::comenzar_unidad()
{
    ordenar(QStringLiteral("SAVEPOINT unidad"));
}

void SqliteBackend::confirmar_unidad()
{
    ordenar(QStringLiteral("RELEASE unidad"));
}

void SqliteBackend::deshacer_unidad()
{
    ordenar(QStringLiteral("ROLLBACK TO unidad"));
    ordenar(QStringLiteral("RELEASE unidad"));
}

void SqliteBackend::ejecutar(const QString& sql, const QVariantList& parametros)
{
    averia(sql);
    if (cambia_esquema(sql)) {
        // The schema changes: statements and columns known so far may no
        // longer hold.
        olvidar_esquema();
        QString error;
        sqlite3_stmt* s = preparar(h_, sql, 0, &error);
        if (!s) fallar(error, sql);
        try {
            enlazar(s, sql, parametros);
            while (paso(s, sql)) {
            }
        } catch (...) {
            sqlite3_finalize(s);
            olvidar_esquema();
            throw;
        }
        sqlite3_finalize(s);
        olvidar_esquema();
        return;
    }
    correr(sql, parametros);
}

std::unique_ptr<Consulta> SqliteBackend::abrir(const QString& sql, const QVariantList& parametros, bool actualizable)
{
    Apertura* hallada = memo_aperturas_.buscar(sql);
    if (!hallada) {
        auto it = aperturas_.find(sql);
        if (it == aperturas_.end()) {
            Apertura a;
            const SeleccionSimple s = seleccion_simple(sql);
            if (s.valida) {
                a.valida = true;
                a.tabla = s.tabla;
                // The rowid is read too, hidden, so a changed row is written
                // back by its key alone.
                static const QRegularExpression inicio(QStringLiteral("^\\s*SELECT\\s+\\*"),
                                                       QRegularExpression::CaseInsensitiveOption);
                a.con_clave = sql;
                a.con_clave.replace(inicio, QStringLiteral("SELECT rowid, *"));
                static const QRegularExpression orden(QStringLiteral("\\bORDER\\s+BY\\b"),
                                                      QRegularExpression::CaseInsensitiveOption);
                if (sql.contains(orden)) {
                    a.solo_claves = sql;
                    a.solo_claves.replace(inicio, QStringLiteral("SELECT rowid"));
                }
                a.por_clave =
                    QStringLiteral("SELECT rowid, * FROM %1 WHERE rowid = ?").arg(identificador_tabla(s.tabla));
            }
            memo_aperturas_.olvidar();
            it = aperturas_.insert(sql, a);
        }
        hallada = &*it;
        memo_aperturas_.recordar(sql, hallada);
    }
    const Apertura a = *hallada;
    if (a.valida && actualizable) {
        try {
            preparada(a.con_clave);
            if (!a.solo_claves.isEmpty()) preparada(a.solo_claves);
            return std::make_unique<ConsultaSqlite>(*this, a.con_clave, parametros, a.tabla, a.por_clave,
                                                    a.solo_claves);
        } catch (const Fallo&) {
            // A table without rowid (or any other failure): the statement as
            // given says what is wrong, or runs without a key.
        }
    }
    preparada(sql);
    return std::make_unique<ConsultaSqlite>(*this, sql, parametros, a.tabla, QString(), QString());
}

QString SqliteBackend::identificador(const QString& nombre) const
{
    return ::identificador(*db_.driver(), nombre);
}

QString SqliteBackend::identificador_tabla(const QString& tabla) const
{
    return identificador(tabla);
}

QVector<Columna> SqliteBackend::columnas(const QString& tabla)
{
    if (const QVector<Columna>* m = memo_columnas_.buscar(tabla)) return *m;
    auto it = columnas_.find(tabla);
    if (it != columnas_.end()) {
        memo_columnas_.recordar(tabla, &*it);
        return *it;
    }
    memo_columnas_.olvidar();
    const QString clave = tabla.toLower();
    auto cf = columnas_.constFind(clave);
    if (cf != columnas_.constEnd()) {
        const QVector<Columna> r = *cf;
        columnas_.insert(tabla, r);
        return r;
    }
    const QString sql = QStringLiteral("PRAGMA table_info(%1)").arg(identificador(tabla));
    QSqlQuery q(db_);
    q.setForwardOnly(true);
    if (!q.exec(sql)) fallar(q.lastError(), sql);
    QVector<Columna> r;
    while (q.next()) {
        Columna c;
        c.nombre = q.value(1).toString();
        c.tipo = tipo_declarado(q.value(2).toString());
        r << c;
    }
    q.finish();
    if (r.isEmpty())
        throw Fallo(codigo_error::TABLA_INEXISTENTE,
                    QStringLiteral("no such table: %1 (archivo: %2)").arg(tabla, archivo_));
    columnas_.insert(clave, r);
    columnas_.insert(tabla, r);
    return r;
}

void SqliteBackend::insertar(const QString& tabla, const QStringList& columnas, const QVariantList& valores)
{
    const QString sql = sql_insertar(*db_.driver(), tabla, columnas);
    averia(sql);
    correr(sql, valores);
    clave_insertada_ = sqlite3_last_insert_rowid(h_);
}

void SqliteBackend::insertar_fila(const QString& tabla, const QVector<Columna>& columnas, const QVariantList& valores,
                                  const QVector<bool>& asignada)
{
    auto& por_columnas = por_tabla(altas_, memo_altas_, tabla);
    auto it = por_columnas.constFind(asignada);
    if (it != por_columnas.constEnd()) {
        averia(it->sql);
    } else {
        QStringList nombres;
        for (int i = 0; i < columnas.size(); ++i)
            if (asignada[i]) nombres << columnas[i].nombre;
        it = por_columnas.insert(asignada, escritura(sql_insertar(*db_.driver(), tabla, nombres)));
    }
    const Escritura& e = *it;
    sqlite3_reset(e.s);
    int n = 0;
    for (int i = 0; i < columnas.size(); ++i)
        if (asignada[i]) enlazar(e.s, e.sql, ++n, valores[i]);
    terminar(e.s, e.sql);
    clave_insertada_ = sqlite3_last_insert_rowid(h_);
}

void SqliteBackend::actualizar(const QString& tabla, const Resultado& leido, int fila, const QStringList& columnas,
                               const QVariantList& valores)
{
    if (columnas.isEmpty()) return;
    if (fila < 0 || fila >= leido.claves.size() || leido.claves[fila] < 0)
        throw Fallo(codigo_error::FILA_NO_LOCALIZADA,
                    QStringLiteral(
                        "La fila de '%1' no se puede localizar para actualizarla: la consulta no la identifica.")
                        .arg(tabla));
    auto& por_columnas = por_tabla(actualizaciones_, memo_actualizaciones_, tabla);
    auto it = por_columnas.constFind(columnas);
    if (it != por_columnas.constEnd()) {
        averia(it->sql);
    } else {
        it = por_columnas.insert(columnas,
                                 escritura(QStringLiteral("UPDATE %1 SET %2 WHERE rowid = ?")
                                               .arg(identificador(tabla), sql_asignaciones(*db_.driver(), columnas))));
    }
    const Escritura& e = *it;
    sqlite3_reset(e.s);
    // Places left unbound are Null, as on every other statement.
    if (valores.size() + 1 < sqlite3_bind_parameter_count(e.s)) limpiar_enlaces(e.s);
    for (int i = 0; i < valores.size(); ++i) enlazar(e.s, e.sql, i + 1, valores[i]);
    enlazar(e.s, e.sql, int(valores.size()) + 1, QVariant(leido.claves[fila]));
    if (terminar(e.s, e.sql) == 0)
        throw Fallo(codigo_error::FILA_NO_LOCALIZADA,
                    QStringLiteral("La fila de '%1' no se puede localizar para actualizarla: otro programa la ha "
                                   "borrado desde que se leyó (archivo: %2).")
                        .arg(tabla, archivo_));
}
