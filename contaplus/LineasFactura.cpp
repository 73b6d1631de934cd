#include "contaplus/LineasFactura.h"
#include "contaplus/Pesetas.h"
#include "platform/valores/Vb.h"

#include <cmath>

double centimos(double euros)
{
    return vb::numero(vb::Format(euros, QStringLiteral("0.00")));
}

qint64 en_centimos(double euros)
{
    return std::llround(centimos(euros) * 100);
}

namespace {

const QString FACTURA = QStringLiteral("Factura Nº");
const QString FACTURA_IVA = QStringLiteral("Factura N.");

LineaDiario linea_factura(const QVariant& fra, const QString& concepto, const QVariant& subcta)
{
    LineaDiario l;
    l.concepto = unir(concepto, fra);
    l.auxiliar = QStringLiteral("*");
    l.moneda_uso = 2;
    l.subcta = subcta;
    return l;
}

}  // namespace

LineaDiario linea_cliente(const QVariant& fra, const QVariant& subcta, const QVariant& total)
{
    LineaDiario l = linea_factura(fra, FACTURA, subcta);
    const double euros = centimos(vb::numero(total));
    l.pta_debe = pesetas_euros_enteros(euros);
    l.euro_debe = euros;
    return l;
}

LineaDiario linea_tasa(const QVariant& fra, const QVariant& subcta, const QVariant& importe_tasa)
{
    LineaDiario l = linea_factura(fra, FACTURA, subcta);
    const double tasa = centimos(vb::numero(importe_tasa));
    l.pta_haber = pesetas(tasa);
    l.euro_haber = tasa;
    return l;
}

LineaDiario linea_ventas(const QVariant& fra, const QVariant& subcta, double importe)
{
    LineaDiario l = linea_factura(fra, FACTURA, subcta);
    const double euros = centimos(importe);
    l.pta_haber = pesetas(euros);
    l.euro_haber = euros;
    return l;
}

LineaDiario linea_iva(const QVariant& fra, const QVariant& subcta, const QVariant& contra, double cuota, double base,
                      double porcentaje)
{
    LineaDiario l = linea_factura(fra, FACTURA_IVA, subcta);
    cuota = centimos(cuota);
    base = centimos(base);
    l.contra = contra;
    l.pta_haber = pesetas(cuota);
    l.factura = fra;
    l.base_impo = pesetas(base);
    l.iva = porcentaje;
    l.documento = fra;
    l.serie = QStringLiteral("G");
    l.euro_haber = cuota;
    l.base_euro = base;
    return l;
}
