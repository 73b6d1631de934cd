#pragma once
// Customer and payment-method subaccounts. An invoice names the kind of its
// customer and the customer's code; the customer files may hold a ledger
// account of their own, and the link settings say what to use when they
// do not. One object per run (or per lookup outside a run), owning the
// cursors it reads cli, agen, na and formas through.
#include "platform/sql/Recordset.h"
#include "startup/AjustesEnlace.h"
#include "startup/ConexionesHotel.h"
#include "transfer/FilasHotel.h"
#include <QHash>
#include <QString>
#include <QVariantList>
#include <optional>

// With an 8-digit company, a code of another length brought to 8
// characters (ajustar_subcuenta); otherwise the code unchanged.
QString a_digitos(const AjustesEnlace& ajustes, const QString& codigo);
// The subaccount a payment method's ForCta gives: the cash account when it
// is Null or empty, brought to the company's digits.
QString cuenta_de_forma(const AjustesEnlace& ajustes, const QVariant& for_cta);

class CuentasCliente {
public:
    // With `recordar`, a code's row is read once and kept for the object's
    // life: those tables do not change during a transfer. The hotel program
    // may add a customer while one runs, but a code read on its first lookup
    // and kept for the rest of the run gives what a read of all of them at
    // the start of the run would have.
    CuentasCliente(const AjustesEnlace& ajustes, ConexionesHotel& conexiones, bool recordar);

    QString cuenta_contable_pasante(const QString& codigo_cliente);
    QString cuenta_contable_agencias(const QString& codigo_cliente);
    QString cuenta_contable_empresas(const QString& codigo_cliente);
    // The invoice's customer subaccount as the rules build it, not yet
    // brought to the company's length; empty for another kind of customer.
    // A Null kind, code or (when needed) date is the runtime's invalid use
    // of Null.
    QString cuenta_cliente3(const ClienteFactura& factura);
    // The same brought to the company's length, for a cash row's CajCli;
    // none for another kind of customer (CajCli stays unset).
    std::optional<QString> buscar_cuenta_cliente2(const ClienteFactura& factura);

    // The customers, agencies and companies of these invoices read together,
    // a list of codes per statement, into what the lookups keep (only with
    // `recordar`). A code not found so is looked up alone as before.
    void anticipar(const QHash<QString, ClienteFactura>& facturas);

    // A payment method's subaccount and the description its concepts carry.
    struct Cobro {
        QString cuenta;
        QString descripcion;
    };
    Cobro cuenta_cobro(const QString& codcobro);

private:
    // What a lookup uses of a row, by code; `existe` false when none.
    struct Fila {
        bool existe = false;
        QVariantList valores;
    };

    std::optional<QString> subcuenta_de_factura(const ClienteFactura& factura);
    template <typename Leer>
    void filas_de(QHash<QString, Fila>& leidas, const QString& tabla, const QString& columna, Conexion& conexion,
                  const QStringList& codigos, Leer leer);
    template <typename Leer>
    Fila fila_de(QHash<QString, Fila>& leidas, Recordset& rs, const QString& sql, Conexion& conexion,
                 const QString& codigo, Leer leer);

    const AjustesEnlace& ajustes_;
    ConexionesHotel& conexiones_;
    const bool recordar_;
    Recordset rs_cli_, rs_agen_, rs_na_, rs_formas_;
    QHash<QString, Fila> cli_, agen_, na_, formas_;
};
