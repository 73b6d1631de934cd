#pragma once
// The program-wide state of enlace and the start-up that fills it: the drive
// of the hotel data, the Access or SQL Server choice, every hotel connection
// and recordset, and the link settings loaded from the row of `cc`.
// One object, owned by the program, alive until it ends.
#include "platform/sistema/Interlocutor.h"
#include "platform/sistema/Unidades.h"
#include "platform/sql/Conexion.h"
#include "platform/sql/Recordset.h"
#include "startup/AjustesEnlace.h"
#include "startup/ConexionesHotel.h"
#include <QString>

// Thrown after the clerk has been told that the program cannot go on (the
// connection failure message, or a start-up file or row that is missing): the
// program ends there, nothing more of the start-up runs.
struct FinPrograma {};

// The link settings in memory are the AjustesEnlace part of Module1, so that
// m.empresa, m.digitos, ... name them directly; the hotel's connections are
// its ConexionesHotel part. A run takes a copy of the one and the other by
// reference (see transfer/ContextoPaso.h).
class Module1 : public AjustesEnlace, public ConexionesHotel {
public:
    Module1(Unidades unidades, Interlocutor& interlocutor);

    Unidades unidades;
    Interlocutor& interlocutor;

    // Start-up state.
    QString unidad;
    QString servidor_sql;
    QString catalogo_sql;
    bool conectado = false;

    // Status bar texts of the main menu.
    QString panel1;  // "versión 5.04.001"
    QString panel2;  // "Conectado: ..."

    // Recordsets of the start-up: the drive, the connection type, the
    // settings row. A run's recordsets belong to its stages.
    Recordset rs_unidad, rs_con, rs_cc;

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
