#pragma once
// The six journal lines of the cash desk and the deposits, from the values
// of their source row. Amounts go only into the euro columns; the peseta
// columns stay 0.
#include "contaplus/FilaDiario.h"

// Characters of a payment method's description that reach the concept.
inline constexpr int LARGO_DESCRIPCION_COBRO = 15;

// Debit of the day's takings of one payment method: "Total Dia " and the
// method's description, cut to LARGO_DESCRIPCION_COBRO characters.
LineaDiario linea_debe_caja(const QVariant& subcta, const QString& descripcion, const QVariant& suma);

// Credit of one cash movement: an invoice payment on the customer's
// subaccount when `dep` is the empty text, otherwise (Null too) a deposit
// collection on the deposits subaccount.
LineaDiario linea_haber_caja(const QVariant& dep, const QVariant& cliente, const QVariant& cuenta_depositos,
                             const QVariant& fra, const QVariant& importe);

// Debit and credit of one deposit collection posted apart.
LineaDiario linea_debe_cobro_deposito(const QVariant& subcta, const QVariant& dep, const QVariant& importe);
LineaDiario linea_haber_cobro_deposito(const QVariant& cuenta_depositos, const QVariant& dep, const QVariant& importe);

// Debit (deposits subaccount) and credit (customer) of a discounted deposit.
LineaDiario linea_deposito_descontado_debe(const QVariant& cuenta_depositos, const QVariant& fra,
                                           const QVariant& importe);
LineaDiario linea_deposito_descontado_haber(const QVariant& cliente, const QVariant& fra, const QVariant& importe);
