#pragma once
// What the report of a transfer is given: the facts of the run that are not
// in the files it writes (ResumenTraspaso, filled by the run as it goes) and
// where it reads back what the run appended (OrigenInforme).
#include <QDateTime>
#include <QElapsedTimer>
#include <QMap>
#include <QPair>
#include <QString>
#include <QStringList>
#include <QVector>

#include <functional>

enum class FinTraspaso {
    Cancelado,    // the confirmation was answered No
    SinFacturas,  // no invoice in the range: the no-invoices message
    Correcto,     // ended with the final message
    Fallido,      // a failure abandoned the run (told to the clerk)
    Bloqueado,    // another transfer holds the installation: nothing ran
    SinPreparar,  // the ContaPlus files were not prepared: nothing ran
    Detenido,     // stopped at the clerk's request after a durable group
};

// A receipt marked as transferred whose invoice was not found in emi.
struct CobroSinFactura {
    QString fecha;  // aaaammdd, as in caja
    QString orden;
    QString factura;
    double importe = 0;
};

// An invoice whose entry did not balance: its lines were cut off again.
struct FacturaDescuadrada {
    QString numero;
    double debe = 0, haber = 0;
};

// The facts of a run that are not in the files it writes.
struct ResumenTraspaso {
    // The installation.
    QString ruta_hotel;        // "C:\quelmira"
    QString ruta_contaplus;    // the ContaPlus folder of the settings
    QString carpeta_ficheros;  // where Xdiario and XSubCta are written
    QString empresa;           // company code, as the ContaPlus folder names it
    QString nombre_empresa;    // from the hotel's emp table; empty if absent
    bool externa = false;

    QString desde, hasta;  // aaaammdd
    QDateTime inicio, fin;
    QElapsedTimer reloj;  // how long it took, whatever the clock of `inicio`
    qint64 milisegundos = -1;

    // How it ended; `fallo` is the text the clerk was told when a failure
    // abandoned it, `detenido` what the run was doing when it was stopped.
    FinTraspaso como = {};
    QString fallo;
    QString detenido;
    bool simulacion = false;

    QStringList reparaciones;  // the repairs made before the run
    QVector<CobroSinFactura> cobros_sin_factura;
    QVector<FacturaDescuadrada> facturas_descuadradas;
    QStringList cierres_forzados;  // invoice numbers
    // Names written with "?" for characters the files' code page lacks:
    // what the hotel holds, and where it went ("subcuenta 430000123").
    QVector<QPair<QString, QString>> nombres_sin_caracteres;

    // Records in Xdiario and XSubCta when the run started: the run appended
    // those from these on. -1 while not taken (the run stopped before).
    qint64 registros_diario = -1;
    qint64 registros_subcuentas = -1;
};

// Where the report reads back: local paths, and the hotel's payment methods
// as the run names their subaccounts.
struct OrigenInforme {
    QString diario;      // Xdiario.dbf
    QString subcuentas;  // XSubCta.dbf
    // The company's SubCta.dbf, for the titles XSubCta lacks; not read
    // when the files are external.
    QString subcuentas_empresa;
    // Payment method names by the subaccount they post to; asked only when
    // the run posted cash lines. Empty, or no function: named otherwise.
    std::function<QMap<QString, QStringList>()> formas;
};
