#pragma once
// The records a run appended to Xdiario and XSubCta, read back from the
// files with the dBASE engine's reader of whole files, from the count the
// run started with to the end: the report's figures are those of what was
// written, not of what the run meant to write.
#include <QByteArrayView>
#include <QDate>
#include <QString>
#include <QStringList>
#include <QVector>

#include <cstring>
#include <functional>

// The layout of a dBASE file as it is read back: the column names, each
// column's type letter and its place in the record, past the deletion flag.
// leer_registros also fills `filas` with the text of every field, its blanks
// trimmed (dates as aaaammdd, numbers as written, logicals as T/F).
struct RegistrosDbf {
    QStringList columnas;
    QString tipos;
    QVector<int> inicio, ancho;
    QVector<QStringList> filas;

    int columna(const QString& nombre) const;  // -1 when absent; case ignored
    // Field `c` of a record as stored, Windows-1252, with the blanks and NULs
    // at both ends trimmed; empty when c < 0.
    QByteArrayView campo(const char* registro, int c) const
    {
        if (c < 0) return {};
        const char* v = registro + inicio[c];
        int a = 0, b = ancho[c];
        // Eight blanks at a time first: numbers are padded on the left,
        // texts on the right.
        while (b - a >= 8 && std::memcmp(v + a, "        ", 8) == 0) a += 8;
        while (a < b && (v[a] == ' ' || v[a] == '\0')) ++a;
        while (b - a >= 8 && std::memcmp(v + b - 8, "        ", 8) == 0) b -= 8;
        while (b > a && (v[b - 1] == ' ' || v[b - 1] == '\0')) --b;
        return QByteArrayView(v + a, b - a);
    }
};

// The records of `ruta_local` from the 0-based record `desde` on, one at a
// time and as stored: a year's journal is read without holding it. Deleted
// records are skipped; `registro` returning false stops the reading. Returns
// the layout (no rows). No file gives no records; a file that cannot be read
// is a Fallo naming it.
RegistrosDbf recorrer_registros(const QString& ruta_local, qint64 desde,
                                const std::function<bool(const RegistrosDbf&, const char*)>& registro);
// Gathered and decoded (for the small subaccount files). With `solo`, only
// the columns named there are decoded (the others stay empty).
RegistrosDbf leer_registros(const QString& ruta_local, qint64 desde, const QStringList& solo = {});

// A field decoded from Windows-1252.
QString texto_dbf(QByteArrayView campo);
// A number field's value as QString::toDouble reads its text: 0 when it is
// not a number.
double numero_dbf(QByteArrayView campo);
// A date field, aaaammdd; an invalid date when it is not one.
QDate fecha_dbf(QByteArrayView campo);

// The columns of a journal line the report reads; the texts point into the
// record, valid during the call only.
struct ApunteLeido {
    qint64 asien = 0;
    QDate fecha;
    QByteArrayView subcta, concepto, documento, auxiliar;
    double pta_debe = 0, pta_haber = 0;
    double euro_debe = 0, euro_haber = 0;
};
// The journal lines of `ruta_local` from record `desde` on, one at a time;
// `linea` returning false stops the reading.
void recorrer_lineas_diario(const QString& ruta_local, qint64 desde,
                            const std::function<bool(const ApunteLeido&)>& linea);

struct SubcuentaLeida {
    QString cod, titulo;
};
QVector<SubcuentaLeida> filas_subcuentas(const RegistrosDbf& r);
extern const QStringList COLUMNAS_SUBCUENTA;
