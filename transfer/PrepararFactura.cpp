// Staging of a hotel invoice in the link database: its fac row, copied from
// emi once, and its sales lines in fal, rebuilt from the services charged on
// it each time the invoice is posted with sales split by service.
#include "transfer/Traspaso.h"

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

// The amounts of a staged invoice and the emi columns they are copied from.
// Names as texts made once: a recordset finds a name it was given before
// by the text's address.
struct Importe {
    QString fac;
    QString emi;
};
const Importe IMPORTES[] = {
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

bool mismo_importe(const QVariant& a, const QVariant& b)
{
    if (vb::esNulo(a) || vb::esNulo(b))
        return vb::esNulo(a) && vb::esNulo(b);
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

bool Traspaso::cuadra_preparada()
{
    return cuadra(m.rs_fac);
}

bool Traspaso::refrescar_importes()
{
    bool cambiado = false;
    for (const Importe& i : IMPORTES) {
        const QVariant nuevo = m.rs_emi.campo(i.emi);
        if (!mismo_importe(m.rs_fac.campo(i.fac), nuevo)) {
            m.rs_fac.asignar(i.fac, nuevo);
            cambiado = true;
        }
    }
    return cambiado;
}

void Traspaso::crear_fac()
{
    Recordset& emi = m.rs_emi;
    Recordset& fac = m.rs_fac;

    fac.nuevo();
    const QString fecha = vb::texto(emi.campo(QStringLiteral("EmiFec")));
    fac.asignar(QStringLiteral("FacEmp"), m.empresa);
    fac.asignar(QStringLiteral("FacEje"), vb::Left(fecha, 4));
    fac.asignar(QStringLiteral("FacFec"), fecha);
    fac.asignar(QStringLiteral("FacFra"), numero_factura);
    fac.asignar(QStringLiteral("FacCli"), vb::Trim(vb::texto(emi.campo(QStringLiteral("EmiCli")))));

    for (const Importe& i : IMPORTES)
        fac.asignar(i.fac, emi.campo(i.emi));

    fac.asignar(QStringLiteral("FacIvar"), m.cuenta_iva);
    fac.asignar(QStringLiteral("FacDia"), m.diario);
    fac.asignar(QStringLiteral("FacCliN"), emi.campo(QStringLiteral("EmiNom")));

    // Tax number without separators, at most the 9 characters ContaPlus keeps.
    const QVariant nif = emi.campo(QStringLiteral("EmiNif"));
    QString nif_limpio = QStringLiteral("0");
    if (!vb::esNulo(nif)) {
        nif_limpio = vb::texto(nif);
        limpiar_nif(nif_limpio);
        if (nif_limpio.length() > 9)
            nif_limpio = vb::Left(nif_limpio, 9);
    }
    fac.asignar(QStringLiteral("FacNifC"), nif_limpio);

    cuenta_cliente = a_digitos(cuenta_cliente3());
    fac.asignar(QStringLiteral("FacCtaC"), cuenta_cliente);

    fac.asignar(QStringLiteral("FacEst"), QStringLiteral("0"));
    fac.guardar();
}

void Traspaso::generar_fal(const QString& w_eje, const QString& w_numero)
{
    // The lines are rebuilt, not added to: an invoice whose posting failed
    // after its lines were made would otherwise count its sales twice.
    const QVariant empresa_factura = m.rs_fac.campo(QStringLiteral("FacEmp"));
    m.conexion_enlace.ejecutar("DELETE FROM fal WHERE FalEmp = ? AND FalEje = ? AND FalFra = ?",
                               {empresa_factura, w_eje, w_numero});

    Recordset& emi = m.rs_emi;
    emi.cerrar();
    emi.abrir("SELECT * FROM emi WHERE EmiAno = ? AND EmiNum = ?", m.hotel(m.conexion_emi),
              Cursor::Dinamico, Bloqueo::SoloLectura, {w_eje, w_numero});
    if (emi.eof())
        return;

    Recordset& servicios = m.rs_hiscadia;
    servicios.cerrar();
    servicios.abrir("SELECT * FROM Hiscadia WHERE HCadiaFra = ? AND HCadiaFraAno = ?",
                    m.hotel(m.conexion_hiscadia), Cursor::Dinamico, Bloqueo::SoloLectura,
                    {w_numero, w_eje});
    if (servicios.eof())
        return;

    qint32 orden = 0;
    double total = 0;
    Recordset& fal = m.rs_fal;
    fal.cerrar();
    fal.abrir("SELECT * FROM fal", m.conexion_enlace, Cursor::Dinamico, Bloqueo::Optimista);

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
        if (cuenta.length() > m.digitos)
            cuenta = vb::Left(cuenta, m.digitos);
        const double importe = centimos(vb::numero(servicios.campo(QStringLiteral("HCadiaCan")))
                                        * vb::numero(servicios.campo(QStringLiteral("HCadiaPre"))));
        // "+" is a charge; any other sign, an empty or Null one included, a credit.
        const double firmado = vb::igual(servicios.campo(QStringLiteral("HCadiaCA")), "+") ? importe : 0.0 - importe;
        total += firmado;
        nueva_linea(cuenta, firmado);
    }

    // What the services do not explain, rounding included, goes to the
    // default sales account, so the lines add up to the invoice's bases.
    double bases = 0;
    for (const QString& n : FAC_BASES)
        bases += vb::numero(m.rs_fac.campo(n));
    const double diferencia = centimos(centimos(bases) - total);
    if (diferencia != 0) {
        ++orden;
        nueva_linea(cuenta_ventas_defecto, diferencia);
    }
}
