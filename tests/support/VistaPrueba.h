#pragma once
// A transfer window without widgets for tests that only need the engine:
// empty date boxes, and nothing happens on screen.
#include "transfer/VistaTraspaso.h"

class VistaPrueba : public VistaTraspaso {
public:
    QString texto_de() const override { return {}; }
    QString texto_hasta() const override { return {}; }
    void vaciar_fechas() override {}
    void puntero_espera(bool) override {}
    void cerrar() override {}
};
