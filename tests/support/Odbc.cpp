#include "tests/support/Odbc.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <mutex>

void registrar_sql_native_client()
{
    static std::once_flag hecho;
    std::call_once(hecho, [] {
        // Lives until the process ends: the driver manager reads it on every
        // connection.
        static QTemporaryDir carpeta(QDir::tempPath() + QStringLiteral("/enlace-odbc-XXXXXX"));
        if (!carpeta.isValid()) qFatal("No se puede crear la carpeta de ODBCSYSINI");
        QFile ini(carpeta.filePath(QStringLiteral("odbcinst.ini")));
        if (!ini.open(QIODevice::WriteOnly | QIODevice::Truncate)) qFatal("No se puede escribir odbcinst.ini");
        ini.write("[SQL Native Client]\n"
                  "Description=SQLite 3 en lugar de SQL Server, para las pruebas\n"
                  "Driver=/usr/lib/x86_64-linux-gnu/odbc/libsqlite3odbc.so\n"
                  "Setup=/usr/lib/x86_64-linux-gnu/odbc/libsqlite3odbc.so\n"
                  "UsageCount=1\n");
        ini.close();
        QFile dsn(carpeta.filePath(QStringLiteral("odbc.ini")));
        if (dsn.open(QIODevice::WriteOnly | QIODevice::Truncate)) dsn.close();
        qputenv("ODBCSYSINI", QFile::encodeName(carpeta.path()));
    });
}
