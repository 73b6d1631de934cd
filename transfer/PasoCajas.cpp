// The cash pass and the receipts it leaves for the clerk.
#include "transfer/Traspaso.h"

#include "platform/sistema/Fallo.h"
#include "platform/valores/Vb.h"
#include "startup/RutinasComunes.h"
#include "transfer/ImportesHotel.h"
#include "transfer/PasosTraspaso.h"
#include "transfer/Textos.h"

#include <QSet>
#include <utility>

namespace {

// Key of a receipt in caja and cajj: its day and order.
QString clave_caja(const QVariant& fecha, const QVariant& orden)
{
    return texto_o_vacio(fecha) + QLatin1Char('|') +
           (vb::esNulo(orden) ? QString() : QString::number(qint64(vb::numero(orden))));
}

// A field's value as the text the statement compared it with when it was
// pasted between quotes; Null stays Null and matches nothing.
QVariant como_texto(const QVariant& v)
{
    return vb::esNulo(v) ? QVariant() : QVariant(vb::texto(v));
}

// A receipt whose invoice is not found is marked in caja like the others,
// so it is never offered again; until a run that ends normally has told the
// clerk, it waits in cobros_sin_factura. Its row commits with its group,
// before the mark, so no stop leaves it marked and untold.
const QString COBROS_SIN_FACTURA = QStringLiteral("cobros_sin_factura");

QString linea_cobro_sin_factura(const CobroSinFactura& c, const QString& ano, bool anterior)
{
    return QStringLiteral("Cobro no traspasado") +
           (anterior ? QStringLiteral(" en un traspaso anterior") : QString()) + QStringLiteral(", la factura ") +
           c.factura + QStringLiteral(" de ") + ano + QStringLiteral(" no existe: caja del dia ") + c.fecha +
           QStringLiteral(" orden ") + c.orden + QStringLiteral(" importe ") + vb::CStr(c.importe) +
           QStringLiteral(". Contabilícelo a mano.");
}

}  // namespace

// The receipts left by earlier runs: in the log and in this run's count,
// by their key (day and order).
QSet<QString> cobros_anteriores(Traspaso& t)
{
    Conexion& enlace = t.m.conexion_enlace;
    t.tarea = QStringLiteral("la lectura de los cobros sin factura");
    try {
        enlace.backend().columnas(COBROS_SIN_FACTURA);
    } catch (const Fallo& f) {
        if (f.numero() != codigo_error::TABLA_INEXISTENTE)
            throw;
        enlace.ejecutar(QStringLiteral("CREATE TABLE IF NOT EXISTS cobros_sin_factura (CsfFec TEXT, CsfOrd TEXT, "
                                       "CsfFra TEXT, CsfAnoF TEXT, CsfImp DOUBLE)"));
    }
    QSet<QString> claves;
    Recordset rs;
    rs.abrir(QStringLiteral("SELECT * FROM cobros_sin_factura ORDER BY CsfFec, CsfOrd"), enlace, Cursor::Dinamico,
             Bloqueo::SoloLectura);
    for (; !rs.eof(); rs.siguiente()) {
        const CobroSinFactura c{texto_o_vacio(rs.campo(QStringLiteral("CsfFec"))),
                                texto_o_vacio(rs.campo(QStringLiteral("CsfOrd"))),
                                texto_o_vacio(rs.campo(QStringLiteral("CsfFra"))),
                                vb::esNulo(rs.campo(QStringLiteral("CsfImp")))
                                    ? 0.0
                                    : vb::numero(rs.campo(QStringLiteral("CsfImp")))};
        const QString clave = c.fecha + QLatin1Char('|') + c.orden;
        if (claves.contains(clave))
            continue;
        claves.insert(clave);
        t.log.linea(linea_cobro_sin_factura(c, texto_o_vacio(rs.campo(QStringLiteral("CsfAnoF"))), true));
        ++t.cobros_sin_factura;
        t.resumen.cobros_sin_factura.append(c);
    }
    return claves;
}

// Cash pass: every receipt of the range not transferred yet is staged in
// cajj (invoice payments and deposit collections) and marked in caja.
//
// A receipt's cajj row must be durable before its caja row is marked, or a
// stop between the two loses it; and a receipt staged by a run that stopped
// before marking it is only marked now, not staged twice. So the marks of a
// group are set once the group has committed.
void pasar_cajas(Traspaso& t, const QSet<QString>& avisados)
{
    Module1& m = t.m;
    Durabilidad& d = *t.durabilidad;
    Conexion& caja = m.hotel(m.conexion_caja);
    Conexion& emi = m.hotel(m.conexion_emi);

    t.log.linea(QStringLiteral("* Traspasando las cajas *************************************"));
    t.log.linea(QString(80, QLatin1Char(' ')));

    t.tarea = QStringLiteral("la lectura de la caja");
    caja.ejecutar(QStringLiteral("UPDATE caja SET CajaTur = '' WHERE CajaTur is null"));
    // A receipt with no amount (a NaN is stored so) would never be selected
    // below, nor told: it stops the run, named, until it is corrected.
    {
        Recordset vacios;
        vacios.abrir(QStringLiteral("SELECT CajaFec, CajaOrd FROM caja WHERE CajaFec Between ? AND ? AND CajaPago = '1' "
                                    "AND CajaImp IS NULL AND CajaTur <> '1' ORDER BY CajaFec, CajaOrd"),
                     caja, Cursor::Dinamico, Bloqueo::SoloLectura, {t.fecha_desde, t.fecha_hasta});
        if (!vacios.eof()) {
            t.tarea = QStringLiteral("el movimiento de caja del día %1 orden %2")
                          .arg(convertir_fecha(texto_o_vacio(vacios.campo(QStringLiteral("CajaFec"))), 0, 2),
                               texto_o_vacio(vacios.campo(QStringLiteral("CajaOrd"))));
            throw Fallo(codigo_error::USO_NO_VALIDO_DE_NULL, QStringLiteral("la columna CajaImp del cobro está vacía"));
        }
    }
    m.rs_caja.cerrar();
    m.rs_caja.abrir(QStringLiteral("SELECT * FROM caja WHERE CajaFec Between ? AND ? AND CajaPago = '1' "
                                   "AND CajaImp <> 0 AND CajaTur <> '1' ORDER BY CajaFec, CajaOrd"),
                    caja, Cursor::Dinamico, Bloqueo::Optimista, {t.fecha_desde, t.fecha_hasta});

    const QString fase = QStringLiteral("Movimientos de caja");
    const qint64 total = m.rs_caja.recuento();
    qint64 hecho = 0;
    t.vista.progreso(fase, 0, total);

    // Receipts of the range already in cajj, by day and order.
    QSet<QString> preparados;
    {
        Recordset rs;
        rs.abrir(QStringLiteral("SELECT CajFec, CajOrd FROM cajj WHERE CajFec Between ? AND ?"), m.conexion_enlace,
                 Cursor::Dinamico, Bloqueo::SoloLectura, {t.fecha_desde, t.fecha_hasta});
        for (; !rs.eof(); rs.siguiente())
            preparados.insert(clave_caja(rs.campo(QStringLiteral("CajFec")), rs.campo(QStringLiteral("CajOrd"))));
    }

    // What a failure names is written only when one happens: the day and
    // order of the movement last read.
    QVariant fec, ord;
    bool leido = false;
    auto nombrar = [&] {
        if (leido)
            t.tarea = QStringLiteral("el movimiento de caja del día %1 orden %2")
                          .arg(convertir_fecha(texto_o_vacio(fec), 0, 2), texto_o_vacio(ord));
    };

    QVector<qint64> por_marcar;
    QVariantList factura_leida;   // the year and number rs_emi was last opened on
    auto marcar = [&] {
        if (por_marcar.isEmpty())
            return;
        // A group's marks go in one commit of the hotel's caja file (in SQL
        // Server mode of the catalogue: the server's commit is durable, its
        // log on disk before it returns), not one each: if it fails none is
        // set, and the next run whose range covers them finds those
        // receipts staged and only marks them. (A driver with no
        // transactions takes them one by one.)
        const bool propia = !caja.en_transaccion() && caja.admite_transacciones();
        if (propia) caja.comenzar();
        try {
            // Over ODBC the receipts of a day go in one statement.
            m.rs_caja.guardar_filas(por_marcar, QStringLiteral("CajaTur"), QStringLiteral("1"));
            if (propia) caja.confirmar();
        } catch (...) {
            if (propia) caja.deshacer();
            // A failure names the receipt it stopped on (the first of a
            // day's, when they were written together).
            try {
                fec = m.rs_caja.campo(QStringLiteral("CajaFec"));
                ord = m.rs_caja.campo(QStringLiteral("CajaOrd"));
            } catch (const Fallo&) {
            }
            throw;
        }
        por_marcar.clear();
    };

    // A stop comes right after a commit: that group's marks are set first.
    auto cerrar = [&](bool pase_terminado) {
        try {
            if (pase_terminado)
                d.cerrar_grupo();
            else
                d.unidad(marcar);
        } catch (const DetencionPedida&) {
            marcar();
            throw;
        }
    };

    while (!m.rs_caja.eof()) try {
        fec = m.rs_caja.campo(QStringLiteral("CajaFec"));
        ord = m.rs_caja.campo(QStringLiteral("CajaOrd"));
        leido = true;
        const QString cajafec = texto_o_vacio(fec);

        t.orden_caja = vb::CInt(ord);
        m.rs_cajj.cerrar();
        m.rs_cajj.abrir(QStringLiteral("SELECT * FROM cajj"), m.conexion_enlace, Cursor::Dinamico,
                        Bloqueo::Optimista);

        const QVariant con = m.rs_caja.campo(QStringLiteral("CajaCon"));
        const QVariant fra = m.rs_caja.campo(QStringLiteral("CajaFra"));
        const QVariant anof = m.rs_caja.campo(QStringLiteral("CajaAnoF"));
        const QVariant cobroc = m.rs_caja.campo(QStringLiteral("CajaCobroc"));
        // Refused before anything of the receipt is staged or marked.
        const double leido = importe_cobro(m.rs_caja.campo(QStringLiteral("CajaImp")));
        const double importe = vb::Val(vb::Format(leido, QStringLiteral("#0.00")));

        // Only a concept that starts exactly with "Deposito" is a deposit
        // collection; a Null concept is a payment like any other text.
        const bool deposito = !vb::esNulo(con) && vb::Left(vb::texto(con), 8) == QStringLiteral("Deposito");
        if (preparados.contains(clave_caja(fec, ord))) {
            // Staged by a run that stopped before marking it.
        } else if (!deposito) {
            // Receipts that pay one invoice in parts come one after another:
            // the invoice just read is theirs too. Nothing of this pass
            // writes emi, and a row read a moment earlier is what the
            // lookup would have found had they been taken together.
            const QVariantList factura{como_texto(anof), como_texto(fra)};
            if (!m.rs_emi.abierto() || factura != factura_leida) {
                factura_leida.clear();
                m.rs_emi.cerrar();
                m.rs_emi.abrir(QStringLiteral("SELECT * FROM emi WHERE EmiAno = ? AND EmiNum = ?"), emi,
                               Cursor::Dinamico, Bloqueo::SoloLectura, factura);
                factura_leida = factura;
            }
            if (!m.rs_emi.eof()) {
                m.rs_cajj.nuevo();
                m.rs_cajj.asignar(QStringLiteral("CajFec"), fec);
                m.rs_cajj.asignar(QStringLiteral("CajOrd"), ord);
                m.rs_cajj.asignar(QStringLiteral("CajFra"), fra);
                m.rs_cajj.asignar(QStringLiteral("CajImp"), importe);
                t.buscar_cuenta_cliente2();
                m.rs_cajj.asignar(QStringLiteral("CajAnoF"), anof);
                m.rs_cajj.asignar(QStringLiteral("CajCobroc"), cobroc);
                m.rs_cajj.asignar(QStringLiteral("CajEstado"), QStringLiteral("0"));
                m.rs_cajj.asignar(QStringLiteral("CajDep"), QStringLiteral(""));  // the empty text, not Null
                t.log.linea(QStringLiteral("Traspasando el Cobro de la Factura : ") + texto_o_vacio(fra) +
                            QStringLiteral(" de Importe : ") + vb::CStr(importe) +
                            QStringLiteral("En la caja del dia: ") + cajafec);
                m.rs_cajj.guardar();
            } else if (!avisados.contains(cajafec + QLatin1Char('|') + texto_o_vacio(ord))) {
                // Marked like the others below, so never offered again: the
                // clerk must post it by hand, and the log says which it is.
                // (One an earlier run left unmarked is told already.)
                const CobroSinFactura c{cajafec, texto_o_vacio(ord), texto_o_vacio(fra), importe};
                m.conexion_enlace.ejecutar(QStringLiteral("INSERT INTO cobros_sin_factura (CsfFec, CsfOrd, CsfFra, "
                                                          "CsfAnoF, CsfImp) VALUES (?, ?, ?, ?, ?)"),
                                           {c.fecha, c.orden, c.factura, texto_o_vacio(anof), importe});
                t.log.linea(linea_cobro_sin_factura(c, texto_o_vacio(anof), false));
                ++t.cobros_sin_factura;
                t.resumen.cobros_sin_factura.append(c);
            }
        } else {
            const QString numero_deposito = vb::Mid(vb::texto(con), 13, 6);
            m.rs_cajj.nuevo();
            m.rs_cajj.asignar(QStringLiteral("CajFec"), fec);
            m.rs_cajj.asignar(QStringLiteral("CajOrd"), ord);
            m.rs_cajj.asignar(QStringLiteral("CajImp"), importe);
            m.rs_cajj.asignar(QStringLiteral("CajFra"), fra);
            m.rs_cajj.asignar(QStringLiteral("CajCli"), ajustar_subcuenta(m.cuenta_depositos, m.digitos));
            m.rs_cajj.asignar(QStringLiteral("CajDep"), numero_deposito);
            m.rs_cajj.asignar(QStringLiteral("CajAnoF"), anof);
            m.rs_cajj.asignar(QStringLiteral("CajCobroc"), cobroc);
            m.rs_cajj.asignar(QStringLiteral("CajCre"), false);
            m.rs_cajj.asignar(QStringLiteral("CajEstado"), QStringLiteral("0"));
            t.log.linea(QStringLiteral("Traspasado el Depósito ") + numero_deposito +
                        QStringLiteral("de Importe:") + vb::CStr(importe));
            m.rs_cajj.guardar();
        }
        m.rs_cajj.cerrar();

        por_marcar.append(m.rs_caja.posicion());
        m.rs_caja.siguiente();
        t.vista.progreso(fase, ++hecho, total);
        cerrar(false);
    } catch (...) {
        nombrar();
        throw;
    }
    nombrar();
    cerrar(true);
    try {
        marcar();
    } catch (...) {
        nombrar();
        throw;
    }
    m.rs_caja.cerrar();
}
