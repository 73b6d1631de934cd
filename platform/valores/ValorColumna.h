#pragma once
// A value set into a column, as the column stores it: a number into a text
// column is written as its digits, a text into a numeric, Yes/No or date
// column is read as one (TIPOS_NO_COINCIDEN when it is not), Null stays
// Null. The rule of a recordset's asignar(), and of every row written by
// the columns' places without one.
#include "platform/valores/Columna.h"
#include <QVariant>

QVariant valor_de_columna(const QVariant& valor, const Columna& columna);

// The same text, character for character (the null text is not the empty one).
bool mismo_texto(const QString& a, const QString& b);
// The same value: the same type and the same payload, bit for bit, so it
// converts and formats the same. Texts, numbers, Yes/No and dates are
// compared; a value of any other type is never the same.
bool mismo_valor(const QVariant& a, const QVariant& b);
