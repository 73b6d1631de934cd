#pragma once
// `enlace [--unidades DIR]` with no subcommand: the main menu window.
#include "platform/sistema/Unidades.h"

// Creates the QApplication, shows the menu and runs until it closes.
// Returns the exit status (1 when the start-up failed after its message).
int abrir_menu(int& argc, char** argv, const Unidades& unidades);
