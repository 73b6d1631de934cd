// The shipped program's windows: no pictures, no answer given for the clerk,
// and nothing read from the environment.
#include "windows/Capturas.h"

void programar_capturas(MenuContaplus&) {}

std::optional<Respuesta> respuesta_automatica()
{
    return std::nullopt;
}
