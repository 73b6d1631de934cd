// Customer and payment-method subaccounts. An invoice names the kind of its
// customer (EmiC: 0 individual, 1 agency, 2 company) and the customer's code;
// the customer files may hold a ledger account of their own, and the link
// settings say what to use when they do not.
#include "transfer/Traspaso.h"

#include "platform/valores/Vb.h"
#include "transfer/Textos.h"

#include <optional>

namespace {

// What a lookup uses of the row of a customer, agency, company or payment
// method (`leer`, on the row read), read through `rs` with the statement
// `sql` (one "?", the code); during a run, what the run read of that code
// before.
template <typename Leer>
Module1::FilasLeidas::Fila fila_de(Module1& m, QHash<QString, Module1::FilasLeidas::Fila>& leidas, Recordset& rs,
                                   const QString& sql, Conexion& conexion, const QString& codigo, Leer leer)
{
    if (m.filas_leidas.activa) {
        const auto it = leidas.constFind(codigo);
        if (it != leidas.constEnd())
            return *it;
    }
    Module1::FilasLeidas::Fila f;
    rs.cerrar();
    rs.abrir(sql, conexion, Cursor::Dinamico, Bloqueo::SoloLectura, {codigo});
    f.existe = !rs.eof();
    if (f.existe)
        f.valores = leer(rs);
    rs.cerrar();
    if (m.filas_leidas.activa)
        leidas.insert(codigo, f);
    return f;
}

// The customer subaccount of the invoice rs_emi is on, as the rules build it;
// nothing for a customer kind other than 0, 1 or 2. A Null kind, code or (when
// it is needed) date is the runtime's invalid use of Null.
std::optional<QString> subcuenta_de_factura(Traspaso& t)
{
    Module1& m = t.m;
    const double tipo = vb::numero(m.rs_emi.campo(QStringLiteral("EmiC")));
    const QString cliente = vb::texto(m.rs_emi.campo(QStringLiteral("EmiCli")));

    if (m.todos_pasantes) {
        if (tipo == 0)
            return t.cuenta_contable_pasante(cliente);
        if (tipo == 1)
            return t.cuenta_contable_agencias(cliente);
        if (tipo == 2)
            return t.cuenta_contable_empresas(cliente);
        return std::nullopt;
    }

    // A customer whose own account is the walk-in account is treated like
    // one without an account: the comparison is on the text.
    if (tipo == 0) {
        QString cuenta = t.cuenta_contable_pasante(cliente);
        if (cuenta == m.cuenta_pasantes && m.pasantes_aaaamm) {
            // One walk-in subaccount per month: two-digit year and month.
            const QString fecha = vb::texto(m.rs_emi.campo(QStringLiteral("EmiFec")));
            cuenta = vb::Left(m.cuenta_pasantes, 5) + vb::Mid(fecha, 3, 4);
        }
        return cuenta;
    }
    if (tipo == 1) {
        QString cuenta = t.cuenta_contable_agencias(cliente);
        if (cuenta == m.cuenta_pasantes)
            cuenta = m.subcuenta_agencias + vb::Trim(cliente);
        return cuenta;
    }
    if (tipo == 2) {
        QString cuenta = t.cuenta_contable_empresas(cliente);
        if (cuenta == m.cuenta_pasantes)
            cuenta = m.subcuenta_empresas + vb::Trim(cliente);
        return cuenta;
    }
    return std::nullopt;
}

}  // namespace

QString Traspaso::cuenta_contable_pasante(const QString& codigo_cliente)
{
    QString cuenta = m.cuenta_pasantes;
    const auto f = fila_de(m, m.filas_leidas.cli, m.rs_cli, QStringLiteral("SELECT * FROM cli WHERE CliCod = ?"),
                           m.hotel(m.conexion_cli), codigo_cliente,
                           [](Recordset& rs) { return QVariantList{rs.campo(QStringLiteral("CliCta"))}; });
    if (f.existe) {
        const QString propia = texto_o_vacio(f.valores[0]);
        if (!propia.isEmpty())
            cuenta = propia;
    }
    return cuenta;
}

QString Traspaso::cuenta_contable_agencias(const QString& codigo_cliente)
{
    QString cuenta = m.cuenta_pasantes;
    const auto f = fila_de(m, m.filas_leidas.agen, m.rs_agen, QStringLiteral("SELECT * FROM agen WHERE AgenCod = ?"),
                           m.hotel(m.conexion_agen), codigo_cliente,
                           [](Recordset& rs) { return QVariantList{rs.campo(QStringLiteral("AgenCta"))}; });
    if (f.existe) {
        const QString propia = texto_o_vacio(f.valores[0]);
        if (!propia.isEmpty())
            cuenta = propia;
    }
    return cuenta;
}

QString Traspaso::cuenta_contable_empresas(const QString& codigo_cliente)
{
    QString cuenta = m.cuenta_pasantes;
    const auto f = fila_de(m, m.filas_leidas.na, m.rs_na, QStringLiteral("SELECT * FROM na WHERE NaCod = ?"),
                           m.hotel(m.conexion_na), codigo_cliente, [](Recordset& rs) {
                               // The link to an agency matters only without an account.
                               const QVariant cta = rs.campo(QStringLiteral("NaCta"));
                               if (vb::esNulo(cta) || !vb::texto(cta).isEmpty())
                                   return QVariantList{cta};
                               return QVariantList{cta, rs.campo(QStringLiteral("NaVin")),
                                                   rs.campo(QStringLiteral("NaAge"))};
                           });
    if (!f.existe)
        return cuenta;
    // A Null NaCta keeps the default even for a company linked to an agency.
    const QVariant& na_cta = f.valores[0];
    if (!vb::esNulo(na_cta)) {
        const QString propia = vb::texto(na_cta);
        if (!propia.isEmpty()) {
            cuenta = propia;
        } else {
            // A company without an account of its own that bills through an
            // agency takes the agency's. A Null link flag is no link.
            const QVariant& vinculada = f.valores[1];
            const QString agencia = texto_o_vacio(f.valores[2]);
            if (!vb::esNulo(vinculada) && vb::logico(vinculada) && !agencia.isEmpty()) {
                const QString de_la_agencia = cuenta_contable_agencias(agencia);
                if (!de_la_agencia.isEmpty())
                    cuenta = de_la_agencia;
            }
        }
    }
    return cuenta;
}

QString Traspaso::cuenta_cliente3()
{
    // Its caller brings it to the company's length.
    return subcuenta_de_factura(*this).value_or(QString());
}

void Traspaso::buscar_cuenta_cliente2()
{
    std::optional<QString> cuenta = subcuenta_de_factura(*this);
    if (!cuenta)
        return;     // another kind of customer: CajCli stays unset
    m.rs_cajj.asignar(QStringLiteral("CajCli"), a_digitos(*cuenta));
}

QString Traspaso::cuenta_cobro(const QString& codcobro)
{
    const auto f = fila_de(m, m.filas_leidas.formas, m.rs_formas,
                           QStringLiteral("SELECT * FROM formas WHERE ForCod = ?"), m.hotel(m.conexion_formas), codcobro,
                           [](Recordset& rs) {
                               const QVariant cta = rs.campo(QStringLiteral("ForCta"));
                               if (vb::esNulo(cta))
                                   return QVariantList{cta};
                               return QVariantList{cta, rs.campo(QStringLiteral("ForDes"))};
                           });
    const QVariant for_cta = f.existe ? f.valores[0] : QVariant();
    // A method without a description gives an empty one in the concepts.
    descripcion_cobro = vb::esNulo(for_cta) ? QStringLiteral("EFECTIVO *") : texto_o_vacio(f.valores[1]);
    return cuenta_de_forma(for_cta);
}

QString Traspaso::cuenta_de_forma(const QVariant& for_cta) const
{
    QString cuenta = vb::esNulo(for_cta) ? QString() : vb::texto(for_cta);
    if (cuenta.isEmpty())
        cuenta = m.cuenta_caja;
    return a_digitos(cuenta);
}
