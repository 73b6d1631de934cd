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

    // The value as insertar_fila would be given it.
    QVariant variante() const;
};

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
