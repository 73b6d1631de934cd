#include "platform/motor/FilaDirecta.h"

QVariant ValorDirecto::variante() const
{
    switch (tipo) {
    case Texto: return *texto;
    case Numero: return numero;
    case Fecha: return fecha;
    case Otro: return *otro;
    default: return QVariant();
    }
}
