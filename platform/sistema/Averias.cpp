#include "platform/sistema/Averias.h"

#include "platform/sistema/Fallo.h"
#include "platform/sistema/Fichero.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QMutex>
#include <QRegularExpression>
#include <QStringList>

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <unistd.h>

namespace averias {

namespace {

struct Regla {
    QString fichero;            // lower case; "*" for any
    QRegularExpression patron;  // when `fichero` has wildcards ("tc_*.html")
    qint64 vistas = 0;          // writes to files the pattern matches
    qint64 n = 0;
    Accion accion = Accion::Ninguna;
};

struct Estado {
    QVector<Regla> reglas;
    QString sincronizados;
    QString recuento;
    QString orden;
    QHash<QString, qint64> cuentas;  // writes seen per file (lower case), and "*"
    QMutex mutex;

    Estado()
    {
        const QString texto = qEnvironmentVariable("ENLACE_AVERIA");
        for (const QString& parte : texto.split(QLatin1Char(','), Qt::SkipEmptyParts)) {
            const QStringList p = parte.trimmed().split(QLatin1Char(':'));
            if (p.size() != 3) continue;
            Regla r;
            r.fichero = p[0].trimmed().toLower();
            if (r.fichero != QLatin1String("*") && r.fichero.contains(QLatin1Char('*')))
                r.patron = QRegularExpression(QRegularExpression::wildcardToRegularExpression(r.fichero));
            r.n = p[1].trimmed().toLongLong();
            const QString a = p[2].trimmed().toLower();
            r.accion = a == QLatin1String("matar")   ? Accion::Matar
                       : a == QLatin1String("mitad") ? Accion::Mitad
                       : a == QLatin1String("disco") ? Accion::Disco
                       : a == QLatin1String("senal") ? Accion::Senal
                       : a == QLatin1String("orden") ? Accion::Orden
                                                     : Accion::Ninguna;
            if (r.n > 0 && r.accion != Accion::Ninguna) reglas.append(r);
        }
        sincronizados = qEnvironmentVariable("ENLACE_SINCRONIZADOS");
        orden = qEnvironmentVariable("ENLACE_AVERIA_ORDEN");
        recuento = qEnvironmentVariable("ENLACE_AVERIA_RECUENTO");
    }

    ~Estado()
    {
        if (recuento.isEmpty()) return;
        QFile f(recuento);
        if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate)) return;
        for (auto it = cuentas.constBegin(); it != cuentas.constEnd(); ++it)
            f.write(QStringLiteral("%1 %2\n").arg(it.key()).arg(it.value()).toUtf8());
    }
};

Estado& estado()
{
    static Estado e;
    return e;
}

}  // namespace

bool activas()
{
    const Estado& e = estado();
    return !e.reglas.isEmpty() || !e.sincronizados.isEmpty() || !e.recuento.isEmpty();
}

[[noreturn]] void terminar()
{
    // SIGKILL: no handler, no flush of any buffer, as a real kill.
    ::kill(::getpid(), SIGKILL);
    ::_exit(137);
}

Accion escritura(const QString& ruta)
{
    Estado& e = estado();
    if (e.reglas.isEmpty() && e.recuento.isEmpty()) return Accion::Ninguna;
    QMutexLocker cerrojo(&e.mutex);
    const QString nombre = QFileInfo(ruta).fileName().toLower();
    const qint64 propia = ++e.cuentas[nombre];
    const qint64 todas = ++e.cuentas[QStringLiteral("*")];
    for (Regla& r : e.reglas) {
        const bool toca = r.fichero == QLatin1String("*") ? r.n == todas
                          : !r.patron.pattern().isEmpty() ? r.patron.match(nombre).hasMatch() && r.n == ++r.vistas
                                                          : (r.fichero == nombre && r.n == propia);
        if (!toca) continue;
        if (r.accion == Accion::Matar) terminar();
        if (r.accion == Accion::Senal) {
            std::raise(SIGINT);
            return Accion::Ninguna;
        }
        if (r.accion == Accion::Orden) {
            if (!e.orden.isEmpty() && std::system(e.orden.toLocal8Bit().constData()) != 0)
                qWarning("ENLACE_AVERIA_ORDEN ha fallado: %s", qPrintable(e.orden));
            return Accion::Ninguna;
        }
        return r.accion;
    }
    return Accion::Ninguna;
}

int espera_bloqueo(int predeterminada)
{
    bool ok = false;
    const int ms = qEnvironmentVariableIntValue("ENLACE_ESPERA_BLOQUEO", &ok);
    return ok && ms > 0 ? ms : predeterminada;
}

void sincronizado(const QString& ruta)
{
    Estado& e = estado();
    if (e.sincronizados.isEmpty()) return;
    QMutexLocker cerrojo(&e.mutex);
    const QString copia = QDir(e.sincronizados).filePath(QFileInfo(ruta).fileName());
    QFile::remove(copia);
    QFile::copy(ruta, copia);
}

}  // namespace averias

void averias::ante_sentencia(const QString& ruta, const QString& que, const QString& sql)
{
    switch (escritura(ruta)) {
    case Accion::Ninguna:
    case Accion::Matar:
    case Accion::Senal:
    case Accion::Orden: return;
    case Accion::Mitad: terminar();
    case Accion::Disco:
        throw Fallo(codigo_error::FALLO_GENERAL,
                    QStringLiteral("%1 (%2: %3; sentencia: %4)").arg(Fichero::texto_error(ENOSPC), que, ruta, sql));
    }
}
