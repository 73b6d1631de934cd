#pragma once
// Runs of the built program on a demo installation, stopped on purpose (a
// kill after a delay, a fault of the Averias seam, a power cut), and their
// outcome read back as text, so a test can tell whether a run that was
// stopped and run again ends where an unbroken run ends.
#include <QMap>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QVector>

// `enlace demo raiz` with `opciones` ("--facturas", "8", ...). Fatal on failure.
void crear_demo(const QString& raiz, const QStringList& opciones);

// Copies the installation tree `origen` to `destino` (created).
void copiar_arbol(const QString& origen, const QString& destino);

// The installation `raiz` in SQL Server mode: the family files moved into
// one catalogue, `raiz`/HOTEL.db (tables and indexes as declared), and the
// con row naming it. On a copy of one already in SQL mode, only the name.
void a_modo_sql(const QString& raiz);

// Folder that holds Xdiario.dbf or XSubCta.dbf under `raiz`; empty when neither exists.
QString carpeta_contaplus(const QString& raiz);

struct Ejecucion {
    int estado = -1;      // exit code; -1 when the process was killed
    bool matada = false;  // ended by a signal (ours or the seam's)
    QString salida;       // standard output and error
    qint64 ms = 0;
    QMap<QString, qint64> escrituras;  // file (lower case) -> writes, when the seam counts them
};

// Starts the test build, `enlace_prueba --unidades raiz traspaso --desde
// desde --hasta hasta --si`, with `entorno` added to a clean environment (no
// inherited ENLACE_*) and `entrada` as its whole standard input (what the
// clerk types to a question --si does not answer). The seam's recount goes to raiz + ".recuento".
void lanzar_traspaso(QProcess& p, const QString& raiz, const QString& desde, const QString& hasta,
                     const QMap<QString, QString>& entorno = {}, const QByteArray& entrada = {});
// A file watched while the program runs: the largest size seen, and a kill
// (SIGKILL) as soon as it reaches `matar_en` bytes, so a kill lands at a
// point of the work whatever the machine's load.
struct Vigia {
    QString ruta;
    qint64 matar_en = -1;
    qint64 maximo = 0;
};

// Waits for it; with `matar_ms` >= 0 kills it if still running then; with
// `vigias`, watches their files every millisecond or so.
Ejecucion recoger(QProcess& p, const QString& raiz, int matar_ms = -1, QVector<Vigia>* vigias = nullptr);
Ejecucion traspasar(const QString& raiz, const QString& desde, const QString& hasta,
                    const QMap<QString, QString>& entorno = {}, int matar_ms = -1, QVector<Vigia>* vigias = nullptr,
                    const QByteArray& entrada = {});

// What a power cut leaves after a killed run: Xdiario.dbf and XSubCta.dbf as
// last synced (the copies in `sincronizados`), else as they were before the
// run (copies in `antes`), else gone; the hotel files without their -wal
// and -shm (they commit with synchronous=NORMAL). enlace.MDB keeps its -wal.
void guardar_contaplus(const QString& raiz, const QString& antes);
void cortar_corriente(const QString& raiz, const QString& sincronizados, const QString& antes);

// The whole outcome of the transfers made on an installation.
struct EstadoFinal {
    QStringList diario;                 // every journal line, all columns; Asien only on invoice lines (Auxiliar "*")
    QStringList descuadres;             // entries whose euro debits and credits differ by more than 0.005
    QStringList subcuentas;             // every XSubCta row
    QMap<QString, QStringList> tablas;  // cajj, edep, fac, fal: their rows
    QStringList marcas;                 // caja.CajaTur and emi.EmiCie by key
    QByteArray bytes_diario, bytes_subcuentas;  // the files, without the header's date
};
// With `como`, a journal or subaccount file identical byte for byte to the
// one `como` was read from is taken from `como` instead of read again.
EstadoFinal leer_resultado(const QString& raiz, const EstadoFinal* como = nullptr);
// Only the journal and subaccounts found in `carpeta`.
EstadoFinal leer_contaplus(const QString& carpeta, const EstadoFinal* como = nullptr);

// How `obtenido` departs from `esperado`: multisets of lines compared, one
// line per surplus or missing row ("diario: sobra ..."), and every
// unbalanced entry of `obtenido`. Empty when they agree.
QStringList diferencias(const EstadoFinal& esperado, const EstadoFinal& obtenido);
