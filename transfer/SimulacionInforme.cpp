// The report of a dry run: the run report of every transfer, marked as a
// dry run, and the journal lines it would have written as CSV.
#include "report/InformeTraspaso.h"
#include "transfer/InformeTraspaso.h"
#include "transfer/Simulacion.h"

void escribir_informe_simulacion(Traspaso& s, const QString& ruta_html, QString* html, QString* csv)
{
    s.resumen.simulacion = true;
    s.resumen.detenido = s.detenido;
    // The CSV under the report's name, whatever suffix that took.
    const OrigenInforme o = origen_informe(s);
    *html = escribir_informe(s.resumen, o, ruta_html, {QStringLiteral(".csv")});
    *csv = escribir_csv(s.resumen, o, html->chopped(5) + QStringLiteral(".csv"));
}
