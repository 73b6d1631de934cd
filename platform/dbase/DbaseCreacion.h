#pragma once
// An empty dBASE table made from its column definitions, by the dBASE
// engine's library: the only way a file of ours is born (templates, a
// company's SubCta).
#include <QDate>
#include <QString>
#include <span>

namespace dbase {

struct DefinicionCampo {
    const char* nombre;
    char tipo;
    int ancho;
    int decimales;
};

// Creates `ruta` (a name ending in .dbf, replaced if it exists) with these
// columns, language driver `controlador` ("LDID/87") and date `fecha`.
// False, with `motivo` set, when it cannot.
bool crear_tabla_vacia(const QString& ruta, std::span<const DefinicionCampo> campos, const char* controlador,
                       const QDate& fecha, QString* motivo);

}  // namespace dbase
