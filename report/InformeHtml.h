#pragma once
// The report as one HTML page, and the rows of a dry run's table of lines.
#include "report/CifrasTraspaso.h"
#include "report/ResumenTraspaso.h"

#include <QString>

struct ApunteLeido;

// The whole report as one self-contained HTML page.
QString informe_html(const ResumenTraspaso& r, const CifrasTraspaso& c);
// One journal line as a row of the dry run's table of lines, appended to `html`.
void anadir_fila_apunte_html(QString& html, const ApunteLeido& l);
