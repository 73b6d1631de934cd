#pragma once
// The text of a field that may be Null, Null read as empty.
#include "platform/valores/Vb.h"

inline QString texto_o_vacio(const QVariant& v)
{
    return vb::esNulo(v) ? QString() : vb::texto(v);
}
