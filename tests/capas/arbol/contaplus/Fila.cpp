#include "contaplus/Fila.h"
#include "platform/sql/Alto.h"
// Sideways, into the transfer: "contaplus;[x]\"
  #  include "transfer/Traspaso.h"
#include <shapefil.h>
#include <QString>
