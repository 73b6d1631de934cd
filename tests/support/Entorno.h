#pragma once
// The program started on an installation, with one transfer window over a
// view without widgets and a recording clerk: the set-up of the start-up,
// transfer and window tests.
#include "startup/Module1.h"
#include "tests/support/Instalacion.h"
#include "tests/support/InterlocutorGrabador.h"
#include "tests/support/VistaPrueba.h"
#include "transfer/Traspaso.h"

#include <QVariantMap>
#include <functional>
#include <memory>

// How far the program is started: not at all, the connections made
// (cargar), or the settings read as well (activar), as the menu leaves it.
enum class Inicio { Nada, Cargado, Activado };

struct OpcionesEntorno {
    bool modo_sql = false;
    QChar unidad = QChar('C');
    QVariantMap ajustes;                      // columns of the cc row, changed first
    std::function<void(Instalacion&)> antes;  // then anything else, before the start
    Inicio inicio = Inicio::Activado;
};

class Entorno {
    std::unique_ptr<Instalacion> propia_;

public:
    Instalacion& inst;
    InterlocutorGrabador clerk;
    Module1 m;
    VistaPrueba vista;
    Traspaso t;

    // On an installation of its own.
    explicit Entorno(const OpcionesEntorno& o = {});
    // On an installation that outlives it: one more start of the program.
    explicit Entorno(Instalacion& instalacion, Inicio inicio = Inicio::Activado);

    // Activates the window, accepts both dates (ddmmaaaa, as typed) and runs
    // the driver. Aborts the test when the window or a date is refused.
    FinTraspaso correr(const QString& desde, const QString& hasta);

private:
    void iniciar(Inicio inicio);
};
