#include "transfer/ImportesHotel.h"

#include "contaplus/LimitesDiario.h"
#include "platform/valores/Vb.h"

#include <QPair>
#include <QVector>
#include <cmath>

namespace {

// A rate that is not 0; one that is not a number counts, to be named later.
bool con_tipo(const QVariant& v)
{
    try {
        return vb::numero(v) != 0;
    } catch (const Fallo&) {
        return true;
    }
}

}  // namespace

// Refused: a Null the posting reads (a VAT amount counts only in a slot
// with a rate), an amount that is not a finite number, and one that would
// not fit its journal column (the whole-euro rule of the customer debit
// for the total, 32-bit pesetas, the template's widths).
std::optional<Fallo> importe_rechazado(Recordset& emi)
{
    static const QString bases[] = {QStringLiteral("EmiB1"), QStringLiteral("EmiB2"), QStringLiteral("EmiB3"),
                                    QStringLiteral("EmiB4")};
    static const QString tipos[] = {QStringLiteral("EmiC1"), QStringLiteral("EmiC2"), QStringLiteral("EmiC3"),
                                    QStringLiteral("EmiC4")};
    static const QString cuotas[] = {QStringLiteral("EmiI1"), QStringLiteral("EmiI2"), QStringLiteral("EmiI3"),
                                     QStringLiteral("EmiI4")};
    static const QString total = QStringLiteral("EmiTot"), deposito = QStringLiteral("EmiDep"),
                         tasa = QStringLiteral("TasaImporte");
    auto vacia = [](const QString& c) {
        return Fallo(codigo_error::USO_NO_VALIDO_DE_NULL,
                     QStringLiteral("la columna %1 de la factura está vacía").arg(c));
    };
    for (const QString& c : bases)
        if (vb::esNulo(emi.campo(c))) return vacia(c);
    for (const QString& c : tipos)
        if (vb::esNulo(emi.campo(c))) return vacia(c);
    for (int d = 0; d < 4; ++d)
        if (con_tipo(emi.campo(tipos[d])) && vb::esNulo(emi.campo(cuotas[d]))) return vacia(cuotas[d]);
    for (const QString& c : {total, deposito})
        if (vb::esNulo(emi.campo(c))) return vacia(c);

    // The amounts the posting reads, by column; a Null tax is 0 by then.
    QVector<QPair<QString, double>> leidos;
    std::optional<Fallo> no_numero;
    auto leer = [&](const QString& c) {
        const QVariant v = emi.campo(c);
        try {
            leidos.append({c, vb::esNulo(v) ? 0.0 : vb::numero(v)});
        } catch (const Fallo& f) {
            if (f.numero() != codigo_error::TIPOS_NO_COINCIDEN) throw;
            leidos.append({c, 0.0});
            if (!no_numero)
                no_numero = Fallo(f.numero(), QStringLiteral("la columna %1 de la factura no es un importe válido (%2)")
                                                  .arg(c, vb::texto(v)));
        }
    };
    for (int d = 0; d < 4; ++d) {
        leer(bases[d]);
        leer(tipos[d]);
        if (leidos.last().second != 0) leer(cuotas[d]);
    }
    leer(total);
    leer(deposito);
    leer(tasa);
    if (no_numero) return no_numero;
    for (const auto& [c, v] : std::as_const(leidos))
        if (!std::isfinite(v))
            return Fallo(
                codigo_error::DESBORDAMIENTO,
                QStringLiteral("la columna %1 de la factura no es un importe válido (%2)").arg(c, vb::CStr(v)));

    auto demasiado = [](const QString& que, double v, const QString& limite) {
        return Fallo(codigo_error::DESBORDAMIENTO,
                     QStringLiteral("%1 de la factura, %2, no cabe en el diario: %3").arg(que, vb::CStr(v), limite));
    };
    const QString pta_debe = QStringLiteral("PtaDebe"), pta_haber = QStringLiteral("PtaHaber"),
                  base_impo = QStringLiteral("BaseImpo");
    double suma_bases = 0, importe_tasa = 0;
    for (const auto& [c, v] : std::as_const(leidos)) {
        QString exceso;
        if (c == total)
            exceso = exceso_pesetas(v, true, pta_debe);
        else if (c == deposito)
            exceso = exceso_columna(v, QStringLiteral("EuroDebe"), QStringLiteral("euros"));
        else if (c.startsWith(QLatin1String("EmiC")))
            exceso = exceso_columna(v, QStringLiteral("iva"), QStringLiteral("por ciento"));
        else if (c.startsWith(QLatin1String("EmiB")))
            exceso = exceso_pesetas(v, false, base_impo);
        else
            exceso = exceso_pesetas(v, false, pta_haber);
        if (!exceso.isEmpty()) return demasiado(QStringLiteral("la columna ") + c, v, exceso);
        if (c.startsWith(QLatin1String("EmiB"))) suma_bases += v;
        if (c == tasa) importe_tasa = v;
    }
    // The sales line holds the sum of the bases; slot 2's VAT line its base
    // with the tax.
    QString exceso = exceso_pesetas(suma_bases, false, pta_haber);
    if (!exceso.isEmpty()) return demasiado(QStringLiteral("la suma de las bases EmiB1 a EmiB4"), suma_bases, exceso);
    const double base2 = vb::numero(emi.campo(bases[1])) + importe_tasa;
    exceso = vb::numero(emi.campo(tipos[1])) != 0 ? exceso_pesetas(base2, false, base_impo) : QString();
    if (!exceso.isEmpty()) return demasiado(QStringLiteral("la base EmiB2 con la tasa"), base2, exceso);
    return std::nullopt;
}

double importe_cobro(const QVariant& caja_imp)
{
    double leido = 0;
    try {
        leido = vb::numero(caja_imp);
    } catch (const Fallo& f) {
        if (f.numero() != codigo_error::TIPOS_NO_COINCIDEN) throw;
        throw Fallo(f.numero(), QStringLiteral("la columna CajaImp del cobro no es un importe válido (%1)")
                                    .arg(vb::texto(caja_imp)));
    }
    // Rounded, an infinity would post as 0.00.
    if (!std::isfinite(leido))
        throw Fallo(codigo_error::DESBORDAMIENTO,
                    QStringLiteral("la columna CajaImp del cobro no es un importe válido (%1)").arg(vb::CStr(leido)));
    if (const QString exceso = exceso_columna(leido, QStringLiteral("EuroDebe"), QStringLiteral("euros"));
        !exceso.isEmpty())
        throw Fallo(
            codigo_error::DESBORDAMIENTO,
            QStringLiteral("la columna CajaImp del cobro, %1, no cabe en el diario: %2").arg(vb::CStr(leido), exceso));
    return leido;
}
