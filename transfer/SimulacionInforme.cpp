// The report of a dry run: the run report of every transfer, marked as a
// dry run, and the journal lines it would have written as CSV.
#include "transfer/InformeTraspaso.h"
#include "transfer/Simulacion.h"

void escribir_informe_simulacion(Traspaso& s, const QString& ruta_html, QString* html, QString* csv)
{
    s.resumen.simulacion = true;
    s.resumen.detenido = s.detenido;
    // The CSV under the report's name, whatever suffix that took.
    *html = escribir_informe(s, ruta_html, {QStringLiteral(".csv")});
    *csv = escribir_csv(s, html->chopped(5) + QStringLiteral(".csv"));
}
