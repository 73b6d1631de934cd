#include "platform/dbase/DbaseCreacion.h"

#include <QFile>
#include <shapefil.h>

namespace dbase {

bool crear_tabla_vacia(const QString& ruta, std::span<const DefinicionCampo> campos, const char* controlador,
                       const QDate& fecha, QString* motivo)
{
    DBFHandle h = DBFCreateEx(QFile::encodeName(ruta).constData(), controlador);
    if (!h) {
        *motivo = QStringLiteral("no se puede crear el archivo");
        return false;
    }
    for (const DefinicionCampo& d : campos)
        if (DBFAddNativeFieldType(h, d.nombre, d.tipo, d.ancho, d.decimales) < 0) {
            DBFClose(h);
            *motivo = QStringLiteral("no se puede definir la columna %1").arg(QLatin1String(d.nombre));
            return false;
        }
    DBFSetLastModifiedDate(h, fecha.year() - 1900, fecha.month(), fecha.day());
    DBFClose(h);
    return true;
}

}  // namespace dbase
