#include "app/VistaConsola.h"

#include "platform/sistema/Fichero.h"

#include <cstdio>

void VistaConsola::vaciar_fechas()
{
    de.clear();
    hasta.clear();
}

void VistaConsola::puntero_espera(bool) {}

void VistaConsola::cerrar()
{
    cerrada = true;
}

void VistaConsola::progreso(const QString& fase, qint64, qint64)
{
    if (fase == fase_) return;
    fase_ = fase;
    if (!Fichero::errores_en_terminal()) return;
    const QByteArray b = (fase + QStringLiteral("...\n")).toUtf8();
    std::fwrite(b.constData(), 1, size_t(b.size()), stderr);
    std::fflush(stderr);
}
