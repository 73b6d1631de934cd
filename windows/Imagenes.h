#pragma once
// The pictures of the windows, drawn when first asked for: nothing is read
// from disk.
#include <QPixmap>

QPixmap imagen_cabecera();       // menu: the hotel, an arrow, the ledger
QPixmap imagen_configuracion();  // menu: a gear
QPixmap imagen_traspaso();       // menu: invoices going into the ledger
QPixmap imagen_pie();            // menu: a strip of ledger lines
QPixmap imagen_guardar();        // settings: a diskette
QPixmap imagen_salir();          // settings: an open door
QPixmap imagen_calendario();     // transfer: a calendar leaf
