#pragma once
// shapelib as the dBASE engine calls it; private to that engine (only its
// .cpp files include this header). shapelib reaches its files through
// Fichero: positioned, unbuffered, every write checked, so nothing is left in
// a buffer for a later seek to write somewhere else. Errors are kept for the
// Fallo instead of going to stderr, and the file opened is the one found
// without regard to case (shapelib itself only tries ".dbf" and ".DBF").
#include "platform/sistema/Fichero.h"
#include <QByteArray>
#include <QString>

#include <shapefil.h>

namespace dbase {

// What a shapelib SAFile stands for here.
struct ArchivoDbase {
    Fichero fichero;
    qint64 posicion = 0;
    // What our own appends know of the file, so the next one need not ask:
    // its size and header bytes 1-7 (date and count); -1 and empty when not
    // known (any write through shapelib forgets them).
    qint64 tamano = -1;
    QByteArray cabecera;
    void olvidar()
    {
        tamano = -1;
        cabecera.resize(0);
    }  // keeps the buffer for the next
};

// DBFOpenLL on exactly the file `ruta`, with the hooks below; nullptr when
// it cannot be opened (con_error_shp says why).
DBFHandle abrir_dbf(const QByteArray& ruta, const char* modo);

// The file behind an open handle.
ArchivoDbase& archivo_de(DBFHandle h);

// Forgets the last error shapelib reported on this thread.
void olvidar_error_shp();

// The text followed by the last error shapelib reported, if any.
QString con_error_shp(const QString& texto);

}  // namespace dbase
