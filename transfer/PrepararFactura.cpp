// Staging of a hotel invoice in the link database: its fac row, copied from
// emi once, and its sales lines in fal, rebuilt from the services charged on
// it each time the invoice is posted with sales split by service.
#include "transfer/Contabilizar.h"
#include "transfer/PasoFacturas.h"

#include "platform/valores/Vb.h"
#include "startup/RutinasComunes.h"
#include "transfer/ColumnasFac.h"

#include <cmath>

namespace {

// An amount rounded to cents the way the journal shows it.
double centimos(double importe)
{
    return vb::numero(vb::Format(importe, "0.00"));
}

bool mismo_importe(const QVariant& a, const QVariant& b)
{
    if (vb::esNulo(a) || vb::esNulo(b)) return vb::esNulo(a) && vb::esNulo(b);
    return vb::numero(a) == vb::numero(b);
}

// Whether the staged amounts make an entry that balances: the total against
// the tax, the bases and the VAT of the slots with a rate. A Null does not
// (the posting could not read it).
bool cuadra(Recordset& fac)
{
    const auto importe = [&](const QString& c, double& v) {
        const QVariant x = fac.campo(c);
        if (vb::esNulo(x)) return false;
        v = vb::numero(x);
        return true;
    };
    double total = 0, haber = 0, v = 0;
    if (!importe(QStringLiteral("FacTotal"), total) || !importe(QStringLiteral("ImporteTasa"), haber)) return false;
    for (int d = 0; d < 4; ++d) {
        double tipo = 0;
        if (!importe(FAC_BASES[d], v) || !importe(FAC_TIPOS[d], tipo)) return false;
        haber += v;
        if (tipo != 0) {
            if (!importe(FAC_CUOTAS[d], v)) return false;
            haber += v;
        }
    }
    return std::abs(total - haber) <= 0.005 + 1e-9;
}

}  // namespace

bool cuadra_preparada(Recordset& fac)
{
    return cuadra(fac);
}

bool refrescar_importes(Recordset& fac, const FacturaHotel& factura)
{
    bool cambiado = false;
    for (int i = 0; i < N_IMPORTES_FACTURA; ++i) {
        const QVariant& nuevo = factura.importes[i];
        if (!mismo_importe(fac.campo(IMPORTES_FACTURA[i].fac), nuevo)) {
            fac.asignar(IMPORTES_FACTURA[i].fac, nuevo);
            cambiado = true;
        }
    }
    return cambiado;
}

QString crear_fac(Recordset& fac, const FacturaHotel& factura, const QString& numero, const AjustesEnlace& ajustes,
                  CuentasCliente& cuentas)
{
    fac.nuevo();
    const QString fecha = vb::texto(factura.fecha);
    fac.asignar(QStringLiteral("FacEmp"), ajustes.empresa);
    fac.asignar(QStringLiteral("FacEje"), vb::Left(fecha, 4));
    fac.asignar(QStringLiteral("FacFec"), fecha);
    fac.asignar(QStringLiteral("FacFra"), numero);
    fac.asignar(QStringLiteral("FacCli"), vb::Trim(vb::texto(factura.cliente.codigo)));

    for (int i = 0; i < N_IMPORTES_FACTURA; ++i) fac.asignar(IMPORTES_FACTURA[i].fac, factura.importes[i]);

    fac.asignar(QStringLiteral("FacIvar"), ajustes.cuenta_iva);
    fac.asignar(QStringLiteral("FacDia"), ajustes.diario);
    fac.asignar(QStringLiteral("FacCliN"), factura.nombre);

    // Tax number without separators, at most the 9 characters ContaPlus keeps.
    const QVariant& nif = factura.nif;
    QString nif_limpio = QStringLiteral("0");
    if (!vb::esNulo(nif)) {
        nif_limpio = vb::texto(nif);
        limpiar_nif(nif_limpio);
        if (nif_limpio.length() > 9) nif_limpio = vb::Left(nif_limpio, 9);
    }
    fac.asignar(QStringLiteral("FacNifC"), nif_limpio);

    const QString cuenta_cliente = a_digitos(ajustes, cuentas.cuenta_cliente3(factura.cliente));
    fac.asignar(QStringLiteral("FacCtaC"), cuenta_cliente);

    fac.asignar(QStringLiteral("FacEst"), QStringLiteral("0"));
    fac.guardar();
    return cuenta_cliente;
}

void Contabilizacion::generar_fal(const FacturaPreparada& factura, const QString& w_eje, const QString& w_numero)
{
    ConexionesHotel& h = c_.conexiones;
    // The lines are rebuilt, not added to: an invoice whose posting failed
    // after its lines were made would otherwise count its sales twice.
    const QVariant& empresa_factura = factura.empresa;
    h.conexion_enlace.ejecutar("DELETE FROM fal WHERE FalEmp = ? AND FalEje = ? AND FalFra = ?",
                               {empresa_factura, w_eje, w_numero});

    Recordset& emi = rs_emi_;
    emi.cerrar();
    emi.abrir("SELECT * FROM emi WHERE EmiAno = ? AND EmiNum = ?", h.hotel(h.conexion_emi), Cursor::Dinamico,
              Bloqueo::SoloLectura, {w_eje, w_numero});
    if (emi.eof()) return;

    Recordset& servicios = rs_hiscadia_;
    servicios.cerrar();
    servicios.abrir("SELECT * FROM Hiscadia WHERE HCadiaFra = ? AND HCadiaFraAno = ?", h.hotel(h.conexion_hiscadia),
                    Cursor::Dinamico, Bloqueo::SoloLectura, {w_numero, w_eje});
    if (servicios.eof()) return;

    qint32 orden = 0;
    double total = 0;
    Recordset& fal = rs_fal_;
    fal.cerrar();
    fal.abrir("SELECT * FROM fal", h.conexion_enlace, Cursor::Dinamico, Bloqueo::Optimista);

    auto nueva_linea = [&](const QString& cuenta, double importe) {
        fal.nuevo();
        fal.asignar(QStringLiteral("FalEmp"), empresa_factura);
        fal.asignar(QStringLiteral("FalEje"), w_eje);
        fal.asignar(QStringLiteral("Falorden"), orden);
        fal.asignar(QStringLiteral("FalFra"), w_numero);
        fal.asignar(QStringLiteral("FalCta"), cuenta);
        fal.asignar(QStringLiteral("FalImp"), importe);
        fal.guardar();
    };

    for (; !servicios.eof(); servicios.siguiente()) {
        ++orden;
        QString cuenta = vb::texto(servicios.campo(QStringLiteral("HCadiaCta")));
        if (cuenta.length() > c_.ajustes.digitos) cuenta = vb::Left(cuenta, c_.ajustes.digitos);
        const double importe = centimos(vb::numero(servicios.campo(QStringLiteral("HCadiaCan"))) *
                                        vb::numero(servicios.campo(QStringLiteral("HCadiaPre"))));
        // "+" is a charge; any other sign, an empty or Null one included, a credit.
        const double firmado = vb::igual(servicios.campo(QStringLiteral("HCadiaCA")), "+") ? importe : 0.0 - importe;
        total += firmado;
        nueva_linea(cuenta, firmado);
    }

    // What the services do not explain, rounding included, goes to the
    // default sales account, so the lines add up to the invoice's bases.
    double bases = 0;
    for (const QVariant& b : factura.bases) bases += vb::numero(b);
    const double diferencia = centimos(centimos(bases) - total);
    if (diferencia != 0) {
        ++orden;
        nueva_linea(cuenta_ventas_defecto_, diferencia);
    }
}
