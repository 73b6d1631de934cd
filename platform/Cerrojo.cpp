#include "platform/Cerrojo.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSysInfo>
#include <QStringList>

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <unistd.h>

namespace {

const QString NOMBRE = QStringLiteral("enlace.lck");

QString puesto()
{
    return QSysInfo::machineHostName();
}

struct Titular {
    QString puesto;
    qint64 proceso = 0;
    QDateTime desde;
};

Titular leer_titular(const QString& ruta)
{
    QFile f(ruta);
    Titular t;
    if (!f.open(QIODevice::ReadOnly))
        return t;
    const QStringList l = QString::fromUtf8(f.readAll()).split(QLatin1Char('\n'));
    if (l.size() >= 4) {
        t.puesto = l[1];
        t.proceso = l[2].toLongLong();
        t.desde = QDateTime::fromString(l[3], Qt::ISODate);
    }
    return t;
}

bool abandonado(const QString& ruta, const Titular& t)
{
    if (t.proceso <= 0)
        return QFileInfo(ruta).lastModified().secsTo(QDateTime::currentDateTime()) > 60;
    if (t.puesto == puesto())
        return ::kill(pid_t(t.proceso), 0) != 0 && errno == ESRCH;
    return QFileInfo(ruta).lastModified().secsTo(QDateTime::currentDateTime()) >
           Cerrojo::caducidad_minutos * 60;
}

}  // namespace

bool Cerrojo::tomar(const QString& carpeta, QString* quien)
{
    soltar();
    const QString ruta = QDir(carpeta).filePath(NOMBRE);
    const QDateTime ahora = QDateTime::currentDateTime();
    const QByteArray contenido = QStringLiteral("enlace\n%1\n%2\n%3\n")
                                     .arg(puesto())
                                     .arg(qint64(::getpid()))
                                     .arg(ahora.toString(Qt::ISODate))
                                     .toUtf8();
    // Written whole under another name, then linked into place: link() does
    // not replace an existing file, so of two takers only one succeeds.
    const QString temporal = ruta + QStringLiteral(".%1").arg(qint64(::getpid()));
    for (int intento = 0; intento < 3; ++intento) {
        {
            QFile t(temporal);
            if (!t.open(QIODevice::WriteOnly | QIODevice::Truncate) || t.write(contenido) != contenido.size()) {
                if (quien)
                    *quien = QStringLiteral("no se puede crear el fichero de bloqueo en %1: %2")
                                 .arg(QDir::toNativeSeparators(carpeta), t.errorString());
                QFile::remove(temporal);
                return false;
            }
        }
        const int r = ::link(QFile::encodeName(temporal).constData(), QFile::encodeName(ruta).constData());
        const int error = errno;
        QFile::remove(temporal);
        if (r == 0) {
            ruta_ = ruta;
            renovado_ = ahora;
            return true;
        }
        if (error != EEXIST) {
            if (quien)
                *quien = QStringLiteral("no se puede crear el fichero de bloqueo en %1").arg(QDir::toNativeSeparators(carpeta));
            return false;
        }
        const Titular t = leer_titular(ruta);
        if (!abandonado(ruta, t)) {
            if (quien)
                *quien = QStringLiteral("el puesto %1, proceso %2, desde el %3")
                             .arg(t.puesto.isEmpty() ? QStringLiteral("desconocido") : t.puesto)
                             .arg(t.proceso)
                             .arg(t.desde.isValid() ? t.desde.toString(QStringLiteral("dd/MM/yyyy 'a las' hh:mm:ss"))
                                                    : QStringLiteral("hora desconocida"));
            return false;
        }
        // Abandoned: moved aside first, so that of two takers only one
        // removes it, then tried again.
        const QString aparte = ruta + QStringLiteral(".roto.%1").arg(qint64(::getpid()));
        if (::rename(QFile::encodeName(ruta).constData(), QFile::encodeName(aparte).constData()) == 0)
            QFile::remove(aparte);
    }
    if (quien)
        *quien = QStringLiteral("otro traspaso que está tomando el bloqueo ahora mismo");
    return false;
}

void Cerrojo::soltar()
{
    if (ruta_.isEmpty())
        return;
    // Only our own lock is removed: a taker may have found it abandoned.
    const Titular t = leer_titular(ruta_);
    if (t.proceso == qint64(::getpid()) && t.puesto == puesto())
        QFile::remove(ruta_);
    ruta_.clear();
}

void Cerrojo::renovar()
{
    if (ruta_.isEmpty())
        return;
    const QDateTime ahora = QDateTime::currentDateTime();
    if (renovado_.secsTo(ahora) < 60)
        return;
    QFile f(ruta_);
    if (f.open(QIODevice::ReadWrite))
        f.setFileTime(ahora, QFileDevice::FileModificationTime);
    renovado_ = ahora;
}
