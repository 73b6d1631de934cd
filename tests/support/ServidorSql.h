#pragma once
// A private MariaDB server standing in for SQL Server: its own data folder
// under the build folder, 127.0.0.1 on a free port, ANSI_QUOTES, table names
// without regard to case, the user quelmira with the connection string's
// password. Started by the constructor, stopped by the destructor; nothing
// of a system service is used. Fatal when it cannot start.
#include <QMap>
#include <QProcess>
#include <QString>
#include <QStringList>

class ServidorSql {
public:
    ServidorSql();
    ~ServidorSql();
    ServidorSql(const ServidorSql&) = delete;
    ServidorSql& operator=(const ServidorSql&) = delete;

    quint16 puerto() const { return puerto_; }

    // A new, empty database; its name.
    QString crear_base();
    // SQL text run by the mariadb client as the server's root, on `base`
    // (none when empty). Fatal on failure.
    void sql(const QString& base, const QString& texto) const;
    // The rows of a query, each its values joined by '|' ("NULL" for Null).
    QStringList filas(const QString& base, const QString& consulta) const;

    // The hotel's tables of the SQLite catalogue `archivo` (made by
    // a_modo_sql) into `base`: the same columns, key, indexes and rows, in
    // types both SQL Server and MariaDB take.
    void cargar_catalogo(const QString& archivo, const QString& base) const;

    // A shell command that runs `texto` as the server's root.
    QString orden(const QString& texto) const;
    // A second client that holds the rows `seleccion` finds locked (SELECT
    // ... FOR UPDATE in a transaction) for `segundos`, then lets them go.
    // Returns once they are held.
    void retener(QProcess& cliente, const QString& base, const QString& seleccion, int segundos) const;

    // The con row of the installation `raiz` naming `base` on this server.
    static void apuntar(const QString& raiz, const QString& base);
    // The rows of an SQLite catalogue as filas() prints them: `columnas`
    // of each row of `consulta`.
    static QStringList filas_sqlite(const QString& archivo, const QString& consulta, const QStringList& columnas);

    // The program's connection string to `base`.
    static QString cadena(const QString& base);

    // The environment that reaches the server through MariaDB's ODBC driver
    // registered as "SQL Native Client": ODBCSYSINI and the default port.
    QMap<QString, QString> entorno() const;
    // The same, set in this process (before its first ODBC connection).
    void registrar() const;

private:
    QString dir_;
    QString ini_;
    quint16 puerto_ = 0;
    int bases_ = 0;
    QProcess servidor_;
};
