#include "platform/sql/SentenciasFila.h"

#include <QSqlDriver>

QString identificador(const QSqlDriver& driver, const QString& nombre)
{
    return driver.escapeIdentifier(nombre, QSqlDriver::FieldName);
}

QString sql_insertar(const QSqlDriver& driver, const QString& tabla, const QStringList& columnas)
{
    if (columnas.isEmpty()) return QStringLiteral("INSERT INTO %1 DEFAULT VALUES").arg(identificador(driver, tabla));
    QStringList nombres, marcas;
    for (const QString& c : columnas) {
        nombres << identificador(driver, c);
        marcas << QStringLiteral("?");
    }
    return QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)")
        .arg(identificador(driver, tabla), nombres.join(QStringLiteral(", ")), marcas.join(QStringLiteral(", ")));
}

QString sql_asignaciones(const QSqlDriver& driver, const QStringList& columnas)
{
    QStringList asignaciones;
    for (const QString& c : columnas) asignaciones << identificador(driver, c) + QStringLiteral(" = ?");
    return asignaciones.join(QStringLiteral(", "));
}
