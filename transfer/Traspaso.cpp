// The state of one transfer window. Everything starts empty: the ContaPlus
// connections are made by each activation, the rest by the run.
#include "transfer/Traspaso.h"

Traspaso::Traspaso(Module1& m, VistaTraspaso& vista) : m(m), vista(vista) {}
