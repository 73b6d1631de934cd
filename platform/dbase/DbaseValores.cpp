#include "platform/dbase/DbaseValores.h"

#include "platform/dbase/DbaseCodigos.h"
#include "platform/sistema/Fallo.h"
#include "platform/valores/Cp1252.h"
#include "platform/valores/Vb.h"

#include <QDate>

#include <cmath>
#include <cstring>

using namespace codigo_error;

namespace dbase {

TipoColumna tipo_de(char tipo)
{
    switch (tipo) {
    case 'C': return TipoColumna::Texto;
    case 'N':
    case 'F': return TipoColumna::Numero;
    case 'L': return TipoColumna::Logico;
    case 'D': return TipoColumna::Fecha;
    default: return TipoColumna::Otro;
    }
}

namespace {

QByteArray sin_nulos(const char* datos, int n)
{
    QByteArray b(datos, n);
    b.replace('\0', ' ');
    return b;
}

QString sin_blancos_finales(QString s)
{
    int fin = s.size();
    while (fin > 0 && s.at(fin - 1) == QLatin1Char(' ')) --fin;
    s.truncate(fin);
    return s;
}

// A value as text for a C column: whole numbers as their digits, others as
// the runtime writes them in Spanish ("2,5"), dates day first.
QString texto_de(const QVariant& v)
{
    if (vb::es_numero(v)) {
        const double x = v.toDouble();
        if (std::isfinite(x) && x == std::trunc(x) && std::fabs(x) < 1e15)
            return QString::number(static_cast<qint64>(x));
        return QString::number(x, 'g', 15).replace(QLatin1Char('.'), QLatin1Char(','));
    }
    switch (v.typeId()) {
    case QMetaType::Bool: return v.toBool() ? QStringLiteral("Verdadero") : QStringLiteral("Falso");
    case QMetaType::QDate: return v.toDate().toString(QStringLiteral("dd/MM/yyyy"));
    case QMetaType::QDateTime: return v.toDateTime().toString(QStringLiteral("dd/MM/yyyy hh:mm:ss"));
    case QMetaType::QByteArray: return QString::fromUtf8(v.toByteArray());
    default: return v.toString();
    }
}

// A date as yyyyMMdd, written by hand: every journal line has one.
QByteArray ocho_cifras(const QDate& f)
{
    const int a = f.year();
    if (a < 1000 || a > 9999) return f.toString(QStringLiteral("yyyyMMdd")).toLatin1();
    const int n = a * 10000 + f.month() * 100 + f.day();
    char d[8];
    for (int i = 7, v = n; i >= 0; --i, v /= 10) d[i] = char('0' + v % 10);
    return QByteArray(d, 8);
}

std::optional<double> numero_de(const QVariant& v)
{
    if (vb::es_numero(v)) return v.toDouble();
    switch (v.typeId()) {
    case QMetaType::Bool: return v.toBool() ? -1.0 : 0.0;
    case QMetaType::QString:
    case QMetaType::QByteArray: {
        QString t = v.toString().trimmed();
        t.replace(QLatin1Char(','), QLatin1Char('.'));
        bool ok = false;
        const double x = t.toDouble(&ok);
        if (ok) return x;
        return std::nullopt;
    }
    default: return std::nullopt;
    }
}

std::optional<QDate> fecha_de(const QVariant& v)
{
    if (v.typeId() == QMetaType::QDate) return v.toDate().isValid() ? std::optional<QDate>(v.toDate()) : std::nullopt;
    if (v.typeId() == QMetaType::QDateTime)
        return v.toDateTime().isValid() ? std::optional<QDate>(v.toDateTime().date()) : std::nullopt;
    if (v.typeId() != QMetaType::QString) return std::nullopt;
    const QString t = v.toString().trimmed();
    for (const char* patron : {"yyyyMMdd", "dd/MM/yyyy", "d/M/yyyy", "yyyy-MM-dd"}) {
        const QDate f = QDate::fromString(t, QLatin1String(patron));
        if (f.isValid()) return f;
    }
    // Two-digit years as the runtime reads them: 00-29 are 2000-2029.
    const QDate f = QDate::fromString(t, QStringLiteral("d/M/yy"));
    if (f.isValid()) return f.year() < 1930 ? f.addYears(100) : f;
    return std::nullopt;
}

std::optional<bool> logico_de(const QVariant& v)
{
    if (v.typeId() == QMetaType::Bool) return v.toBool();
    if (vb::es_numero(v)) return v.toDouble() != 0;
    if (v.typeId() != QMetaType::QString) return std::nullopt;
    return vb::logico_de_texto(v.toString());
}

QString describir(const QVariant& v)
{
    return v.isValid() ? texto_de(v) : QStringLiteral("Null");
}

[[noreturn]] void no_coincide(const QString& tabla, const Campo& c, const QVariant& v)
{
    throw Fallo(TIPOS_NO_COINCIDEN,
                QStringLiteral("No coinciden los tipos: la columna %1 (%2) de la tabla %3 no admite el valor \"%4\"")
                    .arg(c.nombre, QString(QLatin1Char(c.tipo)), tabla, describir(v)));
}

}  // namespace

// A field as stored: C without trailing blanks, N/F as double, D as QDate,
// L as bool; blanks (and a field of asterisks) are Null.
QVariant leer_campo(const Campo& c, const char* registro, const PaginaUnByte& p)
{
    const char* d = registro + c.desplazamiento;
    switch (c.tipo) {
    case 'N':
    case 'F': {
        // A whole number of up to 15 digits between blanks (the entry
        // numbers and most amounts) is its digits; anything else is read by
        // the general rule.
        {
            int i = 0, fin = c.ancho;
            while (i < fin && d[i] == ' ') ++i;
            while (fin > i && d[fin - 1] == ' ') --fin;
            const bool negativo = i < fin && d[i] == '-';
            int j = negativo ? i + 1 : i;
            if (j < fin && fin - j <= 15) {
                qint64 v = 0;
                for (; j < fin && d[j] >= '0' && d[j] <= '9'; ++j) v = v * 10 + (d[j] - '0');
                if (j == fin) return QVariant(negativo ? -double(v) : double(v));
            }
        }
        QByteArray t = sin_nulos(d, c.ancho).trimmed();
        if (t.isEmpty() || t.count('*') == t.size()) return {};
        t.replace(',', '.');
        bool ok = false;
        const double v = t.toDouble(&ok);
        return ok ? QVariant(v) : QVariant();
    }
    case 'D': {
        const QByteArray t = sin_nulos(d, c.ancho).trimmed();
        if (t.isEmpty() || t == "00000000") return {};
        const QDate f = QDate::fromString(QString::fromLatin1(t), QStringLiteral("yyyyMMdd"));
        return f.isValid() ? QVariant(f) : QVariant();
    }
    case 'L':
        switch (c.ancho > 0 ? d[0] : ' ') {
        case 'T':
        case 't':
        case 'Y':
        case 'y':
        case 'S':
        case 's': return true;
        case 'F':
        case 'f':
        case 'N':
        case 'n': return false;
        default: return {};
        }
    default: {
        int fin = c.ancho;
        while (fin > 0 && (d[fin - 1] == ' ' || d[fin - 1] == '\0')) --fin;
        return p.decodificar(d, fin);
    }
    }
}

// A value as the bytes of its field, exactly as wide as the column.
QByteArray formatear(const QString& tabla, const Campo& c, const QVariant& v, const PaginaUnByte& p)
{
    QByteArray b;
    if (!v.isValid()) return QByteArray(c.ancho, ' ');
    switch (c.tipo) {
    case 'C': b = codificar(texto_de(v), p).left(c.ancho); break;
    case 'N':
    case 'F': {
        const auto x = numero_de(v);
        if (!x) no_coincide(tabla, c, v);
        b = std::isfinite(*x) ? QByteArray::number(*x, 'f', c.decimales) : QByteArray();
        // No "-0": a negative amount that rounds to nothing is nothing.
        if (b.startsWith('-') && b.count('0') + b.count('.') == b.size() - 1) b.remove(0, 1);
        if (b.isEmpty() || b.size() > c.ancho)
            throw Fallo(DESBORDAMIENTO,
                        QStringLiteral("Desbordamiento: el valor %1 no cabe en la columna %2 (N %3,%4) de la tabla %5")
                            .arg(describir(v), c.nombre)
                            .arg(c.ancho)
                            .arg(c.decimales)
                            .arg(tabla));
        b = b.rightJustified(c.ancho, ' ');
        return b;
    }
    case 'D': {
        const auto f = fecha_de(v);
        if (!f) no_coincide(tabla, c, v);
        b = ocho_cifras(*f);
        if (b.size() > c.ancho)
            throw Fallo(DESBORDAMIENTO,
                        QStringLiteral("Desbordamiento: la fecha %1 no cabe en la columna %2 de la tabla %3")
                            .arg(describir(v), c.nombre, tabla));
        break;
    }
    case 'L': {
        const auto l = logico_de(v);
        if (!l) no_coincide(tabla, c, v);
        b = *l ? "T" : "F";
        break;
    }
    default:
        throw Fallo(TIPOS_NO_COINCIDEN,
                    QStringLiteral("La columna %1 de la tabla %2 es de tipo %3, que no se puede escribir")
                        .arg(c.nombre, tabla, QString(QLatin1Char(c.tipo))));
    }
    return b.leftJustified(c.ancho, ' ');
}

namespace {

// The field written by the general rule.
bool formatear_general(char* campo, const QString& tabla, const Campo& c, const QVariant& v)
{
    const QByteArray b = formatear(tabla, c, v, windows_1252());
    std::memcpy(campo, b.constData(), size_t(c.ancho));
    return true;
}

// `unidades` of the column's last decimal (`en_decimales` of them after the
// point, the rest zeros), signed, right-aligned in the field; false when
// they do not fit, for the general rule to say so. No "-0": a negative
// amount that is nothing has no sign.
bool cifras_en_campo(char* campo, const Campo& c, qint64 unidades, bool negativo, int en_decimales)
{
    char digitos[24];
    int k = 0;
    do {
        digitos[k++] = char('0' + unidades % 10);
        unidades /= 10;
    } while (unidades || k <= en_decimales);
    char b[96];
    int n = 0;
    if (negativo && (k > 1 || digitos[0] != '0')) b[n++] = '-';
    while (k > en_decimales) b[n++] = digitos[--k];
    if (c.decimales > 0) {
        b[n++] = '.';
        while (k) b[n++] = digitos[--k];
        for (int d = en_decimales; d < c.decimales && n < int(sizeof b); ++d) b[n++] = '0';
    }
    if (n > c.ancho) return false;
    std::memset(campo, ' ', size_t(c.ancho - n));
    std::memcpy(campo + (c.ancho - n), b, size_t(n));
    return true;
}

}  // namespace

bool texto_directo(char* campo, const Campo& c, const QString& s)
{
    // The whole text is looked at: a mark past the column's width would
    // compose with the last character kept.
    const char16_t* p = reinterpret_cast<const char16_t*>(s.constData());
    const qsizetype largo = s.size();
    char16_t todos = 0;
    for (qsizetype i = 0; i < largo; ++i) todos |= p[i];
    if (todos >= 0x80) return false;
    const qsizetype n = qMin<qsizetype>(largo, c.ancho);
    for (qsizetype i = 0; i < n; ++i) campo[i] = p[i] ? char(p[i]) : ' ';
    std::memset(campo + n, ' ', size_t(c.ancho - n));
    return true;
}

bool numero_directo(char* campo, const QString& tabla, const Campo& c, double x)
{
    if (!std::isfinite(x) || c.ancho > 64) return formatear_general(campo, tabla, c, QVariant(x));
    // A whole amount (most columns of a journal line are 0) is its
    // digits and zero decimals, no rounding involved.
    if (x == std::trunc(x) && std::fabs(x) < 1e15) return cifras_en_campo(campo, c, qint64(std::fabs(x)), x < 0, 0);
    // So is an amount a hair away from a whole number of the column's
    // last decimal (cents, in a journal): it rounds to that number
    // whatever the hair. Within 2^33 units a double keeps that hair far
    // below the half unit where rounding would matter. Any other amount
    // goes through the general rule, which rounds.
    static constexpr double potencias[] = {1, 10, 100, 1e3, 1e4, 1e5, 1e6, 1e7, 1e8, 1e9};
    if (c.decimales > 0 && c.decimales <= 9) {
        const double y = x * potencias[c.decimales];
        const double u = std::nearbyint(y);
        if (std::fabs(y) < 8589934592.0 && std::fabs(y - u) < 1e-6)
            return cifras_en_campo(campo, c, qint64(std::fabs(u)), u < 0, c.decimales);
    }
    const QByteArray b = formatear(tabla, c, QVariant(x), windows_1252());
    std::memcpy(campo, b.constData(), size_t(c.ancho));
    return true;
}

bool fecha_directa(char* campo, const Campo& c, const QDate& f)
{
    if (!f.isValid() || c.ancho < 8) return false;
    const int a = f.year();
    if (a < 1000 || a > 9999) return false;
    const int n = a * 10000 + f.month() * 100 + f.day();
    for (int i = 7, r = n; i >= 0; --i, r /= 10) campo[i] = char('0' + r % 10);
    std::memset(campo + 8, ' ', size_t(c.ancho - 8));
    return true;
}

void formatear_en(char* campo, const QString& tabla, const Campo& c, const QVariant& v, const PaginaUnByte& p)
{
    const QByteArray b = formatear(tabla, c, v, p);
    std::memset(campo, ' ', size_t(c.ancho));
    std::memcpy(campo, b.constData(), size_t(qMin<int>(int(qstrlen(b.constData())), c.ancho)));
}

// Key of a value in an index; none for Null, which equals nothing.
std::optional<QString> clave_de(const Campo& c, const QVariant& v)
{
    if (!v.isValid()) return std::nullopt;
    switch (c.tipo) {
    case 'N':
    case 'F': return QString::number(v.toDouble(), 'g', 17);
    case 'D': return v.toDate().toString(QStringLiteral("yyyyMMdd"));
    case 'L': return v.toBool() ? QStringLiteral("T") : QStringLiteral("F");
    default: return v.toString();
    }
}

// The value of a WHERE in the column's own type: the same key the stored
// value has when they are equal. Texts compare without trailing blanks.
std::optional<QString> clave_buscada(const QString& tabla, const Campo& c, const QVariant& v)
{
    if (!v.isValid()) return std::nullopt;
    switch (c.tipo) {
    case 'N':
    case 'F': {
        const auto x = numero_de(v);
        if (!x) no_coincide(tabla, c, v);
        return clave_de(c, *x);
    }
    case 'D': {
        const auto f = fecha_de(v);
        if (!f) no_coincide(tabla, c, v);
        return clave_de(c, *f);
    }
    case 'L': {
        const auto l = logico_de(v);
        if (!l) no_coincide(tabla, c, v);
        return clave_de(c, *l);
    }
    default: return sin_blancos_finales(texto_de(v));
    }
}

bool mayor(const QVariant& a, const QVariant& b)
{
    if (!b.isValid()) return a.isValid();
    if (!a.isValid()) return false;
    switch (a.typeId()) {
    case QMetaType::Double: return a.toDouble() > b.toDouble();
    case QMetaType::QDate: return a.toDate() > b.toDate();
    case QMetaType::Bool: return a.toBool() && !b.toBool();
    default: return QString::compare(a.toString(), b.toString()) > 0;
    }
}

bool iguales(const QVariant& a, const QVariant& b)
{
    if (a.isValid() != b.isValid()) return false;
    return !a.isValid() || a == b;
}

}  // namespace dbase
