#pragma once
// Private to the dBASE engine: records appended and files cut with our own
// checked writes, so that a failed write leaves the file as it was before
// the record (size, header, end mark), and the checks that find what an
// append or a cut that never finished left behind.
#include "platform/dbase/DbaseGanchos.h"
#include <QByteArray>
#include <QString>

namespace dbase {

// How the size of a file agrees with its header.
struct EstadoTamano {
    enum Forma { Sano, Cola, Roto } forma = Sano;
    qint64 tamano = 0;
    qint64 esperado = 0;  // header + records, without the end mark
};
EstadoTamano comprobar_tamano(DBFHandle h);

// Cuts off what an append that never finished left past the last counted
// record, and puts the end mark back.
void quitar_cola(DBFHandle h);

// Appends one record after the last: `registro_y_marca` is the record
// (record length bytes, deletion flag first) and the end mark, written
// together, then the header's count and date. On a failed
// write the file is left with the size, header and end mark it had, and a
// Fallo with the system's text is thrown.
// The most records one write appends: what a write that stopped half way
// can leave past the counted records, and so the longest tail the next
// open takes for ours.
constexpr int REGISTROS_POR_ESCRITURA = 64;

void anadir_registro(DBFHandle h, const QByteArray& registro_y_marca, const QString& tabla);
// The same for `cuantos` records one after another, and the end mark.
void anadir_registros(DBFHandle h, const QByteArray& registros_y_marca, int cuantos, const QString& tabla);

// The two halves of it: the records and the end mark written past the
// counted ones; then the header's count, which makes them part of the
// table. With `primero`, the first byte of the first record is written
// just before the count (the records were written with an end mark in its
// place, so that a reader that stops at the end mark does not see them
// either). On a failure of the second half the file goes back to
// `tamano_antes`, its size before the first.
void escribir_sin_contar(DBFHandle h, const QByteArray& registros_y_marca, const QString& tabla);
void contar(DBFHandle h, int cuantos, qint64 tamano_antes, const QString& tabla, const char* primero);

// Cuts the file back to `registros` records, with its end mark.
void recortar_registros(DBFHandle h, qint64 registros, const QString& tabla);

// SHA-1 of record `registros` - 1, or of the header when there is none.
QString huella_registro(DBFHandle h, qint64 registros);

void sincronizar_dbase(DBFHandle h);

}  // namespace dbase
