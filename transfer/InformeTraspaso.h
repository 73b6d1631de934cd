#pragma once
// The run's side of its report (report/): the summary it fills as it goes,
// the files the report reads back, and the report left at its end.
#include "report/ResumenTraspaso.h"

class Traspaso;

// Start of a run: the installation, the range and the clock.
void empezar_resumen(Traspaso& t);
// After the repairs, before the first record: the counts of both files.
void contar_registros(Traspaso& t);
// Where the report of `t` reads back: its Xdiario and XSubCta, its
// company's SubCta, and its payment methods by the subaccount they post to,
// by cuenta_cobro's rule. Holds `t`.
OrigenInforme origen_informe(const Traspaso& t);
// End of a run past its confirmation: the report written beside the log,
// its local path in t.informe (empty when none was).
void dejar_informe(Traspaso& t, FinTraspaso como);
