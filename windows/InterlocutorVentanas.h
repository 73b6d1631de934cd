#pragma once
// The clerk of the windows: every message and question is a real message
// box with the icon, buttons and title asked for.
//
// With ENLACE_RESPUESTAS_AUTOMATICAS set in the environment no box is shown:
// each message is printed to the standard output as "Título: texto" and
// answered at once (OK; Yes to a question, No when the variable is "no").
// That lets the program run unattended (its own start-up test, screenshots).
#include "platform/Interlocutor.h"

class InterlocutorVentanas : public Interlocutor {
public:
    InterlocutorVentanas();

    Respuesta mensaje(const QString& texto, const QString& titulo = TITULO_APLICACION,
                      Icono icono = Icono::Ninguno, Botones botones = Botones::Aceptar) override;

    bool automatico() const { return automatico_; }

private:
    bool automatico_ = false;
    Respuesta respuesta_automatica_ = Respuesta::Si;
};
