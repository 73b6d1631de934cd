// The state of one transfer window. Everything starts empty: the ContaPlus
// connections are made by each activation, the variables by the run.
#include "transfer/Traspaso.h"

#include "startup/RutinasComunes.h"

Traspaso::Traspaso(Module1& m, VistaTraspaso& vista) : m(m), vista(vista) {}

QString Traspaso::a_digitos(const QString& codigo) const
{
    if (m.digitos == 8 && codigo.length() != 8) return ajustar_subcuenta(codigo, 8);
    return codigo;
}
