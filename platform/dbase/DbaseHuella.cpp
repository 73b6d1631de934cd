#include "platform/dbase/DbaseHuella.h"

#include <QFile>

#include <sys/stat.h>

namespace dbase {

Huella huella_de(const QString& ruta)
{
    struct stat st;
    if (::stat(QFile::encodeName(ruta).constData(), &st) != 0) return {};
    return {static_cast<qint64>(st.st_size), static_cast<qint64>(st.st_mtim.tv_sec),
            static_cast<qint64>(st.st_mtim.tv_nsec), static_cast<quint64>(st.st_ino), static_cast<quint64>(st.st_dev)};
}

}  // namespace dbase
