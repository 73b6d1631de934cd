#pragma once
// Faults injected on purpose, so the tests can prove that a transfer stopped
// at any write converges on the next run. Two definitions of these calls,
// chosen when linking: Averias.cpp (library enlace_averias: the test build
// enlace_prueba and the tests) reads the environment below; AveriasInertes.cpp
// (enlace_averias_inertes: the shipped enlace) injects nothing and reads no
// variable, so a stray one on a clerk's workstation changes nothing.
//
// In the test build, off unless the environment asks:
//
//   ENLACE_AVERIA=<fichero>:<n>:<accion>[,<fichero>:<n>:<accion>...]
//     <fichero>  a file name without its folder, in any case ("Xdiario.dbf",
//                "enlace.MDB"), a pattern ("tc_*.html": its writes
//                counted together), or "*" for any file;
//     <n>        the n-th write to it in this process, counted from 1;
//     <accion>   "matar": the process ends at once, as under a kill, before
//                the write; "mitad": half of the write reaches the file, then
//                the process ends; "disco": half of the write reaches the
//                file and the write fails as on a full disk; "senal": the
//                process gets SIGINT, as from Ctrl+C, and the write goes on,
//                so a test knows where the clerk's interruption falls;
//                "orden": the command ENLACE_AVERIA_ORDEN is run by the shell
//                and waited for, then the write goes on (a test's server
//                drops the link's connection there, say).
//
//   ENLACE_AVERIA_RECUENTO=<fichero>
//     at the end of the process, one line per file written: its name and
//     how many writes it had, so a test knows which points there are.
//
//   ENLACE_ESPERA_BLOQUEO=<ms>
//     how long a statement of the ODBC engine may wait for the server
//     (a row another program holds locked) before it is cancelled.
//
//   ENLACE_SINCRONIZADOS=<carpeta>
//     every file synced is copied there under its own name at that moment,
//     so a test can put back what a power cut would leave: what was synced.
//
// Writes are counted by the file layer (every positioned write to a dBASE
// file), by the SQLite engine (every statement that changes a database, and
// every commit) and by the ODBC engine (every write and commit of the
// catalogue, counted under its file name).
#include <QString>

namespace averias {

enum class Accion { Ninguna, Matar, Mitad, Disco, Senal, Orden };

// Called before each write to `ruta`: what the test asked for this one.
// Matar ends the process here and does not return.
Accion escritura(const QString& ruta);

// Ends the process at once, as a kill would.
[[noreturn]] void terminar();

// Before a statement that writes to the database `ruta` (`que` names it in
// a failure: "archivo", "catálogo"): what the test asked for this write,
// done. A full disk is a Fallo naming the database and the statement.
void ante_sentencia(const QString& ruta, const QString& que, const QString& sql);

// Called after `ruta` was synced.
void sincronizado(const QString& ruta);

// How long, in milliseconds, a statement may wait for the server: the
// test's ENLACE_ESPERA_BLOQUEO, else `predeterminada`.
int espera_bloqueo(int predeterminada);

// True when any fault or the synced-copy folder is configured.
bool activas();

}  // namespace averias
