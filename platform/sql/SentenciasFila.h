#pragma once
// The statements the SQL engines build to add a row and to write one back,
// with every name quoted as the engine's driver quotes it and every value a
// "?" bound in order.
#include <QString>
#include <QStringList>
#include <functional>

class QSqlDriver;

// Quotes a table or column name.
using Citar = std::function<QString(const QString&)>;

// A table or column name as the driver quotes it.
QString identificador(const QSqlDriver& driver, const QString& nombre);

// A name quoted with an ODBC driver's SQL_IDENTIFIER_QUOTE_CHAR: the quote
// doubled inside, each part of a qualified name quoted apart; a name already
// quoted, or empty, as it is.
QString identificador_odbc(QChar comilla, const QString& nombre);

// "INSERT INTO t (a, b) VALUES (?, ?)"; with no columns,
// "INSERT INTO t DEFAULT VALUES".
QString sql_insertar(const Citar& citar, const QString& tabla, const QStringList& columnas);
QString sql_insertar(const QSqlDriver& driver, const QString& tabla, const QStringList& columnas);

// "a = ?, b = ?": what an UPDATE sets.
QString sql_asignaciones(const Citar& citar, const QStringList& columnas);
QString sql_asignaciones(const QSqlDriver& driver, const QStringList& columnas);
