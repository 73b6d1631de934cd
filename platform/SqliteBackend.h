#pragma once
// An SQLite 3 file standing for an Access .MDB. Qt's driver opens it; the
// statements run on the engine's own interface, prepared once per text and
// kept: a transfer runs the same few statements thousands of times with other
// bound values, and Qt's layer would copy every value of every row twice.
#include "platform/Backend.h"
#include <QHash>
#include <QSqlDatabase>

struct sqlite3;
struct sqlite3_stmt;
class QSqlError;

class SqliteBackend : public Backend {
public:
    explicit SqliteBackend(const QString& archivo);
    ~SqliteBackend() override;

    void ejecutar(const QString& sql, const QVariantList& parametros) override;
    std::unique_ptr<Consulta> abrir(const QString& sql, const QVariantList& parametros,
                                    bool actualizable) override;
    QVector<Columna> columnas(const QString& tabla) override;
    void insertar(const QString& tabla, const QStringList& columnas,
                  const QVariantList& valores) override;
    qint64 clave_insertada() const override { return clave_insertada_; }
    void actualizar(const QString& tabla, const Resultado& leido, int fila,
                    const QStringList& columnas, const QVariantList& valores) override;

    // BEGIN IMMEDIATE ... COMMIT, the commit synced (synchronous=FULL for
    // it): the rest of the time the file runs with synchronous=NORMAL.
    void comenzar() override;
    void confirmar() override;
    void deshacer() override;
    bool en_transaccion() const override { return en_transaccion_; }
    void comenzar_unidad() override;
    void confirmar_unidad() override;
    void deshacer_unidad() override;

    const QString& archivo() const { return archivo_; }
    // The engine's own handle (tests trace what it steps through).
    sqlite3* manejador() const;

    // The prepared statement for `sql`, prepared on first use; a statement
    // the engine rejects is a Fallo with the provider's number.
    sqlite3_stmt* preparada(const QString& sql);
    // Binds the values to the reset statement, each as Qt's driver binds it.
    void enlazar(sqlite3_stmt* s, const QString& sql, const QVariantList& parametros);
    // One step: true on a row, false when done. A failure resets the
    // statement and throws.
    bool paso(sqlite3_stmt* s, const QString& sql);
    // Binds and runs a statement that returns no rows; rows changed.
    int correr(const QString& sql, const QVariantList& parametros);
    [[noreturn]] void fallar(const QSqlError& error, const QString& sql) const;
    [[noreturn]] void fallar(const QString& mensaje, const QString& sql) const;
    QString identificador_tabla(const QString& tabla) const;

private:
    QString archivo_;
    QString nombre_;
    QSqlDatabase db_;
    QHash<QString, sqlite3_stmt*> preparadas_;
    QHash<QString, QVector<Columna>> columnas_;   // by table name in lower case
    qint64 clave_insertada_ = -1;
    bool en_transaccion_ = false;

    // The fault seam, before each write (see Averias.h).
    void averia(const QString& sql) const;
    void ordenar(const QString& sql);
    QString identificador(const QString& nombre) const;
    void olvidar_esquema();
};
