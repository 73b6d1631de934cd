#pragma once
// One transfer window's run: the preparation of the ContaPlus working files
// at activation, the installation's locks, and the course of a run, which
// hands the settings, connections, log and durable point to its stages
// (PasoCajas, PasoFacturas, Contabilizacion, FasesDia) in their order.
// The window owns one Traspaso; the command line makes one too.
#include "platform/sistema/Cerrojo.h"
#include "startup/Module1.h"
#include "transfer/ContaplusAbierto.h"
#include "transfer/ContextoPaso.h"
#include "transfer/InformeTraspaso.h"
#include "transfer/PuntoDurable.h"
#include "transfer/RegistroTraspaso.h"
#include "transfer/VistaTraspaso.h"
#include <QDate>
#include <QDateTime>
#include <QString>
#include <QStringList>
#include <functional>
#include <optional>

class Traspaso {
public:
    Traspaso(Module1& m, VistaTraspaso& vista);

    Module1& m;
    VistaTraspaso& vista;

    // The range the window's dates gave, aaaammdd (see FechasTraspaso.h).
    QString fecha_desde, fecha_hasta;
    // What the activation found: the default sales account (the sales the
    // services of an invoice do not explain go there) and the ContaPlus
    // company's code.
    QString cuenta_ventas_defecto;
    QString codigo_empresa;

    // The ContaPlus files, made anew on every activation.
    ContaplusAbierto contaplus;

    RegistroTraspaso log;

    // What the run is doing, for the message that reports a failure
    // ("la factura 123", "el día 15/03/2024", ...).
    QString tarea;

    // The clock of the log's name and first line: when valid it stands for
    // the current date and time (tests fix it), else the system clock.
    QDateTime reloj_fijo;
    QDateTime ahora() const { return reloj_fijo.isValid() ? reloj_fijo : QDateTime::currentDateTime(); }

    // True once the activation prepared the ContaPlus files; a run does not
    // start without them. aviso_preparacion: what the clerk was told.
    bool preparado = false;
    QString aviso_preparacion;

    // The durable point of the run in course (see PuntoDurable.h).
    std::optional<Durabilidad> durabilidad;
    // Asked right after each group commit of a run: true stops the run there,
    // all it did durable, the rest left for the next run. The window asks
    // the clerk after Escape; the command line tells whether Ctrl+C came.
    std::function<bool()> pedir_detencion;
    // Where the last run stopped at the clerk's request, as its log says it;
    // empty when it was not stopped.
    QString detenido;
    // Repairs made at the activation, for the next run's log.
    QStringList reparaciones;

    // The installation's lock files: the link's folder and the ContaPlus
    // folder. Taken by the activation and by each run (nested: the command
    // line holds them for its whole life).
    bool reservar();  // false after telling the clerk who holds them
    void liberar();

    // Windows folder of Xdiario and XSubCta, key of the durable point.
    QString carpeta_ficheros() const;
    // Checks the two files against their durable point and cuts back what
    // an interrupted run left; the lines go to `reparaciones`.
    void reparar_contaplus(QStringList* avisos);

    // Window activation: lock, repairs, working files, fac upgrade, default
    // sales account.
    // False when the working files could not be prepared and the window closes.
    bool activar();

    // Working files.
    bool Copiar_Ficheros();  // false after its message: the window closes
    // With externa on: the previous run's pair, still holding rows, renamed
    // to Xdiario_ddmmaa_hhmmss.dbf and XSubCta_ddmmaa_hhmmss.dbf beside it.
    void guardar_salida_anterior(const QString& carpeta);
    void abrir_contaplus();
    void Comprobar_campos();

    // Driver.
    FinTraspaso iniciar2();
    FinTraspaso correr();  // iniciar2 past the confirmation, under the lock

    // Local path of a Windows path of the installation.
    QString local(const QString& ruta_windows) const { return m.unidades.local(ruta_windows); }

    // What a run leaves for the clerk to post by hand, as its summary holds
    // it: receipts whose invoice is not found, invoices whose entry does not
    // balance. Told after the run's last message, naming the log (its
    // Windows name), which lists each of them.
    QString nombre_registro;
    void avisar_pendientes();

    // What the run did, for its report (InformeTraspaso.h), and the local
    // path of the report written at its end (empty when none was).
    ResumenTraspaso resumen;
    QString informe;
    // Local paths of the journal and subaccount files the run writes.
    QString fichero_diario_local() const;
    QString fichero_subcuentas_local() const;

private:
    // The passes of a run in their order, from the first group to the
    // final message, given the settings as the run took them.
    FinTraspaso pasar(const AjustesEnlace& ajustes);
    FinTraspaso abandonar(const QString& descripcion, qint32 numero);
    FinTraspaso detener();

    // True while a stop can be acted on: from the run's first group to its
    // end or failure.
    bool admite_detencion_ = false;
    Cerrojo cerrojo_enlace_, cerrojo_contaplus_;
    int reservas_ = 0;
};

// The ContaPlus company of the settings' code: four digits when numeric.
QString codigo_contaplus(const QString& empresa);
// Windows folder of the company's files, ruta_contaplus\EMPcccc.
QString carpeta_empresa(const QString& ruta_contaplus, const QString& empresa);

// Holds the installation's locks for a scope.
class ReservaInstalacion {
public:
    explicit ReservaInstalacion(Traspaso& t) : t_(t), tomada_(t.reservar()) {}
    ~ReservaInstalacion()
    {
        if (tomada_) t_.liberar();
    }
    bool tomada() const { return tomada_; }

private:
    Traspaso& t_;
    bool tomada_;
};
