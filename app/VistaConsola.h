#pragma once
// The transfer window of the command line: the two date boxes are texts,
// the pointer and closing have nothing to show, the progress is one line on
// the error output when a new phase starts, only at a terminal.
#include "transfer/VistaTraspaso.h"

class VistaConsola : public VistaTraspaso {
public:
    QString de, hasta;  // the boxes, dd/mm/aaaa once accepted
    bool cerrada = false;

    void vaciar_fechas() override;
    void puntero_espera(bool espera) override;
    void cerrar() override;
    void progreso(const QString& fase, qint64 hecho, qint64 total) override;

private:
    QString fase_;
};
