#pragma once
// A connection through the ODBC driver manager with the connection string as
// the program gives it (SQL Server mode), straight on the ODBC API with ODBC 3
// behaviour: every string passed with its exact length, never with a final
// zero counted (a server's driver takes lengths literally). Statements are
// prepared once per text, on statement handles of their own. A row is
// written back by its primary key and the original values of the columns
// being changed (by every comparable original value when the table has no
// key), so a row another program changed meanwhile is reported, never
// overwritten.
#include "platform/motor/Backend.h"
#include <QHash>
#include <QStringList>
#include <memory>

// How a text parameter is bound: the SQL type and column size the driver
// described for it (SQLDescribeParam) when that is a character type of a
// size the text fits in, so a server compares it in its column's own type
// and can seek an index; otherwise a wide text of the value's own length,
// as Qt binds it. `descrito` 0 when the driver described nothing.
struct EnlaceTexto {
    short tipo_sql = 0;
    unsigned long tamano = 0;
};
EnlaceTexto enlace_de_texto(short descrito, unsigned long tamano, qsizetype caracteres);

class Vigilante;

class OdbcBackend : public Backend {
public:
    OdbcBackend(const QString& cadena, const QString& usuario, const QString& clave);
    ~OdbcBackend() override;

    void ejecutar(const QString& sql, const QVariantList& parametros) override;
    std::unique_ptr<Consulta> abrir(const QString& sql, const QVariantList& parametros, bool actualizable) override;
    QVector<Columna> columnas(const QString& tabla) override;
    void insertar(const QString& tabla, const QStringList& columnas, const QVariantList& valores) override;
    void actualizar(const QString& tabla, const Resultado& leido, int fila, const QStringList& columnas,
                    const QVariantList& valores) override;
    // Rows that differ only in the last column of their key (and agree on
    // the original values of the columns changed) are written with one
    // statement, that column searched in a list: one round trip for many.
    void actualizar_filas(const QString& tabla, const Resultado& leido, const QVector<int>& filas,
                          const QStringList& columnas, const QVariantList& valores, qsizetype& escritas) override;

    // The connection's own transaction (autocommit off until its end), when
    // the driver has them.
    void comenzar() override;
    void confirmar() override;
    void deshacer() override;
    bool en_transaccion() const override { return en_transaccion_; }
    bool admite_transacciones() const override;

    // What the driver said of a failure: its texts joined, the SQLSTATE of
    // each record and the last native error number.
    struct Diagnostico {
        QString texto;
        QStringList estados;
        QString nativo;
    };
    [[noreturn]] void fallar(const Diagnostico& d, const QString& sql) const;
    // The connection is gone: the server has undone its open transaction.
    static bool perdida(const Diagnostico& d);
    void averia(const QString& sql) const;

private:
    // A column as the driver describes it (SQLColumns).
    struct Campo {
        QString nombre;
        int tipo_sql = 0;  // SQL_VARCHAR, SQL_WVARCHAR, SQL_LONGVARCHAR...
        int tamano = 0;    // COLUMN_SIZE
    };
    struct Tabla {
        QVector<Columna> columnas;
        QVector<Campo> campos;  // same order
        QStringList clave;      // primary key columns (SQLPrimaryKeys); empty when none
    };

    struct Sentencia;

    // How a save finds its row (see guardado()).
    struct Guardado {
        struct Busqueda {
            int columna = 0;        // of the layout read
            QString identificador;  // quoted name
            QString molde;          // "CAST(? AS VARCHAR(n))" for a char or varchar column
        };
        QString tabla;
        QVector<Columna> leidas;  // the layout read
        QStringList columnas;     // those saved
        bool sin_clave = false;   // asked to search by every value
        bool por_clave = false;
        int ultima_clave = -1;  // highest key column of the layout
        int variable = -1;      // the search of the table's last key column, when it has one
        QVector<Busqueda> buscar;
        QString inicio;                             // "UPDATE t SET a = ?, ... WHERE "
        mutable QHash<QByteArray, QString> textos;  // the statement, by its conditions' forms
    };
    // The conditions that find row `original`: one form per search, their
    // values appended to `p`; with `variable`, where among those values the
    // variable key's goes.
    static QByteArray formas_de(const Guardado& g, const QVariantList& original, QVariantList& p,
                                int* variable = nullptr);
    // The statement for those forms; with `lote` > 1, the variable key
    // column searched in a list of that many values.
    static const QString& texto_de(const QString& tabla, const Guardado& g, const QByteArray& formas, int lote = 1);
    // Runs a save; the number of rows it changed.
    qint64 escribir(const QString& sql, const QVariantList& p);

    QString cadena_;
    QString catalogo_;                                       // Database= of the connection string
    void* henv_ = nullptr;                                   // SQLHENV
    void* hdbc_ = nullptr;                                   // SQLHDBC
    QChar comilla_ = QLatin1Char('"');                       // SQL_IDENTIFIER_QUOTE_CHAR
    QChar escape_;                                           // SQL_SEARCH_PATTERN_ESCAPE, if any
    int caso_ = 0;                                           // SQL_IDENTIFIER_CASE
    bool transacciones_ = false;                             // SQL_TXN_CAPABLE
    std::unique_ptr<Vigilante> vigilante_;                   // cancels a statement past its time
    QHash<QString, std::shared_ptr<Sentencia>> sentencias_;  // by SQL text
    QHash<QString, Tabla> tablas_;                           // by table name in lower case
    mutable QHash<QString, QString> identificadores_;        // quoted, by name
    QVector<Guardado> guardados_;                            // the last saves' plans
    bool en_transaccion_ = false;

    QString identificador(const QString& nombre) const;
    const Tabla& tabla(const QString& nombre);
    const Guardado& guardado(const QString& tabla, const QVector<Columna>& leidas, const QStringList& columnas,
                             bool sin_clave);
    // Runs `sql` on a statement handle of its own, prepared the first time:
    // the rows into `r` when given, the number of rows changed into
    // `cambiadas` when given. A failure is a Fallo with the provider's number.
    void correr(const QString& sql, const QVariantList& parametros, Resultado* r, qint64* cambiadas = nullptr);
    // The driver's records for the connection and, when given, the statement.
    Diagnostico diagnostico(void* hstmt) const;
    [[noreturn]] void fallar_directo(void* hstmt, const QString& sql, bool cerrar = true) const;
    // A statement cancelled past its time: the table and the values it
    // looked for named.
    [[noreturn]] void fallar_por_espera(void* hstmt, const QString& sql, const QVariantList& valores) const;
    // The end of the connection's transaction: commit or roll back, then
    // autocommit again.
    bool terminar(bool confirmar, Diagnostico* d);
    // A table's name as the driver stores names (SQL_IDENTIFIER_CASE).
    QString ajustar_caso(const QString& nombre) const;
    void olvidar_esquema();
};
