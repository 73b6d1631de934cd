// The invoice pass: forced closings, staging and each invoice's deposit.
#include "transfer/PasoFacturas.h"

#include "platform/sistema/Fallo.h"
#include "platform/valores/Vb.h"
#include "startup/RutinasComunes.h"
#include "transfer/FacturasDeCobros.h"
#include "transfer/ImportesHotel.h"
#include "transfer/Textos.h"

#include <QRegularExpression>
#include <QSet>
#include <utility>

PasoFacturas::PasoFacturas(ContextoPaso& c, CuentasCliente& cuentas, Durabilidad& durabilidad, const QString& desde,
                           const QString& hasta)
    : c_(c), cuentas_(cuentas), durabilidad_(durabilidad), desde_(desde), hasta_(hasta)
{
}

bool PasoFacturas::seleccionar()
{
    ConexionesHotel& h = c_.conexiones;
    c_.tarea = QStringLiteral("la lectura de las facturas");
    rs_emi_.cerrar();
    rs_emi_.abrir(h.modo_sql ? QStringLiteral("SELECT * FROM emi WHERE EmiAno = ? AND EmiFec Between ? AND ? "
                                              "AND EmiNum NOT LIKE  'F%' ORDER BY EmiFec, EmiNum")
                             : QStringLiteral("SELECT * FROM emi WHERE EmiAno = ? AND EmiFec Between ? AND ? "
                                              "AND EmiN <>  'B' ORDER BY EmiFec, val(EmiNum)"),
                  h.hotel(h.conexion_emi), Cursor::Dinamico, Bloqueo::Optimista, {vb::Left(desde_, 4), desde_, hasta_});
    if (!rs_emi_.eof()) return true;
    rs_emi_.cerrar();
    return false;
}

// Forced closings, staging, and the deposit each staged invoice carries.
void PasoFacturas::pasar_facturas()
{
    ConexionesHotel& h = c_.conexiones;
    const AjustesEnlace& a = c_.ajustes;
    Durabilidad& d = durabilidad_;
    c_.log.linea(QStringLiteral("* Traspasando las facturas *************************************"));
    c_.log.linea(QString(80, QLatin1Char(' ')));

    const QString fase = QStringLiteral("Facturas");
    const qint64 total = rs_emi_.recuento();
    qint64 hecho = 0;
    c_.progreso.progreso(fase, 0, total);

    // Whether an open invoice still has a bill, read for a day's open
    // invoices together: two IN lists per statement instead of one lookup
    // per invoice. Only what the lookup would surely answer the same is
    // taken from it: a bill whose number is the invoice's exact text; no
    // bill for a number of digits none of whose bills' numbers is it with
    // case and trailing blanks aside (no collation matches digits
    // otherwise). Any other number is looked up alone.
    QSet<QString> con_cuenta, sin_cuenta;
    QString dia_de_cuentas;
    bool cuentas_leidas = false;
    auto leer_cuentas = [&](const QString& dia) {
        con_cuenta.clear();
        sin_cuenta.clear();
        QStringList abiertas;
        const qint64 aqui = rs_emi_.posicion();
        for (; !rs_emi_.eof(); rs_emi_.siguiente()) {
            if (texto_o_vacio(rs_emi_.campo(QStringLiteral("EmiFec"))) != dia) break;
            const QVariant n = rs_emi_.campo(QStringLiteral("EmiNum"));
            if (!vb::esNulo(n) && vb::igual(rs_emi_.campo(QStringLiteral("EmiCie")), QStringLiteral("0")))
                abiertas << vb::texto(n);
        }
        rs_emi_.ir_a(aqui);
        abiertas.removeDuplicates();
        auto suelto = [](QString t) {
            while (t.endsWith(QLatin1Char(' '))) t.chop(1);
            return t.toLower();
        };
        for (qsizetype desde = 0; desde < abiertas.size(); desde += 128) {
            const int n = int(std::min<qsizetype>(128, abiertas.size() - desde));
            const int largo = largo_de_lista(n);
            const QVariantList lista = valores_de_lista(abiertas, desde, n, largo);
            Recordset rs;
            rs.abrir(QStringLiteral("SELECT CabNum1, CabNum2 FROM cab WHERE CabNum1 IN (%1) OR CabNum2 IN (%1)")
                         .arg(lista_de_parametros(largo)),
                     h.hotel(h.conexion_cab), Cursor::Dinamico, Bloqueo::SoloLectura, lista + lista);
            QSet<QString> exactos, sueltos;
            for (; !rs.eof(); rs.siguiente())
                for (const char* c : {"CabNum1", "CabNum2"}) {
                    const QVariant v = rs.campo(QLatin1String(c));
                    if (vb::esNulo(v)) continue;
                    exactos.insert(vb::texto(v));
                    sueltos.insert(suelto(vb::texto(v)));
                }
            for (int i = 0; i < n; ++i) {
                const QString& x = abiertas[desde + i];
                static const QRegularExpression cifras(QStringLiteral("^[0-9]+$"));
                if (exactos.contains(x))
                    con_cuenta.insert(x);
                else if (!sueltos.contains(suelto(x)) && cifras.match(x).hasMatch())
                    sin_cuenta.insert(x);
            }
        }
        dia_de_cuentas = dia;
        cuentas_leidas = true;
    };

    while (!rs_emi_.eof()) {
        const FacturaHotel factura = FacturaHotel::leer(rs_emi_);
        const QString emifec = factura.fecha_o_vacia();
        if (vb::esNulo(factura.numero)) {
            c_.log.linea(QStringLiteral("Factura sin número del dia ") + emifec +
                         QStringLiteral(": no se traspasa. Revísela en el programa de Hotel."));
            rs_emi_.siguiente();
            c_.progreso.progreso(fase, ++hecho, total);
            d.unidad();
            continue;
        }
        const QString numero = factura.numero_texto();
        c_.tarea = QStringLiteral("la factura ") + numero;

        // An invoice with no bill left is closed here, but only once it is
        // known to be stageable: one that stops the run stays as it was.
        bool forzar = false;
        if (factura.abierta()) {
            if (!cuentas_leidas || dia_de_cuentas != texto_o_vacio(factura.fecha))
                leer_cuentas(texto_o_vacio(factura.fecha));
        }
        if (factura.abierta() && (con_cuenta.contains(numero) || sin_cuenta.contains(numero))) {
            forzar = sin_cuenta.contains(numero);
        } else if (factura.abierta()) {
            rs_cab_.cerrar();
            rs_cab_.abrir(QStringLiteral("SELECT * FROM cab WHERE CabNum1 = ? or CabNum2 = ?"), h.hotel(h.conexion_cab),
                          Cursor::Dinamico, Bloqueo::SoloLectura, {numero, numero});
            forzar = rs_cab_.eof();
            rs_cab_.cerrar();
        }

        if (forzar || factura.cerrada()) {
            // Looked up under the year crear_fac files it under, the year of
            // its date. That is the start year for every invoice dated in
            // it; an invoice of the start year dated in the next one is thus
            // found again instead of staged (and posted) on every run.
            const QString eje = vb::Left(emifec, 4);
            rs_fac_.cerrar();
            rs_fac_.abrir(QStringLiteral("SELECT * FROM fac WHERE FacEje = ? AND FacFra = ?"), h.conexion_enlace,
                          Cursor::Dinamico, Bloqueo::Optimista, {eje, numero});
            const bool nueva = rs_fac_.eof();
            const bool pendiente = !nueva && vb::igual(rs_fac_.campo(QStringLiteral("FacEst")), QStringLiteral("0"));
            // One that would be posted in this run is refused before it is
            // staged or its staged copy retaken; nothing of it is closed.
            if (nueva || pendiente)
                if (const std::optional<Fallo> rechazo = importe_rechazado(rs_emi_)) throw *rechazo;
            if (forzar) {
                rs_emi_.asignar(QStringLiteral("EmiCie"), QStringLiteral("1"));
                c_.log.linea(QStringLiteral("Forzando el Cierre de la Factura: ") + numero);
                c_.resumen.cierres_forzados << numero;
                rs_emi_.guardar();
            }
            if (nueva) {
                // fac and edep of one invoice commit together.
                const QString cuenta_cliente = crear_fac(rs_fac_, factura, numero, a, cuentas_);
                if (factura.con_deposito()) {
                    const QString cli = a.todos_pasantes ? a.cuenta_pasantes : cuenta_cliente;
                    rs_edep_.cerrar();
                    rs_edep_.abrir(QStringLiteral("SELECT * FROM edep"), h.conexion_enlace, Cursor::Dinamico,
                                   Bloqueo::Optimista);
                    rs_edep_.nuevo();
                    rs_edep_.asignar(QStringLiteral("EdepFec"), factura.fecha);
                    rs_edep_.asignar(QStringLiteral("EdepCli"), a_digitos(a, cli));
                    rs_edep_.asignar(QStringLiteral("EdepImp"), factura.deposito);
                    rs_edep_.asignar(QStringLiteral("EdepEstado"), QStringLiteral("0"));
                    rs_edep_.asignar(QStringLiteral("EdepFra"), factura.numero);
                    rs_edep_.guardar();
                    rs_edep_.cerrar();
                }
            } else if (pendiente) {
                // Staged and not posted (left out, or its posting failed):
                // what the hotel holds now is what is posted.
                const bool cuadraba = cuadra_preparada(rs_fac_);
                if (refrescar_importes(rs_fac_, factura)) {
                    rs_fac_.guardar();
                    c_.log.linea(QStringLiteral("La factura ") + numero +
                                 (cuadraba ? QStringLiteral(" no se contabilizó y ha cambiado en el programa de Hotel: "
                                                            "se toman de nuevo sus importes.")
                                           : QStringLiteral(" no cuadraba y ha cambiado en el programa de Hotel: se "
                                                            "toman de nuevo sus importes.")));
                }
            }
            rs_fac_.cerrar();
        }
        rs_emi_.siguiente();
        c_.progreso.progreso(fase, ++hecho, total);
        d.unidad();
    }
    d.cerrar_grupo();
    rs_emi_.cerrar();
}
