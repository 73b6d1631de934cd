#include "platform/sql/SentenciasFila.h"

#include <QSqlDriver>

namespace {

Citar del_driver(const QSqlDriver& driver)
{
    return [&driver](const QString& nombre) { return identificador(driver, nombre); };
}

}  // namespace

QString identificador(const QSqlDriver& driver, const QString& nombre)
{
    return driver.escapeIdentifier(nombre, QSqlDriver::FieldName);
}

QString identificador_odbc(QChar comilla, const QString& nombre)
{
    if (nombre.isEmpty() || nombre.startsWith(comilla) || nombre.endsWith(comilla)) return nombre;
    const QString c(comilla);
    QString r = nombre;
    r.replace(c, c + c);
    r.replace(QLatin1Char('.'), c + QLatin1Char('.') + c);
    return c + r + c;
}

QString sql_insertar(const Citar& citar, const QString& tabla, const QStringList& columnas)
{
    if (columnas.isEmpty()) return QStringLiteral("INSERT INTO %1 DEFAULT VALUES").arg(citar(tabla));
    QStringList nombres, marcas;
    for (const QString& c : columnas) {
        nombres << citar(c);
        marcas << QStringLiteral("?");
    }
    return QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)")
        .arg(citar(tabla), nombres.join(QStringLiteral(", ")), marcas.join(QStringLiteral(", ")));
}

QString sql_insertar(const QSqlDriver& driver, const QString& tabla, const QStringList& columnas)
{
    return sql_insertar(del_driver(driver), tabla, columnas);
}

QString sql_asignaciones(const Citar& citar, const QStringList& columnas)
{
    QStringList asignaciones;
    for (const QString& c : columnas) asignaciones << citar(c) + QStringLiteral(" = ?");
    return asignaciones.join(QStringLiteral(", "));
}

QString sql_asignaciones(const QSqlDriver& driver, const QStringList& columnas)
{
    return sql_asignaciones(del_driver(driver), columnas);
}
