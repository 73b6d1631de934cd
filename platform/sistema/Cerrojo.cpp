#include "platform/sistema/Cerrojo.h"

#include "platform/sistema/Fichero.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QStringList>
#include <QSysInfo>

#include <unistd.h>

namespace {

const QString NOMBRE = QStringLiteral("enlace.lck");

QString quien_lo_tiene(const QString& ruta)
{
    // Empty or short while its holder is still writing it: read again for
    // a moment, as the holder writes it right after taking the lock.
    QStringList l;
    for (int i = 0; i < 100; ++i) {
        QFile f(ruta);
        if (f.open(QIODevice::ReadOnly)) l = QString::fromUtf8(f.readAll()).split(QLatin1Char('\n'));
        if (l.size() > 4 || !f.exists()) break;
        ::usleep(10000);
    }
    const QString puesto = l.value(1);
    const QDateTime desde = QDateTime::fromString(l.value(3), Qt::ISODate);
    return QStringLiteral("el puesto %1, proceso %2, %3")
        .arg(puesto.isEmpty() ? QStringLiteral("desconocido") : puesto,
             l.value(2).isEmpty() ? QStringLiteral("desconocido") : l.value(2),
             desde.isValid() ? desde.toString(QStringLiteral("'desde el' dd/MM/yyyy 'a las' hh:mm:ss"))
                             : QStringLiteral("desde una hora desconocida"));
}

}  // namespace

Cerrojo::Resultado Cerrojo::tomar(const QString& carpeta, QString* motivo)
{
    soltar();
    const QString ruta = QDir(carpeta).filePath(NOMBRE);
    // A holder that lets go removes the file while it still holds it: a
    // taker that opened it just before finds, once it has its lock, that
    // the name no longer leads to it, and starts again.
    for (int intento = 0; intento < 5; ++intento) {
        int numero = 0;
        switch (bloqueo_.tomar(ruta, &numero)) {
        case BloqueoFichero::Resultado::Error:
            if (motivo) *motivo = Fichero::texto_error(numero);
            return Resultado::SinAcceso;
        case BloqueoFichero::Resultado::Ocupado:
            if (motivo) *motivo = quien_lo_tiene(ruta);
            return Resultado::Ocupado;
        case BloqueoFichero::Resultado::Tomado: break;
        }
        if (!bloqueo_.sigue_en(ruta)) {
            bloqueo_.soltar();
            continue;
        }
        const QByteArray contenido = QStringLiteral("enlace\n%1\n%2\n%3\n")
                                         .arg(QSysInfo::machineHostName())
                                         .arg(qint64(::getpid()))
                                         .arg(QDateTime::currentDateTime().toString(Qt::ISODate))
                                         .toUtf8();
        if (const int e = bloqueo_.reemplazar(contenido)) {
            bloqueo_.soltar();
            if (motivo) *motivo = Fichero::texto_error(e);
            return Resultado::SinAcceso;
        }
        ruta_ = ruta;
        const QDir d(carpeta);
        for (const QString& resto : d.entryList({NOMBRE + QStringLiteral(".*")}, QDir::Files | QDir::Hidden))
            QFile::remove(d.filePath(resto));
        return Resultado::Tomado;
    }
    if (motivo) *motivo = QStringLiteral("otro traspaso que está tomando el bloqueo ahora mismo");
    return Resultado::Ocupado;
}

void Cerrojo::soltar()
{
    if (ruta_.isEmpty()) return;
    // Removed while still held, so nobody takes a file on its way out.
    if (bloqueo_.sigue_en(ruta_)) QFile::remove(ruta_);
    bloqueo_.soltar();
    ruta_.clear();
}
