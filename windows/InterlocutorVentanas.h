#pragma once
// The clerk of the windows: every message and question is a real message
// box with the icon, buttons and title asked for; the progress of a long run
// goes to whichever window asked to show it.
//
// With ENLACE_RESPUESTAS_AUTOMATICAS set in the environment no box is shown:
// each message is printed to the standard output as "Título: texto" and
// answered at once (OK; Yes to a question, No when the variable is "no").
// That lets the program run unattended (its own start-up test, screenshots).
#include "platform/Interlocutor.h"

#include <functional>

class InterlocutorVentanas : public Interlocutor {
public:
    InterlocutorVentanas();

    Respuesta mensaje(const QString& texto, const QString& titulo = TITULO_APLICACION,
                      Icono icono = Icono::Ninguno, Botones botones = Botones::Aceptar) override;
    void progreso(const QString& fase, qint64 hecho, qint64 total) override;

    // Who shows the progress (the transfer window while it is open); empty: nobody.
    std::function<void(const QString& fase, qint64 hecho, qint64 total)> al_progresar;

    bool automatico() const { return automatico_; }

private:
    bool automatico_ = false;
    Respuesta respuesta_automatica_ = Respuesta::Si;
};
