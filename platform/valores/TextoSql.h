#pragma once
// Small pieces of SQL handling shared by the engines: recognising a plain
// selection from one table, and the values as they are bound.
#include <QString>
#include <QVariant>
#include <QVariantList>

// "SELECT * FROM t [WHERE ...] [ORDER BY ...]": a selection whose rows are
// the rows of one table, so a row can be added to it or written back.
struct SeleccionSimple {
    bool valida = false;
    QString tabla;  // as written, without brackets or quotes
    QString resto;  // " WHERE ..." / " ORDER BY ...", or empty
};

SeleccionSimple seleccion_simple(const QString& sql);

// Whether the statement changes the schema (ALTER, CREATE, DROP).
bool cambia_esquema(const QString& sql);

// A value as the engines bind it: Null is the invalid QVariant (any typed
// null becomes it), and a text is never the null QString, which Qt would
// bind as NULL: a null QString is the empty text.
QVariant valor_enlazado(const QVariant& v);
// A value as read from an engine: SQL NULL becomes the invalid QVariant.
QVariant valor_leido(const QVariant& v);

// Names of tables and columns compared without regard to case. Names are
// ASCII almost always, so that case is folded by hand (Qt's general folding
// is many times slower and every field of every row written comes here).
bool mismo_nombre(QStringView a, QStringView b);

// A connection string as it may be shown: the password (Pwd=) as "***".
QString sin_clave(const QString& cadena);
