// The ContaPlus side of a transfer window: the journal and subaccount files
// copied from the templates, the dBASE connections every writer uses, the
// company's own subaccount list, and the upgrade of the staging table fac.
#include "transfer/Traspaso.h"

#include "platform/Fallo.h"
#include "platform/Vb.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <algorithm>

namespace {

const QString CADENA_DBASE = QStringLiteral("Driver={Microsoft dBASE Driver (*.dbf)};DriverID=277;dbq=");
const QString PLANTILLA_DIARIO = QStringLiteral("c:\\quelmira\\sp1\\diario.dbf");
const QString PLANTILLA_SUBCUENTAS = QStringLiteral("c:\\quelmira\\sp1\\subcuent.dbf");
const QString ERROR_COPIA = QStringLiteral("Ha Ocurrido un error al copiar los ficheros a la carpeta ");

// Copies `origen` over `destino`, both local paths. QFile::copy never
// overwrites, so an earlier copy is removed first. The copy is made writable:
// a read-only template would otherwise give a journal nobody can append to.
void copiar_encima(const QString& origen, const QString& destino)
{
    if (!QFileInfo(origen).isFile())
        throw Fallo(codigo_error::ERROR_DE_ARCHIVO,
                    QStringLiteral("No existe la plantilla %1").arg(QDir::toNativeSeparators(origen)));
    if (QFileInfo::exists(destino) && !QFile::remove(destino))
        throw Fallo(codigo_error::ERROR_DE_ARCHIVO,
                    QStringLiteral("No se puede reemplazar %1").arg(QDir::toNativeSeparators(destino)));
    QFile fuente(origen);
    if (!fuente.copy(destino))
        throw Fallo(codigo_error::ERROR_DE_ARCHIVO,
                    QStringLiteral("No se puede copiar %1 en %2: %3")
                        .arg(QDir::toNativeSeparators(origen), QDir::toNativeSeparators(destino),
                             fuente.errorString()));
    QFile::setPermissions(destino, QFile::permissions(destino) | QFile::WriteOwner | QFile::ReadOwner);
}

}  // namespace

bool Traspaso::activar()
{
    if (m.externa) {
        if (!Copiar_Ficheros())
            return false;
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
    rs_diario.cerrar();
    rs_subcuentas.cerrar();
    conexion_diario.cerrar();
    conexion_subcuentas.cerrar();
    try {
        copiar_encima(local(PLANTILLA_DIARIO), local(m.ruta_contaplus + "\\Xdiario.dbf"));
        copiar_encima(local(PLANTILLA_SUBCUENTAS), local(m.ruta_contaplus + "\\XSubCta.dbf"));

        const QString cadena = CADENA_DBASE + m.ruta_contaplus + "\\;";
        conexion_diario = Conexion();
        conexion_diario.abrir(cadena, m.unidades);
        rs_diario = Recordset();
        conexion_subcuentas = Conexion();
        conexion_subcuentas.abrir(cadena, m.unidades);
        rs_subcuentas = Recordset();

        rs_diario.abrir("SELECT * FROM Xdiario", conexion_diario, Cursor::Dinamico, Bloqueo::SoloLectura);
        rs_diario.cerrar();
        return true;
    } catch (const Fallo&) {
        m.interlocutor.mensaje(ERROR_COPIA + m.ruta_contaplus);
        vista.cerrar();
        return false;
    }
}

void Traspaso::abrir_contaplus()
{
    codigo_empresa = vb::IsNumeric(m.empresa) ? vb::Format(vb::Val(m.empresa), "0000") : m.empresa;

    const QString tmp = m.ruta_contaplus + "\\TMP";
    const QString carpeta_empresa = m.ruta_contaplus + "\\EMP" + codigo_empresa;

    rs_diario.cerrar();
    rs_subcuentas.cerrar();
    rs_empresa.cerrar();
    conexion_diario.cerrar();
    conexion_subcuentas.cerrar();
    conexion_empresa.cerrar();

    // The steps of the set-up, so that the one that found no journal can be
    // run again after the templates are copied.
    auto paso = [&](int n) {
        switch (n) {
        case 0:
            conexion_diario = Conexion();
            // The Windows driver opens any folder and then finds no table in
            // it; ours refuses a missing folder. Both mean the same here: the
            // journal is not there.
            if (!QFileInfo(local(tmp)).isDir())
                throw Fallo(codigo_error::TABLA_INEXISTENTE,
                            QStringLiteral("No existe la carpeta %1").arg(tmp));
            conexion_diario.abrir(CADENA_DBASE + tmp + ";", m.unidades);
            rs_diario = Recordset();
            break;
        case 1:
            conexion_subcuentas = Conexion();
            conexion_subcuentas.abrir(CADENA_DBASE + tmp + ";", m.unidades);
            rs_subcuentas = Recordset();
            break;
        case 2:
            conexion_empresa = Conexion();
            conexion_empresa.abrir(CADENA_DBASE + carpeta_empresa + ";", m.unidades);
            rs_empresa = Recordset();
            break;
        case 3:
            rs_diario.abrir("SELECT * FROM Xdiario", conexion_diario, Cursor::Dinamico,
                            Bloqueo::SoloLectura);
            rs_diario.cerrar();
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
                    copiar_encima(local(PLANTILLA_DIARIO), local(tmp + "\\Xdiario.dbf"));
                    copiar_encima(local(PLANTILLA_SUBCUENTAS), local(tmp + "\\XSubCta.dbf"));
                    paso(n);
                    continue;
                } catch (const Fallo& g) {
                    fallo = g;
                }
            }
            if (recuperado && (fallo.numero() == codigo_error::TABLA_INEXISTENTE
                               || fallo.numero() == codigo_error::ERROR_DE_ARCHIVO)) {
                m.interlocutor.mensaje(ERROR_COPIA + tmp);
            } else {
                // Not a missing journal: the transfer could not write to
                // ContaPlus, so the clerk is told why now rather than by a
                // later failure of the run.
                m.interlocutor.mensaje(QStringLiteral("No se pudo abrir la carpeta de ContaPlus %1: %2")
                                           .arg(carpeta_del_paso(n), fallo.descripcion()));
            }
            return;
        }
    }
}

void Traspaso::Comprobar_campos()
{
    auto comprobar = [&] {
        m.rs_fac.cerrar();
        m.rs_fac.abrir("SELECT ImporteTasa FROM fac", m.conexion_enlace, Cursor::Dinamico,
                       Bloqueo::SoloLectura);
        m.rs_fac.cerrar();
    };
    try {
        comprobar();
    } catch (const Fallo& f) {
        if (f.numero() != codigo_error::PARAMETRO_SIN_VALOR)
            return;
        // An older link database: fac has no tourist-tax column yet.
        try {
            m.conexion_enlace.ejecutar("ALTER TABLE fac ADD COLUMN ImporteTasa double");
            m.conexion_enlace.ejecutar("UPDATE FAC SET ImporteTasa = 0");
            comprobar();
        } catch (const Fallo&) {
        }
    }
}

qint32 Traspaso::ultimo_asiento()
{
    rs_diario.cerrar();
    rs_diario.abrir("SELECT MAX(ASIEN) as ultimo FROM Xdiario", conexion_diario, Cursor::Dinamico,
                    Bloqueo::Optimista);
    qint32 ultimo = 0;
    if (!rs_diario.eof()) {
        const QVariant v = rs_diario.campo("ultimo");
        if (!vb::esNulo(v))
            ultimo = vb::CLng(v);
    }
    rs_diario.cerrar();
    return ultimo;
}

bool Traspaso::existe_cuenta(const QString& codigo)
{
    rs_empresa.cerrar();
    rs_empresa.abrir("SELECT * FROM SubCta WHERE COD = ?", conexion_empresa, Cursor::Dinamico,
                     Bloqueo::SoloLectura, {codigo});
    const bool existe = !rs_empresa.eof();
    rs_empresa.cerrar();
    return existe;
}
