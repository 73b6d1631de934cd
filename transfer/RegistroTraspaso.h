#pragma once
// The log file of one transfer: plain text in the Windows ANSI code page,
// each line ended by CR LF, written as the run goes.
#include <QFile>
#include <QString>

class RegistroTraspaso {
public:
    // Creates or replaces the file; failure is a Fallo naming it.
    void abrir(const QString& ruta_local);
    bool abierto() const { return archivo_.isOpen(); }
    void linea(const QString& texto);   // one line, flushed
    void cerrar();
    const QString& ruta() const { return ruta_; }

private:
    QFile archivo_;
    QString ruta_;
};
