#pragma once
// An exclusive lock of the operating system on a file, held while the
// object lives. It goes with the process however the process ends (a
// crash, a kill, a cut of the workstation's network on a share), so a file
// that no live process holds is free, whatever it says inside. An open
// file description lock (fcntl F_OFD_SETLK); flock where the file system
// has no such locks. The POSIX calls live here only.
#include <QByteArray>
#include <QString>

class BloqueoFichero {
public:
    enum class Resultado { Tomado, Ocupado, Error };

    BloqueoFichero() = default;
    ~BloqueoFichero() { soltar(); }
    BloqueoFichero(const BloqueoFichero&) = delete;
    BloqueoFichero& operator=(const BloqueoFichero&) = delete;

    // Opens `ruta` (created when missing) and locks it, without waiting.
    // Ocupado: a live process holds it. Error: the file cannot be created or
    // opened for writing; `numero` gets the system's error number.
    Resultado tomar(const QString& ruta, int* numero = nullptr);
    // Closes the file; the lock goes with it.
    void soltar();
    bool tomado() const { return fd_ >= 0; }
    // True while `ruta` still names the file locked: another holder may have
    // removed it between our open and our lock.
    bool sigue_en(const QString& ruta) const;
    // Replaces the file's content; 0, or the system's error number.
    int reemplazar(const QByteArray& contenido);

private:
    int fd_ = -1;
};
