#pragma once
// A column as every engine describes it, and what a value set into it is
// turned into (ValorColumna.h).
#include <QString>

enum class TipoColumna { Texto, Numero, Logico, Fecha, Otro };

struct Columna {
    QString nombre;  // as the table spells it
    TipoColumna tipo = TipoColumna::Otro;
    int ancho = 0;      // dBASE: field width; 0 elsewhere
    int decimales = 0;  // dBASE: decimals of an N field
};
