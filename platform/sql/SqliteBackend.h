#pragma once
// An SQLite 3 file standing for an Access .MDB. Qt's driver opens it; the
// statements run on the engine's own interface, prepared once per text and
// kept: a transfer runs the same few statements thousands of times with other
// bound values, and Qt's layer would copy every value of every row twice.
// For the same reason what is worked out from a statement (its columns, the
// text of a row's INSERT or UPDATE, what an opened selection reads) is
// worked out once and kept beside it.
#include "platform/motor/Backend.h"
#include "platform/sql/MemoTexto.h"
#include <QHash>
#include <QSqlDatabase>
#include <QStringList>
#include <QVector>
#include <string>
#include <unordered_map>
#include <vector>

struct sqlite3;
struct sqlite3_stmt;
class QSqlError;

class SqliteBackend : public Backend {
public:
    explicit SqliteBackend(const QString& archivo);
    ~SqliteBackend() override;

    void ejecutar(const QString& sql, const QVariantList& parametros) override;
    std::unique_ptr<Consulta> abrir(const QString& sql, const QVariantList& parametros, bool actualizable) override;
    QVector<Columna> columnas(const QString& tabla) override;
    void insertar(const QString& tabla, const QStringList& columnas, const QVariantList& valores) override;
    // One prepared INSERT per table and set of assigned columns, the values
    // bound by place: `columnas` must be as columnas(tabla) gave them.
    void insertar_fila(const QString& tabla, const QVector<Columna>& columnas, const QVariantList& valores,
                       const QVector<bool>& asignada) override;
    qint64 clave_insertada() const override { return clave_insertada_; }
    void actualizar(const QString& tabla, const Resultado& leido, int fila, const QStringList& columnas,
                    const QVariantList& valores) override;

    // BEGIN IMMEDIATE ... COMMIT, the commit synced (synchronous=FULL for
    // it): the rest of the time the file runs with synchronous=NORMAL.
    void comenzar() override;
    void confirmar() override;
    void deshacer() override;
    bool en_transaccion() const override { return en_transaccion_; }
    bool admite_transacciones() const override { return true; }
    void comenzar_unidad() override;
    void confirmar_unidad() override;
    void deshacer_unidad() override;

    const QString& archivo() const { return archivo_; }
    // The engine's own handle (tests trace what it steps through).
    sqlite3* manejador() const { return h_; }

    // The prepared statement for `sql`, prepared on first use; a statement
    // the engine rejects is a Fallo with the provider's number.
    sqlite3_stmt* preparada(const QString& sql);
    // The last text read from each of the `n` columns of statement `s`: a
    // text that repeats, from row to row and from one run of the statement
    // to the next (a lookup by key run once per receipt), is that QString
    // again, not a new one.
    QString* anteriores(sqlite3_stmt* s, int n);
    // Columns of the prepared `sql` from column `primera` on, typed as table
    // `tabla` (if any) declares them; worked out once per statement.
    QVector<Columna> columnas_de(const QString& sql, sqlite3_stmt* s, const QString& tabla, int primera);
    // Binds the values to the reset statement, each as Qt's driver binds it.
    void enlazar(sqlite3_stmt* s, const QString& sql, const QVariantList& parametros);
    // Binds one value at place `n` (from 1); a refusal resets the statement
    // and throws.
    void enlazar(sqlite3_stmt* s, const QString& sql, int n, const QVariant& valor);
    // A key at place `n`, as the rowid it is.
    void enlazar_clave(sqlite3_stmt* s, int n, qint64 clave);
    // One step: true on a row, false when done. A failure resets the
    // statement and throws.
    bool paso(sqlite3_stmt* s, const QString& sql);
    // Binds and runs a statement that returns no rows; rows changed.
    int correr(const QString& sql, const QVariantList& parametros);
    [[noreturn]] void fallar(const QSqlError& error, const QString& sql) const;
    [[noreturn]] void fallar(const QString& mensaje, const QString& sql) const;
    QString identificador_tabla(const QString& tabla) const;

private:
    struct Sentencia {
        sqlite3_stmt* s = nullptr;
        // Its columns, once worked out, from column `primera` on (-1: not
        // yet) with the types of table `tabla`.
        int primera = -1;
        QString tabla;
        QVector<Columna> columnas;
    };
    // A row's INSERT or UPDATE: its text, for the fault seam and failures.
    struct Escritura {
        QString sql;
        sqlite3_stmt* s = nullptr;
    };
    // What the text of an opened statement says; it depends on the text
    // alone, so it outlives schema changes.
    struct Apertura {
        bool valida = false;  // a plain selection from `tabla`
        QString tabla;
        QString con_clave;  // the same reading the rowid first
        QString por_clave;  // one row of `tabla` by its rowid
        // For a selection in an order of its own: the same reading only the
        // rowid, so the engine sorts keys, not whole rows.
        QString solo_claves;
    };

    // The statement prepared for `sql`, nullptr when none.
    Sentencia* sentencia(const QString& sql);

    QString archivo_;
    QString nombre_;
    QSqlDatabase db_;
    sqlite3* h_ = nullptr;
    // Texts bound as UTF-16 are left in place when the file is UTF-8: the
    // engine converts them as it binds and keeps no pointer to them.
    bool utf8_ = false;
    // What was last bound at each place of each statement. A binding
    // outlives sqlite3_reset, so the same value bound again is left as it
    // is (most places of a row written after another repeat it). The UTF-8
    // of an ASCII text is kept here, and the engine reads it where it is
    // until that place is bound again (the vector has a place for every
    // parameter from the start, so none moves).
    struct Enlazado {
        enum Tipo : char { Ninguno, Nulo, Texto, Entero, Doble } tipo = Ninguno;
        qint64 entero = 0;
        double doble = 0;
        std::string texto;
    };
    // Place `n` of statement `s`; nullptr past its parameters.
    Enlazado* enlazado(sqlite3_stmt* s, int n);
    // Every place of `s` Null, and not known here.
    void limpiar_enlaces(sqlite3_stmt* s);
    // A whole number or a double at place `n` (`e` its memory, or nullptr),
    // left as it is when the same one is bound there.
    int enlazar_entero(sqlite3_stmt* s, int n, Enlazado* e, qint64 x);
    int enlazar_doble(sqlite3_stmt* s, int n, Enlazado* e, double x);
    std::unordered_map<sqlite3_stmt*, std::vector<Enlazado>> enlazados_;
    sqlite3_stmt* enlazados_de_ = nullptr;
    std::vector<Enlazado>* enlazados_ultimos_ = nullptr;
    std::unordered_map<sqlite3_stmt*, std::vector<QString>> anteriores_;
    QHash<QString, Sentencia> preparadas_;
    MemoTexto<Sentencia> memo_preparadas_;
    // By table name as given and in lower case.
    QHash<QString, QVector<Columna>> columnas_;
    MemoTexto<QVector<Columna>> memo_columnas_;
    // By table name as given, then by the columns assigned or set.
    QHash<QString, QHash<QVector<bool>, Escritura>> altas_;
    QHash<QString, QHash<QStringList, Escritura>> actualizaciones_;
    MemoTexto<QHash<QVector<bool>, Escritura>> memo_altas_;
    MemoTexto<QHash<QStringList, Escritura>> memo_actualizaciones_;
    QHash<QString, Apertura> aperturas_;
    MemoTexto<Apertura> memo_aperturas_;
    qint64 clave_insertada_ = -1;
    bool en_transaccion_ = false;

    // The fault seam, before each write (see Averias.h).
    void averia(const QString& sql) const;
    void ordenar(const QString& sql);
    QString identificador(const QString& nombre) const;
    // Prepares `sql` after the fault seam, as every write does.
    Escritura escritura(const QString& sql);
    // Steps a bound statement that returns no rows; rows changed.
    int terminar(sqlite3_stmt* s, const QString& sql);
    void olvidar_esquema();
};
