#pragma once
// The clerk at a terminal: every message box is printed as "Título: texto"
// on the standard output; a Yes/No question waits for s or n on the standard
// input (anything else, or the end of the input, is No; Cancelar for a
// question only the clerk can answer).
#include "platform/sistema/Interlocutor.h"

class InterlocutorConsola : public Interlocutor {
public:
    // `si_a_todo`: every confirmation is answered Yes without asking.
    explicit InterlocutorConsola(bool si_a_todo = false) : si_a_todo_(si_a_todo) {}

    Respuesta mensaje(const QString& texto, const QString& titulo, Icono icono, Botones botones) override;

private:
    bool si_a_todo_;
};
