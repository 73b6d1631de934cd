#pragma once
// What a database engine behind a Conexion provides. Three engines: SQLite
// files for the Jet connection strings, ODBC for the SQL Server strings, and
// dBASE folders for the dBASE driver strings. Every failure is a Fallo with
// the number the original provider gives for it.
#include "platform/Fallo.h"
#include <QString>
#include <QStringList>
#include <QVariant>
#include <QVector>
#include <memory>

class FilaDirecta;

enum class TipoColumna { Texto, Numero, Logico, Fecha, Otro };

struct Columna {
    QString nombre;              // as the table spells it
    TipoColumna tipo = TipoColumna::Otro;
    int ancho = 0;               // dBASE: field width; 0 elsewhere
    int decimales = 0;           // dBASE: decimals of an N field
};

// Rows read by a query: all of them, or one page of them.
struct Resultado {
    QVector<Columna> columnas;
    QVector<QVariantList> filas;
    // One key per row when the query was opened to be written: the rowid in
    // SQLite, the record number in dBASE; empty for ODBC, which locates a row
    // by its original values. In a page, -1 (and no values) for a row that
    // is no longer in the table.
    QVector<qint64> claves;
};

// A statement opened by a recordset. Opening checks it the way the provider
// does on Recordset.Open (missing table or column raise their error here);
// leer() runs it and fetches the rows.
//
// An engine that reads by pages runs the query once for the keys of its rows
// in order (contar()), and reads the rows by those keys a page at a time
// (pagina()), as they are in the table then: a large selection never sits
// whole in memory. Which rows and in what order are those of the first run,
// as a full read would have them.
class Consulta {
public:
    virtual ~Consulta() = default;
    virtual Resultado leer() = 0;
    // Table a row added through this recordset goes into; empty when the
    // statement is not a plain selection from one table.
    virtual QString tabla() const = 0;

    virtual bool por_paginas() const { return false; }
    virtual qint64 contar();
    // Rows [desde, desde + cuantas) of those contar() found; the columns are
    // given even when cuantas is 0.
    virtual Resultado pagina(qint64 desde, int cuantas);
};

class Backend {
public:
    virtual ~Backend() = default;

    virtual void ejecutar(const QString& sql, const QVariantList& parametros) = 0;

    virtual std::unique_ptr<Consulta> abrir(const QString& sql, const QVariantList& parametros,
                                            bool actualizable) = 0;

    // Columns of a table in their order, for a row added without reading.
    virtual QVector<Columna> columnas(const QString& tabla) = 0;

    // Appends one row; only the columns named are set.
    virtual void insertar(const QString& tabla, const QStringList& columnas,
                          const QVariantList& valores) = 0;
    // Appends the row a recordset added: `columnas` as columnas(tabla) gave
    // them, one value per column, those not `asignada` left out. An engine
    // may take the columns by their place; this one names them.
    virtual void insertar_fila(const QString& tabla, const QVector<Columna>& columnas,
                               const QVariantList& valores, const QVector<bool>& asignada);
    // Key (as in Resultado::claves) of the row the last insertar() added, so
    // a recordset standing on it can write it again; -1 when the engine
    // locates rows otherwise or does not know it.
    virtual qint64 clave_insertada() const;
    // The table's rows appended value by value (see FilaDirecta), when the
    // engine can and `columnas` are the table's as columnas() now gives
    // them; nullptr otherwise, and rows go through insertar_fila. Valid
    // until the next call on this engine.
    virtual FilaDirecta* fila_directa(const QString& tabla, const QVector<Columna>& columnas);

    // Writes the changed columns of row `fila` of `leido`. A row that is no
    // longer as it was read fails with codigo_error::FILA_NO_LOCALIZADA.
    virtual void actualizar(const QString& tabla, const Resultado& leido, int fila,
                            const QStringList& columnas, const QVariantList& valores) = 0;
    // The same change (`columnas` set to `valores`) written into rows
    // `filas` of `leido` (each once), in their order, as actualizar() row
    // by row, which is what this does. `escritas` counts the rows of `filas`
    // written so far: after a failure the rows before filas[escritas] are.
    // An engine whose every statement is a round trip may write rows that
    // differ only in the last column of their key with one statement; when
    // such a write fails, filas[escritas] is its first row, and the failure
    // says it cannot tell which of them it was.
    virtual void actualizar_filas(const QString& tabla, const Resultado& leido, const QVector<int>& filas,
                                  const QStringList& columnas, const QVariantList& valores, qsizetype& escritas);

    // dBASE only: number of records of a table, and cutting it back to a
    // number of records (used to undo a half-written entry).
    virtual qint64 registros(const QString& tabla);
    virtual void recortar(const QString& tabla, qint64 registros);
    // dBASE only: the table's file on stable storage; SHA-1 of its record
    // `registros` - 1 (of its field descriptors when 0), to know it again;
    // its check: an append or cut that stopped half way is finished (one
    // line per repair returned), a header that does not match the size fails.
    virtual void sincronizar(const QString& tabla);
    virtual QString huella(const QString& tabla, qint64 registros);
    virtual QStringList comprobar(const QString& tabla);
    // dBASE only: from agrupar(true) to agrupar(false) (one group of entries
    // of a run, while its lock files keep other transfers out) the records
    // appended are held back: read by this engine, not on the file, seen by
    // no other program. volcar() writes them (records, end mark, then the
    // header's count) when the file is still as this engine left it;
    // agrupar(false) writes what is still held. recortar() to a count past
    // the file's takes off held records only. Each file is checked for
    // another program's change on its first use in the group only.
    virtual void agrupar(bool) {}
    virtual void volcar() {}
    // dBASE only: the held records written past the counted ones and synced,
    // seen by no reader yet; volcar() then only counts them.
    virtual void preparar_volcado() {}

    // dBASE only: what a group holds back for `tabla`: the records on the
    // file (`base`), the record length, and the held records as stored.
    struct Retenidos {
        qint64 base = 0;
        int largo = 0;
        qint64 registros = 0;
        QByteArray bytes;
    };
    virtual Retenidos retenidos(const QString& tabla);
    // dBASE only: records [desde, desde + n) as stored, held ones included.
    virtual QByteArray crudos(const QString& tabla, qint64 desde, qint64 n);
    // dBASE only: the bytes past the counted records that an append which
    // stopped half way left (empty when none).
    virtual QByteArray cola(const QString& tabla);
    // dBASE only: whole records, as stored, appended after the counted ones
    // over whatever tail is there, header counted and synced: the file
    // then holds them whether or not it was fit to be written into before.
    virtual void reponer(const QString& tabla, const QByteArray& registros);
    // dBASE only: what identifies the file as it is on disk now (size,
    // modification time, inode), to know later whether anyone wrote to it.
    virtual QString identidad(const QString& tabla);

    // A transaction (ADO's BeginTrans, CommitTrans, RollbackTrans). Its
    // commit is durable: on stable storage when confirmar() returns.
    virtual void comenzar();
    virtual void confirmar();
    virtual void deshacer();
    virtual bool en_transaccion() const { return false; }
    // Whether comenzar() can be used at all (an ODBC driver may have none).
    virtual bool admite_transacciones() const { return false; }
    // A unit inside the transaction (a savepoint): undone alone, the rest
    // of the transaction kept.
    virtual void comenzar_unidad();
    virtual void confirmar_unidad();
    virtual void deshacer_unidad();
};
