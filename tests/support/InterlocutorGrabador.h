#pragma once
// The clerk of the tests: records every message box and answers the
// questions from a list (Yes when the list is empty).
#include "platform/sistema/Interlocutor.h"
#include <QList>
#include <QString>
#include <QStringList>
#include <QVector>
#include <functional>

class InterlocutorGrabador : public Interlocutor {
public:
    struct Mensaje {
        QString texto, titulo;
        Icono icono;
        Botones botones;
    };

    QVector<Mensaje> mensajes;
    QList<Respuesta> respuestas;       // answers to Yes/No questions, in order
    std::function<void()> al_mensaje;  // called while each box is up

    Respuesta mensaje(const QString& texto, const QString& titulo, Icono icono, Botones botones) override
    {
        mensajes.push_back({texto, titulo, icono, botones});
        if (al_mensaje) al_mensaje();
        if (botones == Botones::Aceptar) return Respuesta::Aceptar;
        return respuestas.isEmpty() ? Respuesta::Si : respuestas.takeFirst();
    }
    // "Título: texto" of every message, in order.
    QStringList textos() const
    {
        QStringList r;
        for (const auto& m : mensajes) r << m.titulo + ": " + m.texto;
        return r;
    }
};
