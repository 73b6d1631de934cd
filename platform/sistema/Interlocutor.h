#pragma once
// The one way the engine and the windows speak to the clerk: message boxes
// and questions. The windows show real dialogs,
// the command line prints "Título: texto", tests record and answer.
#include <QString>

enum class Icono { Ninguno, Informacion, Critico, Exclamacion, Pregunta };
// SiNoCancelar asks what only the clerk knows (not a confirmation): a
// blanket yes does not answer it, and Cancelar leaves it unanswered.
enum class Botones { Aceptar, SiNo, SiNoCancelar };
enum class Respuesta { Aceptar, Si, No, Cancelar };

// Title of the message boxes that name none of their own.
inline const QString TITULO_APLICACION = QStringLiteral("enlace");

class Interlocutor {
public:
    virtual ~Interlocutor() = default;

    virtual Respuesta mensaje(const QString& texto, const QString& titulo = TITULO_APLICACION,
                              Icono icono = Icono::Ninguno, Botones botones = Botones::Aceptar) = 0;
};
