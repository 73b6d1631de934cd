#pragma once
// The records a run appended to Xdiario and XSubCta, read back from the
// files with shapelib, from the count the run started with to the end:
// the report's figures are those of what was written, not of what the run
// meant to write.
#include <QDate>
#include <QString>
#include <QStringList>
#include <QVector>

#include <functional>

// Records of a dBASE file as stored: the column names, each column's type
// letter, and the text of every field with its blanks trimmed (dates as
// aaaammdd, numbers as written, logicals as T/F).
struct RegistrosDbf {
    QStringList columnas;
    QString tipos;
    QVector<QStringList> filas;

    int columna(const QString& nombre) const;   // -1 when absent; case ignored
};

// The records of `ruta_local` from the 0-based record `desde` on, one at a
// time: a year's journal is read without holding it. Deleted records are
// skipped. With `solo`, only the columns named there are read (the others
// stay empty). Returns the columns and types (no rows). No file gives no
// records; a file that cannot be read is a Fallo naming it.
RegistrosDbf recorrer_registros(const QString& ruta_local, qint64 desde, const QStringList& solo,
                                const std::function<void(const RegistrosDbf&, const QStringList&)>& fila);
// The same, gathered (for the small subaccount files).
RegistrosDbf leer_registros(const QString& ruta_local, qint64 desde, const QStringList& solo = {});

// The columns of a journal line the report reads.
struct ApunteLeido {
    double asien = 0;
    QDate fecha;
    QString subcta, concepto, documento, auxiliar;
    double pta_debe = 0, pta_haber = 0;
    double euro_debe = 0, euro_haber = 0;
};
// The journal lines of `ruta_local` from record `desde` on, one at a time.
void recorrer_lineas_diario(const QString& ruta_local, qint64 desde,
                            const std::function<void(const ApunteLeido&)>& linea);
extern const QStringList COLUMNAS_LINEA;    // the columns it reads

struct SubcuentaLeida {
    QString cod, titulo;
};
QVector<SubcuentaLeida> filas_subcuentas(const RegistrosDbf& r);
extern const QStringList COLUMNAS_SUBCUENTA;
