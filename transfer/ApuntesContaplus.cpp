// The six journal lines of the cash desk and the deposits. Each writer
// appends one complete row to Xdiario while m.rs_cajj or m.rs_edep stands on
// its source row, and leaves that recordset on the same row.
#include "contaplus/LineasCaja.h"
#include "platform/valores/Vb.h"
#include "startup/RutinasComunes.h"
#include "transfer/Traspaso.h"

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
void Traspaso::APUNTE_DEBE_CAJA_CONTAPLUS(double n_apunte)
{
    descripcion_cobro.clear();
    const QDate fecha = dma(fecha_dia);
    const QString subcta = cuenta_cobro(codigo_cobro(m.rs_cajj));
    // The window variable itself keeps the shortened text.
    descripcion_cobro = vb::Left(descripcion_cobro, LARGO_DESCRIPCION_COBRO);
    anotar_nombre(descripcion_cobro, QStringLiteral("forma de cobro de la subcuenta ") + subcta);
    escritor_diario.anadir(conexion_diario, n_apunte, fecha,
                           linea_debe_caja(subcta, descripcion_cobro, m.rs_cajj.campo(QStringLiteral("CajSuma"))));
}

// Credit of one cash movement of the day.
void Traspaso::APUNTE_HABER_CAJA_CONTAPLUS(double n_apunte)
{
    Recordset& cajj = m.rs_cajj;
    const QDate fecha = dma(vb::texto(cajj.campo(QStringLiteral("CajFec"))));
    escritor_diario.anadir(conexion_diario, n_apunte, fecha,
                           linea_haber_caja(cajj.campo(QStringLiteral("CajDep")), cajj.campo(QStringLiteral("CajCli")),
                                            m.cuenta_depositos, cajj.campo(QStringLiteral("CajFra")),
                                            cajj.campo(QStringLiteral("CajImp"))));
}

// Debit of one deposit collection, on the payment method's subaccount.
void Traspaso::APUNTE_D_CONTAPLUS_COBRO_DEPOSITOS(double n_apunte)
{
    Recordset& cajj = m.rs_cajj;
    descripcion_cobro.clear();
    const QDate fecha = dma(fecha_dia);
    const QString subcta = cuenta_cobro(codigo_cobro(cajj));
    escritor_diario.anadir(conexion_diario, n_apunte, fecha,
                           linea_debe_cobro_deposito(subcta, cajj.campo(QStringLiteral("CajDep")),
                                                     cajj.campo(QStringLiteral("CajImp"))));
}

// Credit of the same deposit collection, on the deposits subaccount as it
// stands in memory.
void Traspaso::APUNTE_H_CONTAPLUS_COBRO_DEPOSITOS(double n_apunte)
{
    Recordset& cajj = m.rs_cajj;
    const QDate fecha = dma(vb::texto(cajj.campo(QStringLiteral("CajFec"))));
    escritor_diario.anadir(conexion_diario, n_apunte, fecha,
                           linea_haber_cobro_deposito(m.cuenta_depositos, cajj.campo(QStringLiteral("CajDep")),
                                                      cajj.campo(QStringLiteral("CajImp"))));
}

// Debit of one discounted deposit, on the deposits subaccount. The setting
// in memory is brought to the company's length for the rest of the transfer
// (the stored setting is not changed).
void Traspaso::APUNTE_DEPOSITOS_DESCONTADOS_D(double n_apunte)
{
    m.cuenta_depositos = a_digitos(m.cuenta_depositos);
    const QDate fecha = dma(fecha_dia);
    Recordset& edep = m.rs_edep;
    escritor_diario.anadir(conexion_diario, n_apunte, fecha,
                           linea_deposito_descontado_debe(m.cuenta_depositos, edep.campo(QStringLiteral("EdepFra")),
                                                          edep.campo(QStringLiteral("EdepImp"))));
}

// Credit of the same deposit, on the customer's subaccount. A customer code
// (not Null) is brought to the company's length too; the change is pending
// in m.rs_edep and is stored when the caller saves the row.
void Traspaso::APUNTE_DEPOSITOS_DESCONTADOS_H(double n_apunte)
{
    Recordset& edep = m.rs_edep;
    QVariant cliente = edep.campo(QStringLiteral("EdepCli"));
    if (!vb::esNulo(cliente)) {
        const QString codigo = vb::texto(cliente);
        const QString ajustado = a_digitos(codigo);
        if (ajustado != codigo) {
            cliente = ajustado;
            edep.asignar(QStringLiteral("EdepCli"), cliente);
        }
    }
    const QDate fecha = dma(fecha_dia);
    escritor_diario.anadir(conexion_diario, n_apunte, fecha,
                           linea_deposito_descontado_haber(cliente, edep.campo(QStringLiteral("EdepFra")),
                                                           edep.campo(QStringLiteral("EdepImp"))));
}
