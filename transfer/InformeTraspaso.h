#pragma once
// The report of one transfer: what the run knows of itself (ResumenTraspaso,
// filled as it goes) and, read back from Xdiario and XSubCta, the records
// it appended. The report is an HTML file for the clerk; the CSV holds the
// journal lines the run appended, for a spreadsheet.
#include <QDate>
#include <QDateTime>
#include <QElapsedTimer>
#include <QPair>
#include <QString>
#include <QStringList>
#include <QVector>

class Traspaso;
enum class FinTraspaso;

// A receipt marked as transferred whose invoice was not found in emi.
struct CobroSinFactura {
    QString fecha;          // aaaammdd, as in caja
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
    QString ruta_hotel;         // "C:\quelmira"
    QString ruta_contaplus;     // the ContaPlus folder of the settings
    QString carpeta_ficheros;   // where Xdiario and XSubCta are written
    QString empresa;            // company code, as the ContaPlus folder names it
    QString nombre_empresa;     // from the hotel's emp table; empty if absent
    bool externa = false;

    QString desde, hasta;       // aaaammdd
    QDateTime inicio, fin;
    QElapsedTimer reloj;        // how long it took, whatever the clock of `inicio`
    qint64 milisegundos = -1;

    // How it ended; `fallo` is the text the clerk was told when a failure
    // abandoned it, `detenido` what the run was doing when it was stopped.
    FinTraspaso como = {};
    QString fallo;
    QString detenido;
    bool simulacion = false;

    QStringList reparaciones;                   // the repairs made before the run
    QVector<CobroSinFactura> cobros_sin_factura;
    QVector<FacturaDescuadrada> facturas_descuadradas;
    QStringList cierres_forzados;               // invoice numbers
    // Names written with "?" for characters the files' code page lacks:
    // what the hotel holds, and where it went ("subcuenta 430000123").
    QVector<QPair<QString, QString>> nombres_sin_caracteres;

    // Records in Xdiario and XSubCta when the run started: the run appended
    // those from these on. -1 while not taken (the run stopped before).
    qint64 registros_diario = -1;
    qint64 registros_subcuentas = -1;
};

// Start of a run: the installation, the range and the clock.
void empezar_resumen(Traspaso& t);
// After the repairs, before the first record: the counts of both files.
void contar_registros(Traspaso& t);

// Writes the report of the run `t` to `ruta_html` (a local path) and returns
// the path written: never over another file, so when that name is taken it
// gets "_2", "_3"... before ".html". A Fallo names the path and carries the
// system's text, and leaves no part of the report. `libres`: extensions
// that must be free under the name taken too (".csv").
QString escribir_informe(const Traspaso& t, const QString& ruta_html, const QStringList& libres = {});

// Writes the journal lines the run appended as CSV: UTF-8 with a BOM,
// semicolons, the journal's column names as header, decimal comma, dates
// dd/mm/aaaa. Named, and failing, as escribir_informe; returns the path.
QString escribir_csv(const Traspaso& t, const QString& ruta_csv);

// The report's figures, every one computed from the records the run
// appended (see calcular_cifras).
struct CuentaInforme {
    QString subcta, titulo;
    double debe = 0, haber = 0;
    int lineas = 0;
};

struct DiaInforme {
    QDate dia;
    int facturas = 0;
    double total_facturas = 0;
    QVector<QPair<QString, double>> cobros;     // payment method subaccount, amount
    double depositos_descontados = 0;
    double depositos_cobrados = 0;
};

struct CifrasTraspaso {
    int asientos = 0, lineas = 0;
    qint64 primer_asiento = 0, ultimo_asiento = 0;
    double debe = 0, haber = 0;                 // euros
    double pta_debe = 0, pta_haber = 0;
    QVector<qint64> descuadrados;               // entries off by more than half a cent
    QVector<CuentaInforme> cuentas;             // by subaccount
    QVector<DiaInforme> dias;                   // days with lines, in order
    QVector<QPair<QString, QString>> formas;    // payment method subaccount, its name
    QVector<QPair<QString, QString>> subcuentas_creadas;   // code, title
};

// Reads back the records the run appended and sums them.
CifrasTraspaso calcular_cifras(const Traspaso& t);
// The whole report as one self-contained HTML page.
QString informe_html(const ResumenTraspaso& r, const CifrasTraspaso& c);
struct ApunteLeido;
// One journal line as a row of the dry run's table of lines, appended to `html`.
void anadir_fila_apunte_html(QString& html, const ApunteLeido& l);
// End of a run past its confirmation: how it ended, and the report written
// beside the log (tc_ddmmyy_hhmmss.html). A report that cannot be written
// is told to the clerk; the run's result stays what it was.
void dejar_informe(Traspaso& t, FinTraspaso como);
