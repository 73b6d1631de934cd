#include "app/Ventanas.h"

#include "platform/sistema/Fallo.h"
#include "startup/Module1.h"
#include "windows/Capturas.h"
#include "windows/InterlocutorVentanas.h"
#include "windows/MenuContaplus.h"

#include <QApplication>

int abrir_menu(int& argc, char** argv, const Unidades& unidades)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("enlace"));

    InterlocutorVentanas interlocutor;
    Module1 m(unidades, interlocutor);

    // The menu's load: drive, data-source mode, connections. When they fail
    // the clerk has been told and no window is left.
    try {
        m.cargar();
    } catch (const FinPrograma&) {
        return 1;
    } catch (const Fallo& f) {
        interlocutor.mensaje(QStringLiteral("No se ha podido arrancar el enlace.\n") + f.descripcion(),
                             QStringLiteral("Atención"), Icono::Critico);
        return 1;
    }

    MenuContaplus menu(m);
    programar_capturas(menu);
    menu.show();
    return app.exec();
}
