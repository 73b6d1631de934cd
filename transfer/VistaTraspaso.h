#pragma once
// What the transfer asks of its window: the two date boxes emptied, the mouse
// pointer, the progress of a run and closing. The command line has a window of its own without
// widgets; the real one is in windows/.
#include <QString>

// Where a run's progress goes: what it is doing and how far it has got
// (total 0: unknown).
class Progreso {
public:
    virtual ~Progreso() = default;
    virtual void progreso(const QString& fase, qint64 hecho, qint64 total) {}
};

class VistaTraspaso : public Progreso {
public:
    virtual ~VistaTraspaso() = default;
    virtual void vaciar_fechas() = 0;  // both boxes empty, focus on the start box
    // A box's text rewritten as dd/mm/aaaa, shown before any message about it.
    virtual void mostrar_fecha(bool hasta, const QString& texto) {}
    virtual void puntero_espera(bool espera) = 0;
    virtual void cerrar() = 0;  // the window closes
};
