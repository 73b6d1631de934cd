#pragma once
// Pictures of the three windows taken by the program itself, for the
// documentation: with ENLACE_CAPTURA=<folder> the program shows the menu,
// opens the settings window and unlocks it, opens the transfer window with a
// range typed in, saves menu.png, configuracion.png and traspaso.png into the
// folder and ends.
#include <QString>

class MenuContaplus;

void programar_capturas(MenuContaplus& menu, const QString& carpeta);
