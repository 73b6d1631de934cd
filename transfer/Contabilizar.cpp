// Posting: every staged invoice not posted yet becomes one journal entry,
// then the day phases, then the final message.
#include "transfer/Traspaso.h"

#include "contaplus/FilaDiario.h"
#include "contaplus/LineasFactura.h"
#include "platform/valores/Vb.h"
#include "startup/RutinasComunes.h"
#include "transfer/ColumnasFac.h"

#include <QSet>
#include <cmath>

namespace {

// Codes this posting has already found in the company's SubCta or put in
// XSubCta: asking again could only find them there, so the same sales, VAT
// and tax accounts of every invoice cost two queries once, not per line.
// The codes one invoice's unit added are kept apart, to be forgotten when
// the unit is discarded (a copy of the whole set per invoice would grow with
// the run).
struct Conocidas {
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

// With ContaPlus out of reach every code goes to its creator (which skips
// codes XSubCta already holds); otherwise only codes the company lacks.
void asegurar(Traspaso& t, Conocidas& conocidas, const QString& codigo, void (Traspaso::*crear)())
{
    if (conocidas.contains(codigo)) return;
    if (t.m.externa || !t.existe_cuenta(codigo)) (t.*crear)();
    conocidas.insert(codigo);
}

double numero_fac(Recordset& rs, const QString& campo)
{
    return vb::numero(rs.campo(campo));
}

// A new invoice line carrying the entry's number and date.
void nueva_linea(Traspaso& t, double n_apunte, const QDate& fecha)
{
    t.asien_linea = n_apunte;
    t.fecha_linea = fecha;
    t.linea_pendiente = LineaDiario{};
}

// Sums of the lines an entry has written, in cents as the journal holds them.
struct Sumas {
    qint64 debe = 0, haber = 0;
    bool descuadradas() const { return debe != haber; }
};

void guardar_linea(Traspaso& t, Sumas& sumas)
{
    ImportesLinea importes;
    t.escritor_diario.anadir(t.conexion_diario, t.asien_linea, t.fecha_linea, t.linea_pendiente, &importes);
    sumas.debe += std::llround(importes.debe * 100);
    sumas.haber += std::llround(importes.haber * 100);
}

struct LineaVentas {
    QString subcuenta;
    double importe = 0;
};

// The cents lost or gained by rounding each line apart go to the largest
// sales line, when the amounts balance before rounding and the difference
// is no more than the lines' rounding can make (half a cent a line); any
// other difference leaves the entry unbalanced, to be left out.
void cuadrar_redondeo(QVector<LineaVentas>& ventas, const QVariant& total, double tasa,
                      const QVector<double>& cuotas)
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

Sumas asentar_factura(Traspaso& t, Conocidas& conocidas, double n_apunte)
{
    Sumas sumas;
    Module1& m = t.m;
    Recordset& fac = m.rs_fac;

    // Day, month and two-digit year of FacFec.
    const QDate fecha = dma(vb::texto(fac.campo(QStringLiteral("FacFec"))));

    const QString ctac = vb::texto(fac.campo(QStringLiteral("FacCtaC")));
    t.subcuenta_cliente = vb::Left(ctac, 4) + vb::Right(ctac, qMax(0, m.digitos - 4));

    asegurar(t, conocidas, t.subcuenta_cliente, &Traspaso::CREAR_CLIENTE_CONTAPLUS);
    nueva_linea(t, n_apunte, fecha);
    t.MOVER_DATOS_CLIENTE_CONTAPLUS();
    guardar_linea(t, sumas);

    const double tasa = numero_fac(fac, QStringLiteral("ImporteTasa"));
    if (tasa != 0) {
        asegurar(t, conocidas, m.cuenta_tasa, &Traspaso::CREAR_CUENTA_TASA);
        nueva_linea(t, n_apunte, fecha);
        t.MOVER_DATOS_TASA_CONTAPLUS();
        guardar_linea(t, sumas);
    }

    const QString emp = vb::texto(fac.campo(QStringLiteral("FacEmp")));
    const QString eje = vb::texto(fac.campo(QStringLiteral("FacEje")));
    const QString fra = vb::texto(fac.campo(QStringLiteral("FacFra")));
    if (m.separar_ventas) t.generar_fal(eje, fra);

    // Every sales and VAT amount is known before the sales lines are
    // written, so the rounding can be settled on one of them.
    QVector<LineaVentas> ventas;
    m.rs_fal.cerrar();
    m.rs_fal.abrir(QStringLiteral("SELECT Sum(FalImp) AS FalSuma, FalCta FROM fal WHERE FalEmp = ? AND "
                                  "FalEje = ? AND FalFra = ? GROUP BY FalCta"),
                   m.conexion_enlace, Cursor::Dinamico, Bloqueo::SoloLectura, {emp, eje, fra});
    if (m.rs_fal.eof()) {
        ventas.append({t.a_digitos(m.cuenta_ventas), numero_fac(fac, FAC_BASES[0]) + numero_fac(fac, FAC_BASES[1]) +
                                                         numero_fac(fac, FAC_BASES[2]) + numero_fac(fac, FAC_BASES[3])});
    } else {
        for (; !m.rs_fal.eof(); m.rs_fal.siguiente())
            ventas.append({t.a_digitos(vb::texto(m.rs_fal.campo(QStringLiteral("FalCta")))),
                           vb::numero(m.rs_fal.campo(QStringLiteral("FalSuma")))});
    }
    m.rs_fal.cerrar();
    QVector<double> cuotas;
    for (int d = 0; d < 4; ++d)
        if (numero_fac(fac, FAC_TIPOS[d]) != 0) cuotas.append(numero_fac(fac, FAC_CUOTAS[d]));
    cuadrar_redondeo(ventas, fac.campo(QStringLiteral("FacTotal")), tasa, cuotas);

    for (const LineaVentas& v : std::as_const(ventas)) {
        t.subcuenta = v.subcuenta;
        asegurar(t, conocidas, t.subcuenta, &Traspaso::CREAR_VENTAS_CONTAPLUS2);
        t.importe_ventas = v.importe;
        nueva_linea(t, n_apunte, fecha);
        t.MOVER_DATOS_VENTAS_CONTAPLUS2();
        guardar_linea(t, sumas);
    }

    const QString ivar = vb::texto(fac.campo(QStringLiteral("FacIvar")));
    for (int d = 1; d <= 4; ++d) {
        const double tipo = numero_fac(fac, FAC_TIPOS[d - 1]);
        if (tipo == 0) continue;
        t.porcentaje_iva = tipo;
        nueva_linea(t, n_apunte, fecha);
        t.subcuenta = t.a_digitos(vb::Left(ivar, qMax(0, m.digitos - 2)) + vb::Format(tipo, QStringLiteral("00")));
        asegurar(t, conocidas, t.subcuenta, &Traspaso::CREAR_IVA_CONTAPLUS);
        t.base_imponible = numero_fac(fac, FAC_BASES[d - 1]);
        if (d == 2) t.base_imponible += tasa;
        t.cuota_iva = numero_fac(fac, FAC_CUOTAS[d - 1]);
        t.MOVER_DATOS_IVA_CONTAPLUS();
        guardar_linea(t, sumas);
    }
    return sumas;
}

}  // namespace

void Traspaso::contabilizar()
{
    tarea = QStringLiteral("la lectura del diario");
    rs_diario.cerrar();

    double n_apunte = m.externa ? 0 : ultimo_asiento();

    tarea = QStringLiteral("la lectura de las facturas preparadas");
    m.rs_fac.cerrar();
    m.rs_fac.abrir(QStringLiteral("SELECT * FROM fac WHERE FacEst = '0' ORDER BY FacFec, FacFra"), m.conexion_enlace,
                   Cursor::Dinamico, Bloqueo::Optimista);
    const QString fase = QStringLiteral("Asientos de facturas");
    const qint64 total = m.rs_fac.recuento();
    qint64 hecho = 0;
    Conocidas conocidas;
    vista.progreso(fase, 0, total);
    while (!m.rs_fac.eof()) {
        n_apunte += 1;
        const QVariant fra = m.rs_fac.campo(QStringLiteral("FacFra"));
        tarea = QStringLiteral("el asiento de la factura ") + (vb::esNulo(fra) ? QString() : vb::texto(fra));
        conocidas.de_la_unidad.clear();
        const Sumas sumas = asentar_factura(*this, conocidas, n_apunte);
        if (sumas.descuadradas()) {
            // Nothing of it stays, and its number goes to the next one; it
            // stays staged, so every run tries it again until it balances.
            rs_diario.cerrar();
            rs_subcuentas.cerrar();
            durabilidad->descartar_unidad();
            conocidas.olvidar_unidad();     // codes its unit added are gone from XSubCta
            n_apunte -= 1;
            ++facturas_descuadradas;
            const double debe = double(sumas.debe) / 100, haber = double(sumas.haber) / 100;
            resumen.facturas_descuadradas.append({vb::esNulo(fra) ? QString() : vb::texto(fra), debe, haber});
            log.linea(QStringLiteral("Factura ") + (vb::esNulo(fra) ? QString() : vb::texto(fra)) +
                      QStringLiteral(" no traspasada: su asiento no cuadra, Debe ") + vb::CStr(debe) +
                      QStringLiteral(" y Haber ") + vb::CStr(haber) +
                      QStringLiteral(". Corríjala en el programa de Hotel."));
        } else {
            m.rs_fac.asignar(QStringLiteral("FacEst"), QStringLiteral("1"));
            m.rs_fac.guardar();
        }
        m.rs_fac.siguiente();
        vista.progreso(fase, ++hecho, total);
        // The entry and its mark reach the disk with their group.
        durabilidad->unidad();
    }
    m.rs_fac.cerrar();

    fase_depositos(n_apunte);
    fase_caja(n_apunte);

    // Everything on disk before the clerk is told it is done.
    tarea = QStringLiteral("el cierre del traspaso");
    rs_diario.cerrar();
    durabilidad->terminar();
    durabilidad.reset();

    m.interlocutor.mensaje(QStringLiteral("El proceso se ha realizado correctamente. "),
                           QStringLiteral("Traspaso a CONTAPLUS"), Icono::Informacion);
    avisar_pendientes();
    log.cerrar();
    vista.puntero_espera(false);
    vista.vaciar_fechas();
}
