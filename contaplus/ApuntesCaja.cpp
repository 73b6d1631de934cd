// The six journal lines of the cash desk and the deposits. Each writer
// appends one complete row to Xdiario while m.rs_cajj or m.rs_edep stands on
// its source row, and leaves that recordset on the same row. Amounts go only
// into the euro columns; the peseta columns stay 0.
#include "contaplus/FilaDiario.h"
#include "platform/Vb.h"
#include "startup/RutinasComunes.h"
#include "transfer/Traspaso.h"

namespace {

const QString TOTAL_DIA = QStringLiteral("Total Dia ");
const QString COBRO_FACTURA = QStringLiteral("Cobro N/Factura");
const QString COBRO_DEPOSITO = QStringLiteral("Cobro Deposito N. ");
const QString DEPOSITO_DESCONTADO = QStringLiteral("Deposito Descontado ");

// Payment method of a cash row as cuenta_cobro takes it; a row without one
// is taken as method "1".
QString codigo_cobro(Recordset& rs_cajj)
{
    const QVariant c = rs_cajj.campo(QStringLiteral("CajCobroc"));
    return vb::esNulo(c) ? QStringLiteral("1") : vb::texto(c);
}

void guardar_y_cerrar(Recordset& rs)
{
    rs.guardar();
    rs.cerrar();
}

}  // namespace

// Debit of the day's takings of one payment method (a row of the day's sums).
void Traspaso::APUNTE_DEBE_CAJA_CONTAPLUS(double& n_apunte)
{
    descripcion_cobro.clear();
    const QDate fecha = fecha_asiento(fecha_dia);
    nueva_fila_diario(rs_diario, conexion_diario, n_apunte, fecha);

    LineaDiario l;
    l.subcta = cuenta_cobro(codigo_cobro(m.rs_cajj));
    // The description is kept short enough for the concept column; the
    // window variable itself keeps the shortened text.
    if (descripcion_cobro.length() > 15) descripcion_cobro = vb::Left(descripcion_cobro, 15);
    l.concepto = TOTAL_DIA + descripcion_cobro;
    l.euro_debe = m.rs_cajj.campo(QStringLiteral("CajSuma"));
    asignar_linea(rs_diario, l);
    guardar_y_cerrar(rs_diario);
}

// Credit of one cash movement of the day: an invoice payment when CajDep is
// the empty text, otherwise (Null too) a deposit collection.
void Traspaso::APUNTE_HABER_CAJA_CONTAPLUS(double& n_apunte)
{
    Recordset& cajj = m.rs_cajj;
    const QDate fecha = fecha_asiento(cajj.campo(QStringLiteral("CajFec")));
    nueva_fila_diario(rs_diario, conexion_diario, n_apunte, fecha);

    LineaDiario l;
    const QVariant dep = cajj.campo(QStringLiteral("CajDep"));
    if (vb::igual(dep, QString())) {
        l.subcta = cajj.campo(QStringLiteral("CajCli"));
        l.concepto = COBRO_FACTURA;
    } else {
        l.subcta = m.cuenta_depositos;
        l.concepto = unir(COBRO_DEPOSITO, dep);
    }
    l.documento = cajj.campo(QStringLiteral("CajFra"));
    l.euro_haber = cajj.campo(QStringLiteral("CajImp"));
    asignar_linea(rs_diario, l);
    // Left open: the next writer, or the invoice phase, closes it first.
    rs_diario.guardar();
}

// Debit of one deposit collection, on the payment method's subaccount.
void Traspaso::APUNTE_D_CONTAPLUS_COBRO_DEPOSITOS(double& n_apunte)
{
    Recordset& cajj = m.rs_cajj;
    descripcion_cobro.clear();
    const QDate fecha = fecha_asiento(fecha_dia);
    nueva_fila_diario(rs_diario, conexion_diario, n_apunte, fecha);

    LineaDiario l;
    l.subcta = cuenta_cobro(codigo_cobro(cajj));
    const QVariant dep = cajj.campo(QStringLiteral("CajDep"));
    l.concepto = unir(COBRO_DEPOSITO, dep);
    l.documento = dep;
    l.euro_debe = cajj.campo(QStringLiteral("CajImp"));
    asignar_linea(rs_diario, l);
    guardar_y_cerrar(rs_diario);
}

// Credit of the same deposit collection, on the deposits subaccount as it
// stands in memory.
void Traspaso::APUNTE_H_CONTAPLUS_COBRO_DEPOSITOS(double& n_apunte)
{
    Recordset& cajj = m.rs_cajj;
    const QDate fecha = fecha_asiento(cajj.campo(QStringLiteral("CajFec")));
    nueva_fila_diario(rs_diario, conexion_diario, n_apunte, fecha);

    LineaDiario l;
    l.subcta = m.cuenta_depositos;
    const QVariant dep = cajj.campo(QStringLiteral("CajDep"));
    l.concepto = unir(COBRO_DEPOSITO, dep);
    l.documento = dep;
    l.euro_haber = cajj.campo(QStringLiteral("CajImp"));
    asignar_linea(rs_diario, l);
    guardar_y_cerrar(rs_diario);
}

// Debit of one discounted deposit, on the deposits subaccount. With an
// 8-digit company the setting in memory is brought to 8 characters for the
// rest of the transfer (the stored setting is not changed).
void Traspaso::APUNTE_DEPOSITOS_DESCONTADOS_D(double& n_apunte)
{
    if (m.digitos == 8 && m.cuenta_depositos.length() != 8)
        m.cuenta_depositos = ajustar_subcuenta(m.cuenta_depositos, 8);
    const QDate fecha = fecha_asiento(fecha_dia);
    nueva_fila_diario(rs_diario, conexion_diario, n_apunte, fecha);

    Recordset& edep = m.rs_edep;
    LineaDiario l;
    l.subcta = m.cuenta_depositos;
    l.concepto = DEPOSITO_DESCONTADO;
    l.factura = edep.campo(QStringLiteral("EdepFra"));
    l.euro_debe = edep.campo(QStringLiteral("EdepImp"));
    asignar_linea(rs_diario, l);
    guardar_y_cerrar(rs_diario);
}

// Credit of the same deposit, on the customer's subaccount. With an 8-digit
// company the deposit row's EdepCli is brought to 8 characters too; the
// change is pending in m.rs_edep and is stored when the caller saves the row.
void Traspaso::APUNTE_DEPOSITOS_DESCONTADOS_H(double& n_apunte)
{
    Recordset& edep = m.rs_edep;
    QVariant cliente = edep.campo(QStringLiteral("EdepCli"));
    if (!vb::esNulo(cliente) && m.digitos == 8) {
        const QString codigo = vb::texto(cliente);
        if (codigo.length() != 8) {
            cliente = ajustar_subcuenta(codigo, 8);
            edep.asignar(QStringLiteral("EdepCli"), cliente);
        }
    }
    const QDate fecha = fecha_asiento(fecha_dia);
    nueva_fila_diario(rs_diario, conexion_diario, n_apunte, fecha);

    LineaDiario l;
    l.subcta = cliente;
    l.concepto = DEPOSITO_DESCONTADO;
    l.factura = edep.campo(QStringLiteral("EdepFra"));
    l.euro_haber = edep.campo(QStringLiteral("EdepImp"));
    asignar_linea(rs_diario, l);
    guardar_y_cerrar(rs_diario);
}
