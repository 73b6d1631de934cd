#pragma once
// The two date boxes of the transfer window, without widgets: what Enter or
// Tab in each box does to its text, to fecha_desde / fecha_hasta, and which
// message the clerk gets. The window and the command line both use them.
#include "transfer/Traspaso.h"
#include <QString>

enum class ResultadoFecha {
    Aceptada,            // box rewritten as dd/mm/aaaa, variable set
    Incorrecta,          // "Fecha incorrecta" shown; the box is emptied
    AnteriorALaInicial,  // "La fecha final no puede ser inferior a la inicial"; box emptied
    SinInicio,           // end date with no start date accepted: "Fecha incorrecta", focus to de
};

// `texto` is the box's text, typed as ddmmaaaa; it is rewritten in place.
ResultadoFecha confirmar_desde(Traspaso& t, QString& texto);
ResultadoFecha confirmar_hasta(Traspaso& t, QString& texto);
