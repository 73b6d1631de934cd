// The day phases of the posting (see FasesDia.h).
#include "transfer/FasesDia.h"

#include "platform/valores/Vb.h"
#include "startup/RutinasComunes.h"

FasesDia::FasesDia(ContextoPaso& c, ContaplusAbierto& contaplus, Durabilidad& durabilidad, CuentasCliente& cuentas,
                   const QString& desde, const QString& hasta)
    : c_(c), contaplus_(contaplus), durabilidad_(durabilidad), cuentas_(cuentas), desde_(desde), hasta_(hasta),
      cuenta_depositos_(c.ajustes.cuenta_depositos)
{
}
void FasesDia::fase_depositos()
{
    QString& tarea = c_.tarea;
    QDate dia_proceso = dma(desde_);
    const QDate dia_hasta = dma(hasta_);
    tarea = QStringLiteral("la lectura del diario");
    qint32 n_apunte = contaplus_.ultimo_asiento();

    const QString fase = QStringLiteral("Depósitos");
    const qint64 total = qMax<qint64>(0, dia_proceso.daysTo(dia_hasta) + 1);
    qint64 hecho = 0;
    c_.progreso.progreso(fase, 0, total);
    while (dia_proceso <= dia_hasta) {
        const QString fecha_dia = amd(dia_proceso);
        tarea = QStringLiteral("los depósitos del día ") + vb::FechaCorta(dia_proceso);
        rs_edep_.cerrar();
        rs_edep_.abrir(QStringLiteral("SELECT * FROM edep WHERE EdepFec = ? AND EdepEstado = '0'"),
                       c_.conexiones.conexion_enlace, Cursor::Dinamico, Bloqueo::Optimista, {fecha_dia});
        if (!rs_edep_.eof()) n_apunte += 1;
        while (!rs_edep_.eof()) {
            APUNTE_DEPOSITOS_DESCONTADOS_D(n_apunte, fecha_dia);
            APUNTE_DEPOSITOS_DESCONTADOS_H(n_apunte, fecha_dia);
            rs_edep_.asignar(QStringLiteral("EdepEstado"), QStringLiteral("1"));
            rs_edep_.guardar();
            rs_edep_.siguiente();
        }
        rs_edep_.cerrar();
        contaplus_.rs_diario.cerrar();
        dia_proceso = dia_proceso.addDays(1);
        c_.progreso.progreso(fase, ++hecho, total);
        durabilidad_.unidad();
    }
}

void FasesDia::fase_caja()
{
    QString& tarea = c_.tarea;
    const bool separar = c_.ajustes.separar_depositos;
    QDate dia_proceso = dma(desde_);
    const QDate dia_hasta = dma(hasta_);
    tarea = QStringLiteral("la lectura del diario");
    qint32 n_apunte = contaplus_.ultimo_asiento();

    const QString fase = QStringLiteral("Caja del día");
    const qint64 total = qMax<qint64>(0, dia_proceso.daysTo(dia_hasta) + 1);
    qint64 hecho = 0;
    c_.progreso.progreso(fase, 0, total);
    while (dia_proceso <= dia_hasta) {
        const QString fecha_dia = amd(dia_proceso);
        tarea = QStringLiteral("la caja del día ") + vb::FechaCorta(dia_proceso);

        // Day entry: one debit per payment method, one credit per movement.
        rs_cajj_.cerrar();
        rs_cajj_.abrir(separar ? QStringLiteral("SELECT Sum(CajImp) AS CajSuma, CajCobroc FROM cajj WHERE CajFra <> '' "
                                                "AND CajFec = ? AND CajEstado = '0' GROUP BY CajCobroc")
                               : QStringLiteral("SELECT Sum(CajImp) AS CajSuma, CajCobroc FROM cajj WHERE CajFec = ? "
                                                "AND CajEstado = '0' GROUP BY CajCobroc"),
                       c_.conexiones.conexion_enlace, Cursor::Dinamico, Bloqueo::Optimista, {fecha_dia});
        if (!rs_cajj_.eof() && !vb::esNulo(rs_cajj_.campo(QStringLiteral("CajSuma")))) {
            n_apunte += 1;
            while (!rs_cajj_.eof()) {
                APUNTE_DEBE_CAJA_CONTAPLUS(n_apunte, fecha_dia);
                rs_cajj_.siguiente();
            }
            rs_cajj_.cerrar();
            rs_cajj_.abrir(separar ? QStringLiteral("SELECT * FROM cajj WHERE CajFra <> '' AND CajFec = ? "
                                                    "AND CajEstado = '0'")
                                   : QStringLiteral("SELECT * FROM cajj WHERE CajFec = ? AND CajEstado = '0'"),
                           c_.conexiones.conexion_enlace, Cursor::Dinamico, Bloqueo::Optimista, {fecha_dia});
            if (!rs_cajj_.eof()) {
                while (!rs_cajj_.eof()) {
                    APUNTE_HABER_CAJA_CONTAPLUS(n_apunte);
                    rs_cajj_.siguiente();
                }
                rs_cajj_.cerrar();
                c_.conexiones.conexion_enlace.ejecutar(
                    separar ? QStringLiteral("UPDATE cajj Set CajEstado = '1' WHERE CajFEc = ? AND CajFra <> ''")
                            : QStringLiteral("UPDATE cajj Set CajEstado = '1' WHERE CajFec = ?"),
                    {fecha_dia});
            }
        }

        // Deposit collections posted apart: one entry each, numbered after
        // the day's, all marked together once the last is written.
        if (separar) {
            rs_cajj_.cerrar();
            rs_cajj_.abrir(QStringLiteral("SELECT * FROM cajj WHERE CajFec = ? AND CajEstado <> '1'"),
                           c_.conexiones.conexion_enlace, Cursor::Dinamico, Bloqueo::Optimista, {fecha_dia});
            if (!rs_cajj_.eof()) {
                while (!rs_cajj_.eof()) {
                    n_apunte += 1;
                    APUNTE_D_CONTAPLUS_COBRO_DEPOSITOS(n_apunte, fecha_dia);
                    APUNTE_H_CONTAPLUS_COBRO_DEPOSITOS(n_apunte);
                    rs_cajj_.siguiente();
                }
                rs_cajj_.cerrar();
                c_.conexiones.conexion_enlace.ejecutar(QStringLiteral(
                                                           "UPDATE cajj Set CajEstado = '1' WHERE CajFec = ?"),
                                                       {fecha_dia});
            }
        }
        rs_cajj_.cerrar();
        contaplus_.rs_diario.cerrar();
        dia_proceso = dia_proceso.addDays(1);
        c_.progreso.progreso(fase, ++hecho, total);
        durabilidad_.unidad();
    }
}
