#pragma once
// A dry run ("Vista previa", `enlace traspaso --simular`): the whole
// transfer of a range, with its log, journal lines and report, that changes
// nothing anywhere. It runs on copies in a temporary folder standing for the
// installation: the link database enlace.MDB (copied with SQLite's backup,
// a consistent snapshot), the ContaPlus templates, journal and subaccount
// files and the company's SubCta. The hotel's tables are read through the
// real connections and never written (Conexion::simulada()): a hotel table is
// read as the run's own statements would have left it, and no write lock is
// ever taken on it. The locks the run takes are on the copies, so a dry run
// never keeps a real one out.
//
// A dry run made while a real run is going on sees the link database as of
// that run's last durable commit (the copied journal is cut back to it as
// after a stop there), and the hotel as it is when read.
#include "transfer/Traspaso.h"
#include <QString>
#include <functional>

struct OpcionesSimulacion {
    // Prepare the copies as an activation of the window does (the command
    // line); false: take them as they are, the window being active already.
    bool activar = true;
    // Called with the temporary installation's folder (laid out as a
    // --unidades folder) once the run is over and its connections closed,
    // before it is removed.
    std::function<void(const QString& raiz)> al_terminar;
};

struct Simulacion {
    FinTraspaso fin = FinTraspaso::SinPreparar;
    // Local paths of the report and its CSV in the log folder; empty when the
    // run did not start (refused, answered No, not prepared).
    QString informe, csv;
    // Why the copies could not be made; empty otherwise.
    QString fallo;
};

// A dry run of the range confirmed in `t` (fecha_desde, fecha_hasta and the
// date boxes of its view), asking the same questions as a real run.
Simulacion simular(Traspaso& t, const OpcionesSimulacion& opciones = {});

// Writes the report and the CSV of the dry run `s`, marked as a dry run, as
// `ruta_html` (or the next free name) and the same name in .csv; `html` and
// `csv` get the paths as each is written. A Fallo leaves no part of the file
// that failed.
void escribir_informe_simulacion(Traspaso& s, const QString& ruta_html, QString* html, QString* csv);
