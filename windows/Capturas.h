#pragma once
// Pictures of the three windows taken by the program itself, for the
// documentation: with ENLACE_CAPTURA=<folder> the program shows the menu,
// opens the settings window and unlocks it, opens the transfer window and
// runs a transfer of the demonstration's month (November 2026), saves
// menu.png, configuracion.png and traspaso.png (taken while the run goes on)
// into the folder and ends. With ENLACE_RESPUESTAS_AUTOMATICAS the run's
// questions are answered on the console; without it every message box is
// pictured too (mensaje_1.png, ...), the settings saved for the message
// that follows, and each box answered with its default button.
#include <QString>

class MenuContaplus;

void programar_capturas(MenuContaplus& menu, const QString& carpeta);
