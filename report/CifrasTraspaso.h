#pragma once
// The report's figures, every one computed from the records the run appended
// to Xdiario and XSubCta: what was written, read back from the files.
#include "report/ResumenTraspaso.h"

#include <QDate>
#include <QPair>
#include <QString>
#include <QVector>

class Conexion;

struct CuentaInforme {
    QString subcta, titulo;
    double debe = 0, haber = 0;
    int lineas = 0;
};

struct DiaInforme {
    QDate dia;
    int facturas = 0;
    double total_facturas = 0;
    QVector<QPair<QString, double>> cobros;  // payment method subaccount, amount
    double depositos_descontados = 0;
    double depositos_cobrados = 0;
};

struct CifrasTraspaso {
    int asientos = 0, lineas = 0;
    qint64 primer_asiento = 0, ultimo_asiento = 0;
    double debe = 0, haber = 0;  // euros
    double pta_debe = 0, pta_haber = 0;
    QVector<qint64> descuadrados;                         // entries off by more than half a cent
    QVector<CuentaInforme> cuentas;                       // by subaccount
    QVector<DiaInforme> dias;                             // days with lines, in order
    QVector<QPair<QString, QString>> formas;              // payment method subaccount, its name
    QVector<QPair<QString, QString>> subcuentas_creadas;  // code, title
};

// After the repairs, before the first record: the counts of both files, from
// the connections that will write them, into r.registros_diario and
// r.registros_subcuentas.
void contar_registros(ResumenTraspaso& r, const Conexion& diario, const Conexion& subcuentas);

// Reads back the records the run appended (from r's counts on) and sums them.
CifrasTraspaso calcular_cifras(const ResumenTraspaso& r, const OrigenInforme& o);
