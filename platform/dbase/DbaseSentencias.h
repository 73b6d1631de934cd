#pragma once
// The statements the link sends the dBASE engine, parsed; private to that
// engine:
//   SELECT * FROM t
//   SELECT * FROM t WHERE COL = ?          (or a quoted literal or a number)
//   SELECT MAX(COL) AS alias FROM t
#include <QString>
#include <QVariant>
#include <QVariantList>

namespace dbase {

struct Sentencia {
    enum Forma { Todo, Donde, Maximo } forma = Todo;
    QString tabla;
    QString columna;  // of WHERE or MAX
    QString alias;    // of MAX
    QVariant valor;   // of WHERE
};

// Anything else: FALLO_GENERAL quoting the statement.
[[noreturn]] void no_admitida(const QString& sql);

// The statement with its parameters; PARAMETRO_SIN_VALOR when a "?" has no
// value, FALLO_GENERAL when values are left over.
Sentencia analizar(const QString& sql, const QVariantList& parametros);

}  // namespace dbase
