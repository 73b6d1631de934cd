#pragma once
// The log file of one transfer: plain text in the Windows ANSI code page,
// each line ended by CR LF. Lines are kept in memory and written out at each
// durable group commit (vaciar()) and on closing, so the log on disk keeps
// pace with what the run made durable and costs one write per group. A log
// is never replaced: its lines are the record of what a run posted.
#include "platform/sistema/Fichero.h"
#include <QByteArray>
#include <QString>
#include <QStringList>

class RegistroTraspaso {
public:
    ~RegistroTraspaso();
    // Creates the file `ruta_local` anew; when that name (or, with
    // `tambien`, the same name with one of those extensions) is taken, the
    // name with "_2", "_3"... before its extension. Returns the suffix added
    // ("" when none). Failure is a Fallo naming it with the system's text.
    QString abrir(const QString& ruta_local, const QStringList& tambien = {});
    bool abierto() const { return archivo_.abierto(); }
    void linea(const QString& texto);  // one line, kept until vaciar()
    // The lines kept so far written; failure is a Fallo saying that the log
    // keeps what it had.
    void vaciar();
    // Writes what is kept and closes. Never throws: a failure to write or
    // close leaves the file with what it had and is kept in fallo(), for
    // the clerk to be told.
    void cerrar();
    const QString& ruta() const { return ruta_; }
    // Why the log could not be written in whole since abrir(); empty if it was.
    const QString& fallo() const { return fallo_; }

private:
    Fichero archivo_;
    qint64 escrito_ = 0;
    QString ruta_;
    QByteArray pendiente_;
    QString fallo_;
};
