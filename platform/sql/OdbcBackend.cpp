#include "platform/sql/OdbcBackend.h"

#include "platform/sistema/Averias.h"
#include "platform/sistema/Fichero.h"
#include "platform/sql/Motores.h"
#include "platform/sql/SentenciasFila.h"
#include "platform/sql/Vigilante.h"
#include "platform/valores/TextoSql.h"
#include "platform/valores/ValorColumna.h"
#include "platform/valores/Vb.h"

#include <QDateTime>
#include <QRegularExpression>
#include <QSet>
#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <iterator>
#include <utility>
#include <vector>

#include <sql.h>
#include <sqlext.h>

namespace {

// A long column: SQL Server's text, ntext and image (SQL_LONGVARCHAR,
// SQL_WLONGVARCHAR, SQL_LONGVARBINARY of 2^30 - 1 or more), on which it
// refuses "=", so a row is never looked for by their values. A long type of
// no stated size (SQLite's TEXT; varchar(max) is SQL_VARCHAR) compares as
// any text.
bool largo(int tipo_sql, int tamano)
{
    return (tipo_sql == SQL_LONGVARCHAR || tipo_sql == SQL_WLONGVARCHAR || tipo_sql == SQL_LONGVARBINARY) &&
           tamano > 8000;
}

// How a column is read: in the C type and to the value the program has
// always read there (doubles in low precision).
enum class Lee { Texto, TextoAnsi, Doble, Entero, Natural, Largo, LargoNatural, Fecha, Hora, Instante, Bytes };

// The column's type by its SQL type and sign.
void describir(SQLSMALLINT tipo_sql, bool con_signo, Lee& lee, TipoColumna& tipo)
{
    switch (tipo_sql) {
    case SQL_DECIMAL:
    case SQL_NUMERIC:
    case SQL_REAL:
    case SQL_FLOAT:
    case SQL_DOUBLE:
        lee = Lee::Doble;
        tipo = TipoColumna::Numero;
        return;
    case SQL_SMALLINT:
    case SQL_INTEGER:
    case SQL_BIT:
        lee = con_signo ? Lee::Entero : Lee::Natural;
        tipo = tipo_sql == SQL_BIT ? TipoColumna::Logico : TipoColumna::Numero;
        return;
    case SQL_TINYINT:
        lee = Lee::Natural;
        tipo = TipoColumna::Numero;
        return;
    case SQL_BIGINT:
        lee = con_signo ? Lee::Largo : Lee::LargoNatural;
        tipo = TipoColumna::Numero;
        return;
    case SQL_BINARY:
    case SQL_VARBINARY:
    case SQL_LONGVARBINARY:
        lee = Lee::Bytes;
        tipo = TipoColumna::Otro;
        return;
    case SQL_DATE:
    case SQL_TYPE_DATE:
        lee = Lee::Fecha;
        tipo = TipoColumna::Fecha;
        return;
    case SQL_TIME:
    case SQL_TYPE_TIME:
        lee = Lee::Hora;
        tipo = TipoColumna::Otro;
        return;
    case SQL_TIMESTAMP:
    case SQL_TYPE_TIMESTAMP:
        lee = Lee::Instante;
        tipo = TipoColumna::Fecha;
        return;
    case SQL_WCHAR:
    case SQL_WVARCHAR:
    case SQL_WLONGVARCHAR:
    case SQL_CHAR:
    case SQL_VARCHAR:
    case SQL_LONGVARCHAR:
    case SQL_GUID:
        lee = Lee::Texto;
        tipo = TipoColumna::Texto;
        return;
    default:
        lee = Lee::TextoAnsi;
        tipo = TipoColumna::Otro;
        return;
    }
}

// A text column read in pieces until the whole
// value is in, each piece without a final zero a driver may count; Null as
// no value, an error as a null text. A text read whole in one piece that is
// the same as `anterior` (that column's last text) is that QString again,
// not a new one: most texts of a column repeat from row to row.
template <typename Unidad>
QVariant leer_texto(SQLHSTMT h, SQLUSMALLINT c, QString& anterior)
{
    constexpr SQLSMALLINT tipo_c = sizeof(Unidad) == 1 ? SQL_C_CHAR : SQL_C_WCHAR;
    Unidad buf[1024];
    constexpr qsizetype cabe = qsizetype(std::size(buf)) - 1;
    QString t;
    for (;;) {
        SQLLEN ind = 0;
        const SQLRETURN e = SQLGetData(h, c, tipo_c, buf, sizeof buf, &ind);
        if (e == SQL_NO_DATA) break;
        if (!SQL_SUCCEEDED(e)) return QVariant(QString());
        if (ind == SQL_NULL_DATA) return QVariant();
        qsizetype n =
            ind == SQL_NO_TOTAL || ind / qsizetype(sizeof(Unidad)) > cabe ? cabe : ind / qsizetype(sizeof(Unidad));
        if (n > 0 && buf[n - 1] == 0) --n;
        if constexpr (sizeof(Unidad) == 2) {
            if (e == SQL_SUCCESS && t.isNull() && n > 0 && n == anterior.size() &&
                std::memcmp(buf, anterior.constData(), size_t(n) * sizeof(Unidad)) == 0)
                return anterior;
        }
        if constexpr (sizeof(Unidad) == 1)
            t += QString::fromUtf8(reinterpret_cast<const char*>(buf), n);
        else
            t += QString::fromUtf16(reinterpret_cast<const char16_t*>(buf), n);
        if (e == SQL_SUCCESS) break;
    }
    if (!t.isEmpty()) anterior = t;
    return t;
}

QVariant leer_bytes(SQLHSTMT h, SQLUSMALLINT c)
{
    char buf[4096];
    QByteArray b;
    for (;;) {
        SQLLEN ind = 0;
        const SQLRETURN e = SQLGetData(h, c, SQL_C_BINARY, buf, sizeof buf, &ind);
        if (e == SQL_NO_DATA) break;
        if (!SQL_SUCCEEDED(e) || ind == SQL_NULL_DATA) return QVariant();
        b.append(buf, ind == SQL_NO_TOTAL || ind > SQLLEN(sizeof buf) ? qsizetype(sizeof buf) : qsizetype(ind));
        if (e == SQL_SUCCESS) break;
    }
    return b;
}

// One fixed-size value in C type `tipo_c`; Null (and an error, as Qt's
// driver has it) as no value.
template <typename T>
bool leer_fijo(SQLHSTMT h, SQLUSMALLINT c, SQLSMALLINT tipo_c, T& v)
{
    SQLLEN ind = 0;
    const SQLRETURN e = SQLGetData(h, c, tipo_c, &v, sizeof v, &ind);
    return SQL_SUCCEEDED(e) && ind != SQL_NULL_DATA;
}

QVariant leer_valor(SQLHSTMT h, SQLUSMALLINT c, Lee lee, QString& anterior)
{
    switch (lee) {
    case Lee::Texto: return leer_texto<SQLWCHAR>(h, c, anterior);
    case Lee::TextoAnsi: return leer_texto<char>(h, c, anterior);
    case Lee::Bytes: return leer_bytes(h, c);
    case Lee::Doble: {
        double v = 0;
        return leer_fijo(h, c, SQL_C_DOUBLE, v) ? QVariant(v) : QVariant();
    }
    case Lee::Entero: {
        SQLINTEGER v = 0;
        return leer_fijo(h, c, SQL_C_SLONG, v) ? QVariant(int(v)) : QVariant();
    }
    case Lee::Natural: {
        SQLUINTEGER v = 0;
        return leer_fijo(h, c, SQL_C_ULONG, v) ? QVariant(uint(v)) : QVariant();
    }
    case Lee::Largo: {
        SQLBIGINT v = 0;
        return leer_fijo(h, c, SQL_C_SBIGINT, v) ? QVariant(qlonglong(v)) : QVariant();
    }
    case Lee::LargoNatural: {
        SQLUBIGINT v = 0;
        return leer_fijo(h, c, SQL_C_UBIGINT, v) ? QVariant(qulonglong(v)) : QVariant();
    }
    case Lee::Fecha: {
        DATE_STRUCT v{};
        return leer_fijo(h, c, SQL_C_DATE, v) ? QVariant(QDate(v.year, v.month, v.day)) : QVariant();
    }
    case Lee::Hora: {
        TIME_STRUCT v{};
        return leer_fijo(h, c, SQL_C_TIME, v) ? QVariant(QTime(v.hour, v.minute, v.second)) : QVariant();
    }
    case Lee::Instante: {
        TIMESTAMP_STRUCT v{};
        if (!leer_fijo(h, c, SQL_C_TIMESTAMP, v)) return QVariant();
        return QDateTime(QDate(v.year, v.month, v.day), QTime(v.hour, v.minute, v.second, int(v.fraction / 1000000)));
    }
    }
    return QVariant();
}

}  // namespace

EnlaceTexto enlace_de_texto(short descrito, unsigned long tamano, qsizetype caracteres)
{
    const bool estrecho = descrito == SQL_CHAR || descrito == SQL_VARCHAR;
    const bool ancho = descrito == SQL_WCHAR || descrito == SQL_WVARCHAR;
    if ((estrecho && tamano <= 8000) || (ancho && tamano <= 4000))
        if (tamano > 0 && qsizetype(tamano) >= caracteres) return {descrito, tamano};
    // As Qt binds it: the column size its bytes with a final zero.
    const unsigned long bytes = (unsigned long)(caracteres + 1) * sizeof(SQLWCHAR);
    return {short(bytes > 254 ? SQL_WLONGVARCHAR : SQL_WVARCHAR), bytes};
}

namespace {

// A parameter bound straight: its value where ODBC reads it at execution.
struct Parametro {
    SQLLEN ind = 0;
    union {
        SQLINTEGER i;
        SQLUINTEGER u;
        SQLBIGINT ll;
        SQLUBIGINT ull;
        double d;
        unsigned char b;
        SQL_DATE_STRUCT fecha;
        SQL_TIME_STRUCT hora;
        SQL_TIMESTAMP_STRUCT instante;
    } v{};
    std::vector<SQLWCHAR> texto;
    QByteArray bytes;
};

// A text as ODBC takes it: UTF-16, with the length in characters passed
// apart (never the final zero).
SQLWCHAR* ancho(const QString& t)
{
    return const_cast<SQLWCHAR*>(reinterpret_cast<const SQLWCHAR*>(t.utf16()));
}

QString de_ancho(const SQLWCHAR* t, qsizetype n)
{
    if (n > 0 && t[n - 1] == 0) --n;
    return QString::fromUtf16(reinterpret_cast<const char16_t*>(t), n);
}

// A column of a catalogue function's result as text; Null as empty.
QString texto_de_columna(SQLHSTMT h, SQLUSMALLINT c)
{
    QString anterior;
    return leer_texto<SQLWCHAR>(h, c, anterior).toString();
}

// A text returned by SQLGetInfo; empty when the driver does not say.
QString informacion(SQLHDBC hdbc, SQLUSMALLINT que)
{
    SQLWCHAR buf[64];
    SQLSMALLINT largo = 0;
    if (!SQL_SUCCEEDED(SQLGetInfoW(hdbc, que, buf, SQLSMALLINT(sizeof buf), &largo))) return {};
    return de_ancho(buf, qBound(qsizetype(0), qsizetype(largo / SQLSMALLINT(sizeof(SQLWCHAR))),
                                qsizetype(std::size(buf)) - 1));
}

// The connection string as the driver manager is given it: a DSN name
// alone becomes DSN=..., a .dsn file FILEDSN=...; the user and password,
// when given apart, go at its end.
QString cadena_completa(const QString& cadena, const QString& usuario, const QString& clave)
{
    QString r;
    if (cadena.contains(QLatin1String(".dsn"), Qt::CaseInsensitive))
        r = QStringLiteral("FILEDSN=") + cadena;
    else if (cadena.contains(QLatin1String("DRIVER="), Qt::CaseInsensitive) ||
             cadena.contains(QLatin1String("SERVER="), Qt::CaseInsensitive))
        r = cadena;
    else
        r = QStringLiteral("DSN=") + cadena;
    if (!usuario.isEmpty()) r += QStringLiteral(";UID=") + usuario;
    if (!clave.isEmpty()) r += QStringLiteral(";PWD=") + clave;
    return r;
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

// A statement on its own handle, prepared once; a selection's columns are
// described on its first run and again only when their number changes.
struct OdbcBackend::Sentencia {
    SQLHSTMT h = SQL_NULL_HSTMT;
    bool descrita = false;
    QVector<Columna> columnas;
    QVector<Lee> lee;
    std::vector<QString> anteriores;  // by column: the last text read there
    // By parameter, the SQL type and size the driver described (type 0:
    // not described), asked for on the first run.
    struct Descrito {
        SQLSMALLINT tipo = 0;
        SQLULEN tamano = 0;
        SQLSMALLINT decimales = 0;
    };
    bool parametros_descritos = false;
    std::vector<Descrito> parametros;
    QString tabla;  // what seleccion_simple() finds, or empty

    ~Sentencia()
    {
        if (h != SQL_NULL_HSTMT) SQLFreeHandle(SQL_HANDLE_STMT, h);
    }
};

std::shared_ptr<Backend> abrir_odbc(const QString& cadena, const QString& usuario, const QString& clave)
{
    return std::make_shared<OdbcBackend>(cadena, usuario, clave);
}

OdbcBackend::OdbcBackend(const QString& cadena, const QString& usuario, const QString& clave) : cadena_(cadena)
{
    auto no_conecta = [&](const QString& texto) {
        throw Fallo(codigo_error::FALLO_GENERAL,
                    QStringLiteral("No se puede conectar con '%1': %2").arg(sin_clave(cadena_), texto));
    };
    SQLHENV env = SQL_NULL_HENV;
    if (!SQL_SUCCEEDED(SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &env)))
        no_conecta(QStringLiteral("el gestor de ODBC no tiene memoria para un entorno"));
    henv_ = env;
    // ODBC 3 behaviour: SQLSTATEs of ODBC 3 (42S22, not S0022) and the
    // date types the server has.
    SQLSetEnvAttr(env, SQL_ATTR_ODBC_VERSION, reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), 0);
    SQLHDBC dbc = SQL_NULL_HDBC;
    if (!SQL_SUCCEEDED(SQLAllocHandle(SQL_HANDLE_DBC, env, &dbc))) {
        SQLFreeHandle(SQL_HANDLE_ENV, env);
        henv_ = nullptr;
        no_conecta(QStringLiteral("el gestor de ODBC no tiene memoria para una conexión"));
    }
    hdbc_ = dbc;
    const QString texto = cadena_completa(cadena_, usuario, clave);
    SQLWCHAR salida[1024];
    SQLSMALLINT largo_salida = 0;
    const SQLRETURN e = SQLDriverConnectW(dbc, nullptr, ancho(texto), SQLSMALLINT(texto.size()), salida,
                                          SQLSMALLINT(std::size(salida)), &largo_salida, SQL_DRIVER_NOPROMPT);
    if (!SQL_SUCCEEDED(e)) {
        QString mensaje = diagnostico(nullptr).texto;
        if (mensaje.isEmpty()) mensaje = QStringLiteral("el controlador no dice por qué");
        SQLFreeHandle(SQL_HANDLE_DBC, dbc);
        SQLFreeHandle(SQL_HANDLE_ENV, env);
        hdbc_ = henv_ = nullptr;
        no_conecta(mensaje);
    }
    static const QRegularExpression base(QStringLiteral("(?:^|;)\\s*Database\\s*=\\s*([^;]*)"),
                                         QRegularExpression::CaseInsensitiveOption);
    catalogo_ = base.match(cadena_).captured(1).trimmed();
    // How the driver quotes and stores names, and whether it has
    // transactions: asked once.
    const QString comilla = informacion(dbc, SQL_IDENTIFIER_QUOTE_CHAR).trimmed();
    if (comilla.size() == 1) comilla_ = comilla.at(0);
    SQLUSMALLINT caso = 0;
    if (SQL_SUCCEEDED(SQLGetInfoW(dbc, SQL_IDENTIFIER_CASE, &caso, sizeof caso, nullptr))) caso_ = caso;
    SQLUSMALLINT capaz = SQL_TC_NONE;
    transacciones_ =
        SQL_SUCCEEDED(SQLGetInfoW(dbc, SQL_TXN_CAPABLE, &capaz, sizeof capaz, nullptr)) && capaz != SQL_TC_NONE;
    // A row the hotel's programs hold locked is waited for this long.
    vigilante_ = std::make_unique<Vigilante>(std::chrono::milliseconds(averias::espera_bloqueo(30000)));
}

OdbcBackend::~OdbcBackend()
{
    vigilante_.reset();
    sentencias_.clear();
    if (hdbc_) {
        // A server refuses to disconnect with a transaction open.
        if (en_transaccion_) terminar(false, nullptr);
        SQLDisconnect(hdbc_);
        SQLFreeHandle(SQL_HANDLE_DBC, hdbc_);
    }
    if (henv_) SQLFreeHandle(SQL_HANDLE_ENV, henv_);
}

// The fault seam counts the statements that change the catalogue and its
// commits, under the catalogue's name, as the SQLite engine counts a file's.
void OdbcBackend::averia(const QString& sql) const
{
    if (!catalogo_.isEmpty()) averias::ante_sentencia(catalogo_, QStringLiteral("catálogo"), sql);
}

// Class 08 (the connection) or the MariaDB client's own numbers for a
// server gone: nothing more can be sent on this connection.
bool OdbcBackend::perdida(const Diagnostico& d)
{
    return std::any_of(d.estados.cbegin(), d.estados.cend(),
                       [](const QString& e) { return e.startsWith(QLatin1String("08")); }) ||
           d.nativo == QLatin1String("2006") || d.nativo == QLatin1String("2013");
}

void OdbcBackend::fallar(const Diagnostico& d, const QString& sql) const
{
    const QString& mensaje = d.texto;
    auto estado = [&](const char* a, const char* b) {
        return d.estados.contains(QLatin1String(a)) || d.estados.contains(QLatin1String(b)) ||
               mensaje.contains(QLatin1String(a));
    };
    qint32 numero = codigo_error::FALLO_GENERAL;
    if (perdida(d))
        throw Fallo(numero,
                    QStringLiteral("Se ha perdido la conexión con el servidor: %1 (sentencia: %2)").arg(mensaje, sql));
    // 42S22 (ODBC 3) or S0022 (ODBC 2): no such column; 42S02 or S0002: no
    // such table. SQL Server's native 207 and 208 say the same.
    if (estado("42S22", "S0022") || mensaje.contains(QLatin1String("no such column"), Qt::CaseInsensitive) ||
        mensaje.contains(QLatin1String("Invalid column name"), Qt::CaseInsensitive) || d.nativo == QLatin1String("207"))
        numero = codigo_error::ERROR_EN_COMANDO;
    else if (estado("42S02", "S0002") || mensaje.contains(QLatin1String("no such table"), Qt::CaseInsensitive) ||
             mensaje.contains(QLatin1String("Invalid object name"), Qt::CaseInsensitive) ||
             d.nativo == QLatin1String("208"))
        numero = codigo_error::TABLA_INEXISTENTE;
    throw Fallo(numero, QStringLiteral("%1 (sentencia: %2)").arg(mensaje, sql));
}

void OdbcBackend::olvidar_esquema()
{
    guardados_.clear();
    sentencias_.clear();
    tablas_.clear();
}

QString OdbcBackend::identificador(const QString& nombre) const
{
    // Quoted once per name: a row's save names every column of its table.
    auto it = identificadores_.constFind(nombre);
    if (it == identificadores_.constEnd()) it = identificadores_.insert(nombre, identificador_odbc(comilla_, nombre));
    return *it;
}

void OdbcBackend::ejecutar(const QString& sql, const QVariantList& parametros)
{
    averia(sql);
    if (cambia_esquema(sql)) {
        // Statements and columns known so far may no longer hold; nor is
        // this one kept.
        olvidar_esquema();
        try {
            correr(sql, parametros, nullptr);
        } catch (...) {
            olvidar_esquema();
            throw;
        }
        olvidar_esquema();
        return;
    }
    correr(sql, parametros, nullptr);
}

// Every statement goes straight through ODBC. A text is bound as the
// driver describes its parameter (see enlace_de_texto()), so a server
// compares it with a varchar key in the key's type, and with its own length.
void OdbcBackend::correr(const QString& sql, const QVariantList& parametros, Resultado* r, qint64* cambiadas)
{
    QVariantList valores;
    valores.reserve(parametros.size());
    for (const QVariant& p : parametros) valores << valor_enlazado(p);
    std::shared_ptr<Sentencia> l = sentencias_.value(sql);
    if (!l) {
        auto nueva = std::make_shared<Sentencia>();
        if (!SQL_SUCCEEDED(SQLAllocHandle(SQL_HANDLE_STMT, hdbc_, &nueva->h))) {
            nueva->h = SQL_NULL_HSTMT;
            fallar_directo(nullptr, sql);
        }
        SQLSetStmtAttrW(nueva->h, SQL_ATTR_CURSOR_TYPE, reinterpret_cast<SQLPOINTER>(SQL_CURSOR_FORWARD_ONLY),
                        SQL_IS_UINTEGER);
        if (!SQL_SUCCEEDED(SQLPrepareW(nueva->h, ancho(sql), SQLINTEGER(sql.size()))))
            fallar_directo(nueva->h, sql, false);
        const SeleccionSimple s = seleccion_simple(sql);
        if (s.valida) nueva->tabla = s.tabla;
        sentencias_.insert(sql, nueva);
        l = nueva;
    }
    const SQLHSTMT h = l->h;

    if (!l->parametros_descritos) {
        l->parametros.assign(size_t(valores.size()), Sentencia::Descrito{});
        for (int i = 0; i < valores.size(); ++i) {
            SQLSMALLINT tipo = 0, decimales = 0, nulos = 0;
            SQLULEN tamano = 0;
            if (SQL_SUCCEEDED(SQLDescribeParam(h, SQLUSMALLINT(i + 1), &tipo, &tamano, &decimales, &nulos)))
                l->parametros[size_t(i)] = {tipo, tamano, decimales};
        }
        l->parametros_descritos = true;
    }

    std::vector<Parametro> ps(valores.size());
    for (int i = 0; i < valores.size(); ++i) {
        Parametro& p = ps[i];
        const QVariant& v = valores[i];
        const SQLUSMALLINT n = SQLUSMALLINT(i + 1);
        const Sentencia::Descrito descrito =
            size_t(i) < l->parametros.size() ? l->parametros[size_t(i)] : Sentencia::Descrito{};
        auto fijo = [&](SQLSMALLINT tipo_c, SQLSMALLINT tipo_sql, SQLULEN tamano, void* valor) {
            return SQLBindParameter(h, n, SQL_PARAM_INPUT, tipo_c, tipo_sql, tamano, 0, valor, 0, nullptr);
        };
        // UTF-16, its length without the final zero: a server given the
        // zero as part of the value stores and compares it.
        auto texto = [&](const QString& t) {
            p.texto.assign(t.utf16(), t.utf16() + t.size() + 1);
            p.ind = SQLLEN(t.size() * sizeof(SQLWCHAR));
            const EnlaceTexto como = enlace_de_texto(descrito.tipo, (unsigned long)descrito.tamano, t.size());
            return SQLBindParameter(h, n, SQL_PARAM_INPUT, SQL_C_WCHAR, como.tipo_sql, SQLULEN(como.tamano), 0,
                                    p.texto.data(), SQLLEN(p.texto.size() * sizeof(SQLWCHAR)), &p.ind);
        };
        SQLRETURN e = SQL_SUCCESS;
        switch (v.typeId()) {
        case QMetaType::QString: e = texto(v.toString()); break;
        case QMetaType::Int:
            p.v.i = v.toInt();
            e = fijo(SQL_C_SLONG, SQL_INTEGER, 0, &p.v.i);
            break;
        case QMetaType::UInt:
            p.v.u = v.toUInt();
            e = fijo(SQL_C_ULONG, SQL_NUMERIC, 15, &p.v.u);
            break;
        case QMetaType::LongLong:
            p.v.ll = v.toLongLong();
            e = fijo(SQL_C_SBIGINT, SQL_BIGINT, 0, &p.v.ll);
            break;
        case QMetaType::ULongLong:
            p.v.ull = v.toULongLong();
            e = fijo(SQL_C_UBIGINT, SQL_BIGINT, 0, &p.v.ull);
            break;
        case QMetaType::Double:
            p.v.d = v.toDouble();
            e = fijo(SQL_C_DOUBLE, SQL_DOUBLE, 0, &p.v.d);
            break;
        case QMetaType::Bool:
            p.v.b = v.toBool() ? 1 : 0;
            e = fijo(SQL_C_BIT, SQL_BIT, 0, &p.v.b);
            break;
        case QMetaType::Float:
        case QMetaType::Short:
        case QMetaType::UShort:
        case QMetaType::Char:
        case QMetaType::SChar:
        case QMetaType::UChar:
        case QMetaType::Long:
        case QMetaType::ULong:
            p.v.d = v.toDouble();
            e = fijo(SQL_C_DOUBLE, SQL_DOUBLE, 0, &p.v.d);
            break;
        case QMetaType::QDate: {
            const QDate d = v.toDate();
            p.v.fecha = {SQLSMALLINT(d.year()), SQLUSMALLINT(d.month()), SQLUSMALLINT(d.day())};
            e = fijo(SQL_C_TYPE_DATE, SQL_TYPE_DATE, 10, &p.v.fecha);
            break;
        }
        case QMetaType::QTime: {
            const QTime t = v.toTime();
            p.v.hora = {SQLUSMALLINT(t.hour()), SQLUSMALLINT(t.minute()), SQLUSMALLINT(t.second())};
            e = fijo(SQL_C_TYPE_TIME, SQL_TYPE_TIME, 8, &p.v.hora);
            break;
        }
        case QMetaType::QDateTime: {
            const QDateTime x = v.toDateTime();
            const QDate d = x.date();
            const QTime t = x.time();
            p.v.instante = {SQLSMALLINT(d.year()),           SQLUSMALLINT(d.month()),  SQLUSMALLINT(d.day()),
                            SQLUSMALLINT(t.hour()),          SQLUSMALLINT(t.minute()), SQLUSMALLINT(t.second()),
                            SQLUINTEGER(t.msec()) * 1000000u};
            // To the millisecond: SQL Server's datetime holds no more.
            e = SQLBindParameter(h, n, SQL_PARAM_INPUT, SQL_C_TYPE_TIMESTAMP, SQL_TYPE_TIMESTAMP, 23, 3, &p.v.instante,
                                 0, nullptr);
            break;
        }
        case QMetaType::QByteArray: {
            p.bytes = v.toByteArray();
            p.ind = SQLLEN(p.bytes.size());
            e = SQLBindParameter(h, n, SQL_PARAM_INPUT, SQL_C_BINARY,
                                 p.bytes.size() > 8000 ? SQL_LONGVARBINARY : SQL_VARBINARY,
                                 SQLULEN(std::max<qsizetype>(p.bytes.size(), 1)), 0, p.bytes.data(), p.ind, &p.ind);
            break;
        }
        case QMetaType::UnknownType:  // Null
            p.ind = SQL_NULL_DATA;
            if (descrito.tipo != 0) {
                // In the type described: SQL Server converts a binary
                // Null to most types, but not to float or real.
                const bool binario =
                    descrito.tipo == SQL_BINARY || descrito.tipo == SQL_VARBINARY || descrito.tipo == SQL_LONGVARBINARY;
                e = SQLBindParameter(h, n, SQL_PARAM_INPUT, binario ? SQL_C_BINARY : SQL_C_CHAR, descrito.tipo,
                                     std::max<SQLULEN>(descrito.tamano, 1), descrito.decimales, &p.v, 1, &p.ind);
            } else {
                // A Null of no type, as binary.
                e = SQLBindParameter(h, n, SQL_PARAM_INPUT, SQL_C_BINARY, SQL_VARBINARY, 1, 0, &p.v, 1, &p.ind);
            }
            break;
        default:  // any other value as its text
            e = texto(v.toString());
            break;
        }
        if (!SQL_SUCCEEDED(e)) fallar_directo(h, sql);
    }

    // From here to the last row, a statement kept waiting past its time by
    // the server is cancelled.
    vigilante_->empezar(h);
    struct Vigilia {
        Vigilante& v;
        bool activa = true;
        bool cancelada()
        {
            activa = false;
            return v.terminar();
        }
        ~Vigilia()
        {
            if (activa) v.terminar();
        }
    } vigilia{*vigilante_};
    auto fallo = [&]() {
        if (vigilia.cancelada()) fallar_por_espera(h, sql, valores);
        fallar_directo(h, sql);
    };
    const SQLRETURN e = SQLExecute(h);
    if (!SQL_SUCCEEDED(e) && e != SQL_NO_DATA) fallo();
    if (cambiadas) {
        SQLLEN n = 0;
        *cambiadas = SQL_SUCCEEDED(SQLRowCount(h, &n)) ? qint64(n) : -1;
    }
    if (!r) {
        SQLFreeStmt(h, SQL_CLOSE);
        return;
    }
    SQLSMALLINT columnas = 0;
    if (!SQL_SUCCEEDED(SQLNumResultCols(h, &columnas))) fallo();
    if (!l->descrita || columnas != l->columnas.size()) {
        l->descrita = false;
        l->columnas.clear();
        l->lee.clear();
        for (SQLUSMALLINT c = 1; c <= columnas; ++c) {
            SQLWCHAR nombre[256];
            SQLSMALLINT largo = 0, tipo_sql = 0, escala = 0, nulos = 0;
            SQLULEN tamano = 0;
            if (!SQL_SUCCEEDED(SQLDescribeColW(h, c, nombre, SQLSMALLINT(std::size(nombre)), &largo, &tipo_sql, &tamano,
                                               &escala, &nulos)))
                fallar_directo(h, sql);
            bool con_signo = true;
            if (tipo_sql == SQL_SMALLINT || tipo_sql == SQL_INTEGER || tipo_sql == SQL_BIT || tipo_sql == SQL_BIGINT) {
                SQLLEN sin_signo = SQL_FALSE;
                SQLColAttributeW(h, c, SQL_DESC_UNSIGNED, nullptr, 0, nullptr, &sin_signo);
                con_signo = sin_signo == SQL_FALSE;
            }
            qsizetype n = qBound(qsizetype(0), qsizetype(largo), qsizetype(std::size(nombre)) - 1);
            if (n > 0 && nombre[n - 1] == 0) --n;
            Columna col;
            col.nombre = QString::fromUtf16(reinterpret_cast<const char16_t*>(nombre), n);
            Lee lee = Lee::Texto;
            describir(tipo_sql, con_signo, lee, col.tipo);
            l->columnas << col;
            l->lee << lee;
        }
        l->anteriores.assign(size_t(columnas), QString());
        l->descrita = true;
    }

    r->columnas = l->columnas;
    for (;;) {
        if (columnas == 0) break;
        const SQLRETURN f = SQLFetch(h);
        if (f == SQL_NO_DATA) break;
        if (!SQL_SUCCEEDED(f)) fallo();
        QVariantList fila;
        fila.reserve(columnas);
        for (SQLUSMALLINT c = 1; c <= columnas; ++c) fila << leer_valor(h, c, l->lee[c - 1], l->anteriores[c - 1]);
        r->filas << std::move(fila);
    }
    SQLFreeStmt(h, SQL_CLOSE);
}

// The driver's records, the connection's then the statement's, each text
// once.
OdbcBackend::Diagnostico OdbcBackend::diagnostico(void* hstmt) const
{
    Diagnostico d;
    auto registros = [&](SQLSMALLINT tipo, SQLHANDLE h) {
        QString r;
        for (SQLSMALLINT i = 1;; ++i) {
            SQLWCHAR estado[SQL_SQLSTATE_SIZE + 1] = {};
            SQLINTEGER numero = 0;
            SQLSMALLINT largo = 0;
            SQLRETURN e = SQLGetDiagRecW(tipo, h, i, estado, &numero, nullptr, 0, &largo);
            if (!SQL_SUCCEEDED(e)) break;
            std::vector<SQLWCHAR> texto(size_t(std::max<SQLSMALLINT>(largo, 0)) + 1);
            e = SQLGetDiagRecW(tipo, h, i, estado, &numero, texto.data(), SQLSMALLINT(texto.size()), &largo);
            if (!SQL_SUCCEEDED(e)) break;
            d.nativo = QString::number(numero);
            d.estados << de_ancho(estado, SQL_SQLSTATE_SIZE);
            const QString t =
                de_ancho(texto.data(), qBound(qsizetype(0), qsizetype(largo), qsizetype(texto.size()) - 1));
            if (r != t) {
                if (!r.isEmpty()) r += QLatin1Char(' ');
                r += t;
            }
        }
        return r;
    };
    if (hdbc_) d.texto = registros(SQL_HANDLE_DBC, hdbc_);
    if (hstmt) {
        const QString m = registros(SQL_HANDLE_STMT, hstmt);
        if (!m.isEmpty() && !d.texto.isEmpty()) d.texto += QLatin1Char(' ');
        d.texto += m;
    }
    return d;
}

void OdbcBackend::fallar_por_espera(void* hstmt, const QString& sql, const QVariantList& valores) const
{
    SQLFreeStmt(static_cast<SQLHSTMT>(hstmt), SQL_CLOSE);
    static const QRegularExpression tabla(QStringLiteral("\\b(?:FROM|UPDATE|INTO)\\s+\"?([A-Za-z0-9_]+)"),
                                          QRegularExpression::CaseInsensitiveOption);
    QStringList buscados;
    for (const QVariant& v : valores) buscados << (vb::esNulo(v) ? QStringLiteral("Null") : v.toString());
    const qint64 s = (vigilante_->limite().count() + 500) / 1000;
    throw Fallo(codigo_error::TIEMPO_AGOTADO,
                QStringLiteral("el servidor ha esperado %1 s sin poder leer o escribir la tabla '%2': otro programa "
                               "tiene bloqueada la fila (valores: %3) (sentencia: %4)")
                    .arg(QString::number(s), tabla.match(sql).captured(1), buscados.join(QStringLiteral(", ")), sql));
}

void OdbcBackend::fallar_directo(void* hstmt, const QString& sql, bool cerrar) const
{
    Diagnostico d = diagnostico(hstmt);
    if (d.texto.isEmpty()) d.texto = QStringLiteral("El controlador de ODBC no dice qué ha fallado.");
    if (hstmt && cerrar) SQLFreeStmt(hstmt, SQL_CLOSE);
    fallar(d, sql);
}

std::unique_ptr<Consulta> OdbcBackend::abrir(const QString& sql, const QVariantList& parametros, bool)
{
    Resultado r;
    correr(sql, parametros, &r);
    return std::make_unique<ConsultaOdbc>(std::move(r), sentencias_.value(sql)->tabla);
}

QString OdbcBackend::ajustar_caso(const QString& nombre) const
{
    if (caso_ == SQL_IC_UPPER) return nombre.toUpper();
    if (caso_ == SQL_IC_LOWER) return nombre.toLower();
    return nombre;
}

// The columns by SQLColumns, the key by SQLPrimaryKeys. The table's name
// goes to SQLColumns as a pattern, where "_" stands for any character, so
// only the rows of the table named are taken.
const OdbcBackend::Tabla& OdbcBackend::tabla(const QString& nombre)
{
    const QString clave = nombre.toLower();
    auto it = tablas_.constFind(clave);
    if (it != tablas_.constEnd()) return *it;
    const QString buscado = ajustar_caso(nombre);
    const QString sql_columnas = QStringLiteral("SQLColumns(%1)").arg(buscado);
    SQLHSTMT h = SQL_NULL_HSTMT;
    if (!SQL_SUCCEEDED(SQLAllocHandle(SQL_HANDLE_STMT, hdbc_, &h))) fallar_directo(nullptr, sql_columnas);
    struct Liberar {
        SQLHSTMT h;
        ~Liberar() { SQLFreeHandle(SQL_HANDLE_STMT, h); }
    } liberar{h};
    Tabla t;
    if (SQL_SUCCEEDED(
            SQLColumnsW(h, nullptr, 0, nullptr, 0, ancho(buscado), SQLSMALLINT(buscado.size()), nullptr, 0))) {
        for (;;) {
            const SQLRETURN f = SQLFetch(h);
            if (f == SQL_NO_DATA) break;
            if (!SQL_SUCCEEDED(f)) fallar_directo(h, sql_columnas);
            if (texto_de_columna(h, 3).compare(nombre, Qt::CaseInsensitive) != 0) continue;
            Columna c;
            c.nombre = texto_de_columna(h, 4);
            SQLINTEGER tipo_sql = 0, tamano = 0;
            if (!leer_fijo(h, 5, SQL_C_SLONG, tipo_sql)) tipo_sql = 0;
            if (!leer_fijo(h, 7, SQL_C_SLONG, tamano)) tamano = -1;
            Lee lee = Lee::Texto;
            describir(SQLSMALLINT(tipo_sql), true, lee, c.tipo);
            t.columnas << c;
            t.campos << Campo{c.nombre, int(tipo_sql), int(tamano)};
        }
    }
    SQLFreeStmt(h, SQL_CLOSE);
    if (t.columnas.isEmpty())
        throw Fallo(codigo_error::TABLA_INEXISTENTE,
                    QStringLiteral("No se encuentra la tabla '%1' (%2).").arg(nombre, sin_clave(cadena_)));
    if (SQL_SUCCEEDED(SQLPrimaryKeysW(h, nullptr, 0, nullptr, 0, ancho(buscado), SQLSMALLINT(buscado.size())))) {
        QVector<std::pair<int, QString>> partes;
        while (SQL_SUCCEEDED(SQLFetch(h))) {
            SQLINTEGER orden = 0;
            if (!leer_fijo(h, 5, SQL_C_SLONG, orden)) orden = int(partes.size()) + 1;
            partes << std::pair{int(orden), texto_de_columna(h, 4)};
        }
        std::stable_sort(partes.begin(), partes.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
        for (const auto& [orden, columna] : std::as_const(partes)) t.clave << columna;
    }
    SQLFreeStmt(h, SQL_CLOSE);
    return *tablas_.insert(clave, t);
}

QVector<Columna> OdbcBackend::columnas(const QString& tabla)
{
    return this->tabla(tabla).columnas;
}

void OdbcBackend::insertar(const QString& tabla, const QStringList& columnas, const QVariantList& valores)
{
    const QString sql = sql_insertar([this](const QString& n) { return identificador(n); }, tabla, columnas);
    averia(sql);
    correr(sql, valores, nullptr);
}

namespace {

int indice_de(const QVector<Columna>& columnas, const QString& nombre)
{
    for (int i = 0; i < columnas.size(); ++i)
        if (mismo_nombre(columnas[i].nombre, nombre)) return i;
    return -1;
}

}  // namespace

// How a save of these columns of rows read with this layout finds its row:
// worked out once, since a run saves many rows of one reading the same way.
const OdbcBackend::Guardado& OdbcBackend::guardado(const QString& tabla, const QVector<Columna>& leidas,
                                                   const QStringList& columnas, bool sin_clave)
{
    // The plan keeps the layout it was made for, so that layout's data
    // stays alive and its address names it alone.
    for (const Guardado& g : std::as_const(guardados_))
        if (g.leidas.constData() == leidas.constData() && g.leidas.size() == leidas.size() &&
            g.sin_clave == sin_clave && g.tabla == tabla && g.columnas == columnas)
            return g;
    const Tabla& t = this->tabla(tabla);
    Guardado g;
    g.tabla = tabla;
    g.leidas = leidas;
    g.columnas = columnas;
    g.sin_clave = sin_clave;
    // The row is found by its key and the values the changed columns had
    // when it was read, so another program's change to them is seen. A table
    // without a key (or a read without its key columns) is searched by every
    // value of the row.
    QVector<int> buscar;  // columns of leidas
    g.por_clave = !sin_clave && !t.clave.isEmpty();
    for (const QString& k : t.clave) {
        if (!g.por_clave) break;
        const int i = indice_de(leidas, k);
        if (i < 0) {
            g.por_clave = false;
            break;
        }
        buscar << i;
    }
    if (g.por_clave) {
        g.ultima_clave = *std::max_element(buscar.cbegin(), buscar.cend());
        for (const QString& c : columnas) {
            const int i = indice_de(leidas, c);
            if (i >= 0 && !buscar.contains(i)) buscar << i;
        }
    } else {
        buscar.clear();
        for (int i = 0; i < leidas.size(); ++i) buscar << i;
    }
    for (int i : std::as_const(buscar)) {
        const QString& nombre = leidas[i].nombre;
        const Campo* campo = nullptr;
        for (const Campo& c : t.campos)
            if (mismo_nombre(c.nombre, nombre)) {
                campo = &c;
                break;
            }
        if (!campo || largo(campo->tipo_sql, campo->tamano)) continue;
        Guardado::Busqueda b;
        b.columna = i;
        b.identificador = identificador(nombre);
        // Compared in the column's own type, whatever type the driver
        // would give the parameter, so the server can use its index.
        if ((campo->tipo_sql == SQL_CHAR || campo->tipo_sql == SQL_VARCHAR) && campo->tamano > 0 &&
            campo->tamano <= 8000)
            b.molde = QStringLiteral("CAST(? AS VARCHAR(%1))").arg(campo->tamano);
        if (g.por_clave && mismo_nombre(nombre, t.clave.last())) g.variable = int(g.buscar.size());
        g.buscar << b;
    }
    g.inicio = QStringLiteral("UPDATE %1 SET %2 WHERE ")
                   .arg(identificador(tabla),
                        sql_asignaciones([this](const QString& n) { return identificador(n); }, columnas));
    if (guardados_.size() >= 32) guardados_.removeFirst();
    guardados_ << g;
    return guardados_.constLast();
}

// Each condition's form follows the value the row had: 'n' Null, 'd' a
// double within a margin, 't' a text compared in its column's type, '='
// any other value, '-' not compared.
QByteArray OdbcBackend::formas_de(const Guardado& g, const QVariantList& original, QVariantList& p, int* variable)
{
    QByteArray formas;
    formas.reserve(g.buscar.size());
    const qsizetype inicio = p.size();
    for (const Guardado::Busqueda& b : g.buscar) {
        if (variable && &b - g.buscar.constData() == g.variable) *variable = int(p.size() - inicio);
        if (b.columna >= original.size()) {
            formas += '-';
            continue;
        }
        const QVariant& v = original[b.columna];
        if (vb::esNulo(v)) {
            formas += 'n';
        } else if (v.typeId() == QMetaType::QByteArray) {
            formas += '-';  // binary columns cannot be compared by value
        } else if (v.typeId() == QMetaType::Double || v.typeId() == QMetaType::Float) {
            // A driver may hand a double over as 15 significant digits; a
            // margin far below a cent tells that from a real change.
            const double d = v.toDouble();
            const double margen = std::max(std::fabs(d) * 1e-12, 1e-12);
            formas += 'd';
            p << d - margen << d + margen;
        } else if (v.typeId() == QMetaType::QString && !b.molde.isEmpty()) {
            formas += 't';
            p << v;
        } else {
            formas += '=';
            p << v;
        }
    }
    return formas;
}

// The statement's text is kept by the forms of its conditions (and the
// length of its list).
const QString& OdbcBackend::texto_de(const QString& tabla, const Guardado& g, const QByteArray& formas, int lote)
{
    QByteArray clave = formas;
    if (lote > 1) clave += '#' + QByteArray::number(lote);
    QString& sql = g.textos[clave];
    if (!sql.isEmpty()) return sql;
    QStringList condiciones;
    for (int k = 0; k < g.buscar.size(); ++k) {
        const Guardado::Busqueda& b = g.buscar[k];
        const QString valor = b.molde.isEmpty() || formas[k] != 't' ? QStringLiteral("?") : b.molde;
        if (lote > 1 && k == g.variable) {
            condiciones << b.identificador + QStringLiteral(" IN (") +
                               QStringList(lote, valor).join(QStringLiteral(", ")) + QLatin1Char(')');
            continue;
        }
        switch (formas[k]) {
        case 'n': condiciones << b.identificador + QStringLiteral(" IS NULL"); break;
        case 'd': condiciones << b.identificador + QStringLiteral(" BETWEEN ? AND ?"); break;
        case 't':
        case '=': condiciones << b.identificador + QStringLiteral(" = ") + valor; break;
        default: break;
        }
    }
    if (condiciones.isEmpty())
        throw Fallo(codigo_error::FILA_NO_LOCALIZADA,
                    QStringLiteral(
                        "La fila de '%1' no se puede localizar para actualizarla: no tiene valores con que buscarla.")
                        .arg(tabla));
    sql = g.inicio + condiciones.join(QStringLiteral(" AND "));
    return sql;
}

qint64 OdbcBackend::escribir(const QString& sql, const QVariantList& p)
{
    averia(sql);
    qint64 cambiadas = 0;
    correr(sql, p, nullptr, &cambiadas);
    return cambiadas;
}

void OdbcBackend::actualizar(const QString& tabla, const Resultado& leido, int fila, const QStringList& columnas,
                             const QVariantList& valores)
{
    if (columnas.isEmpty()) return;
    if (fila < 0 || fila >= leido.filas.size())
        throw Fallo(codigo_error::FILA_NO_LOCALIZADA,
                    QStringLiteral("La fila de '%1' no se puede localizar para actualizarla.").arg(tabla));
    const QVariantList& original = leido.filas[fila];
    const Guardado* plan = &guardado(tabla, leido.columnas, columnas, false);
    // A row shorter than its layout, without its key: searched by every
    // value it has.
    if (plan->por_clave && plan->ultima_clave >= original.size())
        plan = &guardado(tabla, leido.columnas, columnas, true);
    const Guardado& g = *plan;
    const bool por_clave = g.por_clave;

    QVariantList p = valores;
    const QString& sql = texto_de(tabla, g, formas_de(g, original, p));
    // Without a key, identical rows would all match: the change is undone
    // rather than written into rows that were not the one read. Inside the
    // caller's transaction it cannot be undone alone (each server spells a
    // savepoint its own way), so that whole transaction is.
    const bool transaccion =
        !por_clave && !en_transaccion_ && transacciones_ &&
        SQL_SUCCEEDED(SQLSetConnectAttrW(hdbc_, SQL_ATTR_AUTOCOMMIT, reinterpret_cast<SQLPOINTER>(SQL_AUTOCOMMIT_OFF),
                                         SQL_IS_UINTEGER));
    qint64 cambiadas = 0;
    try {
        cambiadas = escribir(sql, p);
    } catch (...) {
        if (transaccion) terminar(false, nullptr);
        throw;
    }
    if (cambiadas > 1) {
        if (transaccion)
            terminar(false, nullptr);
        else if (!por_clave)
            deshacer();
        throw Fallo(codigo_error::FILA_NO_LOCALIZADA,
                    QStringLiteral(
                        "La fila de '%1' no se puede actualizar: hay %2 filas iguales a ella y no se sabe cuál es.")
                        .arg(tabla)
                        .arg(cambiadas));
    }
    Diagnostico d;
    if (transaccion && !terminar(true, &d)) fallar(d, sql);
    if (cambiadas == 0)
        throw Fallo(codigo_error::FILA_NO_LOCALIZADA,
                    QStringLiteral("La fila de '%1' no se puede localizar para actualizarla: otro programa la ha "
                                   "cambiado desde que se leyó.")
                        .arg(tabla));
}

namespace {

// Rows in one statement at most: its parameters stay far below a server's
// limit (SQL Server's is 2,100), and lists of 2, 4, 8... values keep the
// statements prepared few.
constexpr int LOTE_MAXIMO = 256;

}  // namespace

void OdbcBackend::actualizar_filas(const QString& tabla, const Resultado& leido, const QVector<int>& filas,
                                   const QStringList& columnas, const QVariantList& valores, qsizetype& escritas)
{
    if (columnas.isEmpty()) return;
    const Guardado& g = guardado(tabla, leido.columnas, columnas, false);
    if (filas.size() < 2 || !g.por_clave || g.variable < 0) {
        Backend::actualizar_filas(tabla, leido, filas, columnas, valores, escritas);
        return;
    }

    // Each row's conditions; a row that cannot go in a list (its key column
    // Null, a double, a row without its key) is written alone.
    struct Condiciones {
        int fila = 0;
        bool sola = true;
        QByteArray formas;
        QVariantList p;  // the values sought, after `valores`
        int lugar = -1;  // where the variable key's value is among them
    };
    auto condiciones = [&](int fila) {
        Condiciones c;
        c.fila = fila;
        if (fila < 0 || fila >= leido.filas.size() || g.ultima_clave >= leido.filas[fila].size()) return c;
        c.formas = formas_de(g, leido.filas[fila], c.p, &c.lugar);
        const char forma = c.formas[g.variable];
        if (forma != '=' && forma != 't') return c;
        c.sola = false;
        return c;
    };
    // Goes with the group of `primera`: the same forms and values but the
    // variable key's.
    auto junto = [](const Condiciones& primera, const Condiciones& c) {
        if (c.sola || c.formas != primera.formas || c.p.size() != primera.p.size()) return false;
        for (int k = 0; k < c.p.size(); ++k)
            if (k != c.lugar && !mismo_valor(c.p[k], primera.p[k])) return false;
        return true;
    };

    QVector<Condiciones> grupo;
    auto escribir_grupo = [&] {
        if (grupo.isEmpty()) return;
        if (grupo.size() == 1) {
            actualizar(tabla, leido, grupo.first().fila, columnas, valores);
            ++escritas;
            grupo.clear();
            return;
        }
        int lote = 2;
        while (lote < grupo.size()) lote *= 2;
        const Condiciones& primera = grupo.first();
        QVariantList p = valores;
        for (int k = 0; k < primera.p.size(); ++k) {
            if (k != primera.lugar) {
                p << primera.p[k];
                continue;
            }
            for (const Condiciones& c : std::as_const(grupo)) p << c.p[c.lugar];
            // The list filled up with its last value, which matches no other row.
            for (int n = int(grupo.size()); n < lote; ++n) p << grupo.last().p[grupo.last().lugar];
        }
        const QString& sql = texto_de(tabla, g, primera.formas, lote);
        const qint64 cambiadas = escribir(sql, p);
        if (cambiadas > grupo.size())  // a key that is not one
            throw Fallo(codigo_error::FILA_NO_LOCALIZADA,
                        QStringLiteral(
                            "Las %1 filas de '%2' escritas juntas han cambiado %3: su clave no las distingue.")
                            .arg(grupo.size())
                            .arg(tabla)
                            .arg(cambiadas));
        if (cambiadas < grupo.size())
            throw Fallo(codigo_error::FILA_NO_LOCALIZADA,
                        QStringLiteral("De %1 filas de '%2' escritas juntas, %3 no se pueden localizar para "
                                       "actualizarlas: otro programa las ha cambiado desde que se leyeron. "
                                       "No se sabe cuáles son.")
                            .arg(grupo.size())
                            .arg(tabla)
                            .arg(grupo.size() - cambiadas));
        escritas += grupo.size();
        grupo.clear();
    };

    for (int fila : filas) {
        Condiciones c = condiciones(fila);
        if (!grupo.isEmpty() && (grupo.size() >= LOTE_MAXIMO || !junto(grupo.first(), c))) escribir_grupo();
        if (c.sola) {
            actualizar(tabla, leido, fila, columnas, valores);
            ++escritas;
            continue;
        }
        grupo << std::move(c);
    }
    escribir_grupo();
}

bool OdbcBackend::admite_transacciones() const
{
    return transacciones_;
}

bool OdbcBackend::terminar(bool confirmar, Diagnostico* d)
{
    const SQLRETURN e = SQLEndTran(SQL_HANDLE_DBC, hdbc_, confirmar ? SQL_COMMIT : SQL_ROLLBACK);
    if (!SQL_SUCCEEDED(e) && d) *d = diagnostico(nullptr);
    SQLSetConnectAttrW(hdbc_, SQL_ATTR_AUTOCOMMIT, reinterpret_cast<SQLPOINTER>(SQL_AUTOCOMMIT_ON), SQL_IS_UINTEGER);
    return SQL_SUCCEEDED(e);
}

void OdbcBackend::comenzar()
{
    if (en_transaccion_)
        throw Fallo(codigo_error::FALLO_GENERAL,
                    QStringLiteral("Ya hay una transacción empezada en %1").arg(sin_clave(cadena_)));
    if (!transacciones_) Backend::comenzar();
    if (!SQL_SUCCEEDED(SQLSetConnectAttrW(hdbc_, SQL_ATTR_AUTOCOMMIT, reinterpret_cast<SQLPOINTER>(SQL_AUTOCOMMIT_OFF),
                                          SQL_IS_UINTEGER)))
        fallar_directo(nullptr, QStringLiteral("BEGIN TRANSACTION"));
    en_transaccion_ = true;
}

void OdbcBackend::confirmar()
{
    if (!en_transaccion_)
        throw Fallo(codigo_error::FALLO_GENERAL,
                    QStringLiteral("No hay una transacción empezada en %1").arg(sin_clave(cadena_)));
    averia(QStringLiteral("COMMIT"));
    Diagnostico d;
    en_transaccion_ = false;
    if (!terminar(true, &d)) {
        // The server may keep it open after a failed commit.
        terminar(false, nullptr);
        fallar(d, QStringLiteral("COMMIT"));
    }
}

void OdbcBackend::deshacer()
{
    if (!en_transaccion_) return;
    en_transaccion_ = false;
    Diagnostico d;
    // A server that lost the connection has undone its transaction: the
    // failure that lost it is the one to tell.
    if (!terminar(false, &d) && !perdida(d)) fallar(d, QStringLiteral("ROLLBACK"));
}
