#pragma once
#include "platform/sistema/Bajo.h"
#include "Vecino.h"
