#pragma once
// The text, number and date services of the original runtime that the link
// relies on, with their exact rules. Positions count from 1 as there.
#include <QDate>
#include <QString>
#include <QVariant>
#include <optional>

namespace vb {

QString Left(const QString& s, int n);
QString Right(const QString& s, int n);
QString Mid(const QString& s, int inicio, int n = -1);  // inicio from 1; n < 0: to the end
QString Trim(const QString& s);                         // leading and trailing blanks (spaces) only

// Val: the leading number of a text ("12abc" 12, "abc" 0, " 1 2" 12, "1,5" 1).
double Val(const QString& s);
// IsNumeric: text that reads whole as a number (blanks around allowed); the
// empty text is not numeric.
bool IsNumeric(const QString& s);
bool IsNumeric(const QVariant& v);
// IsDate on dd/mm/aaaa (also d/m/aa): a real calendar day.
bool IsDate(const QString& s);
// CDate of a day-first text dd/mm/aa or dd/mm/aaaa; two-digit years 00-29 are
// 2000-2029 and 30-99 are 1930-1999. Not a date: TIPOS_NO_COINCIDEN.
QDate CDate(const QString& s);

// Format with the patterns "0", "00", "000", "0000", "#0", "0.00", "#0.00":
// rounded halves away from zero, at least as many integer digits as zeros,
// "." is the decimal point of the pattern and of the result.
QString Format(double v, const QString& patron);

// CInt/CLng: round to the nearest whole number, halves to even; out of range
// is DESBORDAMIENTO.
qint16 CInt(double v);
qint32 CLng(double v);
qint16 CInt(const QVariant& v);
qint32 CLng(const QVariant& v);

// CStr of a number in the Spanish locale: 150.5 gives "150,5", 21 gives "21".
QString CStr(double v);
// Short date dd/mm/aaaa.
QString FechaCorta(const QDate& d);

// Variant conversions. Null is USO_NO_VALIDO_DE_NULL; a text that is not a
// number is TIPOS_NO_COINCIDEN.
QString texto(const QVariant& v);  // CStr of a field: numbers as CStr, Booleans "Verdadero"/"Falso"
double numero(const QVariant& v);  // CDbl
bool logico(const QVariant& v);    // CBool
// Empty or Null, as !isValid() || isNull() has it, read inline from the
// variant's own flags: the runtime asks it of nearly every value it handles.
inline bool esNulo(const QVariant& v)
{
    const QVariant::Private& d = v.data_ptr();
    if (d.is_null) return true;
    const QtPrivate::QMetaTypeInterface* t = d.typeInterface();
    if (!t) return true;
    if (QMetaType::TypeFlags(t->flags) & QMetaType::IsPointer)
        return *static_cast<void* const*>(d.storage()) == nullptr;
    return false;
}
// A field read as text where a Null is the empty text (never a null QString).
QString texto_o_vacio(const QVariant& v);
// A Variant holding a number: any integer or floating type, not a Boolean
// and not a text.
bool es_numero(const QVariant& v);
// A text as CBool reads it: "True"/"Verdadero" and "False"/"Falso" in any
// case, or a number (IsNumeric's reading), true unless 0; blanks around are
// allowed. Anything else is not a Boolean: nullopt.
std::optional<bool> logico_de_texto(const QString& s);
// Field = "text" as the runtime compares a Variant with a text: a numeric
// field against the text's number, a text field exactly; Null is never equal.
bool igual(const QVariant& v, const QString& texto);

}  // namespace vb
