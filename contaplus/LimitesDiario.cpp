#include "contaplus/LimitesDiario.h"
#include "contaplus/LineasFactura.h"
#include "contaplus/Pesetas.h"
#include "contaplus/Plantillas.h"
#include "platform/sistema/Fallo.h"

#include <cmath>
#include <limits>

namespace {

QString cifra(double v, int decimales)
{
    QString t = QString::number(v, 'f', decimales);
    return t.replace(QLatin1Char('.'), QLatin1Char(','));
}

}  // namespace

QString exceso_pesetas(double euros, bool euros_enteros, const QString& columna)
{
    // The conversion itself says whether it fits in 32 bits; the column's
    // width is the other bound.
    const double maximo = std::min(double(std::numeric_limits<qint32>::max()), maximo_columna_diario(columna));
    bool cabe = true;
    try {
        const double e = centimos(euros);
        const qint32 p = euros_enteros ? pesetas_euros_enteros(e) : pesetas(e);
        cabe = std::abs(double(p)) <= maximo;
    } catch (const Fallo& f) {
        if (f.numero() != codigo_error::DESBORDAMIENTO) throw;
        cabe = false;
    }
    if (cabe) return {};
    return QStringLiteral("la columna %1 del diario admite hasta %2 pesetas (%3 euros)")
        .arg(columna, cifra(maximo, 0), cifra(std::floor(maximo / PESETAS_POR_EURO), 0));
}

QString exceso_columna(double valor, const QString& columna, const QString& unidad)
{
    const double maximo = maximo_columna_diario(columna);
    if (std::abs(valor) <= maximo) return {};
    return QStringLiteral("la columna %1 del diario admite hasta %2 %3").arg(columna, cifra(maximo, 2), unidad);
}
