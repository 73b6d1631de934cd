#pragma once
// A connection through the ODBC driver manager with the connection string as
// the program gives it (SQL Server mode). A row is written back by its
// original values, so a row another program changed meanwhile is reported,
// never overwritten.
#include "platform/Backend.h"
#include <QHash>
#include <QSqlDatabase>

class QSqlError;
class QSqlQuery;

class OdbcBackend : public Backend {
public:
    OdbcBackend(const QString& cadena, const QString& usuario, const QString& clave);
    ~OdbcBackend() override;

    void ejecutar(const QString& sql, const QVariantList& parametros) override;
    std::unique_ptr<Consulta> abrir(const QString& sql, const QVariantList& parametros,
                                    bool actualizable) override;
    QVector<Columna> columnas(const QString& tabla) override;
    void insertar(const QString& tabla, const QStringList& columnas,
                  const QVariantList& valores) override;
    void actualizar(const QString& tabla, const Resultado& leido, int fila,
                    const QStringList& columnas, const QVariantList& valores) override;

    // Prepares, binds and runs `sql`; a failure is a Fallo with the
    // provider's number.
    void ejecutar_en(QSqlQuery& q, const QString& sql, const QVariantList& parametros) const;
    [[noreturn]] void fallar(const QSqlError& error, const QString& sql) const;

private:
    QString cadena_;
    QString nombre_;
    QSqlDatabase db_;
    QHash<QString, QVector<Columna>> columnas_;   // by table name in lower case

    QString identificador(const QString& nombre) const;
};
