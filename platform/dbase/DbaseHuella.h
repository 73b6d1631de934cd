#pragma once
// What identifies the state of a file on disk. A handle of the dBASE engine
// is still good while the file is as the engine last left it.
#include <QString>

namespace dbase {

struct Huella {
    qint64 tamano = -1;
    qint64 segundos = 0;
    qint64 nanosegundos = 0;
    quint64 inodo = 0;
    quint64 dispositivo = 0;

    bool existe() const { return tamano >= 0; }
    bool operator==(const Huella&) const = default;
};

// The file as it is now; a missing file gives a Huella that does not exist.
Huella huella_de(const QString& ruta);

}  // namespace dbase
