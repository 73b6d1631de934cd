#pragma once
// The four lines of an invoice entry, from the invoice's number and the
// amounts of each line. Every amount goes unchanged into its euro column and
// converted into its peseta column; a failed conversion (a Null amount,
// pesetas beyond 32 bits) fails the builder.
#include "contaplus/FilaDiario.h"

// Customer debit: the pesetas come from the whole euros of the total.
LineaDiario linea_cliente(const QVariant& fra, const QVariant& subcta, const QVariant& total);
LineaDiario linea_tasa(const QVariant& fra, const QVariant& subcta, const QVariant& tasa);
LineaDiario linea_ventas(const QVariant& fra, const QVariant& subcta, double importe);

// Output VAT of one rate: the only invoice line with a counterpart, a
// taxable base, a rate and the invoice as document.
LineaDiario linea_iva(const QVariant& fra, const QVariant& subcta, const QVariant& contra,
                      double cuota, double base, double porcentaje);
