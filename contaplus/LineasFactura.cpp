// The four lines of an invoice entry. The posting has opened rs_diario,
// added the row and set Asien and Fecha; each filler sets the other 28
// columns and leaves the saving to the posting. Every amount goes unchanged
// into its euro column and converted into its peseta column. A failed
// conversion (a Null amount, pesetas beyond 32 bits) leaves the row unsaved.
#include "contaplus/FilaDiario.h"
#include "contaplus/Pesetas.h"
#include "platform/Vb.h"
#include "transfer/Traspaso.h"

namespace {

const QString FACTURA = QStringLiteral("Factura Nº");
const QString FACTURA_IVA = QStringLiteral("Factura N.");

LineaDiario linea_factura(Recordset& rs_fac, const QString& concepto)
{
    LineaDiario l;
    l.concepto = unir(concepto, rs_fac.campo(QStringLiteral("FacFra")));
    l.auxiliar = QStringLiteral("*");
    l.moneda_uso = 2;
    return l;
}

}  // namespace

// Customer debit: the pesetas come from the whole euros of the total.
void Traspaso::MOVER_DATOS_CLIENTE_CONTAPLUS()
{
    LineaDiario l = linea_factura(m.rs_fac, FACTURA);
    const QVariant total = m.rs_fac.campo(QStringLiteral("FacTotal"));
    l.subcta = subcuenta_cliente;
    l.pta_debe = pesetas_euros_enteros(total);
    l.euro_debe = vb::numero(total);
    asignar_linea(rs_diario, l);
}

void Traspaso::MOVER_DATOS_TASA_CONTAPLUS()
{
    LineaDiario l = linea_factura(m.rs_fac, FACTURA);
    const double tasa = vb::numero(m.rs_fac.campo(QStringLiteral("ImporteTasa")));
    l.subcta = m.cuenta_tasa;
    l.pta_haber = pesetas(tasa);
    l.euro_haber = tasa;
    asignar_linea(rs_diario, l);
}

void Traspaso::MOVER_DATOS_VENTAS_CONTAPLUS2()
{
    LineaDiario l = linea_factura(m.rs_fac, FACTURA);
    l.subcta = subcuenta;
    l.pta_haber = pesetas(importe_ventas);
    l.euro_haber = importe_ventas;
    asignar_linea(rs_diario, l);
}

// Output VAT of one rate: the only invoice line with a counterpart, a
// taxable base, a rate and the invoice as document.
void Traspaso::MOVER_DATOS_IVA_CONTAPLUS()
{
    LineaDiario l = linea_factura(m.rs_fac, FACTURA_IVA);
    const QVariant fra = m.rs_fac.campo(QStringLiteral("FacFra"));
    l.subcta = subcuenta;
    l.contra = m.rs_fac.campo(QStringLiteral("FacCtaC"));
    l.pta_haber = pesetas(cuota_iva);
    l.factura = fra;
    l.base_impo = pesetas(base_imponible);
    l.iva = porcentaje_iva;
    l.documento = fra;
    l.serie = QStringLiteral("G");
    l.euro_haber = cuota_iva;
    l.base_euro = base_imponible;
    asignar_linea(rs_diario, l);
}
