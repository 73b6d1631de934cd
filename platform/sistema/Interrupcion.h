#pragma once
#include <string>

// Ctrl+C on the command line asks a transfer to stop at its next durable
// point instead of killing it. The first SIGINT only raises a flag, which
// the run reads after each group commit; a second one ends the process at
// once, as the signal would have without us (the next run repairs what it
// left, as after any kill).
namespace interrupcion {

// Catches SIGINT from now on; the flag starts lowered.
void capturar();
// SIGINT back to its default action.
void soltar();
// True once a SIGINT has arrived since capturar().
bool pedida();
// A line of standard input, without its end. False at the end of the input,
// on a read error, or when a SIGINT arrives while it waits: a question at
// the terminal gives way to Ctrl+C instead of waiting for an answer.
bool leer_linea(std::string& linea);

}  // namespace interrupcion
