#pragma once
// The windows run by themselves, for the tests and the documentation's
// pictures. Two definitions of these calls, chosen when linking: Capturas.cpp
// (library enlace_capturas: the test build enlace_prueba and the tests) reads
// the environment below; CapturasInertes.cpp (enlace_capturas_inertes: the
// shipped enlace) reads no variable, so every box waits for the clerk.
//
// ENLACE_CAPTURA=<folder>: the program shows the menu, opens the settings
// window and unlocks it, opens the transfer window and runs a transfer of
// the demonstration's month (November 2026), saves menu.png,
// configuracion.png and traspaso.png (taken while the run goes on) into the
// folder and ends. Without ENLACE_RESPUESTAS_AUTOMATICAS every message box is
// pictured too (mensaje_1.png, ...), the settings saved for the message that
// follows, and each box answered with its default button.
//
// ENLACE_RESPUESTAS_AUTOMATICAS: no box is shown; each message is printed to
// the standard output as "Título: texto" and answered at once (OK; Yes to a
// question, No when the variable is "no"). That lets the program run
// unattended (its own start-up test, screenshots).
#include "platform/sistema/Interlocutor.h"

#include <optional>

class MenuContaplus;

// Called once the menu is built, before it is shown.
void programar_capturas(MenuContaplus& menu);

// The answer to every question when the messages are answered without a
// box; nothing when the clerk answers them.
std::optional<Respuesta> respuesta_automatica();
