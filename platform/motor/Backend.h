#pragma once
// What a database engine behind a Conexion provides. Three engines: SQLite
// files for the Jet connection strings, ODBC for the SQL Server strings, and
// dBASE folders for the dBASE driver strings. Every failure is a Fallo with
// the number the original provider gives for it. What only the dBASE engine
// does is in MotorDbase.h.
#include "platform/sistema/Fallo.h"
#include "platform/valores/Columna.h"
#include <QString>
#include <QStringList>
#include <QVariant>
#include <QVector>
#include <memory>

class FilaDirecta;

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

    virtual std::unique_ptr<Consulta> abrir(const QString& sql, const QVariantList& parametros, bool actualizable) = 0;

    // Columns of a table in their order, for a row added without reading.
    virtual QVector<Columna> columnas(const QString& tabla) = 0;

    // Appends one row; only the columns named are set.
    virtual void insertar(const QString& tabla, const QStringList& columnas, const QVariantList& valores) = 0;
    // Appends the row a recordset added: `columnas` as columnas(tabla) gave
    // them, one value per column, those not `asignada` left out. An engine
    // may take the columns by their place; this one names them.
    virtual void insertar_fila(const QString& tabla, const QVector<Columna>& columnas, const QVariantList& valores,
                               const QVector<bool>& asignada);
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
    virtual void actualizar(const QString& tabla, const Resultado& leido, int fila, const QStringList& columnas,
                            const QVariantList& valores) = 0;
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
