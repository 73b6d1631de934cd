#include "contaplus/Pesetas.h"
#include "platform/Vb.h"

qint32 pesetas_euros_enteros(const QVariant& euros)
{
    const qint32 enteros = vb::CLng(vb::numero(euros));
    // The conversion goes through the "#0" text and back, which is what
    // rounds it halves away from zero.
    const QString texto = vb::Format(enteros * PESETAS_POR_EURO, QStringLiteral("#0"));
    return vb::CLng(QVariant(texto));
}

qint32 pesetas(double euros)
{
    return vb::CLng(euros * PESETAS_POR_EURO);
}

qint32 pesetas(const QVariant& euros)
{
    return pesetas(vb::numero(euros));
}
