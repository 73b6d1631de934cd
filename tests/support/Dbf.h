#pragma once
// Reads a dBASE file with python3-dbfread, a reader that is not ours, so the
// tests check what any other program would see in Xdiario and XSubCta.
#include <QString>
#include <QStringList>
#include <QVariantMap>
#include <QVector>

struct TablaDbf {
    QStringList columnas;            // names as stored
    QStringList tipos;               // "C", "N", "D", "L" ... per column
    QVector<QVariantMap> filas;      // by column name as stored; D as QDate, L as bool, N as double
    QVector<int> anchos;             // field width per column
    QVector<int> decimales;          // decimals per column
    QString codificacion;            // code page of the language driver, e.g. "cp1252"
    qint64 registros_cabecera = -1;  // record count the header declares, deleted ones included
    bool marca_fin = false;          // 0x1A right after the records the header declares
};

// Fails the calling test (QFAIL-style, via qFatal message) when the file cannot be read.
TablaDbf leer_dbf(const QString& ruta_local);
