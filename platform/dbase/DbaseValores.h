#pragma once
// Fields of dBASE records and the values they hold, private to the dBASE
// engine: reading a field's bytes, formatting a value as them, and the keys
// by which the engine's indexes find and compare values.
#include "platform/motor/Backend.h"

#include <QByteArray>
#include <QString>
#include <QVariant>
#include <optional>

class PaginaUnByte;

namespace dbase {

struct Campo {
    QString nombre;
    char tipo = 'C';
    int ancho = 0;
    int decimales = 0;
    int desplazamiento = 0;  // in the record, after the deletion flag
};

TipoColumna tipo_de(char tipo);

// A field as stored: C without trailing blanks, N/F as double, D as QDate,
// L as bool; blanks (and a field of asterisks) are Null.
QVariant leer_campo(const Campo& c, const char* registro, const PaginaUnByte& p);

// A value as the bytes of its field, exactly as wide as the column. A value
// the column cannot take is TIPOS_NO_COINCIDEN, one too wide DESBORDAMIENTO.
QByteArray formatear(const QString& tabla, const Campo& c, const QVariant& v, const PaginaUnByte& p);

// The commonest values written straight into their field (`campo` points
// at it): an ASCII text into a C field, a number into an N or F field, a
// date into a D field. The same bytes formatear gives; false, with nothing
// written, for any other, which goes through formatear.
bool texto_directo(char* campo, const Campo& c, const QString& s);
bool numero_directo(char* campo, const QString& tabla, const Campo& c, double x);
bool fecha_directa(char* campo, const Campo& c, const QDate& f);

// formatear's bytes in their field of a record: blank, then the bytes up to
// the first NUL, as shapelib would store them.
void formatear_en(char* campo, const QString& tabla, const Campo& c, const QVariant& v, const PaginaUnByte& p);

// Key of a stored value in an index; none for Null, which equals nothing.
std::optional<QString> clave_de(const Campo& c, const QVariant& v);
// The value of a WHERE in the column's own type: the same key the stored
// value has when they are equal. Texts compare without trailing blanks.
std::optional<QString> clave_buscada(const QString& tabla, const Campo& c, const QVariant& v);

// Order and equality of stored values; Null is below everything and equal
// only to Null.
bool mayor(const QVariant& a, const QVariant& b);
bool iguales(const QVariant& a, const QVariant& b);

}  // namespace dbase
