#include "contaplus/LineasCaja.h"
#include "platform/valores/Vb.h"

namespace {

const QString TOTAL_DIA = QStringLiteral("Total Dia ");
const QString COBRO_FACTURA = QStringLiteral("Cobro N/Factura");
const QString COBRO_DEPOSITO = QStringLiteral("Cobro Deposito N. ");
const QString DEPOSITO_DESCONTADO = QStringLiteral("Deposito Descontado ");

LineaDiario linea(const QVariant& subcta, const QString& concepto)
{
    LineaDiario l;
    l.subcta = subcta;
    l.concepto = concepto;
    return l;
}

}  // namespace

LineaDiario linea_debe_caja(const QVariant& subcta, const QString& descripcion, const QVariant& suma)
{
    LineaDiario l = linea(subcta, TOTAL_DIA + vb::Left(descripcion, LARGO_DESCRIPCION_COBRO));
    l.euro_debe = suma;
    return l;
}

LineaDiario linea_haber_caja(const QVariant& dep, const QVariant& cliente, const QVariant& cuenta_depositos,
                             const QVariant& fra, const QVariant& importe)
{
    LineaDiario l =
        vb::igual(dep, QString()) ? linea(cliente, COBRO_FACTURA) : linea(cuenta_depositos, unir(COBRO_DEPOSITO, dep));
    l.documento = fra;
    l.euro_haber = importe;
    return l;
}

LineaDiario linea_debe_cobro_deposito(const QVariant& subcta, const QVariant& dep, const QVariant& importe)
{
    LineaDiario l = linea(subcta, unir(COBRO_DEPOSITO, dep));
    l.documento = dep;
    l.euro_debe = importe;
    return l;
}

LineaDiario linea_haber_cobro_deposito(const QVariant& cuenta_depositos, const QVariant& dep, const QVariant& importe)
{
    LineaDiario l = linea(cuenta_depositos, unir(COBRO_DEPOSITO, dep));
    l.documento = dep;
    l.euro_haber = importe;
    return l;
}

LineaDiario linea_deposito_descontado_debe(const QVariant& cuenta_depositos, const QVariant& fra,
                                           const QVariant& importe)
{
    LineaDiario l = linea(cuenta_depositos, DEPOSITO_DESCONTADO);
    l.factura = fra;
    l.euro_debe = importe;
    return l;
}

LineaDiario linea_deposito_descontado_haber(const QVariant& cliente, const QVariant& fra, const QVariant& importe)
{
    LineaDiario l = linea(cliente, DEPOSITO_DESCONTADO);
    l.factura = fra;
    l.euro_haber = importe;
    return l;
}
