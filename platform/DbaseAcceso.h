#pragma once
// Private to the dBASE engine: shapelib reaches its files through Fichero
// (positioned, unbuffered, every write checked), and records are appended
// by our own writes, so a failed write is known at once and the file is put
// back as it was before the record. Includes shapelib: only platform .cpp
// files include this header.
#include "platform/Fichero.h"
#include <QByteArray>
#include <QString>
#include <shapefil.h>

// What a shapelib SAFile stands for here.
struct ArchivoDbase {
    Fichero fichero;
    qint64 posicion = 0;
};

// Hooks that open files as Fichero. `ruta_real`, when set for the duration
// of one open, is opened instead of the name shapelib builds (shapelib only
// tries the extensions ".dbf" and ".DBF"). Errors are kept for
// ultimo_error_dbase() instead of going to stderr.
SAHooks ganchos_dbase();
void fijar_ruta_dbase(const char* ruta_real);
QString ultimo_error_dbase();
void limpiar_error_dbase();

ArchivoDbase& archivo_de(DBFHandle h);

// How the size of a file agrees with its header.
struct EstadoTamano {
    enum Forma { Sano, Cola, Roto } forma = Sano;
    qint64 tamano = 0;
    qint64 esperado = 0;   // header + records, without the end mark
};
EstadoTamano comprobar_tamano(DBFHandle h);

// Cuts off what an append that never finished left past the last counted
// record, and puts the end mark back.
void quitar_cola(DBFHandle h);

// Appends one record (record length bytes, deletion flag first) after the
// last: record and end mark, then the header's count and date. On a failed
// write the file is left with the size, header and end mark it had, and a
// Fallo with the system's text is thrown.
void anadir_registro(DBFHandle h, const QByteArray& registro, const QString& tabla);

// Cuts the file back to `registros` records, with its end mark.
void recortar_registros(DBFHandle h, qint64 registros, const QString& tabla);

// SHA-1 of record `registros` - 1, or of the header when there is none.
QString huella_registro(DBFHandle h, qint64 registros);

void sincronizar_dbase(DBFHandle h);
