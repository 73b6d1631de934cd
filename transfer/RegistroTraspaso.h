#pragma once
// The log file of one transfer: plain text in the Windows ANSI code page,
// each line ended by CR LF. Lines are kept in memory and written out at each
// durable group commit (vaciar()) and on closing, so the log on disk keeps
// pace with what the run made durable and costs one write per group.
#include <QByteArray>
#include <QFile>
#include <QString>

class RegistroTraspaso {
public:
    ~RegistroTraspaso();
    // Creates or replaces the file; failure is a Fallo naming it.
    void abrir(const QString& ruta_local);
    bool abierto() const { return archivo_.isOpen(); }
    void linea(const QString& texto);   // one line, kept until vaciar()
    // The lines kept so far written and flushed; failure is a Fallo.
    void vaciar();
    // Writes what is kept and closes; a failure to write is a Fallo, the
    // file closed all the same.
    void cerrar();
    const QString& ruta() const { return ruta_; }

private:
    QFile archivo_;
    QString ruta_;
    QByteArray pendiente_;
};
