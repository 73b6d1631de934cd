#pragma once
// The four lines of an invoice entry, from the invoice's number and the
// amounts of each line. Every amount goes into its euro column rounded to
// the cents the column keeps, and from those cents into its peseta column,
// so an entry is judged on what the journal holds; a failed conversion (a
// Null amount, pesetas beyond 32 bits) fails the builder.
#include "contaplus/FilaDiario.h"

// An amount as the journal's euro columns hold it: to cents, halves away
// from zero, as the decimal text shows it.
double centimos(double euros);
// The same amount as a whole number of cents, for sums that must be exact.
qint64 en_centimos(double euros);

// Customer debit: the pesetas come from the whole euros of the total.
LineaDiario linea_cliente(const QVariant& fra, const QVariant& subcta, const QVariant& total);
LineaDiario linea_tasa(const QVariant& fra, const QVariant& subcta, const QVariant& tasa);
LineaDiario linea_ventas(const QVariant& fra, const QVariant& subcta, double importe);

// Output VAT of one rate: the only invoice line with a counterpart, a
// taxable base, a rate and the invoice as document.
LineaDiario linea_iva(const QVariant& fra, const QVariant& subcta, const QVariant& contra, double cuota, double base,
                      double porcentaje);
