#pragma once
// A transfer window without widgets: the date boxes are two strings, and
// what the engine does to the window is counted.
#include "transfer/VistaTraspaso.h"
#include <QStringList>

class VistaPrueba : public VistaTraspaso {
public:
    QString de, hasta;    // the boxes' text
    bool espera = false;  // the wait pointer is on
    int vaciados = 0;     // times the boxes were emptied
    int cierres = 0;      // times the window was closed

    void vaciar_fechas() override
    {
        de.clear();
        hasta.clear();
        ++vaciados;
    }
    void puntero_espera(bool e) override { espera = e; }
    void cerrar() override { ++cierres; }
    QStringList fases;  // progress phases seen, in order
    void progreso(const QString& fase, qint64, qint64) override
    {
        if (fases.isEmpty() || fases.last() != fase) fases << fase;
    }
};
