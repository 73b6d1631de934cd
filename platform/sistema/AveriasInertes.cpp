// The fault seam of the shipped program: no fault, no count, no copy, and
// nothing read from the environment. Each call stays one plain call, as in
// the test build.
#include "platform/sistema/Averias.h"

#include <cstdlib>

namespace averias {

Accion escritura(const QString&)
{
    return Accion::Ninguna;
}

// Reached only through an injected fault, and there is none here.
[[noreturn]] void terminar()
{
    std::abort();
}

void ante_sentencia(const QString&, const QString&, const QString&) {}

void sincronizado(const QString&) {}

int espera_bloqueo(int predeterminada)
{
    return predeterminada;
}

bool activas()
{
    return false;
}

}  // namespace averias
