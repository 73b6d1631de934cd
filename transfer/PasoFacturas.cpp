// The invoice pass: forced closings, staging and each invoice's deposit.
#include "transfer/Traspaso.h"

#include "platform/sistema/Fallo.h"
#include "platform/valores/Vb.h"
#include "startup/RutinasComunes.h"
#include "transfer/ImportesHotel.h"
#include "transfer/PasosTraspaso.h"
#include "transfer/Textos.h"

#include <QSet>
#include <utility>

// Invoice pass over the selected invoices: forced closings, staging, and
// the deposit each staged invoice carries.
void pasar_facturas(Traspaso& t)
{
    Module1& m = t.m;
    Durabilidad& d = *t.durabilidad;
    t.log.linea(QStringLiteral("* Traspasando las facturas *************************************"));
    t.log.linea(QString(80, QLatin1Char(' ')));

    const QString fase = QStringLiteral("Facturas");
    const qint64 total = m.rs_emi.recuento();
    qint64 hecho = 0;
    t.vista.progreso(fase, 0, total);

    while (!m.rs_emi.eof()) {
        const QVariant num = m.rs_emi.campo(QStringLiteral("EmiNum"));
        const QString emifec = texto_o_vacio(m.rs_emi.campo(QStringLiteral("EmiFec")));
        if (vb::esNulo(num)) {
            t.log.linea(QStringLiteral("Factura sin número del dia ") + emifec +
                        QStringLiteral(": no se traspasa. Revísela en el programa de Hotel."));
            m.rs_emi.siguiente();
            t.vista.progreso(fase, ++hecho, total);
            d.unidad();
            continue;
        }
        t.numero_factura = vb::texto(num);
        t.tarea = QStringLiteral("la factura ") + t.numero_factura;

        // An invoice with no bill left is closed here, but only once it is
        // known to be stageable: one that stops the run stays as it was.
        bool forzar = false;
        if (vb::igual(m.rs_emi.campo(QStringLiteral("EmiCie")), QStringLiteral("0"))) {
            m.rs_cab.cerrar();
            m.rs_cab.abrir(QStringLiteral("SELECT * FROM cab WHERE CabNum1 = ? or CabNum2 = ?"),
                           m.hotel(m.conexion_cab), Cursor::Dinamico, Bloqueo::SoloLectura,
                           {t.numero_factura, t.numero_factura});
            forzar = m.rs_cab.eof();
            m.rs_cab.cerrar();
        }

        if (forzar || vb::igual(m.rs_emi.campo(QStringLiteral("EmiCie")), QStringLiteral("1"))) {
            // Looked up under the year crear_fac files it under, the year of
            // its date. That is the start year for every invoice dated in
            // it; an invoice of the start year dated in the next one is thus
            // found again instead of staged (and posted) on every run.
            const QString eje = vb::Left(emifec, 4);
            m.rs_fac.cerrar();
            m.rs_fac.abrir(QStringLiteral("SELECT * FROM fac WHERE FacEje = ? AND FacFra = ?"), m.conexion_enlace,
                           Cursor::Dinamico, Bloqueo::Optimista, {eje, t.numero_factura});
            const bool nueva = m.rs_fac.eof();
            const bool pendiente = !nueva && vb::igual(m.rs_fac.campo(QStringLiteral("FacEst")), QStringLiteral("0"));
            // One that would be posted in this run is refused before it is
            // staged or its staged copy retaken; nothing of it is closed.
            if (nueva || pendiente)
                if (const std::optional<Fallo> rechazo = importe_rechazado(m.rs_emi)) throw *rechazo;
            if (forzar) {
                m.rs_emi.asignar(QStringLiteral("EmiCie"), QStringLiteral("1"));
                t.log.linea(QStringLiteral("Forzando el Cierre de la Factura: ") + t.numero_factura);
                t.resumen.cierres_forzados << t.numero_factura;
                m.rs_emi.guardar();
            }
            if (nueva) {
                // fac and edep of one invoice commit together.
                t.crear_fac();
                const QVariant dep = m.rs_emi.campo(QStringLiteral("EmiDep"));
                if (!vb::esNulo(dep) && vb::numero(dep) != 0) {
                    const QString cli = m.todos_pasantes ? m.cuenta_pasantes : t.cuenta_cliente;
                    m.rs_edep.cerrar();
                    m.rs_edep.abrir(QStringLiteral("SELECT * FROM edep"), m.conexion_enlace, Cursor::Dinamico,
                                    Bloqueo::Optimista);
                    m.rs_edep.nuevo();
                    m.rs_edep.asignar(QStringLiteral("EdepFec"), m.rs_emi.campo(QStringLiteral("EmiFec")));
                    m.rs_edep.asignar(QStringLiteral("EdepCli"), t.a_digitos(cli));
                    m.rs_edep.asignar(QStringLiteral("EdepImp"), dep);
                    m.rs_edep.asignar(QStringLiteral("EdepEstado"), QStringLiteral("0"));
                    m.rs_edep.asignar(QStringLiteral("EdepFra"), num);
                    m.rs_edep.guardar();
                    m.rs_edep.cerrar();
                }
            } else if (pendiente) {
                // Staged and not posted (left out, or its posting failed):
                // what the hotel holds now is what is posted.
                const bool cuadraba = t.cuadra_preparada();
                if (t.refrescar_importes()) {
                    m.rs_fac.guardar();
                    t.log.linea(QStringLiteral("La factura ") + t.numero_factura +
                                (cuadraba ? QStringLiteral(" no se contabilizó y ha cambiado en el programa de Hotel: "
                                                           "se toman de nuevo sus importes.")
                                          : QStringLiteral(" no cuadraba y ha cambiado en el programa de Hotel: se "
                                                           "toman de nuevo sus importes.")));
                }
            }
            m.rs_fac.cerrar();
        }
        m.rs_emi.siguiente();
        t.vista.progreso(fase, ++hecho, total);
        d.unidad();
    }
    d.cerrar_grupo();
}
