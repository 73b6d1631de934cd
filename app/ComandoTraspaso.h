#pragma once
// `enlace [--unidades DIR] traspaso --desde DDMMAAAA --hasta DDMMAAAA [--si]`
#include "platform/Unidades.h"
#include <QStringList>

// `argumentos`: what follows the word traspaso. Returns the exit status:
// 0 the run ended with its final message or the no-invoices message; 1 nothing
// ran (a date refused, the question answered no, the set-up failed); 2 a
// failure abandoned the run.
int comando_traspaso(const Unidades& unidades, const QStringList& argumentos);
