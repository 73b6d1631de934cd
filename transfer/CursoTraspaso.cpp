// The course of one run: confirmation, log, the passes in their order, and
// how a run abandoned by a failure or stopped by the clerk is told.
#include "transfer/Traspaso.h"

#include "platform/sistema/Fallo.h"
#include "platform/sistema/Fichero.h"
#include "platform/valores/Vb.h"
#include "startup/RutinasComunes.h"
#include "transfer/Contabilizar.h"
#include "transfer/CuentasCliente.h"
#include "transfer/FasesDia.h"
#include "transfer/PasoCajas.h"
#include "transfer/PasoFacturas.h"
#include "transfer/Textos.h"

#include <QSet>
#include <utility>

namespace {

const QString TITULO = QStringLiteral("Traspaso a CONTAPLUS");

// What the clerk can do about a failure: free space when the disk is full
// (or the log could not be written), look at the disk and folder when a
// write failed otherwise, look at the network when the server's connection
// was lost, wait for a row another program holds locked, put the data right
// in any other case. The file
// layer and the engines tell a full disk by its number or by its text.
enum class Remedio { Espacio, Disco, Servidor, Bloqueo, Dato };

Remedio remedio(const QString& descripcion, qint32 numero)
{
    static const QString llenos[] = {QStringLiteral("No queda espacio en el disco"),
                                     QStringLiteral("Se ha superado la cuota de disco"),
                                     QStringLiteral("database or disk is full"),
                                     QStringLiteral("No se puede escribir en el fichero de registro"),
                                     QStringLiteral("El fichero de registro no se ha podido escribir"),
                                     QStringLiteral("El fichero de registro no se ha podido cerrar")};
    static const QString escrituras[] = {QStringLiteral("No se puede escribir"),
                                         QStringLiteral("No se puede recortar"),
                                         QStringLiteral("No se puede asegurar en el disco"),
                                         QStringLiteral("disk I/O error"),
                                         QStringLiteral("No se puede crear"),
                                         QStringLiteral("No se puede copiar"),
                                         QStringLiteral("No se puede reemplazar")};
    if (numero == codigo_error::DISCO_LLENO) return Remedio::Espacio;
    if (numero == codigo_error::TIEMPO_AGOTADO) return Remedio::Bloqueo;
    if (descripcion.contains(QStringLiteral("Se ha perdido la conexión con el servidor"))) return Remedio::Servidor;
    for (const QString& l : llenos)
        if (descripcion.contains(l, Qt::CaseInsensitive)) return Remedio::Espacio;
    if (numero == codigo_error::ERROR_DE_ARCHIVO) return Remedio::Disco;
    for (const QString& e : escrituras)
        if (descripcion.contains(e, Qt::CaseInsensitive)) return Remedio::Disco;
    return Remedio::Dato;
}

}  // namespace

FinTraspaso Traspaso::abandonar(const QString& descripcion, qint32 numero)
{
    admite_detencion_ = false;
    QString texto = QStringLiteral("El traspaso se ha interrumpido en %1: %2 (error %3).")
                        .arg(tarea, descripcion, QString::number(numero));
    contaplus.cerrar_cursores();
    if (durabilidad) texto += durabilidad->abandonar();
    durabilidad.reset();
    // A dry run writes and marks nothing of the installation's.
    texto += resumen.simulacion ? QStringLiteral(" Es una simulación: no se ha escrito ni marcado nada;")
                                : QStringLiteral(" Lo ya traspasado queda marcado;");
    switch (remedio(descripcion, numero)) {
    case Remedio::Espacio: texto += QStringLiteral(" libere espacio en el disco y repita el traspaso."); break;
    case Remedio::Disco: texto += QStringLiteral(" compruebe el disco y la carpeta y repita el traspaso."); break;
    case Remedio::Servidor: texto += QStringLiteral(" compruebe la red y el servidor y repita el traspaso."); break;
    case Remedio::Bloqueo:
        texto += QStringLiteral(" cuando el otro programa libere la fila, repita el traspaso.");
        break;
    case Remedio::Dato: texto += QStringLiteral(" corrija el dato y repita el traspaso."); break;
    }
    resumen.fallo = texto;
    if (log.abierto()) {
        try {
            log.linea(texto);
            log.cerrar();
        } catch (const Fallo&) {
            // The box below still tells the clerk.
        }
    }
    vista.puntero_espera(false);
    m.interlocutor.mensaje(texto, TITULO, Icono::Critico);
    return FinTraspaso::Fallido;
}

// The end of a run stopped by the clerk right after a group's commit: the
// point closed with no run in course, the log and the clerk told where.
FinTraspaso Traspaso::detener()
{
    admite_detencion_ = false;
    contaplus.cerrar_cursores();
    detenido =
        resumen.simulacion
            ? QStringLiteral("Simulación detenida por el usuario en %1: no se ha escrito ni marcado nada.").arg(tarea)
            : QStringLiteral("Traspaso detenido por el usuario en %1: el resto se traspasará en el próximo "
                             "traspaso.")
                  .arg(tarea);
    try {
        if (durabilidad) durabilidad->terminar();
        durabilidad.reset();
        log.linea(detenido);
        log.cerrar();
    } catch (const Fallo& f) {
        return abandonar(f.descripcion(), f.numero());
    }
    vista.puntero_espera(false);
    m.interlocutor.mensaje(detenido, TITULO, Icono::Informacion);
    avisar_pendientes();
    return FinTraspaso::Detenido;
}

FinTraspaso Traspaso::iniciar2()
{
    informe.clear();
    // Nothing is staged or marked when the ContaPlus side is not ready.
    if (!preparado) {
        m.interlocutor.mensaje(aviso_preparacion.isEmpty()
                                   ? QStringLiteral(
                                         "No se han podido preparar los ficheros de ContaPlus: no se puede traspasar.")
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
    // The settings as the run takes them: what the settings window saves
    // meanwhile is for the next run.
    const AjustesEnlace ajustes = m;

    const QDateTime reloj = ahora();
    resumen.inicio = reloj;
    QString nombre_log = QStringLiteral("c:\\quelmira\\sp1\\tc_") + reloj.toString(QStringLiteral("ddMMyy")) +
                         QStringLiteral("_") + reloj.toString(QStringLiteral("hhmmss")) + QStringLiteral(".log");
    tarea = QStringLiteral("el fichero de registro ") + nombre_log;
    nombre_registro = nombre_log;
    detenido.clear();
    try {
        // A run in the same second as another gets the next free name; its
        // report takes the same name (see dejar_informe).
        nombre_log = Fichero::con_sufijo(nombre_log, log.abrir(local(nombre_log), {QStringLiteral(".html")}));
        tarea = QStringLiteral("el fichero de registro ") + nombre_log;
        nombre_registro = nombre_log;
        // The range the run takes, not the boxes' text: a box edited after
        // its date was accepted does not change what is transferred.
        log.linea(QStringLiteral("Traspaso a contabilidad desde: ") + convertir_fecha(fecha_desde, 0, 2) +
                  QStringLiteral(" Hasta: ") + convertir_fecha(fecha_hasta, 0, 2) +
                  QStringLiteral("         Fecha Traspaso : ") + vb::FechaCorta(reloj.date()));
        log.linea(QString(80, QLatin1Char('*')));
        vista.puntero_espera(true);

        // Another workstation may have run, or a run may have stopped, since
        // the window was prepared: checked again under the lock.
        tarea = QStringLiteral("la comprobación de los ficheros de ContaPlus");
        QStringList avisos;
        reparar_contaplus(&avisos);
        for (const QString& a : std::as_const(avisos)) m.interlocutor.mensaje(a, TITULO, Icono::Exclamacion);
        for (const QString& r : std::as_const(reparaciones)) log.linea(r);
        resumen.reparaciones = reparaciones;
        reparaciones.clear();
        contar_registros(*this);
        // After each group the run makes durable: the locks renewed, the log
        // on disk, and a stop the clerk asked for acted on.
        durabilidad->al_confirmar = [this, antes = std::move(durabilidad->al_confirmar)] {
            if (antes) antes();
            log.vaciar();
            if (admite_detencion_ && pedir_detencion && pedir_detencion()) {
                admite_detencion_ = false;
                throw DetencionPedida{};
            }
        };
        return pasar(ajustes);
    } catch (const DetencionPedida&) {
        return detener();
    } catch (const Fallo& f) {
        return abandonar(f.descripcion(), f.numero());
    } catch (const std::exception& e) {
        return abandonar(QString::fromLocal8Bit(e.what()), 0);
    }
}

FinTraspaso Traspaso::pasar(const AjustesEnlace& ajustes)
{
    ContextoPaso c{ajustes, m, log, resumen, vista, tarea};
    Durabilidad& d = *durabilidad;
    // Customer, agency, company and payment-method rows are read once per
    // code for the run.
    CuentasCliente cuentas(ajustes, m, true);

    PasoCajas cajas(c, cuentas, d, fecha_desde, fecha_hasta);
    const QSet<QString> avisados = cajas.cobros_anteriores();
    d.empezar();
    admite_detencion_ = true;

    tarea = QStringLiteral("la preparación de las facturas");
    m.hotel(m.conexion_emi).ejecutar(QStringLiteral("UPDATE emi SET TasaImporte = 0 WHERE TasaImporte IS NULL "));

    if (!ajustes.sin_caja) cajas.pasar_cajas(avisados);

    PasoFacturas facturas(c, cuentas, d, fecha_desde, fecha_hasta);
    if (!facturas.seleccionar()) {
        d.terminar();
        durabilidad.reset();
        log.cerrar();
        vista.puntero_espera(false);
        m.interlocutor.mensaje(QStringLiteral("No existen facturas para traspasar a contabilidad entre estas fechas"),
                               QStringLiteral("Atención"), Icono::Informacion);
        avisar_pendientes();
        return FinTraspaso::SinFacturas;
    }
    facturas.pasar_facturas();

    Contabilizacion(c, contaplus, d, cuenta_ventas_defecto).contabilizar();
    FasesDia fases(c, contaplus, d, cuentas, fecha_desde, fecha_hasta);
    fases.fase_depositos();
    fases.fase_caja();

    // Everything on disk before the clerk is told it is done.
    tarea = QStringLiteral("el cierre del traspaso");
    contaplus.rs_diario.cerrar();
    d.terminar();
    durabilidad.reset();

    m.interlocutor.mensaje(QStringLiteral("El proceso se ha realizado correctamente. "),
                           QStringLiteral("Traspaso a CONTAPLUS"), Icono::Informacion);
    avisar_pendientes();
    log.cerrar();
    vista.puntero_espera(false);
    vista.vaciar_fechas();
    admite_detencion_ = false;
    return FinTraspaso::Correcto;
}

void Traspaso::avisar_pendientes()
{
    const qsizetype cobros_sin_factura = resumen.cobros_sin_factura.size();
    const qsizetype facturas_descuadradas = resumen.facturas_descuadradas.size();
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
    if (partes.isEmpty()) return;
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
