// The cash pass and the receipts it leaves for the clerk.
#include "transfer/PasoCajas.h"

#include "platform/sistema/Fallo.h"
#include "platform/valores/Vb.h"
#include "startup/RutinasComunes.h"
#include "transfer/FacturasDeCobros.h"
#include "transfer/ImportesHotel.h"
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
    return QStringLiteral("Cobro no traspasado") + (anterior ? QStringLiteral(" en un traspaso anterior") : QString()) +
           QStringLiteral(", la factura ") + c.factura + QStringLiteral(" de ") + ano +
           QStringLiteral(" no existe: caja del dia ") + c.fecha + QStringLiteral(" orden ") + c.orden +
           QStringLiteral(" importe ") + vb::CStr(c.importe) + QStringLiteral(". Contabilícelo a mano.");
}

}  // namespace

PasoCajas::PasoCajas(ContextoPaso& c, CuentasCliente& cuentas, Durabilidad& durabilidad, const QString& desde,
                     const QString& hasta)
    : c_(c), cuentas_(cuentas), durabilidad_(durabilidad), desde_(desde), hasta_(hasta)
{
}

QSet<QString> PasoCajas::cobros_anteriores()
{
    Conexion& enlace = c_.conexiones.conexion_enlace;
    c_.tarea = QStringLiteral("la lectura de los cobros sin factura");
    try {
        enlace.backend().columnas(COBROS_SIN_FACTURA);
    } catch (const Fallo& f) {
        if (f.numero() != codigo_error::TABLA_INEXISTENTE) throw;
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
        if (claves.contains(clave)) continue;
        claves.insert(clave);
        c_.log.linea(linea_cobro_sin_factura(c, texto_o_vacio(rs.campo(QStringLiteral("CsfAnoF"))), true));
        c_.resumen.cobros_sin_factura.append(c);
    }
    return claves;
}

// Every receipt of the range not transferred yet is staged in cajj and
// marked in caja.
//
// A receipt's cajj row must be durable before its caja row is marked, or a
// stop between the two loses it; and a receipt staged by a run that stopped
// before marking it is only marked now, not staged twice. So the marks of a
// group are set once the group has committed.
void PasoCajas::pasar_cajas(const QSet<QString>& avisados)
{
    ConexionesHotel& h = c_.conexiones;
    Durabilidad& d = durabilidad_;
    Conexion& caja = h.hotel(h.conexion_caja);
    Conexion& emi = h.hotel(h.conexion_emi);

    c_.log.linea(QStringLiteral("* Traspasando las cajas *************************************"));
    c_.log.linea(QString(80, QLatin1Char(' ')));

    c_.tarea = QStringLiteral("la lectura de la caja");
    caja.ejecutar(QStringLiteral("UPDATE caja SET CajaTur = '' WHERE CajaTur is null"));
    // A receipt with no amount (a NaN is stored so) would never be selected
    // below, nor told: it stops the run, named, until it is corrected.
    {
        Recordset vacios;
        vacios.abrir(QStringLiteral(
                         "SELECT CajaFec, CajaOrd FROM caja WHERE CajaFec Between ? AND ? AND CajaPago = '1' "
                         "AND CajaImp IS NULL AND CajaTur <> '1' ORDER BY CajaFec, CajaOrd"),
                     caja, Cursor::Dinamico, Bloqueo::SoloLectura, {desde_, hasta_});
        if (!vacios.eof()) {
            c_.tarea = QStringLiteral("el movimiento de caja del día %1 orden %2")
                           .arg(convertir_fecha(texto_o_vacio(vacios.campo(QStringLiteral("CajaFec"))), 0, 2),
                                texto_o_vacio(vacios.campo(QStringLiteral("CajaOrd"))));
            throw Fallo(codigo_error::USO_NO_VALIDO_DE_NULL, QStringLiteral("la columna CajaImp del cobro está vacía"));
        }
    }
    rs_caja_.cerrar();
    rs_caja_.abrir(QStringLiteral("SELECT * FROM caja WHERE CajaFec Between ? AND ? AND CajaPago = '1' "
                                  "AND CajaImp <> 0 AND CajaTur <> '1' ORDER BY CajaFec, CajaOrd"),
                   caja, Cursor::Dinamico, Bloqueo::Optimista, {desde_, hasta_});

    const QString fase = QStringLiteral("Movimientos de caja");
    const qint64 total = rs_caja_.recuento();
    qint64 hecho = 0;
    c_.progreso.progreso(fase, 0, total);

    // Receipts of the range already in cajj, by day and order.
    QSet<QString> preparados;
    {
        Recordset rs;
        rs.abrir(QStringLiteral("SELECT CajFec, CajOrd FROM cajj WHERE CajFec Between ? AND ?"), h.conexion_enlace,
                 Cursor::Dinamico, Bloqueo::SoloLectura, {desde_, hasta_});
        for (; !rs.eof(); rs.siguiente())
            preparados.insert(clave_caja(rs.campo(QStringLiteral("CajFec")), rs.campo(QStringLiteral("CajOrd"))));
    }

    // What a failure names is written only when one happens: the day and
    // order of the movement last read.
    QVariant fec, ord;
    bool leido = false;
    auto nombrar = [&] {
        if (leido)
            c_.tarea = QStringLiteral("el movimiento de caja del día %1 orden %2")
                           .arg(convertir_fecha(texto_o_vacio(fec), 0, 2), texto_o_vacio(ord));
    };

    QVector<qint64> por_marcar;
    QVariantList factura_leida;  // the year and number rs_emi was last opened on

    // The invoices of a day's receipts, read when its first receipt comes.
    FacturasDeCobros facturas_del_dia;
    QVariant dia_leido;
    auto leer_dia = [&](const QVariant& dia) {
        const qint64 aqui = rs_caja_.posicion();
        QVector<std::pair<QVariant, QVariant>> claves;
        for (; !rs_caja_.eof(); rs_caja_.siguiente()) {
            if (texto_o_vacio(rs_caja_.campo(QStringLiteral("CajaFec"))) != texto_o_vacio(dia)) break;
            claves.append({como_texto(rs_caja_.campo(QStringLiteral("CajaAnoF"))),
                           como_texto(rs_caja_.campo(QStringLiteral("CajaFra")))});
        }
        rs_caja_.ir_a(aqui);
        facturas_del_dia.leer(emi, claves);
        cuentas_.anticipar(facturas_del_dia.leidas());
        dia_leido = dia;
    };
    auto marcar = [&] {
        if (por_marcar.isEmpty()) return;
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
            rs_caja_.guardar_filas(por_marcar, QStringLiteral("CajaTur"), QStringLiteral("1"));
            if (propia) caja.confirmar();
        } catch (...) {
            if (propia) caja.deshacer();
            // A failure names the receipt it stopped on (the first of a
            // day's, when they were written together).
            try {
                fec = rs_caja_.campo(QStringLiteral("CajaFec"));
                ord = rs_caja_.campo(QStringLiteral("CajaOrd"));
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

    while (!rs_caja_.eof()) try {
            const CobroCaja cobro = CobroCaja::leer(rs_caja_);
            fec = cobro.fecha;
            ord = cobro.orden;
            leido = true;
            const QString cajafec = texto_o_vacio(fec);

            // The order is a 16-bit integer to the transfer: one that is not
            // stops the run on this receipt.
            vb::CInt(ord);
            rs_cajj_.cerrar();
            rs_cajj_.abrir(QStringLiteral("SELECT * FROM cajj"), h.conexion_enlace, Cursor::Dinamico,
                           Bloqueo::Optimista);

            const QVariant& fra = cobro.factura;
            const QVariant& anof = cobro.ano_factura;
            const QVariant& cobroc = cobro.forma;
            // Refused before anything of the receipt is staged or marked.
            const double leido = importe_cobro(cobro.importe);
            const double importe = vb::Val(vb::Format(leido, QStringLiteral("#0.00")));

            const bool deposito = cobro.es_deposito();
            if (preparados.contains(clave_caja(fec, ord))) {
                // Staged by a run that stopped before marking it.
            } else if (!deposito) {
                // Nothing of this pass writes emi, so the invoices read with
                // the day's first receipt are what each receipt's lookup
                // would find. One not among them is looked up alone; the
                // receipts that pay one invoice in parts come one after
                // another, and the row just read is theirs too.
                if (!dia_leido.isValid() || texto_o_vacio(fec) != texto_o_vacio(dia_leido)) leer_dia(fec);
                std::optional<ClienteFactura> cliente = facturas_del_dia.buscar(como_texto(anof), como_texto(fra));
                if (!cliente) {
                    const QVariantList factura{como_texto(anof), como_texto(fra)};
                    if (!rs_emi_.abierto() || factura != factura_leida) {
                        factura_leida.clear();
                        rs_emi_.cerrar();
                        rs_emi_.abrir(QStringLiteral("SELECT * FROM emi WHERE EmiAno = ? AND EmiNum = ?"), emi,
                                      Cursor::Dinamico, Bloqueo::SoloLectura, factura);
                        factura_leida = factura;
                    }
                    if (!rs_emi_.eof()) cliente = ClienteFactura::leer(rs_emi_);
                }
                if (cliente) {
                    rs_cajj_.nuevo();
                    rs_cajj_.asignar(QStringLiteral("CajFec"), fec);
                    rs_cajj_.asignar(QStringLiteral("CajOrd"), ord);
                    rs_cajj_.asignar(QStringLiteral("CajFra"), fra);
                    rs_cajj_.asignar(QStringLiteral("CajImp"), importe);
                    if (const std::optional<QString> cuenta = cuentas_.buscar_cuenta_cliente2(*cliente))
                        rs_cajj_.asignar(QStringLiteral("CajCli"), *cuenta);
                    rs_cajj_.asignar(QStringLiteral("CajAnoF"), anof);
                    rs_cajj_.asignar(QStringLiteral("CajCobroc"), cobroc);
                    rs_cajj_.asignar(QStringLiteral("CajEstado"), QStringLiteral("0"));
                    rs_cajj_.asignar(QStringLiteral("CajDep"), QStringLiteral(""));  // the empty text, not Null
                    c_.log.linea(QStringLiteral("Traspasando el Cobro de la Factura : ") + texto_o_vacio(fra) +
                                 QStringLiteral(" de Importe : ") + vb::CStr(importe) +
                                 QStringLiteral("En la caja del dia: ") + cajafec);
                    rs_cajj_.guardar();
                } else if (!avisados.contains(cajafec + QLatin1Char('|') + texto_o_vacio(ord))) {
                    // Marked like the others below, so never offered again: the
                    // clerk must post it by hand, and the log says which it is.
                    // (One an earlier run left unmarked is told already.)
                    const CobroSinFactura c{cajafec, texto_o_vacio(ord), texto_o_vacio(fra), importe};
                    h.conexion_enlace.ejecutar(QStringLiteral("INSERT INTO cobros_sin_factura (CsfFec, CsfOrd, CsfFra, "
                                                              "CsfAnoF, CsfImp) VALUES (?, ?, ?, ?, ?)"),
                                               {c.fecha, c.orden, c.factura, texto_o_vacio(anof), importe});
                    c_.log.linea(linea_cobro_sin_factura(c, texto_o_vacio(anof), false));
                    c_.resumen.cobros_sin_factura.append(c);
                }
            } else {
                const QString numero_deposito = cobro.numero_deposito();
                rs_cajj_.nuevo();
                rs_cajj_.asignar(QStringLiteral("CajFec"), fec);
                rs_cajj_.asignar(QStringLiteral("CajOrd"), ord);
                rs_cajj_.asignar(QStringLiteral("CajImp"), importe);
                rs_cajj_.asignar(QStringLiteral("CajFra"), fra);
                rs_cajj_.asignar(QStringLiteral("CajCli"),
                                 ajustar_subcuenta(c_.ajustes.cuenta_depositos, c_.ajustes.digitos));
                rs_cajj_.asignar(QStringLiteral("CajDep"), numero_deposito);
                rs_cajj_.asignar(QStringLiteral("CajAnoF"), anof);
                rs_cajj_.asignar(QStringLiteral("CajCobroc"), cobroc);
                rs_cajj_.asignar(QStringLiteral("CajCre"), false);
                rs_cajj_.asignar(QStringLiteral("CajEstado"), QStringLiteral("0"));
                c_.log.linea(QStringLiteral("Traspasado el Depósito ") + numero_deposito +
                             QStringLiteral("de Importe:") + vb::CStr(importe));
                rs_cajj_.guardar();
            }
            rs_cajj_.cerrar();

            por_marcar.append(rs_caja_.posicion());
            rs_caja_.siguiente();
            c_.progreso.progreso(fase, ++hecho, total);
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
    rs_caja_.cerrar();
    rs_emi_.cerrar();
}
