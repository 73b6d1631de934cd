#include "platform/sistema/CarpetaTemporal.h"

#include "platform/sistema/Fichero.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <unistd.h>

namespace {

const QString MARCA = QStringLiteral("enlace.vivo");

}  // namespace

CarpetaTemporal::CarpetaTemporal()
{
    QByteArray plantilla =
        QFile::encodeName(QDir(QDir::tempPath()).filePath(QStringLiteral("enlace-%1-XXXXXX").arg(qint64(::getpid()))));
    if (!::mkdtemp(plantilla.data())) {
        error_ = Fichero::texto_error(errno);
        return;
    }
    const QString ruta = QFile::decodeName(plantilla);
    // Locked under another name and then put in place, so that a cleaner
    // never finds the mark before it is held.
    const QString provisional = QDir(ruta).filePath(QStringLiteral(".") + MARCA);
    int numero = 0;
    if (vivo_.tomar(provisional, &numero) != BloqueoFichero::Resultado::Tomado ||
        ::rename(QFile::encodeName(provisional).constData(),
                 QFile::encodeName(QDir(ruta).filePath(MARCA)).constData()) != 0) {
        error_ = Fichero::texto_error(numero ? numero : errno);
        vivo_.soltar();
        QDir(ruta).removeRecursively();
        return;
    }
    ruta_ = ruta;
}

CarpetaTemporal::~CarpetaTemporal()
{
    if (!ruta_.isEmpty()) QDir(ruta_).removeRecursively();
    vivo_.soltar();
}

int CarpetaTemporal::limpiar_restos(const QString& carpeta)
{
    const QDir temporal(carpeta.isEmpty() ? QDir::tempPath() : carpeta);
    static const QRegularExpression nombre(QStringLiteral("^enlace-(\\d+)-[A-Za-z0-9]{6}$"));
    int quitadas = 0;
    for (const QString& n : temporal.entryList({QStringLiteral("enlace-*")}, QDir::Dirs | QDir::NoDotAndDotDot)) {
        const QRegularExpressionMatch m = nombre.match(n);
        if (!m.hasMatch()) continue;
        const QDir d(temporal.filePath(n));
        BloqueoFichero vivo;
        bool muerta;
        if (QFile::exists(d.filePath(MARCA))) {
            // Held while it is removed: its owner is gone for good.
            muerta = vivo.tomar(d.filePath(MARCA)) == BloqueoFichero::Resultado::Tomado;
        } else {
            // Killed before the mark was in place, or between making the
            // folder and locking it: the process tells.
            const pid_t pid = pid_t(m.captured(1).toLongLong());
            muerta = pid > 0 && ::kill(pid, 0) != 0 && errno == ESRCH;
        }
        if (muerta && QDir(d).removeRecursively()) ++quitadas;
    }
    return quitadas;
}
