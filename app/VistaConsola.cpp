#include "app/VistaConsola.h"

void VistaConsola::vaciar_fechas()
{
    de.clear();
    hasta.clear();
}

void VistaConsola::puntero_espera(bool) {}

void VistaConsola::cerrar()
{
    cerrada = true;
}
