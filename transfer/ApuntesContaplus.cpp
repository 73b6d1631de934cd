// The six journal lines of the cash desk and the deposits (see FasesDia.h).
#include "contaplus/LineasCaja.h"
#include "platform/valores/Vb.h"
#include "startup/RutinasComunes.h"
#include "transfer/FasesDia.h"

namespace {

// Payment method of a cash row as cuenta_cobro takes it; a row without one
// is taken as method "1".
QString codigo_cobro(Recordset& rs_cajj)
{
    const QVariant c = rs_cajj.campo(QStringLiteral("CajCobroc"));
    return vb::esNulo(c) ? QStringLiteral("1") : vb::texto(c);
}

}  // namespace

// Debit of the day's takings of one payment method (a row of the day's sums).
void FasesDia::APUNTE_DEBE_CAJA_CONTAPLUS(qint32 n_apunte, const QString& fecha_dia)
{
    const QDate fecha = dma(fecha_dia);
    const CuentasCliente::Cobro cobro = cuentas_.cuenta_cobro(codigo_cobro(rs_cajj_));
    const QString& subcta = cobro.cuenta;
    const QString descripcion_cobro = vb::Left(cobro.descripcion, LARGO_DESCRIPCION_COBRO);
    anotar_nombre(c_.resumen, descripcion_cobro, QStringLiteral("forma de cobro de la subcuenta ") + subcta);
    contaplus_.anadir(n_apunte, fecha,
                      linea_debe_caja(subcta, descripcion_cobro, rs_cajj_.campo(QStringLiteral("CajSuma"))));
}

// Credit of one cash movement of the day.
void FasesDia::APUNTE_HABER_CAJA_CONTAPLUS(qint32 n_apunte)
{
    Recordset& cajj = rs_cajj_;
    const QDate fecha = dma(vb::texto(cajj.campo(QStringLiteral("CajFec"))));
    contaplus_.anadir(n_apunte, fecha,
                      linea_haber_caja(cajj.campo(QStringLiteral("CajDep")), cajj.campo(QStringLiteral("CajCli")),
                                       cuenta_depositos_, cajj.campo(QStringLiteral("CajFra")),
                                       cajj.campo(QStringLiteral("CajImp"))));
}

// Debit of one deposit collection, on the payment method's subaccount.
void FasesDia::APUNTE_D_CONTAPLUS_COBRO_DEPOSITOS(qint32 n_apunte, const QString& fecha_dia)
{
    Recordset& cajj = rs_cajj_;
    const QDate fecha = dma(fecha_dia);
    const QString subcta = cuentas_.cuenta_cobro(codigo_cobro(cajj)).cuenta;
    contaplus_.anadir(n_apunte, fecha,
                      linea_debe_cobro_deposito(subcta, cajj.campo(QStringLiteral("CajDep")),
                                                cajj.campo(QStringLiteral("CajImp"))));
}

// Credit of the same deposit collection, on the deposits subaccount as it
// stands in memory.
void FasesDia::APUNTE_H_CONTAPLUS_COBRO_DEPOSITOS(qint32 n_apunte)
{
    Recordset& cajj = rs_cajj_;
    const QDate fecha = dma(vb::texto(cajj.campo(QStringLiteral("CajFec"))));
    contaplus_.anadir(n_apunte, fecha,
                      linea_haber_cobro_deposito(cuenta_depositos_, cajj.campo(QStringLiteral("CajDep")),
                                                 cajj.campo(QStringLiteral("CajImp"))));
}

// Debit of one discounted deposit, on the deposits subaccount. The setting
// is brought to the company's length for the rest of the run (the stored
// setting is not changed).
void FasesDia::APUNTE_DEPOSITOS_DESCONTADOS_D(qint32 n_apunte, const QString& fecha_dia)
{
    cuenta_depositos_ = a_digitos(c_.ajustes, cuenta_depositos_);
    const QDate fecha = dma(fecha_dia);
    Recordset& edep = rs_edep_;
    contaplus_.anadir(n_apunte, fecha,
                      linea_deposito_descontado_debe(cuenta_depositos_, edep.campo(QStringLiteral("EdepFra")),
                                                     edep.campo(QStringLiteral("EdepImp"))));
}

// Credit of the same deposit, on the customer's subaccount. A customer code
// (not Null) is brought to the company's length too; the change is pending
// in edep() and is stored when the caller saves the row.
void FasesDia::APUNTE_DEPOSITOS_DESCONTADOS_H(qint32 n_apunte, const QString& fecha_dia)
{
    Recordset& edep = rs_edep_;
    QVariant cliente = edep.campo(QStringLiteral("EdepCli"));
    if (!vb::esNulo(cliente)) {
        const QString codigo = vb::texto(cliente);
        const QString ajustado = a_digitos(c_.ajustes, codigo);
        if (ajustado != codigo) {
            cliente = ajustado;
            edep.asignar(QStringLiteral("EdepCli"), cliente);
        }
    }
    const QDate fecha = dma(fecha_dia);
    contaplus_.anadir(n_apunte, fecha,
                      linea_deposito_descontado_haber(cliente, edep.campo(QStringLiteral("EdepFra")),
                                                      edep.campo(QStringLiteral("EdepImp"))));
}
