// Customer and payment-method subaccounts (see CuentasCliente.h).
#include "transfer/CuentasCliente.h"

#include "platform/valores/Vb.h"
#include "startup/RutinasComunes.h"
#include "transfer/Textos.h"

QString a_digitos(const AjustesEnlace& ajustes, const QString& codigo)
{
    if (ajustes.digitos == 8 && codigo.length() != 8) return ajustar_subcuenta(codigo, 8);
    return codigo;
}

CuentasCliente::CuentasCliente(const AjustesEnlace& ajustes, ConexionesHotel& conexiones, bool recordar)
    : ajustes_(ajustes), conexiones_(conexiones), recordar_(recordar)
{
}

// What a lookup uses of the row of a customer, agency, company or payment
// method (`leer`, on the row read), read through `rs` with the statement
// `sql` (one "?", the code); with recordar_, what was read of that code
// before.
template <typename Leer>
CuentasCliente::Fila CuentasCliente::fila_de(QHash<QString, Fila>& leidas, Recordset& rs, const QString& sql,
                                             Conexion& conexion, const QString& codigo, Leer leer)
{
    if (recordar_) {
        const auto it = leidas.constFind(codigo);
        if (it != leidas.constEnd()) return *it;
    }
    Fila f;
    rs.cerrar();
    rs.abrir(sql, conexion, Cursor::Dinamico, Bloqueo::SoloLectura, {codigo});
    f.existe = !rs.eof();
    if (f.existe) f.valores = leer(rs);
    rs.cerrar();
    if (recordar_) leidas.insert(codigo, f);
    return f;
}

// The customer subaccount of the invoice, as the rules build it; nothing for
// a customer kind other than 0, 1 or 2.
std::optional<QString> CuentasCliente::subcuenta_de_factura(const ClienteFactura& factura)
{
    const AjustesEnlace& a = ajustes_;
    const double tipo = factura.tipo_numero();
    const QString cliente = factura.codigo_texto();

    if (a.todos_pasantes) {
        if (tipo == 0) return cuenta_contable_pasante(cliente);
        if (tipo == 1) return cuenta_contable_agencias(cliente);
        if (tipo == 2) return cuenta_contable_empresas(cliente);
        return std::nullopt;
    }

    // A customer whose own account is the walk-in account is treated like
    // one without an account: the comparison is on the text.
    if (tipo == 0) {
        QString cuenta = cuenta_contable_pasante(cliente);
        if (cuenta == a.cuenta_pasantes && a.pasantes_aaaamm) {
            // One walk-in subaccount per month: two-digit year and month.
            const QString fecha = factura.fecha_texto();
            cuenta = vb::Left(a.cuenta_pasantes, 5) + vb::Mid(fecha, 3, 4);
        }
        return cuenta;
    }
    if (tipo == 1) {
        QString cuenta = cuenta_contable_agencias(cliente);
        if (cuenta == a.cuenta_pasantes) cuenta = a.subcuenta_agencias + vb::Trim(cliente);
        return cuenta;
    }
    if (tipo == 2) {
        QString cuenta = cuenta_contable_empresas(cliente);
        if (cuenta == a.cuenta_pasantes) cuenta = a.subcuenta_empresas + vb::Trim(cliente);
        return cuenta;
    }
    return std::nullopt;
}

QString CuentasCliente::cuenta_contable_pasante(const QString& codigo_cliente)
{
    QString cuenta = ajustes_.cuenta_pasantes;
    const auto f = fila_de(cli_, rs_cli_, QStringLiteral("SELECT * FROM cli WHERE CliCod = ?"),
                           conexiones_.hotel(conexiones_.conexion_cli), codigo_cliente,
                           [](Recordset& rs) { return QVariantList{rs.campo(QStringLiteral("CliCta"))}; });
    if (f.existe) {
        const QString propia = texto_o_vacio(f.valores[0]);
        if (!propia.isEmpty()) cuenta = propia;
    }
    return cuenta;
}

QString CuentasCliente::cuenta_contable_agencias(const QString& codigo_cliente)
{
    QString cuenta = ajustes_.cuenta_pasantes;
    const auto f = fila_de(agen_, rs_agen_, QStringLiteral("SELECT * FROM agen WHERE AgenCod = ?"),
                           conexiones_.hotel(conexiones_.conexion_agen), codigo_cliente,
                           [](Recordset& rs) { return QVariantList{rs.campo(QStringLiteral("AgenCta"))}; });
    if (f.existe) {
        const QString propia = texto_o_vacio(f.valores[0]);
        if (!propia.isEmpty()) cuenta = propia;
    }
    return cuenta;
}

QString CuentasCliente::cuenta_contable_empresas(const QString& codigo_cliente)
{
    QString cuenta = ajustes_.cuenta_pasantes;
    const auto f =
        fila_de(na_, rs_na_, QStringLiteral("SELECT * FROM na WHERE NaCod = ?"),
                conexiones_.hotel(conexiones_.conexion_na), codigo_cliente, [](Recordset& rs) {
                    // The link to an agency matters only without an account.
                    const QVariant cta = rs.campo(QStringLiteral("NaCta"));
                    if (vb::esNulo(cta) || !vb::texto(cta).isEmpty()) return QVariantList{cta};
                    return QVariantList{cta, rs.campo(QStringLiteral("NaVin")), rs.campo(QStringLiteral("NaAge"))};
                });
    if (!f.existe) return cuenta;
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
                if (!de_la_agencia.isEmpty()) cuenta = de_la_agencia;
            }
        }
    }
    return cuenta;
}

QString CuentasCliente::cuenta_cliente3(const ClienteFactura& factura)
{
    // Its caller brings it to the company's length.
    return subcuenta_de_factura(factura).value_or(QString());
}

std::optional<QString> CuentasCliente::buscar_cuenta_cliente2(const ClienteFactura& factura)
{
    const std::optional<QString> cuenta = subcuenta_de_factura(factura);
    if (!cuenta) return std::nullopt;
    return a_digitos(ajustes_, *cuenta);
}

CuentasCliente::Cobro CuentasCliente::cuenta_cobro(const QString& codcobro)
{
    const auto f = fila_de(formas_, rs_formas_, QStringLiteral("SELECT * FROM formas WHERE ForCod = ?"),
                           conexiones_.hotel(conexiones_.conexion_formas), codcobro, [](Recordset& rs) {
                               const QVariant cta = rs.campo(QStringLiteral("ForCta"));
                               if (vb::esNulo(cta)) return QVariantList{cta};
                               return QVariantList{cta, rs.campo(QStringLiteral("ForDes"))};
                           });
    const QVariant for_cta = f.existe ? f.valores[0] : QVariant();
    // A method without a description gives an empty one in the concepts.
    return {cuenta_de_forma(ajustes_, for_cta),
            vb::esNulo(for_cta) ? QStringLiteral("EFECTIVO *") : texto_o_vacio(f.valores[1])};
}

QString cuenta_de_forma(const AjustesEnlace& ajustes, const QVariant& for_cta)
{
    QString cuenta = vb::esNulo(for_cta) ? QString() : vb::texto(for_cta);
    if (cuenta.isEmpty()) cuenta = ajustes.cuenta_caja;
    return a_digitos(ajustes, cuenta);
}
