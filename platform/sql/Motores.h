#pragma once
// The three engines a Conexion can open, by the kind of its connection
// string; the dBASE one (abrir_dbase) is declared with its engine.
#include "platform/dbase/DbaseBackend.h"
#include "platform/motor/Backend.h"
#include <memory>

// An SQLite 3 file standing for an .MDB; a missing file fails with
// FALLO_GENERAL and is never created.
std::shared_ptr<Backend> abrir_sqlite(const QString& archivo_local);
// An ODBC connection string, passed unchanged to the driver manager.
std::shared_ptr<Backend> abrir_odbc(const QString& cadena, const QString& usuario, const QString& clave);
