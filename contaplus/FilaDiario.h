#pragma once
// One journal line of Xdiario. Every line the link writes sets the same 30
// columns, by name, and no other: Asien and Fecha, which the entry's lines
// share, and the 28 below. The defaults are the values of a cash or deposit
// line; an invoice line differs in Auxiliar and MonedaUso and fills the
// peseta columns.
#include "platform/Conexion.h"
#include "platform/Recordset.h"
#include <QDate>
#include <QString>
#include <QVariant>

struct LineaDiario {
    QVariant subcta;
    QVariant contra = QString();
    qint32 pta_debe = 0;
    QString concepto;
    qint32 pta_haber = 0;
    QVariant factura = 0;
    qint32 base_impo = 0;
    QVariant iva = 0;
    QVariant documento = QString();
    QString auxiliar;                       // "*" on invoice lines
    QString serie;                          // "G" on VAT lines
    QVariant moneda_uso = QStringLiteral("2");
    QVariant euro_debe = 0;
    QVariant euro_haber = 0;
    QVariant base_euro = 0;
};

// Closes `rs` if open, opens it on Xdiario only to add (the table is not
// read), adds a row and sets its Asien and Fecha.
void nueva_fila_diario(Recordset& rs, Conexion& conexion_diario, double asien,
                       const QDate& fecha);

// Sets the 28 columns after Asien and Fecha of the pending row, in the
// journal's column order.
void asignar_linea(Recordset& rs, const LineaDiario& linea);

// Appends one whole line: a new row as nueva_fila_diario makes it, its
// columns, saved. `rs` is left open on Xdiario.
void anadir_linea(Recordset& rs, Conexion& conexion_diario, double asien, const QDate& fecha,
                  const LineaDiario& linea);

// Text joined to a field as the runtime's & does: a Null adds nothing.
QString unir(const QString& texto, const QVariant& campo);
