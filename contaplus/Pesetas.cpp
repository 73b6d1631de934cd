#include "contaplus/Pesetas.h"
#include "platform/sistema/Fallo.h"
#include "platform/valores/Vb.h"

namespace {

// An overflow told in the euros the clerk typed, not in pesetas.
[[noreturn]] void desbordadas(double euros)
{
    throw Fallo(codigo_error::DESBORDAMIENTO,
                QStringLiteral("Desbordamiento: %1 euros pasan de las 2147483647 pesetas que admite el diario")
                    .arg(vb::CStr(euros)));
}

}  // namespace

qint32 pesetas_euros_enteros(const QVariant& euros)
{
    const double e = vb::numero(euros);
    try {
        const qint32 enteros = vb::CLng(e);
        // The conversion goes through the "#0" text and back, which is what
        // rounds it halves away from zero.
        const QString texto = vb::Format(enteros * PESETAS_POR_EURO, QStringLiteral("#0"));
        return vb::CLng(QVariant(texto));
    } catch (const Fallo& f) {
        if (f.numero() != codigo_error::DESBORDAMIENTO) throw;
        desbordadas(e);
    }
}

qint32 pesetas(double euros)
{
    try {
        return vb::CLng(euros * PESETAS_POR_EURO);
    } catch (const Fallo& f) {
        if (f.numero() != codigo_error::DESBORDAMIENTO) throw;
        desbordadas(euros);
    }
}

qint32 pesetas(const QVariant& euros)
{
    return pesetas(vb::numero(euros));
}
