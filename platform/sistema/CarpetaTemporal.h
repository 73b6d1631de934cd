#pragma once
// A scratch folder of this process in the system's temporary folder,
// "enlace-<pid>-XXXXXX", removed with everything in it when the object
// goes. It holds the file "enlace.vivo", locked by the process for the
// folder's life (BloqueoFichero.h), so that a later start can tell the
// folder of a run that was killed from that of a run still going, and
// remove the first.
#include "platform/sistema/BloqueoFichero.h"
#include <QString>

class CarpetaTemporal {
public:
    CarpetaTemporal();
    ~CarpetaTemporal();
    CarpetaTemporal(const CarpetaTemporal&) = delete;
    CarpetaTemporal& operator=(const CarpetaTemporal&) = delete;

    bool isValid() const { return !ruta_.isEmpty(); }
    QString path() const { return ruta_; }
    // Why it could not be made, with the system's text.
    QString errorString() const { return error_; }

    // Removes from `carpeta` (the system's temporary folder) the scratch
    // folders whose process is gone: those whose "enlace.vivo" no process
    // holds, those without it whose process has ended. Returns how many.
    static int limpiar_restos(const QString& carpeta = {});

private:
    QString ruta_;
    QString error_;
    BloqueoFichero vivo_;
};
