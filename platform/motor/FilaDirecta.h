#pragma once
// A row appended with its values already of their columns' kinds, given by
// the columns' numbers, for an engine that can put each straight into the
// record it writes: no row of QVariants, nothing looked up by name. A
// writer of many rows that repeat each other (a journal's lines) goes
// through here; a recordset goes through insertar_fila.
#include <QDate>
#include <QString>
#include <QVariant>

// One value of the row. Texto points at the text, Otro at any other value
// (a Boolean, a value the column will refuse); both must outlive anadir().
struct ValorDirecto {
    enum Tipo : char { Nulo, Texto, Numero, Fecha, Otro };
    Tipo tipo = Nulo;
    int columna = 0;
    double numero = 0;
    QDate fecha;
    const QString* texto = nullptr;
    const QVariant* otro = nullptr;

    // Column `c` set to the value variant `v` holds: a text, a number
    // (double or whole) or a date itself, Null where it holds nothing, any
    // other as Otro (pointing at `v`).
    void tomar(int c, const QVariant& v);
    // The value as insertar_fila would be given it.
    QVariant variante() const;
};

inline void ValorDirecto::tomar(int c, const QVariant& v)
{
    columna = c;
    switch (v.typeId()) {
    case QMetaType::UnknownType: tipo = Nulo; break;
    case QMetaType::QString:
        tipo = Texto;
        texto = static_cast<const QString*>(v.constData());
        break;
    case QMetaType::Double:
        tipo = Numero;
        numero = *static_cast<const double*>(v.constData());
        break;
    case QMetaType::Int:
        tipo = Numero;
        numero = *static_cast<const int*>(v.constData());
        break;
    case QMetaType::QDate:
        tipo = Fecha;
        fecha = *static_cast<const QDate*>(v.constData());
        break;
    default: tipo = Otro; otro = &v;
    }
}

class FilaDirecta {
public:
    virtual ~FilaDirecta() = default;
    // Appends the row of `n` values, put in the order given; the columns not
    // among them are Null. The same bytes and the same failures as
    // insertar_fila with those values: a value its column cannot take
    // throws, and nothing is written. Returns the row's key (as
    // clave_insertada() would).
    virtual qint64 anadir(const ValorDirecto* valores, int n) = 0;
};
