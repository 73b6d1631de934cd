#include "transfer/FechasTraspaso.h"

#include "platform/valores/Vb.h"
#include "startup/RutinasComunes.h"

namespace {

const QString FECHA_INCORRECTA = QStringLiteral("Fecha incorrecta");
const QString ERROR_USUARIO = QStringLiteral("Error usuario");

void fecha_incorrecta(Traspaso& t)
{
    t.m.interlocutor.mensaje(FECHA_INCORRECTA, ERROR_USUARIO, Icono::Informacion);
}

// The typed ddmmaaaa text rewritten as dd/mm/aaaa; false (box emptied, the
// clerk told) when it is no calendar day. An empty box is refused as well:
// there is no date to take it from. The box shows the rewritten text while
// the clerk reads a message about it.
bool fecha_de_la_caja(Traspaso& t, QString& texto, bool hasta)
{
    if (texto.isEmpty()) {
        fecha_incorrecta(t);
        return false;
    }
    texto = convertir_fecha(texto, 1, 2);
    t.vista.mostrar_fecha(hasta, texto);
    if (!vb::IsDate(texto)) {
        fecha_incorrecta(t);
        texto.clear();
        return false;
    }
    return true;
}

}  // namespace

ResultadoFecha confirmar_desde(Traspaso& t, QString& texto)
{
    if (!fecha_de_la_caja(t, texto, false)) return ResultadoFecha::Incorrecta;
    t.fecha_desde = convertir_fecha(texto, 2, 0);
    return ResultadoFecha::Aceptada;
}

ResultadoFecha confirmar_hasta(Traspaso& t, QString& texto)
{
    if (!fecha_de_la_caja(t, texto, true)) return ResultadoFecha::Incorrecta;
    t.fecha_hasta = convertir_fecha(texto, 2, 0);
    // The driver needs both ends of the range: without an accepted start
    // date the clerk is sent back to the start box.
    if (t.fecha_desde.isEmpty()) {
        fecha_incorrecta(t);
        return ResultadoFecha::SinInicio;
    }
    // aaaammdd sorts chronologically as text.
    if (t.fecha_hasta < t.fecha_desde) {
        t.m.interlocutor.mensaje(QStringLiteral("La fecha final no puede ser inferior a la inicial"));
        texto.clear();
        return ResultadoFecha::AnteriorALaInicial;
    }
    return ResultadoFecha::Aceptada;
}
