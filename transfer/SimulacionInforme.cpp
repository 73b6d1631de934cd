// The report of a dry run: the run report of every transfer, marked as a
// dry run, and the journal lines it would have written as CSV.
#include "transfer/InformeTraspaso.h"
#include "transfer/Simulacion.h"

void escribir_informe_simulacion(Traspaso& s, const QString& ruta_html, const QString& ruta_csv)
{
    s.resumen.simulacion = true;
    s.resumen.detenido = s.detenido;
    escribir_informe(s, ruta_html);
    escribir_csv(s, ruta_csv);
}
