#pragma once
// The hotel passes of a run, each in a file of its own, called in order by
// Traspaso::correr.
#include <QSet>
#include <QString>

class Traspaso;

// The receipts earlier runs left for the clerk (cobros_sin_factura), told
// in the log and counted in this run; their keys, day and order.
QSet<QString> cobros_anteriores(Traspaso& t);
// Cash pass: the range's receipts staged in cajj and marked in caja; those
// in `avisados` are not told again.
void pasar_cajas(Traspaso& t, const QSet<QString>& avisados);
// Invoice pass over the selected invoices.
void pasar_facturas(Traspaso& t);
