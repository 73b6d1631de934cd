#pragma once
// The report of one transfer: an HTML file for the clerk, and a CSV of the
// journal lines the run appended, for a spreadsheet. Both read back Xdiario
// and XSubCta from the counts the run started with (OrigenInforme).
#include "report/ResumenTraspaso.h"

#include <QDateTime>
#include <QString>
#include <QStringList>

class Interlocutor;
class Unidades;

// Writes the report of the run `r` to `ruta_html` (a local path) and returns
// the path written: never over another file, so when that name is taken it
// gets "_2", "_3"... before ".html". A Fallo names the path and carries the
// system's text, and leaves no part of the report. `libres`: extensions
// that must be free under the name taken too (".csv"). A dry run's report
// also lists every line it appended.
QString escribir_informe(const ResumenTraspaso& r, const OrigenInforme& o, const QString& ruta_html,
                         const QStringList& libres = {});

// Writes the journal lines the run appended as CSV: UTF-8 with a BOM,
// semicolons, the journal's column names as header, decimal comma, dates
// dd/mm/aaaa. Named, and failing, as escribir_informe; returns the path.
QString escribir_csv(const ResumenTraspaso& r, const OrigenInforme& o, const QString& ruta_csv);

// How a run past its confirmation ended.
struct FinInforme {
    FinTraspaso como = {};
    QString detenido;         // what it was doing when the clerk stopped it; empty if not stopped
    QDateTime fin;            // the run's clock at its end
    QString nombre_registro;  // Windows name of its log, ...\tc_ddmmyy_hhmmss.log
};

// End of a run past its confirmation: how it ended, into `r`, and the report
// written beside the log (tc_ddmmyy_hhmmss.html, the log's name made local
// by `unidades`). Returns the local path written; empty for a dry run, which
// writes its own, and when the report cannot be written: that is told to
// the clerk, and the run's result stays what it was.
QString dejar_informe(ResumenTraspaso& r, const FinInforme& fin, const OrigenInforme& o, const Unidades& unidades,
                      Interlocutor& interlocutor);
