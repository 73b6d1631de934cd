#pragma once
// A recordset on SQL text, as the code above uses ADO's: open with a cursor
// and lock type, tell open and end, move to the next row, read and set fields
// by name without regard to case (Null is an invalid QVariant, distinct from
// the empty text), add a row, save it, close.
//
// Opening only checks the statement; the rows are read the first time one is
// asked for (eof(), campo(), siguiente()). A recordset opened on
// "SELECT * FROM t" only to add a row therefore never reads t.
// Saving a changed row writes that row only.
//
// Where the engine reads by pages (SQLite, a selection opened to be
// written), the first read fixes which rows and in what order, and the rows
// themselves are read a page at a time as they are then: a pass over a
// year's invoices holds one page of them. A row another program deletes
// after that is passed over by siguiente().
#include "platform/sql/Conexion.h"
#include <QString>
#include <QVariant>
#include <QVector>
#include <memory>
#include <optional>

enum class Cursor { Dinamico, Estatico, SoloAdelante };
enum class Bloqueo { SoloLectura, Optimista };

class Recordset {
public:
    Recordset();
    ~Recordset();
    Recordset(Recordset&&) noexcept;
    Recordset& operator=(Recordset&&) noexcept;

    // Values in `parametros` are bound to the "?" of `sql`, never pasted.
    void abrir(const QString& sql, Conexion& conexion, Cursor cursor = Cursor::Dinamico,
               Bloqueo bloqueo = Bloqueo::SoloLectura, const QVariantList& parametros = {});
    bool abierto() const;
    void cerrar();  // closes if open; harmless when closed

    bool eof();         // no current row (reads the query if not yet read)
    void siguiente();   // MoveNext
    qint64 recuento();  // rows of the result (reads it)
    // The current row's place in the result, and a move back to one: a
    // pass that sets its marks after a commit finds its rows again.
    qint64 posicion();
    void ir_a(qint64 posicion);

    // Field of the current row, or of the row being added. A name that is not
    // a column fails with ELEMENTO_NO_ENCONTRADO; no current row, SIN_FILA_ACTUAL.
    QVariant campo(const QString& nombre);
    // Sets a field of the current or new row; the value is converted to the
    // column's type (a number into a text column is written as its digits).
    void asignar(const QString& nombre, const QVariant& valor);

    void nuevo();    // AddNew: a pending row, nothing read
    void guardar();  // Update: inserts the new row or writes the changes
    // Sets field `nombre` to `valor` in the rows at `posiciones` and saves
    // them, as ir_a(), asignar() and guardar() row by row would, but lets the
    // engine write several rows with one statement (see
    // Backend::actualizar_filas). The current row stays the one it was;
    // after a failure it is the row that failed (the first of those written
    // together, when the engine cannot tell which of them it was).
    void guardar_filas(const QVector<qint64>& posiciones, const QString& nombre, const QVariant& valor);

    // For tests: whether the query has been read since it was opened.
    bool leido() const;

private:
    struct Estado;
    struct Pistas;
    std::unique_ptr<Estado> e_;
    // Where each name was found, kept across openings (see Recordset.cpp).
    std::unique_ptr<Pistas> pistas_;
};
