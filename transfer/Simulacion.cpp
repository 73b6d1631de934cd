#include "transfer/Simulacion.h"

#include "platform/sistema/CarpetaTemporal.h"
#include "platform/sistema/Fallo.h"
#include "platform/sistema/Fichero.h"
#include "platform/valores/Vb.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <sqlite3.h>
#include <vector>

namespace {

const QString TITULO = QStringLiteral("Traspaso a CONTAPLUS");

// The window a dry run talks to: the real one's boxes, pointer and
// progress; the dates are not emptied and the window is not closed.
class VistaSimulacion : public VistaTraspaso {
public:
    explicit VistaSimulacion(VistaTraspaso& real) : real_(real) {}
    void vaciar_fechas() override {}
    void puntero_espera(bool espera) override { real_.puntero_espera(espera); }
    void cerrar() override {}
    void progreso(const QString& fase, qint64 hecho, qint64 total) override { real_.progreso(fase, hecho, total); }

private:
    VistaTraspaso& real_;
};

// A consistent copy of the SQLite file `origen`, read under one read
// transaction; in WAL mode that blocks no writer.
void copiar_base(const QString& origen, const QString& destino)
{
    sqlite3* o = nullptr;
    sqlite3* d = nullptr;
    QString error;
    if (sqlite3_open_v2(origen.toUtf8().constData(), &o, SQLITE_OPEN_READONLY, nullptr) != SQLITE_OK) {
        error = QString::fromUtf8(sqlite3_errmsg(o));
    } else if (sqlite3_open_v2(destino.toUtf8().constData(), &d, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr) !=
               SQLITE_OK) {
        error = QString::fromUtf8(sqlite3_errmsg(d));
    } else {
        sqlite3_busy_timeout(o, 10000);
        sqlite3_backup* b = sqlite3_backup_init(d, "main", o, "main");
        if (!b) {
            error = QString::fromUtf8(sqlite3_errmsg(d));
        } else {
            const int paso = sqlite3_backup_step(b, -1);
            sqlite3_backup_finish(b);
            if (paso != SQLITE_DONE) error = QString::fromUtf8(sqlite3_errstr(paso));
        }
    }
    sqlite3_close(o);
    sqlite3_close(d);
    if (!error.isEmpty())
        throw Fallo(codigo_error::FALLO_GENERAL,
                    QStringLiteral("No se puede copiar %1 para la simulación: %2").arg(origen, error));
}

void copiar_fichero(const QString& origen, const QString& destino)
{
    if (!QFileInfo(origen).isFile()) return;
    QDir().mkpath(QFileInfo(destino).absolutePath());
    try {
        Fichero::copiar(origen, destino);
    } catch (const Fallo& f) {
        throw Fallo(codigo_error::ERROR_DE_ARCHIVO,
                    QStringLiteral("No se puede copiar %1 para la simulación: %2").arg(origen, f.descripcion()));
    }
    QFile(destino).setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner);
}

// The installation as the run sees it, copied to `copia`: the link
// database first, then the ContaPlus files, so the journal copied holds at
// least what the copied durable point says.
void copiar_instalacion(const Module1& m, const Unidades& copia)
{
    const QString enlace = m.unidad + QStringLiteral(":\\quelmira\\enlace.MDB");
    QDir().mkpath(QFileInfo(copia.local(enlace)).absolutePath());
    copiar_base(m.unidades.local(enlace), copia.local(enlace));

    QDir().mkpath(copia.local(QStringLiteral("c:\\quelmira\\sp1")));
    QStringList ficheros = {QStringLiteral("c:\\quelmira\\sp1\\diario.dbf"),
                            QStringLiteral("c:\\quelmira\\sp1\\subcuent.dbf")};
    for (const QString& carpeta : {m.ruta_contaplus, m.ruta_contaplus + QStringLiteral("\\TMP")}) {
        if (!QFileInfo(m.unidades.local(carpeta)).isDir()) continue;
        QDir().mkpath(copia.local(carpeta));
        ficheros << carpeta + QStringLiteral("\\Xdiario.dbf") << carpeta + QStringLiteral("\\XSubCta.dbf");
    }
    ficheros << carpeta_empresa(m.ruta_contaplus, m.empresa) + QStringLiteral("\\SubCta.dbf");
    for (const QString& f : std::as_const(ficheros)) copiar_fichero(m.unidades.local(f), copia.local(f));
}

// Module1 pointed at the copy for the dry run: its drives, the link
// database, and every hotel connection through a handle that writes
// nothing. Everything back as it was when it goes.
class Sustitucion {
public:
    Sustitucion(Module1& m, const Unidades& copia, const Conexion& enlace) : m_(m), unidades_(m.unidades)
    {
        cerrar_recordsets();
        for (Conexion* c : {&m.conexion_unidad, &m.conexion_sistema, &m.conexion_sql, &m.conexion_cc, &m.conexion_cab,
                            &m.conexion_cadia, &m.conexion_dep, &m.conexion_emi, &m.conexion_hiscadia,
                            &m.conexion_histocab, &m.conexion_ser, &m.conexion_agen, &m.conexion_na, &m.conexion_caja,
                            &m.conexion_cli, &m.conexion_formas, &m.conexion_emp}) {
            guardadas_.emplace_back(c, *c);
            *c = c->simulada();
        }
        guardadas_.emplace_back(&m.conexion_enlace, m.conexion_enlace);
        m.conexion_enlace = enlace;
        m.unidades = copia;
    }
    ~Sustitucion()
    {
        cerrar_recordsets();
        for (auto& [c, real] : guardadas_) *c = real;
        m_.unidades = unidades_;
    }

private:
    void cerrar_recordsets()
    {
        for (Recordset* r : {&m_.rs_unidad, &m_.rs_con, &m_.rs_cc}) r->cerrar();
    }

    Module1& m_;
    Unidades unidades_;
    std::vector<std::pair<Conexion*, Conexion>> guardadas_;
};

// The copies opened as the window's activation left the real files: with
// `externa` the pair in the ContaPlus folder as it is, without copying the
// templates over it.
bool preparar(Traspaso& s, const Traspaso& t, bool activar)
{
    if (activar || !s.m.externa) return s.activar();
    const QString cadena = QStringLiteral("Driver={Microsoft dBASE Driver (*.dbf)};DriverID=277;dbq=") +
                           s.m.ruta_contaplus + QStringLiteral("\\;");
    s.contaplus.conexion_diario.abrir(cadena, s.m.unidades);
    s.contaplus.conexion_subcuentas.abrir(cadena, s.m.unidades);
    s.reparar_contaplus(nullptr);
    s.Comprobar_campos();
    s.cuenta_ventas_defecto = t.cuenta_ventas_defecto;
    s.preparado = true;
    return true;
}

}  // namespace

Simulacion simular(Traspaso& t, const OpcionesSimulacion& opciones)
{
    Module1& m = t.m;
    Simulacion r;
    CarpetaTemporal carpeta;
    if (!carpeta.isValid()) {
        r.fallo =
            QStringLiteral("No se puede crear la carpeta temporal de la simulación: %1").arg(carpeta.errorString());
        m.interlocutor.mensaje(r.fallo, TITULO, Icono::Critico);
        return r;
    }
    const Unidades copia(carpeta.path());
    const Unidades reales = m.unidades;
    const QDateTime reloj = t.ahora();
    const QString sello = reloj.toString(QStringLiteral("ddMMyy_hhmmss"));
    const QString informe = reales.local(QStringLiteral("c:\\quelmira\\sp1\\simulacion_") + sello + ".html");
    {
        Conexion enlace;
        try {
            copiar_instalacion(m, copia);
            enlace.abrir(m.cadena_mdb(QStringLiteral(":\\quelmira\\enlace.MDB")), copia);
        } catch (const Fallo& f) {
            r.fallo = f.descripcion();
            m.interlocutor.mensaje(r.fallo, TITULO, Icono::Critico);
            return r;
        }
        Sustitucion sustitucion(m, copia, enlace);
        enlace = Conexion();
        VistaSimulacion vista(t.vista);
        Traspaso s(m, vista);
        s.fecha_desde = t.fecha_desde;
        s.fecha_hasta = t.fecha_hasta;
        s.reloj_fijo = reloj;
        s.pedir_detencion = t.pedir_detencion;
        // Its report is written below, beside the real log folder.
        s.resumen.simulacion = true;
        try {
            if (!preparar(s, t, opciones.activar)) return r;
        } catch (const Fallo& f) {
            r.fallo = f.descripcion();
            m.interlocutor.mensaje(QStringLiteral("No se han podido preparar los ficheros de ContaPlus.\n") + r.fallo,
                                   QStringLiteral("Atención"), Icono::Critico);
            return r;
        }
        r.fin = s.iniciar2();
        t.detenido = s.detenido;
        if (r.fin != FinTraspaso::Cancelado && r.fin != FinTraspaso::Bloqueado && r.fin != FinTraspaso::SinPreparar) {
            try {
                escribir_informe_simulacion(s, informe, &r.informe, &r.csv);
            } catch (const Fallo& f) {
                m.interlocutor.mensaje(QStringLiteral("No se ha podido escribir el informe de la simulación: ") +
                                           f.descripcion(),
                                       TITULO, Icono::Critico);
            }
        }
        s.contaplus.rs_diario.cerrar();
        s.contaplus.rs_subcuentas.cerrar();
        s.contaplus.rs_empresa.cerrar();
    }
    if (opciones.al_terminar) opciones.al_terminar(carpeta.path());
    return r;
}
