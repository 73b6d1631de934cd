#include "platform/Backend.h"

qint64 Backend::clave_insertada() const { return -1; }

qint64 Backend::registros(const QString& tabla)
{
    throw Fallo(codigo_error::FALLO_GENERAL,
                QStringLiteral("El motor de esta conexión no cuenta los registros de una tabla ('%1').")
                    .arg(tabla));
}

void Backend::recortar(const QString& tabla, qint64)
{
    throw Fallo(codigo_error::FALLO_GENERAL,
                QStringLiteral("El motor de esta conexión no puede recortar los registros de una tabla ('%1').")
                    .arg(tabla));
}
