// The ContaPlus side of a transfer window: the journal and subaccount files
// copied from the templates, the dBASE connections every writer uses, the
// company's own subaccount list, and the upgrade of the staging table fac.
#include "transfer/Traspaso.h"

#include "platform/sistema/Fallo.h"
#include "platform/sistema/Fichero.h"
#include "platform/valores/Vb.h"

#include <QDebug>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSysInfo>

#include <algorithm>

namespace {

const QString CADENA_DBASE = QStringLiteral("Driver={Microsoft dBASE Driver (*.dbf)};DriverID=277;dbq=");
const QString PLANTILLA_DIARIO = QStringLiteral("c:\\quelmira\\sp1\\diario.dbf");
const QString PLANTILLA_SUBCUENTAS = QStringLiteral("c:\\quelmira\\sp1\\subcuent.dbf");
const QString ERROR_COPIA = QStringLiteral("Ha Ocurrido un error al copiar los ficheros a la carpeta ");

const QString TITULO = QStringLiteral("Traspaso a CONTAPLUS");

// Copies `origen` over `destino`, both local paths, so that a stop at any
// moment leaves either the old file or the whole copy, never half of one.
// The copy is made writable: a read-only template would otherwise give a
// journal nobody can append to.
void copiar_encima(const QString& origen, const QString& destino)
{
    if (!QFileInfo(origen).isFile())
        throw Fallo(codigo_error::ERROR_DE_ARCHIVO,
                    QStringLiteral("No existe la plantilla %1").arg(QDir::toNativeSeparators(origen)));
    Fichero::copiar_seguro(origen, destino);
}

bool existe(const QString& ruta_local)
{
    return QFileInfo(ruta_local).isFile();
}

// A run appends to both files: one that can only be read (a read-only
// folder or file) stops the set-up here, naming it, rather than the run
// after it has staged and marked the hotel's rows.
void exigir_escritura(const QString& ruta_windows, const QString& ruta_local)
{
    Fichero f;
    QString motivo;
    if (!f.abrir(ruta_local, true, &motivo))
        throw Fallo(codigo_error::ERROR_DE_ARCHIVO,
                    QStringLiteral("No se puede escribir en %1: %2").arg(ruta_windows, motivo));
}

// Why the dBASE file at `ruta_local` cannot be a table, read from its first
// bytes; empty when it looks like one (or is not there), so the driver's own
// text stands.
QString motivo_no_dbase(const QString& ruta_local)
{
    QFile f(ruta_local);
    if (!QFileInfo(ruta_local).isFile() || !f.open(QIODevice::ReadOnly)) return QString();
    const QByteArray c = f.read(32);
    const qint64 tamano = f.size();
    if (tamano == 0) return QStringLiteral("está vacío");
    // The version byte of dBASE III to 7, FoxPro and Visual FoxPro files.
    static const QByteArray versiones("\x02\x03\x04\x05\x30\x31\x32\x43\x63\x83\x8b\x8e\xcb\xf5\xfb", 15);
    if (!versiones.contains(c[0])) return QStringLiteral("no es un fichero dBASE");
    const qint64 cabecera = c.size() < 12 ? -1 : quint8(c[8]) | quint8(c[9]) << 8;
    if (c.size() < 32 || cabecera > tamano)
        return QStringLiteral("su cabecera está cortada (el fichero tiene %1 bytes)").arg(tamano);
    if (cabecera < 33) return QStringLiteral("no es un fichero dBASE");
    return QString();
}

// The first of the two files of `carpeta` that is no dBASE table, as
// "el fichero C:\...\Xdiario.dbf está vacío"; empty when neither.
QString fichero_no_dbase(const Traspaso& t, const QString& carpeta)
{
    for (const QString& nombre : {QStringLiteral("\\Xdiario.dbf"), QStringLiteral("\\XSubCta.dbf")}) {
        const QString motivo = motivo_no_dbase(t.local(carpeta + nombre));
        if (!motivo.isEmpty()) return QStringLiteral("el fichero %1 %2").arg(carpeta + nombre, motivo);
    }
    return QString();
}

const QString NO_SE_PREPARAN = QStringLiteral("No se pueden preparar los ficheros de ContaPlus de %1: %2");

}  // namespace

bool Traspaso::activar()
{
    preparado = false;
    aviso_preparacion.clear();
    // Prepared under the installation's lock: a transfer running elsewhere
    // is not disturbed, and its files are not half copied under it.
    ReservaInstalacion reserva(*this);
    if (!reserva.tomada()) {
        aviso_preparacion = QStringLiteral("Otro traspaso estaba en curso cuando se abrió esta ventana.");
        vista.cerrar();
        return false;
    }
    if (m.externa) {
        if (!Copiar_Ficheros()) return false;
    } else {
        abrir_contaplus();
    }
    Comprobar_campos();
    cuenta_ventas_defecto = QStringLiteral("705") + QString(std::max(0, m.digitos - 3), QChar('9'));
    return true;
}

bool Traspaso::Copiar_Ficheros()
{
    // Whatever an earlier activation left open on the old files goes first.
    contaplus.rs_diario.cerrar();
    contaplus.rs_subcuentas.cerrar();
    contaplus.conexion_diario.cerrar();
    contaplus.conexion_subcuentas.cerrar();
    durabilidad.reset();
    const QString carpeta = m.ruta_contaplus + "\\";
    const QString cadena = CADENA_DBASE + m.ruta_contaplus + "\\;";
    try {
        // The previous output may not have been taken by ContaPlus yet: it
        // is first cut back to what its run marked as posted, then kept.
        if (existe(local(carpeta + "Xdiario.dbf"))) {
            contaplus.conexion_diario = Conexion();
            contaplus.conexion_diario.abrir(cadena, m.unidades);
            contaplus.conexion_subcuentas = Conexion();
            contaplus.conexion_subcuentas.abrir(cadena, m.unidades);
            QStringList avisos;
            reparar_contaplus(&avisos);
            for (const QString& a : std::as_const(avisos)) m.interlocutor.mensaje(a, TITULO, Icono::Exclamacion);
            qint64 filas = contaplus.conexion_diario.dbase().registros(QStringLiteral("Xdiario"));
            if (existe(local(carpeta + "XSubCta.dbf")))
                filas += contaplus.conexion_subcuentas.dbase().registros(QStringLiteral("XSubCta"));
            durabilidad.reset();
            contaplus.conexion_diario.cerrar();
            contaplus.conexion_subcuentas.cerrar();
            if (filas > 0) guardar_salida_anterior(carpeta);
        }

        copiar_encima(local(PLANTILLA_DIARIO), local(carpeta + "Xdiario.dbf"));
        copiar_encima(local(PLANTILLA_SUBCUENTAS), local(carpeta + "XSubCta.dbf"));

        contaplus.conexion_diario = Conexion();
        contaplus.conexion_diario.abrir(cadena, m.unidades);
        contaplus.rs_diario = Recordset();
        contaplus.conexion_subcuentas = Conexion();
        contaplus.conexion_subcuentas.abrir(cadena, m.unidades);
        contaplus.rs_subcuentas = Recordset();

        contaplus.rs_diario.abrir("SELECT * FROM Xdiario", contaplus.conexion_diario, Cursor::Dinamico,
                                  Bloqueo::SoloLectura);
        contaplus.rs_diario.cerrar();
        reparar_contaplus(nullptr);
        preparado = true;
        return true;
    } catch (const Fallo& f) {
        aviso_preparacion = ERROR_COPIA + m.ruta_contaplus;
        qWarning().noquote() << aviso_preparacion << ":" << f.descripcion();
        m.interlocutor.mensaje(aviso_preparacion);
        vista.cerrar();
        return false;
    }
}

void Traspaso::guardar_salida_anterior(const QString& carpeta)
{
    const QString sello = ahora().toString(QStringLiteral("ddMMyy_hhmmss"));
    QString sufijo = QStringLiteral("_") + sello;
    for (int n = 2;
         existe(local(carpeta + "Xdiario" + sufijo + ".dbf")) || existe(local(carpeta + "XSubCta" + sufijo + ".dbf"));
         ++n)
        sufijo = QStringLiteral("_%1_%2").arg(sello).arg(n);
    QStringList guardados;
    for (const QString& nombre : {QStringLiteral("Xdiario"), QStringLiteral("XSubCta")}) {
        const QString origen = local(carpeta + nombre + ".dbf");
        if (!existe(origen)) continue;
        const QString copia = nombre + sufijo + ".dbf";
        Fichero::renombrar(origen, QFileInfo(origen).dir().filePath(copia));
        guardados << copia;
    }
    reparaciones << QStringLiteral("Se han guardado los ficheros del traspaso anterior, que seguían en %1, como %2.")
                        .arg(m.ruta_contaplus, guardados.join(QStringLiteral(" y ")));
}

QString Traspaso::carpeta_ficheros() const
{
    return m.externa ? m.ruta_contaplus + "\\" : m.ruta_contaplus + "\\TMP";
}

void Traspaso::reparar_contaplus(QStringList* avisos)
{
    durabilidad.emplace(m.conexion_enlace, contaplus.conexion_diario, contaplus.conexion_subcuentas, carpeta_ficheros(),
                        local(carpeta_ficheros()),
                        QuienTraspasa{QSysInfo::machineHostName(), m.unidad + QStringLiteral(":\\quelmira")});
    // What an interrupted run left on its way into the files is finished
    // first, while what it left behind can still be seen.
    reparaciones << durabilidad->reparar(avisos, [this](const QString& pregunta) -> std::optional<bool> {
        const Respuesta r = m.interlocutor.mensaje(pregunta, TITULO, Icono::Pregunta, Botones::SiNoCancelar);
        if (r == Respuesta::Cancelar) return std::nullopt;
        return r == Respuesta::Si;
    });
    // Then an append or a cut that stopped half way is taken off; a file
    // whose header does not match its size stops here, naming it.
    for (auto [c, tabla] : {std::pair<Conexion*, QString>{&contaplus.conexion_diario, QStringLiteral("Xdiario")},
                            std::pair<Conexion*, QString>{&contaplus.conexion_subcuentas, QStringLiteral("XSubCta")}}) {
        try {
            reparaciones << c->dbase().comprobar(tabla);
        } catch (const Fallo& f) {
            if (f.numero() != codigo_error::TABLA_INEXISTENTE || tabla == QLatin1String("Xdiario")) throw;
        }
    }
}

bool Traspaso::reservar()
{
    if (reservas_ > 0) {
        ++reservas_;
        return true;
    }
    QString motivo;
    const QString enlace = m.unidad + QStringLiteral(":\\quelmira");
    QString carpeta = enlace;
    Cerrojo::Resultado r = cerrojo_enlace_.tomar(local(enlace), &motivo);
    if (r == Cerrojo::Resultado::Tomado) {
        // A ContaPlus folder that is not there has nothing to protect; the
        // set-up tells the clerk.
        carpeta = m.ruta_contaplus;
        if (QFileInfo(local(m.ruta_contaplus)).isDir()) r = cerrojo_contaplus_.tomar(local(m.ruta_contaplus), &motivo);
        if (r != Cerrojo::Resultado::Tomado) cerrojo_enlace_.soltar();
    }
    if (r == Cerrojo::Resultado::Ocupado) {
        m.interlocutor.mensaje(QStringLiteral("Hay otro traspaso a contabilidad en curso en esta instalación: lo "
                                              "está haciendo %1. Espere a que termine y vuelva a intentarlo.")
                                   .arg(motivo),
                               TITULO, Icono::Exclamacion);
        return false;
    }
    if (r == Cerrojo::Resultado::SinAcceso) {
        m.interlocutor.mensaje(QStringLiteral("No se puede escribir en la carpeta %1: %2").arg(carpeta, motivo), TITULO,
                               Icono::Critico);
        return false;
    }
    reservas_ = 1;
    return true;
}

void Traspaso::liberar()
{
    if (reservas_ <= 0 || --reservas_ > 0) return;
    cerrojo_contaplus_.soltar();
    cerrojo_enlace_.soltar();
}

QString codigo_contaplus(const QString& empresa)
{
    return vb::IsNumeric(empresa) ? vb::Format(vb::Val(empresa), "0000") : empresa;
}

QString carpeta_empresa(const QString& ruta_contaplus, const QString& empresa)
{
    return ruta_contaplus + "\\EMP" + codigo_contaplus(empresa);
}

void Traspaso::abrir_contaplus()
{
    codigo_empresa = codigo_contaplus(m.empresa);

    const QString tmp = m.ruta_contaplus + "\\TMP";
    const QString carpeta_empresa = ::carpeta_empresa(m.ruta_contaplus, codigo_empresa);

    contaplus.rs_diario.cerrar();
    contaplus.rs_subcuentas.cerrar();
    contaplus.rs_empresa.cerrar();
    contaplus.conexion_diario.cerrar();
    contaplus.conexion_subcuentas.cerrar();
    contaplus.conexion_empresa.cerrar();

    // The steps of the set-up, so that the one that found no journal can be
    // run again after the templates are copied.
    auto paso = [&](int n) {
        switch (n) {
        case 0:
            contaplus.conexion_diario = Conexion();
            // The Windows driver opens any folder and then finds no table in
            // it; ours refuses a missing folder. Both mean the same here: the
            // journal is not there.
            if (!QFileInfo(local(tmp)).isDir())
                throw Fallo(codigo_error::TABLA_INEXISTENTE, QStringLiteral("No existe la carpeta %1").arg(tmp));
            contaplus.conexion_diario.abrir(CADENA_DBASE + tmp + ";", m.unidades);
            contaplus.rs_diario = Recordset();
            break;
        case 1:
            contaplus.conexion_subcuentas = Conexion();
            contaplus.conexion_subcuentas.abrir(CADENA_DBASE + tmp + ";", m.unidades);
            contaplus.rs_subcuentas = Recordset();
            break;
        case 2:
            contaplus.conexion_empresa = Conexion();
            contaplus.conexion_empresa.abrir(CADENA_DBASE + carpeta_empresa + ";", m.unidades);
            contaplus.rs_empresa = Recordset();
            break;
        case 3:
            contaplus.rs_diario.abrir("SELECT * FROM Xdiario", contaplus.conexion_diario, Cursor::Dinamico,
                                      Bloqueo::SoloLectura);
            contaplus.rs_diario.cerrar();
            break;
        }
    };
    // The folder a failing step was working on, for the clerk.
    auto carpeta_del_paso = [&](int n) { return n == 2 ? carpeta_empresa : tmp; };

    bool recuperado = false;
    for (int n = 0; n < 4; ++n) {
        try {
            paso(n);
        } catch (const Fallo& f) {
            Fallo fallo = f;
            if (f.numero() == codigo_error::TABLA_INEXISTENTE && !recuperado) {
                // A new TMP folder: the journal and subaccount files are made
                // from the templates, and the step is tried once more.
                recuperado = true;
                try {
                    // A subaccount file that is there keeps its rows: only
                    // what is missing is made.
                    copiar_encima(local(PLANTILLA_DIARIO), local(tmp + "\\Xdiario.dbf"));
                    if (!existe(local(tmp + "\\XSubCta.dbf")))
                        copiar_encima(local(PLANTILLA_SUBCUENTAS), local(tmp + "\\XSubCta.dbf"));
                    paso(n);
                    continue;
                } catch (const Fallo& g) {
                    fallo = g;
                }
            }
            const QString no_dbase = n == 2 ? QString() : fichero_no_dbase(*this, tmp);
            if (recuperado && (fallo.numero() == codigo_error::TABLA_INEXISTENTE ||
                               fallo.numero() == codigo_error::ERROR_DE_ARCHIVO)) {
                aviso_preparacion = ERROR_COPIA + tmp;
            } else if (!no_dbase.isEmpty()) {
                // A file that is there but is no table: the clerk is told
                // which one and why, rather than the driver's bare refusal.
                aviso_preparacion = NO_SE_PREPARAN.arg(tmp, no_dbase);
                m.interlocutor.mensaje(aviso_preparacion, TITULO, Icono::Critico);
                return;
            } else {
                // Not a missing journal: the transfer could not write to
                // ContaPlus, so the clerk is told why now rather than by a
                // later failure of the run.
                aviso_preparacion = QStringLiteral("No se pudo abrir la carpeta de ContaPlus %1: %2")
                                        .arg(carpeta_del_paso(n), fallo.descripcion());
            }
            m.interlocutor.mensaje(aviso_preparacion);
            return;
        }
    }

    try {
        // A pair left half made by a stop during an earlier activation is
        // completed, then both files are checked against their durable point.
        if (!existe(local(tmp + "\\XSubCta.dbf")))
            copiar_encima(local(PLANTILLA_SUBCUENTAS), local(tmp + "\\XSubCta.dbf"));
        for (const QString& nombre : {QStringLiteral("\\Xdiario.dbf"), QStringLiteral("\\XSubCta.dbf")})
            exigir_escritura(tmp + nombre, local(tmp + nombre));
        QStringList avisos;
        reparar_contaplus(&avisos);
        for (const QString& a : std::as_const(avisos)) m.interlocutor.mensaje(a, TITULO, Icono::Exclamacion);
        preparado = true;
    } catch (const Fallo& f) {
        const QString no_dbase = fichero_no_dbase(*this, tmp);
        aviso_preparacion = NO_SE_PREPARAN.arg(tmp, no_dbase.isEmpty() ? f.descripcion() : no_dbase);
        durabilidad.reset();
        m.interlocutor.mensaje(aviso_preparacion, TITULO, Icono::Critico);
    }
}

void Traspaso::Comprobar_campos()
{
    auto comprobar = [&] {
        Recordset fac;
        fac.abrir("SELECT ImporteTasa FROM fac", m.conexion_enlace, Cursor::Dinamico, Bloqueo::SoloLectura);
    };
    try {
        comprobar();
    } catch (const Fallo& f) {
        if (f.numero() != codigo_error::PARAMETRO_SIN_VALOR) return;
        // An older link database: fac has no tourist-tax column yet.
        try {
            m.conexion_enlace.ejecutar("ALTER TABLE fac ADD COLUMN ImporteTasa double");
            m.conexion_enlace.ejecutar("UPDATE FAC SET ImporteTasa = 0");
            comprobar();
        } catch (const Fallo&) {
        }
    }
}
