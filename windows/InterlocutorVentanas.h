#pragma once
// The clerk of the windows: every message and question is a real message
// box with the icon, buttons and title asked for.
//
// In the test build it may answer by itself instead, printing each message
// (respuesta_automatica, Capturas.h); the shipped program always asks.
#include "platform/sistema/Interlocutor.h"

class InterlocutorVentanas : public Interlocutor {
public:
    InterlocutorVentanas();

    Respuesta mensaje(const QString& texto, const QString& titulo = TITULO_APLICACION, Icono icono = Icono::Ninguno,
                      Botones botones = Botones::Aceptar) override;

    bool automatico() const { return automatico_; }

private:
    bool automatico_ = false;
    Respuesta respuesta_automatica_ = Respuesta::Si;
};
