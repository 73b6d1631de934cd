#pragma once
// The hotel's connections: one per table family in Access mode, the one
// catalogue in SQL Server mode, and the link's own database. Opened by the
// start-up, never closed by the program; a run is handed them, not the
// program's state.
#include "platform/sql/Conexion.h"

struct ConexionesHotel {
    bool modo_sql = false;

    Conexion conexion_unidad, conexion_sistema, conexion_sql, conexion_enlace;
    Conexion conexion_cc, conexion_cab, conexion_cadia, conexion_dep, conexion_emi, conexion_hiscadia,
        conexion_histocab, conexion_ser, conexion_agen, conexion_na, conexion_caja, conexion_cli, conexion_formas,
        conexion_emp;

    // The connection a hotel table is read through: conexion_sql in SQL mode,
    // else the family's own connection.
    Conexion& hotel(Conexion& propia) { return modo_sql ? conexion_sql : propia; }
};
