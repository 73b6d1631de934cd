#pragma once
// Goes up a layer.
#include "platform/sql/Alto.h"
#include <QString>
