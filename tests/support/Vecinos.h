#pragma once
// What the link's neighbours do to the ContaPlus working files between two
// runs: the accounting package imports them and empties them, another
// program appends to the journal. Raw dBASE, as those programs go by the
// header's count and nothing else.
#include <QByteArray>
#include <QString>

// ContaPlus importing Xdiario.dbf and XSubCta.dbf of `carpeta`: the records
// each header counts are copied to a file of their own in `destino` (what
// ContaPlus took), and the file is emptied in place, or replaced by a new
// empty file when `sustituir`.
void importar(const QString& carpeta, const QString& destino, bool sustituir);

// Another program appending `n` records to Xdiario.dbf of `carpeta` after
// the counted ones, copies of the stored record `modelo` whose CONCEPTO is
// "AJENO <i>". The count and the end mark follow them.
void anadir_ajenos(const QString& carpeta, const QByteArray& modelo, int n);

// The first counted record of the dBASE file `ruta`, as stored.
QByteArray primer_registro(const QString& ruta);

// Whether `registros` (records as stored) are, in a row, among the records
// the dBASE file `ruta` counts; false when there is no such file.
bool entre_contados(const QString& ruta, const QByteArray& registros);
