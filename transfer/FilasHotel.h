#pragma once
// The hotel rows a run reads, and the staged invoice it posts, each read
// once from its recordset into a small value. A field keeps what the hotel holds, Null included, and is
// read as text or number by the old runtime's rules in the accessors here.
#include "platform/sql/Recordset.h"
#include "platform/valores/Vb.h"
#include <QString>
#include <QVariant>
#include <optional>

// The customer of an invoice as the subaccount rules read it: the kind
// (EmiC: 0 individual, 1 agency, 2 company), the code and the date. Read
// only when the rules need them, so a Null fails there as it would have.
struct ClienteFactura {
    QVariant tipo, codigo, fecha;

    static ClienteFactura leer(Recordset& emi);

    double tipo_numero() const { return vb::numero(tipo); }
    QString codigo_texto() const { return vb::texto(codigo); }
    QString fecha_texto() const { return vb::texto(fecha); }
};

// The amounts a staged invoice copies from emi: fac column, emi column.
struct ColumnaImporte {
    QString fac;
    QString emi;
};
inline const ColumnaImporte IMPORTES_FACTURA[] = {
    {QStringLiteral("FacB1"), QStringLiteral("EmiB1")},
    {QStringLiteral("FacB2"), QStringLiteral("EmiB2")},
    {QStringLiteral("FacB3"), QStringLiteral("EmiB3")},
    {QStringLiteral("FacB4"), QStringLiteral("EmiB4")},
    {QStringLiteral("FacC1"), QStringLiteral("EmiC1")},
    {QStringLiteral("FacC2"), QStringLiteral("EmiC2")},
    {QStringLiteral("FacC3"), QStringLiteral("EmiC3")},
    {QStringLiteral("FacC4"), QStringLiteral("EmiC4")},
    {QStringLiteral("FacTotal"), QStringLiteral("EmiTot")},
    {QStringLiteral("FacI1"), QStringLiteral("EmiI1")},
    {QStringLiteral("FacI2"), QStringLiteral("EmiI2")},
    {QStringLiteral("FacI3"), QStringLiteral("EmiI3")},
    {QStringLiteral("FacI4"), QStringLiteral("EmiI4")},
    {QStringLiteral("ImporteTasa"), QStringLiteral("TasaImporte")},
};
inline constexpr int N_IMPORTES_FACTURA = int(sizeof IMPORTES_FACTURA / sizeof IMPORTES_FACTURA[0]);

// An invoice of emi, as the invoice pass and the staging use it.
struct FacturaHotel {
    QVariant numero;    // EmiNum: Null, an invoice with no number
    QVariant fecha;     // EmiFec
    QVariant cierre;    // EmiCie: "0" open, "1" closed
    QVariant deposito;  // EmiDep
    QVariant nombre;    // EmiNom
    QVariant nif;       // EmiNif
    ClienteFactura cliente;
    QVariant importes[N_IMPORTES_FACTURA];  // in the order of IMPORTES_FACTURA

    static FacturaHotel leer(Recordset& emi);

    QString numero_texto() const { return vb::texto(numero); }
    QString fecha_o_vacia() const { return vb::esNulo(fecha) ? QString() : vb::texto(fecha); }
    bool abierta() const { return vb::igual(cierre, QStringLiteral("0")); }
    bool cerrada() const { return vb::igual(cierre, QStringLiteral("1")); }
    // A deposit to stage with it: EmiDep neither Null nor 0.
    bool con_deposito() const { return !vb::esNulo(deposito) && vb::numero(deposito) != 0; }
};

// A cash movement of caja, as the cash pass stages it.
struct CobroCaja {
    QVariant fecha;        // CajaFec
    QVariant orden;        // CajaOrd
    QVariant concepto;     // CajaCon
    QVariant factura;      // CajaFra
    QVariant ano_factura;  // CajaAnoF
    QVariant forma;        // CajaCobroc
    QVariant importe;      // CajaImp

    static CobroCaja leer(Recordset& caja);

    // Only a concept that starts exactly with "Deposito" is a deposit
    // collection; a Null concept is a payment like any other text.
    bool es_deposito() const
    {
        return !vb::esNulo(concepto) && vb::Left(vb::texto(concepto), 8) == QStringLiteral("Deposito");
    }
    QString numero_deposito() const { return vb::Mid(vb::texto(concepto), 13, 6); }
};

// A staged invoice of fac, as the posting reads it.
struct FacturaPreparada {
    QVariant empresa;                        // FacEmp
    QVariant ejercicio;                      // FacEje
    QVariant numero;                         // FacFra
    QVariant fecha;                          // FacFec
    QVariant cuenta_cliente;                 // FacCtaC
    QVariant nombre;                         // FacCliN
    QVariant nif;                            // FacNifC
    QVariant cuenta_iva;                     // FacIvar
    QVariant total;                          // FacTotal
    QVariant tasa;                           // ImporteTasa
    QVariant bases[4], tipos[4], cuotas[4];  // FacB1..4, FacC1..4, FacI1..4

    static FacturaPreparada leer(Recordset& fac);
};
