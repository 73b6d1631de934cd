#pragma once
// The statements the SQL engines build to add a row and to write one back,
// with every name quoted as the engine's driver quotes it and every value a
// "?" bound in order.
#include <QString>
#include <QStringList>

class QSqlDriver;

// A table or column name as the driver quotes it.
QString identificador(const QSqlDriver& driver, const QString& nombre);

// "INSERT INTO t (a, b) VALUES (?, ?)"; with no columns,
// "INSERT INTO t DEFAULT VALUES".
QString sql_insertar(const QSqlDriver& driver, const QString& tabla, const QStringList& columnas);

// "a = ?, b = ?": what an UPDATE sets.
QString sql_asignaciones(const QSqlDriver& driver, const QStringList& columnas);
