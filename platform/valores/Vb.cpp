#include "platform/valores/Vb.h"

#include "platform/sistema/Fallo.h"

#include <QRegularExpression>
#include <QVarLengthArray>

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <cstring>
#include <optional>

namespace vb {

namespace {

// The empty text, never a null QString: a null one would be bound as SQL
// NULL, and Null is not the empty text.
QString vacio()
{
    return QStringLiteral("");
}

Fallo uso_de_null()
{
    return Fallo(codigo_error::USO_NO_VALIDO_DE_NULL, QStringLiteral("Uso no válido de Null"));
}

Fallo tipos_no_coinciden(const QString& que)
{
    return Fallo(codigo_error::TIPOS_NO_COINCIDEN,
                 QStringLiteral("No coinciden los tipos: '%1' no es un número").arg(que));
}

bool es_texto(const QVariant& v)
{
    return v.typeId() == QMetaType::QString || v.typeId() == QMetaType::QByteArray || v.typeId() == QMetaType::QChar;
}

// The readers below take ASCII texts (digits, signs, separators, blanks)
// directly from their characters. A text with a non-ASCII character, longer
// than a plain number, or whose number is not an ordinary double goes to
// the general readers, which apply the patterns as they are written.

constexpr qsizetype largo_rapido = 64;

bool es_blanco(char16_t c)
{
    return c == u' ' || (c >= u'\t' && c <= u'\r');
}
bool es_cifra(char16_t c)
{
    return c >= u'0' && c <= u'9';
}

// What a text holds as far as a reader is concerned: whether it is short
// and all ASCII, and whether it has an ASCII character that is not
// `admitido` (which no pattern can take, whatever it makes of the others).
struct Caracteres {
    bool rapido = true;
    bool ajeno = false;
};

Caracteres examinar(const QString& s, bool (*admitido)(char16_t))
{
    Caracteres r;
    r.rapido = s.size() <= largo_rapido;
    for (QChar q : s) {
        const char16_t c = q.unicode();
        if (c >= 0x80) {
            r.rapido = false;
        } else if (!admitido(c)) {
            r.ajeno = true;
            break;
        }
    }
    return r;
}

bool de_numero(char16_t c)
{
    return es_blanco(c) || es_cifra(c) || c == u'+' || c == u'-' || c == u'.' || c == u',' || c == u'e' || c == u'E' ||
           c == u'd' || c == u'D';
}

bool de_fecha(char16_t c)
{
    return es_blanco(c) || es_cifra(c) || c == u'/';
}

// The number of a decimal text "[-]ddd[.ddd][e[-]ddd]" written in `t`, when
// it is an ordinary double (zero, or normal and finite); nullopt when the
// text lies outside that range, where the general readers decide.
std::optional<double> convertir(const char* t, const char* fin)
{
    double r = 0;
    const auto [p, ec] = std::from_chars(t, fin, r);
    if (ec != std::errc() || p != fin) return std::nullopt;
    if (r == 0) {
        // A zero from underflow is not the zero that was written.
        for (const char* c = t; c < fin && *c != 'e'; ++c)
            if (*c >= '1' && *c <= '9') return std::nullopt;
        return r;
    }
    if (!std::isnormal(r)) return std::nullopt;
    return r;
}

// Number of a numeric text as IsNumeric accepts it ("," or "." as the
// decimal separator); nullopt when the text is not numeric.
std::optional<double> leer_numero_general(const QString& s)
{
    static const QRegularExpression forma(
        QStringLiteral("^\\s*([+-]?)\\s*(\\d+[.,]?\\d*|[.,]\\d+)([eEdD][+-]?\\d+)?\\s*$"));
    const auto m = forma.match(s);
    if (!m.hasMatch()) return std::nullopt;
    QString t = m.captured(1) + m.captured(2);
    t.replace(QLatin1Char(','), QLatin1Char('.'));
    if (t.endsWith(QLatin1Char('.'))) t.chop(1);
    QString e = m.captured(3);
    if (!e.isEmpty()) t += QLatin1Char('e') + e.mid(1);
    bool ok = false;
    const double r = t.toDouble(&ok);
    if (!ok) return std::nullopt;
    return r;
}

std::optional<double> leer_numero(const QString& s)
{
    const Caracteres k = examinar(s, de_numero);
    if (k.ajeno) return std::nullopt;
    if (!k.rapido) return leer_numero_general(s);
    const qsizetype n = s.size();
    const char16_t* c = reinterpret_cast<const char16_t*>(s.constData());
    char t[largo_rapido + 16];
    char* w = t;
    qsizetype i = 0;
    while (i < n && es_blanco(c[i])) ++i;
    if (i < n && (c[i] == u'+' || c[i] == u'-')) {
        if (c[i] == u'-') *w++ = '-';
        ++i;
    }
    while (i < n && es_blanco(c[i])) ++i;
    int enteras = 0, decimales = 0;
    for (; i < n && es_cifra(c[i]); ++i, ++enteras) *w++ = char(c[i]);
    if (i < n && (c[i] == u'.' || c[i] == u',')) {
        *w++ = '.';
        ++i;
        for (; i < n && es_cifra(c[i]); ++i, ++decimales) *w++ = char(c[i]);
        if (decimales == 0) --w;  // "5." is 5
    }
    if (enteras == 0 && decimales == 0) return std::nullopt;
    if (i < n && (c[i] == u'e' || c[i] == u'E' || c[i] == u'd' || c[i] == u'D')) {
        *w++ = 'e';
        ++i;
        if (i < n && (c[i] == u'+' || c[i] == u'-')) {
            if (c[i] == u'-') *w++ = '-';
            ++i;
        }
        int cifras = 0;
        for (; i < n && es_cifra(c[i]); ++i, ++cifras) *w++ = char(c[i]);
        if (cifras == 0) return std::nullopt;
    }
    while (i < n && es_blanco(c[i])) ++i;
    if (i < n) return std::nullopt;
    if (const auto r = convertir(t, w)) return r;
    return leer_numero_general(s);
}

// Day, month and year of a d/m/yy or dd/mm/aaaa text that names a real
// calendar day.
std::optional<QDate> leer_fecha_general(const QString& s)
{
    static const QRegularExpression forma(QStringLiteral("^\\s*(\\d{1,2})/(\\d{1,2})/(\\d{2}|\\d{4})\\s*$"));
    const auto m = forma.match(s);
    if (!m.hasMatch()) return std::nullopt;
    const int dia = m.captured(1).toInt();
    const int mes = m.captured(2).toInt();
    int anio = m.captured(3).toInt();
    if (m.captured(3).size() == 2) anio += anio < 30 ? 2000 : 1900;
    const QDate d(anio, mes, dia);
    if (!d.isValid()) return std::nullopt;
    return d;
}

std::optional<QDate> leer_fecha(const QString& s)
{
    const Caracteres k = examinar(s, de_fecha);
    if (k.ajeno) return std::nullopt;
    if (!k.rapido) return leer_fecha_general(s);
    const qsizetype n = s.size();
    const char16_t* c = reinterpret_cast<const char16_t*>(s.constData());
    qsizetype i = 0;
    // Reads the run of digits at i (at most 5) into `valor`; its length.
    const auto cifras = [&](int& valor) {
        const qsizetype desde = i;
        valor = 0;
        for (; i < n && es_cifra(c[i]) && i - desde < 5; ++i) valor = valor * 10 + (c[i] - u'0');
        return int(i - desde);
    };
    while (i < n && es_blanco(c[i])) ++i;
    int dia, mes, anio;
    int largo = cifras(dia);
    if (largo < 1 || largo > 2 || i >= n || c[i] != u'/') return std::nullopt;
    ++i;
    largo = cifras(mes);
    if (largo < 1 || largo > 2 || i >= n || c[i] != u'/') return std::nullopt;
    ++i;
    largo = cifras(anio);
    if (largo != 2 && largo != 4) return std::nullopt;
    while (i < n && es_blanco(c[i])) ++i;
    if (i < n) return std::nullopt;
    if (largo == 2) anio += anio < 30 ? 2000 : 1900;
    const QDate d(anio, mes, dia);
    if (!d.isValid()) return std::nullopt;
    return d;
}

// Digits of |v| rounded to 15 significant digits, halves away from zero, as
// the runtime renders a Double: `digitos` without leading zeros (15 of them,
// or "0" for zero, "nan" or "inf") and `exponente` the power of ten of the
// first digit.
struct Decimal {
    char digitos[16];
    int n = 0;
    int exponente = 0;
};

// 5^0 to 5^27, the powers of five that fit 64 bits.
constexpr auto potencias_de_5 = [] {
    std::array<quint64, 28> r{};
    r[0] = 1;
    for (std::size_t i = 1; i < r.size(); ++i) r[i] = r[i - 1] * 5;
    return r;
}();

// The texts of 00 to 99.
constexpr char pares[] = "00010203040506070809101112131415161718192021222324252627282930313233343536373839"
                         "40414243444546474849505152535455565758596061626364656667686970717273747576777879"
                         "8081828384858687888990919293949596979899";

// Whether a is exactly the half between the 15-digit decimal D 10^(e-14)
// and the next one, a == (10 D + 5) 10^(e-15).
bool es_mitad(double a, quint64 D, int e)
{
    const quint64 N = 10 * D + 5;
    const int q = e - 15;
    if (q >= 0) {
        // The odd factor N 5^q must fit the 53 bits of a double.
        if (q > 1 || a >= 18014398509481984.0) return false;
        return a == std::floor(a) && quint64(a) == (q == 0 ? N : 10 * N);
    }
    // a 2^k 5^k == N, so a 2^k is the whole number N / 5^k.
    const int k = -q;
    if (k > 22) return false;  // 5^23 exceeds every N
    const double y = std::ldexp(a, k);
    if (y != std::floor(y) || y >= 18014398509481984.0) return false;
    return N % potencias_de_5[k] == 0 && N / potencias_de_5[k] == quint64(y);
}

// The 15 digits of a, rounded with halves up, computed exactly from its
// binary form for 1e-13 <= a < 1e15, the amounts and codes of the link: with
// a = m 2^b and p the power of ten of its first digit, the digits are
// m 5^s 2^(b+s) rounded to a whole number, s = 14 - p. False outside.
bool decimal_exacto(double a, Decimal& d)
{
#ifndef __SIZEOF_INT128__
    return false;  // without 128-bit integers every value takes the general path
#else
    if (!(a >= 1e-13 && a < 1e15)) return false;
    static constexpr quint64 tope = 1000000000000000;  // 10^15
    quint64 bits;
    std::memcpy(&bits, &a, sizeof bits);
    const quint64 m = (bits & ((quint64(1) << 52) - 1)) | (quint64(1) << 52);
    const int b = int(bits >> 52) - 1075;
    // floor((b + 52) log10 2), corrected below if a is past the next power.
    int p = ((b + 52) * 78913) >> 18;
    for (int intento = 0; intento < 3; ++intento) {
        const int s = 14 - p;
        if (s < 0 || s > 27) return false;
        const unsigned __int128 x = static_cast<unsigned __int128>(m) * potencias_de_5[s];
        const int t = b + s;
        if (t <= -128) return false;
        const unsigned __int128 entero = t >= 0 ? x << t : x >> -t;
        if (entero >= tope) {
            ++p;
            continue;
        }
        if (entero < tope / 10) {
            --p;
            continue;
        }
        quint64 q = quint64(entero);
        if (t < 0 && x - (entero << -t) >= static_cast<unsigned __int128>(1) << (-t - 1)) ++q;
        d.exponente = p;
        if (q == tope) {
            q /= 10;
            ++d.exponente;
        }
        // Two digits at a time: seven pairs and the first digit.
        for (int i = 13; i >= 1; i -= 2, q /= 100) std::memcpy(d.digitos + i, pares + 2 * (q % 100), 2);
        d.digitos[0] = char('0' + q);
        return true;
    }
    return false;
#endif
}

Decimal decimal_15(double v)
{
    Decimal d;
    const double a = std::fabs(v);
    if (v == 0 || !std::isfinite(v)) {
        const char* t = v == 0 ? "0" : std::isnan(v) ? "nan" : "inf";
        d.n = int(std::strlen(t));
        std::memcpy(d.digitos, t, d.n);
        return d;
    }
    d.n = 15;
    if (decimal_exacto(a, d)) return d;
    char e[32];  // d.dddddddddddddde+XXX
    const auto exponente = [&](const char* p, const char* fin) {
        int x = 0;
        for (const char* c = p + 1; c < fin; ++c) x = x * 10 + (*c - '0');
        return *p == '-' ? -x : x;
    };
    const char* fin = std::to_chars(e, e + sizeof e, a, std::chars_format::scientific, 14).ptr;
    d.digitos[0] = e[0];
    std::memcpy(d.digitos + 1, e + 2, 14);
    d.exponente = exponente(e + 17, fin);
    // An exact half is taken to the even neighbour here and up by the
    // runtime; only an even last digit can be the lower neighbour of one.
    if ((d.digitos[14] - '0') % 2 == 0) {
        quint64 D = 0;
        for (int i = 0; i < 15; ++i) D = D * 10 + quint64(d.digitos[i] - '0');
        if (es_mitad(a, D, d.exponente)) ++d.digitos[14];
    }
    return d;
}

double Val_general(const QString& s)
{
    // Blanks, tabs and line feeds are skipped wherever they stand.
    QString t;
    for (QChar c : s)
        if (c != QLatin1Char(' ') && c != QLatin1Char('\t') && c != QLatin1Char('\n') && c != QLatin1Char('\r')) t += c;
    // &H and &O introduce hexadecimal and octal numbers.
    if (t.size() > 1 && t[0] == QLatin1Char('&')) {
        const QChar base = t[1].toUpper();
        const int b = base == QLatin1Char('H') ? 16 : base == QLatin1Char('O') ? 8 : 0;
        if (b) {
            qint64 r = 0;
            for (int i = 2; i < t.size(); ++i) {
                const int d = t[i].isDigit() ? t[i].digitValue()
                              : (t[i].toUpper() >= QLatin1Char('A') && t[i].toUpper() <= QLatin1Char('F'))
                                  ? t[i].toUpper().unicode() - 'A' + 10
                                  : 99;
                if (d >= b) break;
                r = r * b + d;
            }
            return double(r);
        }
    }
    static const QRegularExpression forma(QStringLiteral("^[+-]?(\\d+\\.?\\d*|\\.\\d+)([eEdD][+-]?\\d+)?"));
    const auto m = forma.match(t);
    if (!m.hasMatch()) return 0;
    QString n = m.captured(0);
    for (auto& c : n)
        if (c == QLatin1Char('d') || c == QLatin1Char('D')) c = QLatin1Char('e');
    return n.toDouble();
}

}  // namespace

bool es_numero(const QVariant& v)
{
    switch (v.typeId()) {
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
    case QMetaType::Double:
    case QMetaType::Float:
    case QMetaType::Short:
    case QMetaType::UShort:
    case QMetaType::Long:
    case QMetaType::ULong:
    case QMetaType::Char:
    case QMetaType::SChar:
    case QMetaType::UChar: return true;
    default: return false;
    }
}

std::optional<bool> logico_de_texto(const QString& s)
{
    const QString t = s.trimmed();
    if (t.compare(QLatin1String("True"), Qt::CaseInsensitive) == 0 ||
        t.compare(QLatin1String("Verdadero"), Qt::CaseInsensitive) == 0)
        return true;
    if (t.compare(QLatin1String("False"), Qt::CaseInsensitive) == 0 ||
        t.compare(QLatin1String("Falso"), Qt::CaseInsensitive) == 0)
        return false;
    if (const auto n = leer_numero(t)) return *n != 0;
    return std::nullopt;
}

QString Left(const QString& s, int n)
{
    if (n <= 0) return vacio();
    return s.left(n) + vacio();
}

QString Right(const QString& s, int n)
{
    if (n <= 0) return vacio();
    return s.right(n) + vacio();
}

QString Mid(const QString& s, int inicio, int n)
{
    if (inicio < 1) inicio = 1;
    if (inicio > s.size() || n == 0) return vacio();
    return s.mid(inicio - 1, n < 0 ? -1 : n) + vacio();
}

QString Trim(const QString& s)
{
    int a = 0, b = s.size();
    while (a < b && s[a] == QLatin1Char(' ')) ++a;
    while (b > a && s[b - 1] == QLatin1Char(' ')) --b;
    return s.mid(a, b - a) + vacio();
}

double Val(const QString& s)
{
    const qsizetype n = s.size();
    const char16_t* c = reinterpret_cast<const char16_t*>(s.constData());
    char t[largo_rapido + 16];
    char* w = t;
    qsizetype i = 0;
    // The next character that is not a blank, tab or line feed: the code of
    // an ASCII one, 0 at the end, -1 for any other (left to the general
    // reader, which knows them).
    const auto siguiente = [&]() -> int {
        while (i < n && (c[i] == u' ' || c[i] == u'\t' || c[i] == u'\n' || c[i] == u'\r')) ++i;
        if (i == n) return 0;
        return c[i] < 0x80 && c[i] != 0 ? int(c[i]) : -1;
    };
    const auto cifra = [](int k) { return k >= '0' && k <= '9'; };
    int k = siguiente();
    if (k == '&' || k < 0) return Val_general(s);
    if (k == '+' || k == '-') {
        if (k == '-') *w++ = '-';
        ++i;
        k = siguiente();
    }
    int enteras = 0, decimales = 0;
    for (; cifra(k) && w - t < largo_rapido; ++enteras, ++i, k = siguiente()) *w++ = char(k);
    if (k == '.') {
        char* punto = w;
        *w++ = '.';
        ++i;
        k = siguiente();
        for (; cifra(k) && w - t < largo_rapido; ++decimales, ++i, k = siguiente()) *w++ = char(k);
        if (decimales == 0) {
            if (enteras == 0) return k < 0 ? Val_general(s) : 0;
            w = punto;  // "5." is 5
        }
    }
    if (k < 0 || w - t >= largo_rapido) return Val_general(s);
    if (enteras == 0 && decimales == 0) return 0;
    if (k == 'e' || k == 'E' || k == 'd' || k == 'D') {
        // The exponent counts only with a digit; otherwise the number ends
        // before its letter.
        char* letra = w;
        *w++ = 'e';
        ++i;
        k = siguiente();
        if (k == '+' || k == '-') {
            if (k == '-') *w++ = '-';
            ++i;
            k = siguiente();
        }
        int cifras = 0;
        for (; cifra(k) && cifras < 5; ++cifras, ++i, k = siguiente()) *w++ = char(k);
        if (k < 0 || cifras >= 5) return Val_general(s);
        if (cifras == 0) w = letra;
    }
    if (const auto r = convertir(t, w)) return *r;
    return Val_general(s);
}

bool IsNumeric(const QString& s)
{
    return leer_numero(s).has_value();
}

bool IsNumeric(const QVariant& v)
{
    if (esNulo(v)) return false;
    if (es_numero(v) || v.typeId() == QMetaType::Bool) return true;
    if (es_texto(v)) return IsNumeric(v.toString());
    return false;
}

bool IsDate(const QString& s)
{
    return leer_fecha(s).has_value();
}

QDate CDate(const QString& s)
{
    const auto d = leer_fecha(s);
    if (!d)
        throw Fallo(codigo_error::TIPOS_NO_COINCIDEN,
                    QStringLiteral("No coinciden los tipos: '%1' no es una fecha").arg(s));
    return *d;
}

QString Format(double v, const QString& patron)
{
    // The pattern: zeros before the point are the least integer digits,
    // characters after it the decimals.
    const qsizetype punto = patron.indexOf(QLatin1Char('.'));
    const qsizetype decimales = punto < 0 ? 0 : patron.size() - punto - 1;
    qsizetype minimo = 0;
    for (qsizetype i = 0, fin = punto < 0 ? patron.size() : punto; i < fin; ++i)
        if (patron[i] == QLatin1Char('0')) ++minimo;

    // Work on the decimal text of the value, so 1.005 rounds as the 1.005 it
    // shows rather than as the 1.00499999... it holds.
    const Decimal d = decimal_15(v);
    // cifras: integer part and decimals as one string of digits with the
    // point after `n_entero` of them, and room in front for a carry.
    qsizetype n_entero = d.exponente + 1;
    const qsizetype ceros = n_entero <= 0 ? 1 - n_entero : 0;  // 0.00ddd
    if (n_entero <= 0) n_entero = 1;
    const qsizetype conservar = n_entero + decimales;
    QVarLengthArray<char, 128> espacio(1 + std::max(ceros + d.n, conservar));
    char* cifras = espacio.data() + 1;
    std::memset(cifras, '0', ceros);
    std::memcpy(cifras + ceros, d.digitos, d.n);
    qsizetype largo = ceros + d.n;
    if (largo > conservar) {
        const bool sube = cifras[conservar] >= '5';  // halves away from zero
        largo = conservar;
        if (sube) {
            qsizetype i = conservar - 1;
            for (; i >= 0; --i) {
                if (cifras[i] == '9') {
                    cifras[i] = '0';
                } else {
                    ++cifras[i];
                    break;
                }
            }
            if (i < 0) {
                *--cifras = '1';
                ++largo;
                ++n_entero;
            }
        }
    } else {
        std::memset(cifras + largo, '0', conservar - largo);
        largo = conservar;
    }
    const char* entera = cifras;
    qsizetype n_entera = n_entero;
    while (n_entera > 1 && entera[0] == '0') ++entera, --n_entera;
    if (n_entera == 1 && entera[0] == '0' && minimo == 0) n_entera = 0;
    const qsizetype relleno = std::max<qsizetype>(minimo - n_entera, 0);
    const char* fraccion = cifras + n_entero;
    // A negative value that rounds to nothing is written without its sign.
    bool cero = true;
    for (qsizetype i = 0; i < n_entera; ++i)
        if (entera[i] >= '1' && entera[i] <= '9') cero = false;
    for (qsizetype i = 0; i < decimales; ++i)
        if (fraccion[i] >= '1' && fraccion[i] <= '9') cero = false;
    const bool signo = v < 0 && !cero;
    const qsizetype total = signo + relleno + n_entera + (decimales > 0 ? 1 + decimales : 0);
    if (total == 0) return vacio();
    QString r(total, Qt::Uninitialized);
    QChar* w = r.data();
    if (signo) *w++ = QLatin1Char('-');
    for (qsizetype i = 0; i < relleno; ++i) *w++ = QLatin1Char('0');
    for (qsizetype i = 0; i < n_entera; ++i) *w++ = QLatin1Char(entera[i]);
    if (decimales > 0) {
        *w++ = QLatin1Char('.');
        for (qsizetype i = 0; i < decimales; ++i) *w++ = QLatin1Char(fraccion[i]);
    }
    return r;
}

namespace {

double redondear_par(double v)
{
    // Halves to the even neighbour whatever rounding mode is in force.
    const double abajo = std::floor(v);
    const double resto = v - abajo;
    if (resto > 0.5) return abajo + 1;
    if (resto < 0.5) return abajo;
    return std::fmod(abajo, 2.0) == 0 ? abajo : abajo + 1;
}

Fallo desbordamiento(double v)
{
    return Fallo(codigo_error::DESBORDAMIENTO, QStringLiteral("Desbordamiento: %1").arg(CStr(v)));
}

}  // namespace

qint16 CInt(double v)
{
    if (std::isnan(v)) throw desbordamiento(v);
    const double r = redondear_par(v);
    if (r < -32768.0 || r > 32767.0) throw desbordamiento(v);
    return qint16(r);
}

qint32 CLng(double v)
{
    if (std::isnan(v)) throw desbordamiento(v);
    const double r = redondear_par(v);
    if (r < -2147483648.0 || r > 2147483647.0) throw desbordamiento(v);
    return qint32(r);
}

qint16 CInt(const QVariant& v)
{
    return CInt(numero(v));
}
qint32 CLng(const QVariant& v)
{
    return CLng(numero(v));
}

QString CStr(double v)
{
    if (v == 0) return QStringLiteral("0");
    if (std::isnan(v)) return QStringLiteral("NaN");
    if (std::isinf(v)) return v > 0 ? QStringLiteral("+Inf") : QStringLiteral("-Inf");
    const Decimal d = decimal_15(v);
    int n = d.n;
    while (n > 1 && d.digitos[n - 1] == '0') --n;
    const int e = d.exponente;
    char r[32];
    char* w = r;
    if (v < 0) *w++ = '-';
    if (e >= 15 || e < -4) {
        // Scientific notation, as the runtime writes 1E+15 or 1,5E-05.
        *w++ = d.digitos[0];
        if (n > 1) {
            *w++ = ',';
            std::memcpy(w, d.digitos + 1, n - 1);
            w += n - 1;
        }
        *w++ = 'E';
        *w++ = e < 0 ? '-' : '+';
        const int x = std::abs(e);
        if (x >= 100) *w++ = char('0' + x / 100);
        *w++ = char('0' + x / 10 % 10);
        *w++ = char('0' + x % 10);
    } else if (e < 0) {
        *w++ = '0';
        *w++ = ',';
        for (int i = 0; i < -e - 1; ++i) *w++ = '0';
        std::memcpy(w, d.digitos, n);
        w += n;
    } else {
        const int n_entero = e + 1;
        std::memcpy(w, d.digitos, std::min(n, n_entero));
        w += std::min(n, n_entero);
        for (int i = n; i < n_entero; ++i) *w++ = '0';
        if (n > n_entero) {
            *w++ = ',';
            std::memcpy(w, d.digitos + n_entero, n - n_entero);
            w += n - n_entero;
        }
    }
    return QString::fromLatin1(r, w - r);
}

QString FechaCorta(const QDate& d)
{
    return d.toString(QStringLiteral("dd/MM/yyyy"));
}

QString texto_o_vacio(const QVariant& v)
{
    return esNulo(v) ? vacio() : texto(v);
}

QString texto(const QVariant& v)
{
    if (esNulo(v)) throw uso_de_null();
    if (v.typeId() == QMetaType::Bool) return v.toBool() ? QStringLiteral("Verdadero") : QStringLiteral("Falso");
    if (es_numero(v)) return CStr(v.toDouble());
    if (v.typeId() == QMetaType::QDate) return FechaCorta(v.toDate());
    if (v.typeId() == QMetaType::QDateTime) return FechaCorta(v.toDateTime().date());
    return v.toString() + vacio();
}

double numero(const QVariant& v)
{
    if (esNulo(v)) throw uso_de_null();
    if (v.typeId() == QMetaType::Bool) return v.toBool() ? -1 : 0;
    if (es_numero(v)) return v.toDouble();
    if (es_texto(v)) {
        const auto n = leer_numero(v.toString());
        if (!n) throw tipos_no_coinciden(v.toString());
        return *n;
    }
    throw tipos_no_coinciden(v.toString());
}

bool logico(const QVariant& v)
{
    if (esNulo(v)) throw uso_de_null();
    if (v.typeId() == QMetaType::Bool) return v.toBool();
    if (es_numero(v)) return v.toDouble() != 0;
    if (es_texto(v)) {
        if (const auto l = logico_de_texto(v.toString())) return *l;
    }
    throw Fallo(codigo_error::TIPOS_NO_COINCIDEN,
                QStringLiteral("No coinciden los tipos: '%1' no es un valor lógico").arg(v.toString()));
}

bool igual(const QVariant& v, const QString& t)
{
    if (esNulo(v)) return false;
    if (es_numero(v) || v.typeId() == QMetaType::Bool) {
        const auto n = leer_numero(t);
        return n && numero(v) == *n;
    }
    return v.toString() == t;
}

}  // namespace vb
