#include "transfer/FilasHotel.h"

#include "transfer/ColumnasFac.h"

ClienteFactura ClienteFactura::leer(Recordset& emi)
{
    return {emi.campo(QStringLiteral("EmiC")), emi.campo(QStringLiteral("EmiCli")),
            emi.campo(QStringLiteral("EmiFec"))};
}

FacturaHotel FacturaHotel::leer(Recordset& emi)
{
    FacturaHotel f;
    f.numero = emi.campo(QStringLiteral("EmiNum"));
    f.fecha = emi.campo(QStringLiteral("EmiFec"));
    f.cierre = emi.campo(QStringLiteral("EmiCie"));
    f.deposito = emi.campo(QStringLiteral("EmiDep"));
    f.nombre = emi.campo(QStringLiteral("EmiNom"));
    f.nif = emi.campo(QStringLiteral("EmiNif"));
    f.cliente = {emi.campo(QStringLiteral("EmiC")), emi.campo(QStringLiteral("EmiCli")), f.fecha};
    for (int i = 0; i < N_IMPORTES_FACTURA; ++i) f.importes[i] = emi.campo(IMPORTES_FACTURA[i].emi);
    return f;
}

CobroCaja CobroCaja::leer(Recordset& caja)
{
    return {caja.campo(QStringLiteral("CajaFec")),  caja.campo(QStringLiteral("CajaOrd")),
            caja.campo(QStringLiteral("CajaCon")),  caja.campo(QStringLiteral("CajaFra")),
            caja.campo(QStringLiteral("CajaAnoF")), caja.campo(QStringLiteral("CajaCobroc")),
            caja.campo(QStringLiteral("CajaImp"))};
}

FacturaPreparada FacturaPreparada::leer(Recordset& fac)
{
    FacturaPreparada f;
    f.empresa = fac.campo(QStringLiteral("FacEmp"));
    f.ejercicio = fac.campo(QStringLiteral("FacEje"));
    f.numero = fac.campo(QStringLiteral("FacFra"));
    f.fecha = fac.campo(QStringLiteral("FacFec"));
    f.cuenta_cliente = fac.campo(QStringLiteral("FacCtaC"));
    f.nombre = fac.campo(QStringLiteral("FacCliN"));
    f.nif = fac.campo(QStringLiteral("FacNifC"));
    f.cuenta_iva = fac.campo(QStringLiteral("FacIvar"));
    f.total = fac.campo(QStringLiteral("FacTotal"));
    f.tasa = fac.campo(QStringLiteral("ImporteTasa"));
    for (int d = 0; d < 4; ++d) {
        f.bases[d] = fac.campo(FAC_BASES[d]);
        f.tipos[d] = fac.campo(FAC_TIPOS[d]);
        f.cuotas[d] = fac.campo(FAC_CUOTAS[d]);
    }
    return f;
}
