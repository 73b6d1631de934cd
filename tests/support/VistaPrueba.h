#pragma once
// A transfer window without widgets for tests that only need the engine:
// empty date boxes, nothing happens on screen, the progress phases are
// recorded.
#include "transfer/VistaTraspaso.h"
#include <QStringList>

class VistaPrueba : public VistaTraspaso {
public:
    QString texto_de() const override { return {}; }
    QString texto_hasta() const override { return {}; }
    void vaciar_fechas() override {}
    void puntero_espera(bool) override {}
    void cerrar() override {}
    QStringList fases;                  // progress phases seen
    void progreso(const QString& fase, qint64, qint64) override
    {
        if (fases.isEmpty() || fases.last() != fase) fases << fase;
    }
};
