#pragma once
// Registers the SQLite ODBC driver under the name "SQL Native Client" in a
// private ODBCSYSINI folder, so SQL Server connection strings of the program
// run through real ODBC with Database= naming an SQLite file. Once per
// process; call it before the first ODBC connection.
void registrar_sql_native_client();
