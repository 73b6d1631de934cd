// The day phases of the posting: discounted deposits, then the cash desk,
// one pass each over every day of the range. Each phase numbers from the
// highest entry in Xdiario; a day takes a number only when it writes an
// entry, so the days a stopped run already posted leave no gap on the
// next run.
#include "transfer/Traspaso.h"

#include "platform/valores/Vb.h"
#include "startup/RutinasComunes.h"


void Traspaso::fase_depositos(double& n_apunte)
{
    dia_proceso = dma(fecha_desde);
    dia_hasta = dma(fecha_hasta);
    tarea = QStringLiteral("la lectura del diario");
    n_apunte = ultimo_asiento();

    const QString fase = QStringLiteral("Depósitos");
    const qint64 total = qMax<qint64>(0, dia_proceso.daysTo(dia_hasta) + 1);
    qint64 hecho = 0;
    vista.progreso(fase, 0, total);
    while (dia_proceso <= dia_hasta) {
        fecha_dia = amd(dia_proceso);
        tarea = QStringLiteral("los depósitos del día ") + vb::FechaCorta(dia_proceso);
        m.rs_edep.cerrar();
        m.rs_edep.abrir(QStringLiteral("SELECT * FROM edep WHERE EdepFec = ? AND EdepEstado = '0'"),
                        m.conexion_enlace, Cursor::Dinamico, Bloqueo::Optimista, {fecha_dia});
        if (!m.rs_edep.eof()) n_apunte += 1;
        while (!m.rs_edep.eof()) {
            APUNTE_DEPOSITOS_DESCONTADOS_D(n_apunte);
            APUNTE_DEPOSITOS_DESCONTADOS_H(n_apunte);
            m.rs_edep.asignar(QStringLiteral("EdepEstado"), QStringLiteral("1"));
            m.rs_edep.guardar();
            m.rs_edep.siguiente();
        }
        m.rs_edep.cerrar();
        rs_diario.cerrar();
        dia_proceso = dia_proceso.addDays(1);
        vista.progreso(fase, ++hecho, total);
        durabilidad->unidad();
    }
}

void Traspaso::fase_caja(double& n_apunte)
{
    const bool separar = m.separar_depositos;
    dia_proceso = dma(fecha_desde);
    dia_hasta = dma(fecha_hasta);
    tarea = QStringLiteral("la lectura del diario");
    n_apunte = ultimo_asiento();

    const QString fase = QStringLiteral("Caja del día");
    const qint64 total = qMax<qint64>(0, dia_proceso.daysTo(dia_hasta) + 1);
    qint64 hecho = 0;
    vista.progreso(fase, 0, total);
    while (dia_proceso <= dia_hasta) {
        fecha_dia = amd(dia_proceso);
        tarea = QStringLiteral("la caja del día ") + vb::FechaCorta(dia_proceso);

        // Day entry: one debit per payment method, one credit per movement.
        m.rs_cajj.cerrar();
        m.rs_cajj.abrir(separar ? QStringLiteral("SELECT Sum(CajImp) AS CajSuma, CajCobroc FROM cajj WHERE CajFra <> '' "
                                                 "AND CajFec = ? AND CajEstado = '0' GROUP BY CajCobroc")
                                : QStringLiteral("SELECT Sum(CajImp) AS CajSuma, CajCobroc FROM cajj WHERE CajFec = ? "
                                                 "AND CajEstado = '0' GROUP BY CajCobroc"),
                        m.conexion_enlace, Cursor::Dinamico, Bloqueo::Optimista, {fecha_dia});
        if (!m.rs_cajj.eof() && !vb::esNulo(m.rs_cajj.campo(QStringLiteral("CajSuma")))) {
            n_apunte += 1;
            while (!m.rs_cajj.eof()) {
                APUNTE_DEBE_CAJA_CONTAPLUS(n_apunte);
                m.rs_cajj.siguiente();
            }
            m.rs_cajj.cerrar();
            m.rs_cajj.abrir(separar ? QStringLiteral("SELECT * FROM cajj WHERE CajFra <> '' AND CajFec = ? "
                                                     "AND CajEstado = '0'")
                                    : QStringLiteral("SELECT * FROM cajj WHERE CajFec = ? AND CajEstado = '0'"),
                            m.conexion_enlace, Cursor::Dinamico, Bloqueo::Optimista, {fecha_dia});
            if (!m.rs_cajj.eof()) {
                while (!m.rs_cajj.eof()) {
                    APUNTE_HABER_CAJA_CONTAPLUS(n_apunte);
                    m.rs_cajj.siguiente();
                }
                m.rs_cajj.cerrar();
                m.conexion_enlace.ejecutar(
                    separar ? QStringLiteral("UPDATE cajj Set CajEstado = '1' WHERE CajFEc = ? AND CajFra <> ''")
                            : QStringLiteral("UPDATE cajj Set CajEstado = '1' WHERE CajFec = ?"),
                    {fecha_dia});
            }
        }

        // Deposit collections posted apart: one entry each, numbered after
        // the day's, all marked together once the last is written.
        if (separar) {
            m.rs_cajj.cerrar();
            m.rs_cajj.abrir(QStringLiteral("SELECT * FROM cajj WHERE CajFec = ? AND CajEstado <> '1'"),
                            m.conexion_enlace, Cursor::Dinamico, Bloqueo::Optimista, {fecha_dia});
            if (!m.rs_cajj.eof()) {
                while (!m.rs_cajj.eof()) {
                    n_apunte += 1;
                    APUNTE_D_CONTAPLUS_COBRO_DEPOSITOS(n_apunte);
                    APUNTE_H_CONTAPLUS_COBRO_DEPOSITOS(n_apunte);
                    m.rs_cajj.siguiente();
                }
                m.rs_cajj.cerrar();
                m.conexion_enlace.ejecutar(QStringLiteral("UPDATE cajj Set CajEstado = '1' WHERE CajFec = ?"),
                                           {fecha_dia});
            }
        }
        m.rs_cajj.cerrar();
        rs_diario.cerrar();
        dia_proceso = dia_proceso.addDays(1);
        vista.progreso(fase, ++hecho, total);
        durabilidad->unidad();
    }
}
