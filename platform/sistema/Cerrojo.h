#pragma once
// An exclusive lock on a folder of the installation (the link's data, the
// ContaPlus folder), so that only one transfer at a time prepares or writes
// them, from any workstation. The lock is the file "enlace.lck" in the
// folder, held under a lock of the operating system for as long as the
// transfer lives (BloqueoFichero.h): a file that no live transfer holds is
// taken over, whatever process it names. Inside it says who holds it
// (workstation, process, since when), for the clerk who finds it taken.
#include "platform/sistema/BloqueoFichero.h"
#include <QString>

class Cerrojo {
public:
    enum class Resultado {
        Tomado,
        Ocupado,    // a live transfer holds it; the text says who
        SinAcceso,  // the folder cannot be written; the text is the system's reason
    };

    Cerrojo() = default;
    ~Cerrojo() { soltar(); }
    Cerrojo(const Cerrojo&) = delete;
    Cerrojo& operator=(const Cerrojo&) = delete;

    // Takes the lock of the folder `carpeta` (a local path). When it is not
    // Tomado, `motivo` says who holds it ("el puesto X, proceso N, desde el
    // dd/mm/aaaa a las hh:mm:ss") or why the folder cannot be written.
    // Once taken, the temporary files "enlace.lck.<n>" that earlier versions
    // left behind when they died are removed.
    Resultado tomar(const QString& carpeta, QString* motivo);
    void soltar();
    bool tomado() const { return !ruta_.isEmpty(); }

private:
    QString ruta_;
    BloqueoFichero bloqueo_;
};
