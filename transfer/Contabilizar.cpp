// The posting of invoices (see Contabilizar.h).
#include "transfer/Contabilizar.h"
#include "transfer/CuentasCliente.h"

#include "contaplus/FilaDiario.h"
#include "contaplus/LineasFactura.h"
#include "platform/valores/Vb.h"
#include "startup/RutinasComunes.h"
#include "transfer/ColumnasFac.h"

#include <QSet>
#include <cmath>

// Codes this posting has already found in the company's SubCta or put in
// XSubCta: asking again could only find them there, so the same sales, VAT
// and tax accounts of every invoice cost two queries once, not per line.
// The codes one invoice's unit added are kept apart, to be forgotten when
// the unit is discarded (a copy of the whole set per invoice would grow with
// the run).
class Contabilizacion::Conocidas {
public:
    QSet<QString> codigos;
    QStringList de_la_unidad;

    bool contains(const QString& c) const { return codigos.contains(c); }
    void insert(const QString& c)
    {
        codigos.insert(c);
        de_la_unidad << c;
    }
    void olvidar_unidad()
    {
        for (const QString& c : std::as_const(de_la_unidad)) codigos.remove(c);
        de_la_unidad.clear();
    }
};

// Sums of the lines an entry has written, in cents as the journal holds them.
struct Contabilizacion::Sumas {
    qint64 debe = 0, haber = 0;
    bool descuadradas() const { return debe != haber; }
};

namespace {

struct LineaVentas {
    QString subcuenta;
    double importe = 0;
};

// The cents lost or gained by rounding each line apart go to the largest
// sales line, when the amounts balance before rounding and the difference
// is no more than the lines' rounding can make (half a cent a line); any
// other difference leaves the entry unbalanced, to be left out.
void cuadrar_redondeo(QVector<LineaVentas>& ventas, const QVariant& total, double tasa, const QVector<double>& cuotas)
{
    if (ventas.isEmpty() || vb::esNulo(total)) return;
    const double debe = vb::numero(total);
    double haber = tasa;
    qint64 haber_c = en_centimos(tasa);
    for (const LineaVentas& v : std::as_const(ventas)) {
        haber += v.importe;
        haber_c += en_centimos(v.importe);
    }
    for (double c : cuotas) {
        haber += c;
        haber_c += en_centimos(c);
    }
    if (std::abs(debe - haber) > 0.005 + 1e-9) return;
    const qint64 diferencia = en_centimos(debe) - haber_c;
    const qint64 lineas = 1 + (tasa != 0 ? 1 : 0) + ventas.size() + cuotas.size();
    if (diferencia == 0 || 2 * std::abs(diferencia) > lineas) return;
    LineaVentas* mayor = &ventas[0];
    for (LineaVentas& v : ventas)
        if (std::abs(v.importe) > std::abs(mayor->importe)) mayor = &v;
    mayor->importe = centimos(mayor->importe) + double(diferencia) / 100;
}

}  // namespace

Contabilizacion::Contabilizacion(ContextoPaso& c, ContaplusAbierto& contaplus, Durabilidad& durabilidad,
                                 const QString& cuenta_ventas_defecto)
    : c_(c), contaplus_(contaplus), durabilidad_(durabilidad), cuenta_ventas_defecto_(cuenta_ventas_defecto)
{
}

Contabilizacion::Sumas Contabilizacion::asentar_factura(const FacturaPreparada& fac, Conocidas& conocidas,
                                                        qint32 n_apunte)
{
    Sumas sumas;
    const AjustesEnlace& a = c_.ajustes;

    // With ContaPlus out of reach every code goes to its creator (which
    // skips codes XSubCta already holds); otherwise only codes the company
    // lacks.
    auto asegurar = [&](const QString& codigo, auto crear) {
        if (conocidas.contains(codigo)) return;
        if (a.externa || !contaplus_.existe_cuenta(codigo)) crear();
        conocidas.insert(codigo);
    };

    // Day, month and two-digit year of FacFec.
    const QDate fecha = dma(vb::texto(fac.fecha));
    auto guardar_linea = [&](const LineaDiario& linea) {
        ImportesLinea importes;
        contaplus_.anadir(n_apunte, fecha, linea, &importes);
        sumas.debe += std::llround(importes.debe * 100);
        sumas.haber += std::llround(importes.haber * 100);
    };

    const QString ctac = vb::texto(fac.cuenta_cliente);
    const QString subcuenta_cliente = vb::Left(ctac, 4) + vb::Right(ctac, qMax(0, a.digitos - 4));

    asegurar(subcuenta_cliente, [&] { CREAR_CLIENTE_CONTAPLUS(fac, subcuenta_cliente); });
    guardar_linea(MOVER_DATOS_CLIENTE_CONTAPLUS(fac, subcuenta_cliente));

    const double tasa = vb::numero(fac.tasa);
    if (tasa != 0) {
        asegurar(a.cuenta_tasa, [&] { CREAR_CUENTA_TASA(); });
        guardar_linea(MOVER_DATOS_TASA_CONTAPLUS(fac));
    }

    const QString emp = vb::texto(fac.empresa);
    const QString eje = vb::texto(fac.ejercicio);
    const QString fra = vb::texto(fac.numero);
    if (a.separar_ventas) generar_fal(fac, eje, fra);

    // Every sales and VAT amount is known before the sales lines are
    // written, so the rounding can be settled on one of them.
    QVector<LineaVentas> ventas;
    rs_fal_.cerrar();
    rs_fal_.abrir(QStringLiteral("SELECT Sum(FalImp) AS FalSuma, FalCta FROM fal WHERE FalEmp = ? AND "
                                 "FalEje = ? AND FalFra = ? GROUP BY FalCta"),
                  c_.conexiones.conexion_enlace, Cursor::Dinamico, Bloqueo::SoloLectura, {emp, eje, fra});
    if (rs_fal_.eof()) {
        ventas.append({a_digitos(a, a.cuenta_ventas), vb::numero(fac.bases[0]) + vb::numero(fac.bases[1]) +
                                                          vb::numero(fac.bases[2]) + vb::numero(fac.bases[3])});
    } else {
        for (; !rs_fal_.eof(); rs_fal_.siguiente())
            ventas.append({a_digitos(a, vb::texto(rs_fal_.campo(QStringLiteral("FalCta")))),
                           vb::numero(rs_fal_.campo(QStringLiteral("FalSuma")))});
    }
    rs_fal_.cerrar();
    QVector<double> cuotas;
    for (int d = 0; d < 4; ++d)
        if (vb::numero(fac.tipos[d]) != 0) cuotas.append(vb::numero(fac.cuotas[d]));
    cuadrar_redondeo(ventas, fac.total, tasa, cuotas);

    for (const LineaVentas& v : std::as_const(ventas)) {
        asegurar(v.subcuenta, [&] { CREAR_VENTAS_CONTAPLUS2(v.subcuenta); });
        guardar_linea(MOVER_DATOS_VENTAS_CONTAPLUS2(fac, v.subcuenta, v.importe));
    }

    const QString ivar = vb::texto(fac.cuenta_iva);
    for (int d = 1; d <= 4; ++d) {
        const double tipo = vb::numero(fac.tipos[d - 1]);
        if (tipo == 0) continue;
        const QString subcuenta =
            a_digitos(a, vb::Left(ivar, qMax(0, a.digitos - 2)) + vb::Format(tipo, QStringLiteral("00")));
        asegurar(subcuenta, [&] { CREAR_IVA_CONTAPLUS(subcuenta, tipo); });
        double base_imponible = vb::numero(fac.bases[d - 1]);
        if (d == 2) base_imponible += tasa;
        const double cuota_iva = vb::numero(fac.cuotas[d - 1]);
        guardar_linea(MOVER_DATOS_IVA_CONTAPLUS(fac, subcuenta, cuota_iva, base_imponible, tipo));
    }
    return sumas;
}

int Contabilizacion::contabilizar()
{
    QString& tarea = c_.tarea;
    tarea = QStringLiteral("la lectura del diario");
    contaplus_.rs_diario.cerrar();

    qint32 n_apunte = c_.ajustes.externa ? 0 : contaplus_.ultimo_asiento();
    int descuadradas = 0;

    tarea = QStringLiteral("la lectura de las facturas preparadas");
    rs_fac_.cerrar();
    rs_fac_.abrir(QStringLiteral("SELECT * FROM fac WHERE FacEst = '0' ORDER BY FacFec, FacFra"),
                  c_.conexiones.conexion_enlace, Cursor::Dinamico, Bloqueo::Optimista);
    const QString fase = QStringLiteral("Asientos de facturas");
    const qint64 total = rs_fac_.recuento();
    qint64 hecho = 0;
    Conocidas conocidas;
    c_.progreso.progreso(fase, 0, total);
    while (!rs_fac_.eof()) {
        n_apunte += 1;
        const QVariant fra = rs_fac_.campo(QStringLiteral("FacFra"));
        tarea = QStringLiteral("el asiento de la factura ") + (vb::esNulo(fra) ? QString() : vb::texto(fra));
        conocidas.de_la_unidad.clear();
        const Sumas sumas = asentar_factura(FacturaPreparada::leer(rs_fac_), conocidas, n_apunte);
        if (sumas.descuadradas()) {
            // Nothing of it stays, and its number goes to the next one; it
            // stays staged, so every run tries it again until it balances.
            contaplus_.cerrar_cursores();
            durabilidad_.descartar_unidad();
            conocidas.olvidar_unidad();  // codes its unit added are gone from XSubCta
            n_apunte -= 1;
            ++descuadradas;
            const double debe = double(sumas.debe) / 100, haber = double(sumas.haber) / 100;
            c_.resumen.facturas_descuadradas.append({vb::esNulo(fra) ? QString() : vb::texto(fra), debe, haber});
            c_.log.linea(QStringLiteral("Factura ") + (vb::esNulo(fra) ? QString() : vb::texto(fra)) +
                         QStringLiteral(" no traspasada: su asiento no cuadra, Debe ") + vb::CStr(debe) +
                         QStringLiteral(" y Haber ") + vb::CStr(haber) +
                         QStringLiteral(". Corríjala en el programa de Hotel."));
        } else {
            rs_fac_.asignar(QStringLiteral("FacEst"), QStringLiteral("1"));
            rs_fac_.guardar();
        }
        rs_fac_.siguiente();
        c_.progreso.progreso(fase, ++hecho, total);
        // The entry and its mark reach the disk with their group.
        durabilidad_.unidad();
    }
    rs_fac_.cerrar();
    return descuadradas;
}
