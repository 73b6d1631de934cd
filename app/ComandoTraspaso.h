#pragma once
// `enlace [--unidades DIR] traspaso [--simular] --desde DDMMAAAA --hasta DDMMAAAA [--si]`
// --simular: a dry run (transfer/Simulacion.h); its report's path is printed last.
#include "platform/sistema/Unidades.h"
#include <QStringList>

// `argumentos`: what follows the word traspaso. Returns the exit status:
// 0 the run ended with its final message or the no-invoices message; 1 nothing
// ran (a date refused, the question answered no, the set-up failed); 2 a
// failure abandoned the run; 3 Ctrl+C stopped it after a durable group (the
// rest goes in the next run). A dry run exits as the run it stands for.
int comando_traspaso(const Unidades& unidades, const QStringList& argumentos);
