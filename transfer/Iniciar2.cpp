// The transfer driver: confirmation, log, cash pass, invoice pass, posting,
// and how a run abandoned by a failure is told to the clerk.
#include "transfer/Traspaso.h"

#include "platform/Fallo.h"
#include "platform/Fichero.h"
#include "platform/Vb.h"
#include "startup/RutinasComunes.h"
#include "transfer/ImportesHotel.h"
#include "transfer/Textos.h"

#include <QSet>
#include <utility>

namespace {

const QString TITULO = QStringLiteral("Traspaso a CONTAPLUS");

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

// What the clerk can do about a failure: free space when the disk is full
// (or the log could not be written), look at the disk and folder when a
// write failed otherwise, put the data right in any other case. The file
// layer and the engines tell a full disk by its number or by its text.
enum class Remedio { Espacio, Disco, Dato };

Remedio remedio(const QString& descripcion, qint32 numero)
{
    static const QString llenos[] = {QStringLiteral("No queda espacio en el disco"),
                                     QStringLiteral("Se ha superado la cuota de disco"),
                                     QStringLiteral("database or disk is full"),
                                     QStringLiteral("No se puede escribir en el fichero de registro"),
                                     QStringLiteral("El fichero de registro no se ha podido escribir"),
                                     QStringLiteral("El fichero de registro no se ha podido cerrar")};
    static const QString escrituras[] = {QStringLiteral("No se puede escribir"), QStringLiteral("No se puede recortar"),
                                         QStringLiteral("No se puede asegurar en el disco"),
                                         QStringLiteral("disk I/O error"), QStringLiteral("No se puede crear"),
                                         QStringLiteral("No se puede copiar"), QStringLiteral("No se puede reemplazar")};
    if (numero == codigo_error::DISCO_LLENO)
        return Remedio::Espacio;
    for (const QString& l : llenos)
        if (descripcion.contains(l, Qt::CaseInsensitive))
            return Remedio::Espacio;
    if (numero == codigo_error::ERROR_DE_ARCHIVO)
        return Remedio::Disco;
    for (const QString& e : escrituras)
        if (descripcion.contains(e, Qt::CaseInsensitive))
            return Remedio::Disco;
    return Remedio::Dato;
}

FinTraspaso abandonar(Traspaso& t, const QString& descripcion, qint32 numero)
{
    t.admite_detencion = false;
    QString texto = QStringLiteral("El traspaso se ha interrumpido en %1: %2 (error %3).")
                        .arg(t.tarea, descripcion, QString::number(numero));
    t.rs_diario.cerrar();
    t.rs_subcuentas.cerrar();
    if (t.durabilidad)
        texto += t.durabilidad->abandonar();
    t.durabilidad.reset();
    // A dry run writes and marks nothing of the installation's.
    texto += t.resumen.simulacion ? QStringLiteral(" Es una simulación: no se ha escrito ni marcado nada;")
                                  : QStringLiteral(" Lo ya traspasado queda marcado;");
    switch (remedio(descripcion, numero)) {
    case Remedio::Espacio:
        texto += QStringLiteral(" libere espacio en el disco y repita el traspaso.");
        break;
    case Remedio::Disco:
        texto += QStringLiteral(" compruebe el disco y la carpeta y repita el traspaso.");
        break;
    case Remedio::Dato:
        texto += QStringLiteral(" corrija el dato y repita el traspaso.");
        break;
    }
    t.resumen.fallo = texto;
    if (t.log.abierto()) {
        try {
            t.log.linea(texto);
            t.log.cerrar();
        } catch (const Fallo&) {
            // The box below still tells the clerk.
        }
    }
    t.vista.puntero_espera(false);
    t.m.interlocutor.mensaje(texto, TITULO, Icono::Critico);
    return FinTraspaso::Fallido;
}

// The end of a run stopped by the clerk right after a group's commit: the
// point closed with no run in course, the log and the clerk told where.
FinTraspaso detener(Traspaso& t)
{
    t.admite_detencion = false;
    t.rs_diario.cerrar();
    t.rs_subcuentas.cerrar();
    t.detenido = t.resumen.simulacion
                     ? QStringLiteral("Simulación detenida por el usuario en %1: no se ha escrito ni marcado nada.")
                           .arg(t.tarea)
                     : QStringLiteral("Traspaso detenido por el usuario en %1: el resto se traspasará en el próximo "
                                      "traspaso.")
                           .arg(t.tarea);
    try {
        if (t.durabilidad)
            t.durabilidad->terminar();
        t.durabilidad.reset();
        t.log.linea(t.detenido);
        t.log.cerrar();
    } catch (const Fallo& f) {
        return abandonar(t, f.descripcion(), f.numero());
    }
    t.vista.puntero_espera(false);
    t.m.interlocutor.mensaje(t.detenido, TITULO, Icono::Informacion);
    t.avisar_pendientes();
    return FinTraspaso::Detenido;
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

}  // namespace

FinTraspaso Traspaso::iniciar2()
{
    informe.clear();
    // Nothing is staged or marked when the ContaPlus side is not ready.
    if (!preparado) {
        m.interlocutor.mensaje(aviso_preparacion.isEmpty()
                                   ? QStringLiteral("No se han podido preparar los ficheros de ContaPlus: no se puede traspasar.")
                                   : aviso_preparacion,
                               TITULO, Icono::Critico);
        return FinTraspaso::SinPreparar;
    }
    if (m.interlocutor.mensaje(QStringLiteral("¿Esta seguro/a de traspasar las facturas y las cajas a "
                                              "contabilidad entre estas fechas? "),
                               QStringLiteral("Seguridad"), Icono::Informacion, Botones::SiNo) != Respuesta::Si) {
        vista.vaciar_fechas();
        return FinTraspaso::Cancelado;
    }

    // One transfer at a time on this installation and this ContaPlus folder.
    ReservaInstalacion reserva(*this);
    if (!reserva.tomada()) {
        vista.puntero_espera(false);
        return FinTraspaso::Bloqueado;
    }
    const FinTraspaso fin = correr();
    // A log that could not be written whole is told once, unless the run's
    // own failure was that.
    if (!log.fallo().isEmpty() && !resumen.fallo.contains(log.fallo()))
        m.interlocutor.mensaje(log.fallo(), TITULO, Icono::Exclamacion);
    dejar_informe(*this, fin);
    return fin;
}

// The run itself, under the lock, past the confirmation.
FinTraspaso Traspaso::correr()
{
    empezar_resumen(*this);

    // Customer, agency, company and payment-method rows are read once per
    // code for the run (see Module1::FilasLeidas).
    struct Lecturas {
        Module1::FilasLeidas& f;
        ~Lecturas() { f.terminar(); }
    } lecturas{m.filas_leidas};
    m.filas_leidas.empezar();

    const QDateTime reloj = ahora();
    resumen.inicio = reloj;
    QString nombre_log = QStringLiteral("c:\\quelmira\\sp1\\tc_") + reloj.toString(QStringLiteral("ddMMyy")) +
                         QStringLiteral("_") + reloj.toString(QStringLiteral("hhmmss")) + QStringLiteral(".log");
    tarea = QStringLiteral("el fichero de registro ") + nombre_log;
    nombre_registro = nombre_log;
    cobros_sin_factura = 0;
    facturas_descuadradas = 0;
    detenido.clear();
    try {
        // A run in the same second as another gets the next free name; its
        // report takes the same name (see dejar_informe).
        nombre_log = Fichero::con_sufijo(nombre_log, log.abrir(local(nombre_log), {QStringLiteral(".html")}));
        tarea = QStringLiteral("el fichero de registro ") + nombre_log;
        nombre_registro = nombre_log;
        log.linea(QStringLiteral("Traspaso a contabilidad desde: ") + vista.texto_de() + QStringLiteral(" Hasta: ") +
                  vista.texto_hasta() + QStringLiteral("         Fecha Traspaso : ") + vb::FechaCorta(reloj.date()));
        log.linea(QString(80, QLatin1Char('*')));
        vista.puntero_espera(true);

        // Another workstation may have run, or a run may have stopped, since
        // the window was prepared: checked again under the lock.
        tarea = QStringLiteral("la comprobación de los ficheros de ContaPlus");
        QStringList avisos;
        reparar_contaplus(&avisos);
        for (const QString& a : std::as_const(avisos))
            m.interlocutor.mensaje(a, TITULO, Icono::Exclamacion);
        for (const QString& r : std::as_const(reparaciones))
            log.linea(r);
        resumen.reparaciones = reparaciones;
        reparaciones.clear();
        contar_registros(*this);
        // After each group the run makes durable: the locks renewed, the log
        // on disk, and a stop the clerk asked for acted on.
        durabilidad->al_confirmar = [this, antes = std::move(durabilidad->al_confirmar)] {
            if (antes)
                antes();
            log.vaciar();
            if (admite_detencion && pedir_detencion && pedir_detencion()) {
                admite_detencion = false;
                throw DetencionPedida{};
            }
        };
        const QSet<QString> avisados = cobros_anteriores(*this);
        durabilidad->empezar();
        admite_detencion = true;

        tarea = QStringLiteral("la preparación de las facturas");
        m.hotel(m.conexion_emi).ejecutar(QStringLiteral("UPDATE emi SET TasaImporte = 0 WHERE TasaImporte IS NULL "));

        if (!m.sin_caja) pasar_cajas(*this, avisados);

        const QString ano_inicio = vb::Left(fecha_desde, 4);
        tarea = QStringLiteral("la lectura de las facturas");
        m.rs_emi.cerrar();
        m.rs_emi.abrir(m.modo_sql
                           ? QStringLiteral("SELECT * FROM emi WHERE EmiAno = ? AND EmiFec Between ? AND ? "
                                            "AND EmiNum NOT LIKE  'F%' ORDER BY EmiFec, EmiNum")
                           : QStringLiteral("SELECT * FROM emi WHERE EmiAno = ? AND EmiFec Between ? AND ? "
                                            "AND EmiN <>  'B' ORDER BY EmiFec, val(EmiNum)"),
                       m.hotel(m.conexion_emi), Cursor::Dinamico, Bloqueo::Optimista,
                       {ano_inicio, fecha_desde, fecha_hasta});
        if (m.rs_emi.eof()) {
            m.rs_emi.cerrar();
            durabilidad->terminar();
            durabilidad.reset();
            log.cerrar();
            vista.puntero_espera(false);
            m.interlocutor.mensaje(QStringLiteral("No existen facturas para traspasar a contabilidad entre estas fechas"),
                                   QStringLiteral("Atención"), Icono::Informacion);
            avisar_pendientes();
            return FinTraspaso::SinFacturas;
        }
        pasar_facturas(*this);
        m.rs_emi.cerrar();

        contabilizar();
        admite_detencion = false;
        return FinTraspaso::Correcto;
    } catch (const DetencionPedida&) {
        return detener(*this);
    } catch (const Fallo& f) {
        return abandonar(*this, f.descripcion(), f.numero());
    } catch (const std::exception& e) {
        return abandonar(*this, QString::fromLocal8Bit(e.what()), 0);
    }
}

void Traspaso::avisar_pendientes()
{
    QStringList partes;
    if (cobros_sin_factura == 1)
        partes << QStringLiteral("1 cobro cuya factura no se encuentra (contabilícelo a mano)");
    else if (cobros_sin_factura > 1)
        partes << QStringLiteral("%1 cobros cuyas facturas no se encuentran (contabilícelos a mano)")
                      .arg(cobros_sin_factura);
    if (facturas_descuadradas == 1)
        partes << QStringLiteral("1 factura cuyo asiento no cuadra (corríjala en el programa de Hotel y "
                                 "repita el traspaso)");
    else if (facturas_descuadradas > 1)
        partes << QStringLiteral("%1 facturas cuyos asientos no cuadran (corríjalas en el programa de Hotel y "
                                 "repita el traspaso)")
                      .arg(facturas_descuadradas);
    if (partes.isEmpty())
        return;
    m.interlocutor.mensaje(QStringLiteral("Han quedado sin contabilizar ") + partes.join(QStringLiteral(" y ")) +
                               QStringLiteral(". Están anotados en el registro ") + nombre_registro +
                               QStringLiteral("."),
                           TITULO, Icono::Exclamacion);
    // Told, in the log and now on screen: the receipts need not wait any more.
    if (cobros_sin_factura > 0) {
        try {
            m.conexion_enlace.ejecutar(QStringLiteral("DELETE FROM cobros_sin_factura"));
        } catch (const Fallo& f) {
            // Left for the next run to tell again.
            m.interlocutor.mensaje(QStringLiteral("No se ha podido anotar que los cobros sin factura ya se han "
                                                  "avisado; se avisarán de nuevo en el próximo traspaso: ") +
                                       f.descripcion(),
                                   TITULO, Icono::Exclamacion);
        }
    }
}
