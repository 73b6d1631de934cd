#pragma once
// The program-wide state of enlace and the start-up that fills it: the drive
// of the hotel data, the Access or SQL Server choice, every hotel connection
// and recordset, and the link settings loaded from the row of `cc`.
// One object, owned by the program, alive until it ends.
#include "platform/sql/Conexion.h"
#include "platform/sistema/Interlocutor.h"
#include "platform/sql/Recordset.h"
#include "platform/sistema/Unidades.h"
#include "startup/AjustesEnlace.h"
#include <QHash>
#include <QString>
#include <QVariantList>

// Thrown after the clerk has been told that the program cannot go on (the
// connection failure message, or a start-up file or row that is missing): the
// program ends there, nothing more of the start-up runs.
struct FinPrograma {};

// The link settings in memory are the AjustesEnlace part of Module1, so that
// m.empresa, m.digitos, ... name them directly.
class Module1 : public AjustesEnlace {
public:
    Module1(Unidades unidades, Interlocutor& interlocutor);

    Unidades unidades;
    Interlocutor& interlocutor;

    // Start-up state.
    QString unidad;
    bool modo_sql = false;
    QString servidor_sql;
    QString catalogo_sql;
    bool conectado = false;

    // Status bar texts of the main menu.
    QString panel1;             // "versión 5.04.001"
    QString panel2;             // "Conectado: ..."

    // Connections, never closed by the program.
    Conexion conexion_unidad, conexion_sistema, conexion_sql, conexion_enlace;
    Conexion conexion_cc, conexion_cab, conexion_cadia, conexion_dep, conexion_emi,
        conexion_hiscadia, conexion_histocab, conexion_ser, conexion_agen, conexion_na,
        conexion_caja, conexion_cli, conexion_formas, conexion_emp;

    // One recordset per table family that is queried.
    Recordset rs_unidad, rs_con;
    Recordset rs_cc, rs_cab, rs_emi, rs_hiscadia, rs_agen, rs_na, rs_cli, rs_caja, rs_formas;
    Recordset rs_cajj, rs_edep, rs_fac, rs_fal;

    // Rows of cli, agen, na and formas a transfer has looked up, by code,
    // with the columns the lookup uses; filled only while a run is in course
    // (activa), emptied when it ends. Those tables do not change during a
    // transfer. The hotel program may add a customer while one runs, but a
    // code read on its first lookup and kept for the rest of the run gives
    // what a read of all of them at the start of the run would have.
    struct FilasLeidas {
        struct Fila {
            bool existe = false;
            QVariantList valores;
        };
        bool activa = false;
        QHash<QString, Fila> cli, agen, na, formas;
        void empezar() { vaciar(); activa = true; }
        void terminar() { vaciar(); activa = false; }
        void vaciar() { cli.clear(); agen.clear(); na.clear(); formas.clear(); }
    };
    FilasLeidas filas_leidas;

    // The connection a hotel table is read through: conexion_sql in SQL mode,
    // else the family's own connection.
    Conexion& hotel(Conexion& propia) { return modo_sql ? conexion_sql : propia; }

    // The main menu's load (drive, mode, version text, connections) and
    // activation (settings, connection text). cargar() throws FinPrograma
    // after telling the clerk when the program cannot go on.
    void cargar();
    void activar();

    QString leer_unidad();
    void leer_tipo_conexion();
    void abrir_conexiones();
    void conectar_sql();
    void conectar_mdb();
    void abrir_enlace();

    void actualizar_cc();
    // The load replaces the settings in memory only when the whole row was
    // read; the save writes the row and leaves the settings in memory alone.
    void cargar_cc();
    void guardar_cc(const AjustesEnlace& ajustes);

    // Connection string of an .MDB of the hotel drive (":\quelmira\cc.MDB").
    QString cadena_mdb(const QString& ruta) const;
};
