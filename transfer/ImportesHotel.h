#pragma once
// The amounts read from the hotel that the journal could not take, refused
// while the receipt or invoice is still only in the hotel: staged, they
// would post as nothing or fail the posting of every later run.
#include "platform/sistema/Fallo.h"
#include "platform/sql/Recordset.h"
#include <QVariant>
#include <optional>

// Why the invoice under `emi` cannot be staged, as the failure that stops
// the run there; none when its amounts can be posted.
std::optional<Fallo> importe_rechazado(Recordset& emi);

// A receipt's CajaImp as a number; a Fallo naming the column when it is
// not a finite number or is more than the journal's euro columns hold.
double importe_cobro(const QVariant& caja_imp);
