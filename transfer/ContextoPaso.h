#pragma once
// What each stage of a run is handed, and nothing more: the settings as the
// run took them, the hotel's connections, the run's log and report summary,
// where its progress goes, and the text a failure names ("la factura 123").
// The durable point and the open ContaPlus files are handed to the stages
// that write through them.
#include "report/ResumenTraspaso.h"
#include "startup/AjustesEnlace.h"
#include "startup/ConexionesHotel.h"
#include "transfer/RegistroTraspaso.h"
#include "transfer/VistaTraspaso.h"
#include <QString>

// Thrown right after a group's commit when the clerk asked the run to stop;
// caught by the run's course, which ends the run there.
struct DetencionPedida {};

struct ContextoPaso {
    const AjustesEnlace& ajustes;
    ConexionesHotel& conexiones;
    RegistroTraspaso& log;
    ResumenTraspaso& resumen;
    Progreso& progreso;
    QString& tarea;
};

// A name that loses characters in the files' code page, for the report.
void anotar_nombre(ResumenTraspaso& resumen, const QString& nombre, const QString& donde);
