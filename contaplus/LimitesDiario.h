#pragma once
// What the journal's numeric columns can hold, so that an amount the
// posting could not write is refused while it is still in the hotel, named,
// instead of failing the posting on every later run.
#include <QString>

// Empty when `euros` goes into the peseta column `columna` of an invoice
// line (by the customer debit's whole-euro rule when `euros_enteros`);
// otherwise what the column admits, for the clerk.
QString exceso_pesetas(double euros, bool euros_enteros, const QString& columna);

// The same for a column that takes the amount as it is (euros, a rate).
QString exceso_columna(double valor, const QString& columna, const QString& unidad);
