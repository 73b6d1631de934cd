// Customer and payment-method subaccounts (see CuentasCliente.h).
#include "transfer/CuentasCliente.h"

#include "platform/sistema/Fallo.h"
#include "platform/valores/Vb.h"
#include "startup/RutinasComunes.h"
#include "transfer/FacturasDeCobros.h"
#include "transfer/Textos.h"

#include <QSet>

namespace {

// What the lookups use of a row of cli, agen and na.
QVariantList de_cli(Recordset& rs)
{
    return {rs.campo(QStringLiteral("CliCta"))};
}

QVariantList de_agen(Recordset& rs)
{
    return {rs.campo(QStringLiteral("AgenCta"))};
}

QVariantList de_na(Recordset& rs)
{
    // The link to an agency matters only without an account.
    const QVariant cta = rs.campo(QStringLiteral("NaCta"));
    if (vb::esNulo(cta) || !vb::texto(cta).isEmpty()) return {cta};
    return {cta, rs.campo(QStringLiteral("NaVin")), rs.campo(QStringLiteral("NaAge"))};
}

}  // namespace

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

// Rows of `tabla` whose `columna` is one of `codigos`, read with IN lists;
// each kept under its exact code when that code was asked for.
template <typename Leer>
void CuentasCliente::filas_de(QHash<QString, Fila>& leidas, const QString& tabla, const QString& columna,
                              Conexion& conexion, const QStringList& codigos, Leer leer)
{
    const QSet<QString> pedidos(codigos.cbegin(), codigos.cend());
    for (qsizetype desde = 0; desde < codigos.size(); desde += 256) {
        const int n = int(std::min<qsizetype>(256, codigos.size() - desde));
        const int largo = largo_de_lista(n);
        const QVariantList p = valores_de_lista(codigos, desde, n, largo);
        Recordset rs;
        rs.abrir(QStringLiteral("SELECT * FROM %1 WHERE %2 IN (%3)").arg(tabla, columna, lista_de_parametros(largo)),
                 conexion, Cursor::Dinamico, Bloqueo::SoloLectura, p);
        for (; !rs.eof(); rs.siguiente()) {
            const QString codigo = texto_o_vacio(rs.campo(columna));
            if (!pedidos.contains(codigo) || leidas.contains(codigo)) continue;
            leidas.insert(codigo, Fila{true, leer(rs)});
        }
    }
}

void CuentasCliente::anticipar(const QHash<QString, ClienteFactura>& facturas)
{
    if (!recordar_) return;
    QStringList clientes, agencias, empresas;
    QSet<QString> vistos;
    for (const ClienteFactura& f : facturas) {
        if (vb::esNulo(f.tipo) || vb::esNulo(f.codigo)) continue;
        // A kind that is no number is left to the lookup, which tells it.
        double tipo = -1;
        try {
            tipo = f.tipo_numero();
        } catch (const Fallo&) {
            continue;
        }
        const QString codigo = f.codigo_texto();
        QHash<QString, Fila>& leidas = tipo == 0 ? cli_ : tipo == 1 ? agen_ : na_;
        QStringList& lista = tipo == 0 ? clientes : tipo == 1 ? agencias : empresas;
        if ((tipo != 0 && tipo != 1 && tipo != 2) || leidas.contains(codigo)) continue;
        if (vistos.contains(QString::number(tipo) + codigo)) continue;
        vistos.insert(QString::number(tipo) + codigo);
        lista << codigo;
    }
    if (!clientes.isEmpty())
        filas_de(cli_, QStringLiteral("cli"), QStringLiteral("CliCod"), conexiones_.hotel(conexiones_.conexion_cli),
                 clientes, de_cli);
    if (!agencias.isEmpty())
        filas_de(agen_, QStringLiteral("agen"), QStringLiteral("AgenCod"), conexiones_.hotel(conexiones_.conexion_agen),
                 agencias, de_agen);
    if (!empresas.isEmpty())
        filas_de(na_, QStringLiteral("na"), QStringLiteral("NaCod"), conexiones_.hotel(conexiones_.conexion_na),
                 empresas, de_na);
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
                           conexiones_.hotel(conexiones_.conexion_cli), codigo_cliente, de_cli);
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
                           conexiones_.hotel(conexiones_.conexion_agen), codigo_cliente, de_agen);
    if (f.existe) {
        const QString propia = texto_o_vacio(f.valores[0]);
        if (!propia.isEmpty()) cuenta = propia;
    }
    return cuenta;
}

QString CuentasCliente::cuenta_contable_empresas(const QString& codigo_cliente)
{
    QString cuenta = ajustes_.cuenta_pasantes;
    const auto f = fila_de(na_, rs_na_, QStringLiteral("SELECT * FROM na WHERE NaCod = ?"),
                           conexiones_.hotel(conexiones_.conexion_na), codigo_cliente, de_na);
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
