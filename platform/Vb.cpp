#include "platform/Vb.h"

#include "platform/Fallo.h"

#include <QRegularExpression>
#include <cmath>
#include <optional>

namespace vb {

namespace {

// The empty text, never a null QString: a null one would be bound as SQL
// NULL, and Null is not the empty text.
QString vacio() { return QStringLiteral(""); }

Fallo uso_de_null() { return Fallo(codigo_error::USO_NO_VALIDO_DE_NULL, QStringLiteral("Uso no válido de Null")); }

Fallo tipos_no_coinciden(const QString& que)
{
    return Fallo(codigo_error::TIPOS_NO_COINCIDEN,
                 QStringLiteral("No coinciden los tipos: '%1' no es un número").arg(que));
}

bool es_texto(const QVariant& v)
{
    return v.typeId() == QMetaType::QString || v.typeId() == QMetaType::QByteArray
        || v.typeId() == QMetaType::QChar;
}

// Number of a numeric text as IsNumeric accepts it ("," or "." as the
// decimal separator); nullopt when the text is not numeric.
std::optional<double> leer_numero(const QString& s)
{
    static const QRegularExpression forma(QStringLiteral(
        "^\\s*([+-]?)\\s*(\\d+[.,]?\\d*|[.,]\\d+)([eEdD][+-]?\\d+)?\\s*$"));
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

// Day, month and year of a d/m/yy or dd/mm/aaaa text that names a real
// calendar day.
std::optional<QDate> leer_fecha(const QString& s)
{
    static const QRegularExpression forma(
        QStringLiteral("^\\s*(\\d{1,2})/(\\d{1,2})/(\\d{2}|\\d{4})\\s*$"));
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

// Digits of |v| rounded to 15 significant digits, as the runtime renders a
// Double: `digitos` without leading zeros and `exponente` the power of ten of
// the first digit.
struct Decimal {
    QString digitos;
    int exponente = 0;
};

Decimal decimal_15(double v)
{
    Decimal d;
    if (v == 0) {
        d.digitos = QStringLiteral("0");
        return d;
    }
    const QString e = QString::number(std::fabs(v), 'e', 14);   // d.dddddddddddddde+XX
    const int pos_e = e.indexOf(QLatin1Char('e'));
    d.digitos = e.left(pos_e).remove(QLatin1Char('.'));
    d.exponente = e.mid(pos_e + 1).toInt();
    return d;
}

}  // namespace

bool es_numero(const QVariant& v)
{
    switch (v.typeId()) {
    case QMetaType::Int: case QMetaType::UInt: case QMetaType::LongLong:
    case QMetaType::ULongLong: case QMetaType::Double: case QMetaType::Float:
    case QMetaType::Short: case QMetaType::UShort: case QMetaType::Long:
    case QMetaType::ULong: case QMetaType::Char: case QMetaType::SChar: case QMetaType::UChar:
        return true;
    default:
        return false;
    }
}

std::optional<bool> logico_de_texto(const QString& s)
{
    const QString t = s.trimmed();
    if (t.compare(QLatin1String("True"), Qt::CaseInsensitive) == 0
        || t.compare(QLatin1String("Verdadero"), Qt::CaseInsensitive) == 0)
        return true;
    if (t.compare(QLatin1String("False"), Qt::CaseInsensitive) == 0
        || t.compare(QLatin1String("Falso"), Qt::CaseInsensitive) == 0)
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
    // Blanks, tabs and line feeds are skipped wherever they stand.
    QString t;
    for (QChar c : s)
        if (c != QLatin1Char(' ') && c != QLatin1Char('\t') && c != QLatin1Char('\n') && c != QLatin1Char('\r'))
            t += c;
    // &H and &O introduce hexadecimal and octal numbers.
    if (t.size() > 1 && t[0] == QLatin1Char('&')) {
        const QChar base = t[1].toUpper();
        const int b = base == QLatin1Char('H') ? 16 : base == QLatin1Char('O') ? 8 : 0;
        if (b) {
            qint64 r = 0;
            for (int i = 2; i < t.size(); ++i) {
                const int d = t[i].isDigit() ? t[i].digitValue()
                            : (t[i].toUpper() >= QLatin1Char('A') && t[i].toUpper() <= QLatin1Char('F'))
                                ? t[i].toUpper().unicode() - 'A' + 10 : 99;
                if (d >= b) break;
                r = r * b + d;
            }
            return double(r);
        }
    }
    static const QRegularExpression forma(
        QStringLiteral("^[+-]?(\\d+\\.?\\d*|\\.\\d+)([eEdD][+-]?\\d+)?"));
    const auto m = forma.match(t);
    if (!m.hasMatch()) return 0;
    QString n = m.captured(0);
    for (auto& c : n)
        if (c == QLatin1Char('d') || c == QLatin1Char('D')) c = QLatin1Char('e');
    return n.toDouble();
}

bool IsNumeric(const QString& s) { return leer_numero(s).has_value(); }

bool IsNumeric(const QVariant& v)
{
    if (esNulo(v)) return false;
    if (es_numero(v) || v.typeId() == QMetaType::Bool) return true;
    if (es_texto(v)) return IsNumeric(v.toString());
    return false;
}

bool IsDate(const QString& s) { return leer_fecha(s).has_value(); }

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
    const int punto = patron.indexOf(QLatin1Char('.'));
    const QString entero = punto < 0 ? patron : patron.left(punto);
    const int decimales = punto < 0 ? 0 : patron.size() - punto - 1;
    const int minimo = entero.count(QLatin1Char('0'));

    // Work on the decimal text of the value, so 1.005 rounds as the 1.005 it
    // shows rather than as the 1.00499999... it holds.
    const Decimal d = decimal_15(v);
    // digits: integer part and decimals as one string of digits with the
    // point after `n_entero` of them.
    QString cifras = d.digitos;
    int n_entero = d.exponente + 1;
    if (n_entero <= 0) {
        cifras = QString(-n_entero + 1, QLatin1Char('0')) + cifras;   // 0.00ddd
        n_entero = 1;
    }
    if (cifras.size() < n_entero) cifras += QString(n_entero - cifras.size(), QLatin1Char('0'));
    const int conservar = n_entero + decimales;
    if (cifras.size() > conservar) {
        const bool sube = cifras[conservar] >= QLatin1Char('5');   // halves away from zero
        cifras.truncate(conservar);
        if (sube) {
            int i = conservar - 1;
            for (; i >= 0; --i) {
                if (cifras[i] == QLatin1Char('9')) {
                    cifras[i] = QLatin1Char('0');
                } else {
                    cifras[i] = QChar(cifras[i].unicode() + 1);
                    break;
                }
            }
            if (i < 0) {
                cifras.prepend(QLatin1Char('1'));
                ++n_entero;
            }
        }
    } else {
        cifras += QString(conservar - cifras.size(), QLatin1Char('0'));
    }
    QString parte_entera = cifras.left(n_entero);
    while (parte_entera.size() > 1 && parte_entera[0] == QLatin1Char('0')) parte_entera.remove(0, 1);
    if (parte_entera == QLatin1String("0") && minimo == 0) parte_entera.clear();
    if (parte_entera.size() < minimo)
        parte_entera.prepend(QString(minimo - parte_entera.size(), QLatin1Char('0')));
    QString r = parte_entera;
    if (decimales > 0) r += QLatin1Char('.') + cifras.mid(n_entero, decimales);
    // A negative value that rounds to nothing is written without its sign.
    bool cero = true;
    for (QChar c : r)
        if (c.isDigit() && c != QLatin1Char('0')) cero = false;
    if (v < 0 && !cero) r.prepend(QLatin1Char('-'));
    return r + vacio();
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

qint16 CInt(const QVariant& v) { return CInt(numero(v)); }
qint32 CLng(const QVariant& v) { return CLng(numero(v)); }

QString CStr(double v)
{
    if (v == 0) return QStringLiteral("0");
    if (std::isnan(v)) return QStringLiteral("NaN");
    if (std::isinf(v)) return v > 0 ? QStringLiteral("+Inf") : QStringLiteral("-Inf");
    const Decimal d = decimal_15(v);
    QString cifras = d.digitos;
    while (cifras.size() > 1 && cifras.endsWith(QLatin1Char('0'))) cifras.chop(1);
    QString r;
    if (d.exponente >= 15 || d.exponente < -4) {
        // Scientific notation, as the runtime writes 1E+15 or 1,5E-05.
        r = cifras.left(1);
        if (cifras.size() > 1) r += QLatin1Char(',') + cifras.mid(1);
        const int e = d.exponente;
        r += QStringLiteral("E%1%2").arg(e < 0 ? QLatin1Char('-') : QLatin1Char('+'))
                 .arg(std::abs(e), 2, 10, QLatin1Char('0'));
    } else if (d.exponente < 0) {
        r = QStringLiteral("0,") + QString(-d.exponente - 1, QLatin1Char('0')) + cifras;
    } else {
        const int n_entero = d.exponente + 1;
        if (cifras.size() <= n_entero) {
            r = cifras + QString(n_entero - cifras.size(), QLatin1Char('0'));
        } else {
            r = cifras.left(n_entero) + QLatin1Char(',') + cifras.mid(n_entero);
        }
    }
    if (v < 0) r.prepend(QLatin1Char('-'));
    return r;
}

QString FechaCorta(const QDate& d) { return d.toString(QStringLiteral("dd/MM/yyyy")); }

bool esNulo(const QVariant& v) { return !v.isValid() || v.isNull(); }

QString texto_o_vacio(const QVariant& v) { return esNulo(v) ? vacio() : texto(v); }

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
