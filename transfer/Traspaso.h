#pragma once
// One transfer window's state and operations: the ContaPlus working files,
// the transfer driver, customer subaccount resolution, invoice staging and
// posting, and the journal and subaccount writers, which read the cursors
// and the window variables and hand the values to contaplus/.
// The window owns one Traspaso; the command line makes one too.
#include "platform/sistema/Cerrojo.h"
#include "platform/sql/Conexion.h"
#include "contaplus/FilaDiario.h"
#include "platform/sql/Recordset.h"
#include "startup/Module1.h"
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

enum class FinTraspaso {
    Cancelado,      // the confirmation was answered No
    SinFacturas,    // no invoice in the range: the no-invoices message
    Correcto,       // ended with the final message
    Fallido,        // a failure abandoned the run (told to the clerk)
    Bloqueado,      // another transfer holds the installation: nothing ran
    SinPreparar,    // the ContaPlus files were not prepared: nothing ran
    Detenido,       // stopped at the clerk's request after a durable group
};

// Thrown right after a group's commit when the clerk asked the run to stop;
// caught by iniciar2(), which ends the run there.
struct DetencionPedida {};

class Traspaso {
public:
    Traspaso(Module1& m, VistaTraspaso& vista);

    Module1& m;
    VistaTraspaso& vista;

    // Transfer-window variables.
    QString fecha_desde, fecha_hasta;           // aaaammdd
    QString cuenta_ventas_defecto;
    QString codigo_empresa;
    QString numero_factura;
    qint16 orden_caja = 0;
    QString cuenta_cliente;
    QString descripcion_cobro;
    QString subcuenta_cliente, subcuenta;
    double importe_ventas = 0, porcentaje_iva = 0, base_imponible = 0, cuota_iva = 0;
    QDate dia_proceso, dia_hasta;
    QString fecha_dia;

    // ContaPlus side, made anew on every activation.
    Conexion conexion_diario, conexion_subcuentas, conexion_empresa;
    Recordset rs_diario, rs_subcuentas, rs_empresa;
    // Every journal line is appended through this writer. An invoice line
    // is made in two steps: its entry's number and date, then the line the
    // MOVER_DATOS_ filler leaves here, written by the posting.
    EscritorDiario escritor_diario;
    double asien_linea = 0;
    QDate fecha_linea;
    LineaDiario linea_pendiente;

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
    // True while a stop can be acted on: from the run's first group to its
    // end or failure.
    bool admite_detencion = false;
    // Where the last run stopped at the clerk's request, as its log says it;
    // empty when it was not stopped.
    QString detenido;
    // Repairs made at the activation, for the next run's log.
    QStringList reparaciones;

    // The installation's lock files: the link's folder and the ContaPlus
    // folder. Taken by the activation and by each run (nested: the command
    // line holds them for its whole life).
    Cerrojo cerrojo_enlace, cerrojo_contaplus;
    int reservas = 0;
    bool reservar();            // false after telling the clerk who holds them
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
    bool Copiar_Ficheros();     // false after its message: the window closes
    // With externa on: the previous run's pair, still holding rows, renamed
    // to Xdiario_ddmmaa_hhmmss.dbf and XSubCta_ddmmaa_hhmmss.dbf beside it.
    void guardar_salida_anterior(const QString& carpeta);
    void abrir_contaplus();
    void Comprobar_campos();
    qint32 ultimo_asiento();    // 32 bits: journals pass 32767 entries
    bool existe_cuenta(const QString& codigo);

    // Driver.
    FinTraspaso iniciar2();
    FinTraspaso correr();       // iniciar2 past the confirmation, under the lock

    // Customer subaccounts.
    QString cuenta_contable_pasante(const QString& codigo_cliente);
    QString cuenta_contable_agencias(const QString& codigo_cliente);
    QString cuenta_contable_empresas(const QString& codigo_cliente);
    QString cuenta_cliente3();
    void buscar_cuenta_cliente2();
    QString cuenta_cobro(const QString& codcobro);
    // The subaccount a payment method's ForCta gives: the cash account when
    // it is Null or empty, brought to the company's digits.
    QString cuenta_de_forma(const QVariant& for_cta) const;

    // With an 8-digit company, a code of another length brought to 8
    // characters (ajustar_subcuenta); otherwise the code unchanged.
    QString a_digitos(const QString& codigo) const;

    // Invoice staging.
    void crear_fac();
    void generar_fal(const QString& w_eje, const QString& w_numero);

    // Posting: invoice phase, day phases, final message.
    void contabilizar();
    void fase_depositos(double& n_apunte);
    void fase_caja(double& n_apunte);

    // Journal lines of the cash desk and deposits.
    void APUNTE_DEBE_CAJA_CONTAPLUS(double n_apunte);
    void APUNTE_HABER_CAJA_CONTAPLUS(double n_apunte);
    void APUNTE_D_CONTAPLUS_COBRO_DEPOSITOS(double n_apunte);
    void APUNTE_H_CONTAPLUS_COBRO_DEPOSITOS(double n_apunte);
    void APUNTE_DEPOSITOS_DESCONTADOS_D(double n_apunte);
    void APUNTE_DEPOSITOS_DESCONTADOS_H(double n_apunte);

    // Subaccounts.
    void CREAR_CLIENTE_CONTAPLUS();
    void CREAR_VENTAS_CONTAPLUS2();
    void CREAR_CUENTA_TASA();
    void CREAR_IVA_CONTAPLUS();

    // A name that loses characters in the files' code page, for the report.
    void anotar_nombre(const QString& nombre, const QString& donde);

    // Invoice journal lines (fill linea_pendiente).
    void MOVER_DATOS_CLIENTE_CONTAPLUS();
    void MOVER_DATOS_TASA_CONTAPLUS();
    void MOVER_DATOS_VENTAS_CONTAPLUS2();
    void MOVER_DATOS_IVA_CONTAPLUS();

    // Local path of a Windows path of the installation.
    QString local(const QString& ruta_windows) const { return m.unidades.local(ruta_windows); }

    // What a run leaves for the clerk to post by hand, counted as it goes:
    // receipts whose invoice is not found, invoices whose entry does not
    // balance. Told after the run's last message, naming the log (its
    // Windows name), which lists each of them.
    int cobros_sin_factura = 0;
    int facturas_descuadradas = 0;
    QString nombre_registro;
    void avisar_pendientes();

    // What the run did, for its report (InformeTraspaso.h), and the local
    // path of the report written at its end (empty when none was).
    ResumenTraspaso resumen;
    QString informe;
    // Local paths of the journal and subaccount files the run writes.
    QString fichero_diario_local() const;
    QString fichero_subcuentas_local() const;
    // The current rs_fac row, staged and not posted, given the amounts of
    // the invoice under rs_emi; true when any changed.
    bool refrescar_importes();
    // Whether the amounts of the current rs_fac row make an entry that balances.
    bool cuadra_preparada();
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
