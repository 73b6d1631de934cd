#pragma once
// The peseta columns of the journal, at 166.386 pesetas to the euro. Both
// rules give a 32-bit signed whole number; a result outside that range fails
// with DESBORDAMIENTO, and a Null amount with USO_NO_VALIDO_DE_NULL.
#include <QVariant>

inline constexpr double PESETAS_POR_EURO = 166.386;

// Customer debit of an invoice: the total is first taken to whole euros
// (halves to even), those are converted and rounded halves away from zero.
// The cents never reach the pesetas: 100.40 euros give 16639.
qint32 pesetas_euros_enteros(const QVariant& euros);

// Every other peseta amount: euros × 166.386 rounded halves to even.
// 3.30 euros give 549.
qint32 pesetas(double euros);
qint32 pesetas(const QVariant& euros);
