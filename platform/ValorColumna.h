#pragma once
// A value set into a column, as the column stores it: a number into a text
// column is written as its digits, a text into a numeric, Yes/No or date
// column is read as one (TIPOS_NO_COINCIDEN when it is not), Null stays
// Null. The rule of a recordset's asignar(), and of every row written by
// the columns' places without one.
#include "platform/Backend.h"

QVariant valor_de_columna(const QVariant& valor, const Columna& columna);
