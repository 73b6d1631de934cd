// Start-up of enlace: the drive of the hotel data, the Access or SQL Server
// choice, and every connection the settings and the transfer use. Runs once,
// while the main menu loads; the connections stay open until the program ends.
#include "startup/Module1.h"

#include "platform/sistema/Fallo.h"
#include "platform/valores/Vb.h"

#include <QDebug>

namespace {

const QString JET = QStringLiteral("Provider=Microsoft.Jet.OLEDB.4.0;Data Source= ");
const QString ARCHIVO_UNIDAD = QStringLiteral("C:\\quelmira.MDB");
const QString ARCHIVO_SISTEMA = QStringLiteral("C:\\quelmira\\VTRHSYS.MDB");
const QString TITULO_CONEXION = QStringLiteral("Atención NO conexion BD");
const QString MENSAJE_CONEXION =
    QStringLiteral("Ha ocurrido un fallo de conexión con las bases de datos del programa de Hotel. "
                   "La apliación no puede continuar.");

}  // namespace

Module1::Module1(Unidades unidades_, Interlocutor& interlocutor_)
    : unidades(std::move(unidades_)), interlocutor(interlocutor_)
{
}

QString Module1::cadena_mdb(const QString& ruta) const
{
    return JET + unidad + ruta;
}

void Module1::cargar()
{
    unidad = leer_unidad();
    leer_tipo_conexion();
    panel1 = QStringLiteral("versión 5.04.001");
    abrir_conexiones();
}

void Module1::activar()
{
    cargar_cc();
    if (modo_sql)
        panel2 = "Conectado: " + servidor_sql + " (" + catalogo_sql + ")";
    else
        panel2 = "Conectado: " + unidad + ":\\";
}

QString Module1::leer_unidad()
{
    // Nothing can be found without the drive: any failure here is told to
    // the clerk, naming the file or the row, and ends the program.
    auto terminar = [this](const QString& texto) {
        rs_unidad.cerrar();
        conexion_unidad.cerrar();
        interlocutor.mensaje(texto, TITULO_CONEXION, Icono::Critico, Botones::Aceptar);
        throw FinPrograma{};
    };

    try {
        conexion_unidad.abrir(JET + ARCHIVO_UNIDAD, unidades, QString(), QString());
    } catch (const Fallo& f) {
        terminar("No se encuentra la base de datos " + ARCHIVO_UNIDAD + ": " + f.descripcion());
    }

    QVariant valor;
    try {
        rs_unidad = Recordset();
        rs_unidad.abrir("SELECT unidad FROM quelmira WHERE cod = '1'", conexion_unidad, Cursor::Dinamico,
                        Bloqueo::SoloLectura);
        if (rs_unidad.eof()) terminar("La tabla quelmira de " + ARCHIVO_UNIDAD + " no tiene la fila con cod '1'.");
        valor = rs_unidad.campo("unidad");
    } catch (const Fallo& f) {
        terminar("No se puede leer la tabla quelmira de " + ARCHIVO_UNIDAD + ": " + f.descripcion());
    }

    // A drive that is Null or blank would send every path to no drive at all.
    if (vb::esNulo(valor) || vb::Trim(vb::texto(valor)).isEmpty())
        terminar("La fila con cod '1' de la tabla quelmira de " + ARCHIVO_UNIDAD +
                 " no indica la unidad de los datos del hotel.");

    const QString resultado = vb::texto(valor);
    rs_unidad.cerrar();
    conexion_unidad.cerrar();
    return resultado;
}

void Module1::leer_tipo_conexion()
{
    try {
        conexion_sistema.abrir(JET + ARCHIVO_SISTEMA, unidades, QString(), QString());
        rs_con = Recordset();
        rs_con.abrir("SELECT * FROM con ", conexion_sistema, Cursor::Dinamico, Bloqueo::SoloLectura);
        if (rs_con.eof() || vb::igual(rs_con.campo("ConTipo"), "0")) {
            modo_sql = false;
            servidor_sql.clear();
            catalogo_sql.clear();
        } else {
            // Any other value, an empty one included, means SQL Server. The
            // flag is set first: a Null server or catalogue then fails after
            // it, and the connection attempt reports that.
            modo_sql = true;
            servidor_sql = vb::texto(rs_con.campo("ConServer"));
            catalogo_sql = vb::texto(rs_con.campo("catalogo"));
        }
    } catch (const Fallo& f) {
        // A system database that cannot be opened means Access mode; any
        // other failure leaves the values as they stand. No message.
        if (f.numero() == codigo_error::FALLO_GENERAL) {
            modo_sql = false;
            servidor_sql.clear();
            catalogo_sql.clear();
        }
    }
    rs_con.cerrar();
    conexion_sistema.cerrar();
}

void Module1::abrir_conexiones()
{
    conectado = false;
    if (modo_sql)
        conectar_sql();
    else
        conectar_mdb();

    if (!conectado) {
        interlocutor.mensaje(MENSAJE_CONEXION, TITULO_CONEXION, Icono::Critico, Botones::Aceptar);
        throw FinPrograma{};
    }

    rs_cc = Recordset();
    abrir_enlace();
}

void Module1::conectar_sql()
{
    const QString cadena =
        "Driver={SQL Native Client};Server=" + servidor_sql + ";Database=" + catalogo_sql + "; Uid=quelmira;Pwd=BIRO4;";
    try {
        conexion_sql.abrir(cadena, unidades, QString(), QString());
        conectado = true;
    } catch (const Fallo& f) {
        // The clerk's message names no database; the detail goes to the
        // program's error output for whoever looks after the installation.
        qWarning().noquote() << "No se ha podido conectar con" << servidor_sql
                             << "(" + catalogo_sql + "):" << f.descripcion();
        conectado = false;
    }
}

void Module1::conectar_mdb()
{
    struct Familia {
        Conexion Module1::*conexion;
        const char* ruta;
    };
    static const Familia familias[] = {
        {&Module1::conexion_cc, ":\\quelmira\\cc.MDB"},
        {&Module1::conexion_cab, ":\\quelmira\\cab.MDB"},
        {&Module1::conexion_cadia, ":\\quelmira\\cadia.MDB"},
        {&Module1::conexion_dep, ":\\quelmira\\dep.MDB"},
        {&Module1::conexion_emi, ":\\quelmira\\emi.MDB"},
        {&Module1::conexion_hiscadia, ":\\quelmira\\hiscadia.MDB"},
        {&Module1::conexion_histocab, ":\\quelmira\\histocab.MDB"},
        {&Module1::conexion_ser, ":\\quelmira\\ser.MDB"},
        {&Module1::conexion_agen, ":\\quelmira\\agen.MDB"},
        {&Module1::conexion_na, ":\\quelmira\\na.MDB"},
        {&Module1::conexion_caja, ":\\quelmira\\caja.MDB"},
        {&Module1::conexion_cli, ":\\quelmira\\cli.MDB"},
        {&Module1::conexion_formas, ":\\quelmira\\formas.MDB"},
        {&Module1::conexion_emp, ":\\quelmira\\emp.MDB"},
    };
    // The first file that does not open stops the sequence; those opened
    // before it stay open.
    for (const Familia& familia : familias) {
        try {
            (this->*familia.conexion).abrir(cadena_mdb(familia.ruta), unidades, QString(), QString());
        } catch (const Fallo& f) {
            qWarning().noquote() << "No se ha podido abrir" << unidad + familia.ruta + ":" << f.descripcion();
            conectado = false;
            return;
        }
    }
    conectado = true;
}

void Module1::abrir_enlace()
{
    // The link's working tables are in this file in both modes.
    const QString ruta = ":\\quelmira\\enlace.MDB";
    try {
        conexion_enlace.abrir(cadena_mdb(ruta), unidades, QString(), QString());
    } catch (const Fallo& f) {
        interlocutor.mensaje("No se encuentra la base de datos del enlace " + unidad + ruta + ": " + f.descripcion(),
                             TITULO_CONEXION, Icono::Critico, Botones::Aceptar);
        throw FinPrograma{};
    }
}
