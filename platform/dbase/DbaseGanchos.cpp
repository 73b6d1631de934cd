#include "platform/dbase/DbaseGanchos.h"

#include <QFile>

#include <cstdio>
#include <cstring>
#include <string>
#include <strings.h>

namespace dbase {

namespace {

// Per thread: two connections on two threads open and fail independently.
thread_local std::string ultimo_error;
thread_local const char* ruta_a_abrir = nullptr;

void anotar_error(const char* mensaje)
{
    ultimo_error = mensaje ? mensaje : "";
}

ArchivoDbase* como_archivo(SAFile f)
{
    return reinterpret_cast<ArchivoDbase*>(f);
}

SAFile abrir_archivo(const char* nombre, const char* modo)
{
    const size_t n = std::strlen(nombre);
    const char* ruta = (ruta_a_abrir && n >= 4 && strcasecmp(nombre + n - 4, ".dbf") == 0) ? ruta_a_abrir : nombre;
    // Only existing files are opened: shapelib creates none for us.
    const bool escritura = std::strchr(modo, '+') || std::strchr(modo, 'w');
    auto* a = new ArchivoDbase;
    QString motivo;
    if (!a->fichero.abrir(QFile::decodeName(ruta), escritura, &motivo)) {
        ultimo_error = motivo.toStdString();
        delete a;
        return nullptr;
    }
    return reinterpret_cast<SAFile>(a);
}

SAOffset leer(void* p, SAOffset tam, SAOffset n, SAFile f)
{
    ArchivoDbase* a = como_archivo(f);
    try {
        const qint64 leido = a->fichero.leer(a->posicion, static_cast<char*>(p), qint64(tam * n));
        a->posicion += leido;
        return tam ? SAOffset(leido) / tam : 0;
    } catch (const Fallo& e) {
        ultimo_error = e.descripcion().toStdString();
        return 0;
    }
}

SAOffset escribir(void* p, SAOffset tam, SAOffset n, SAFile f)
{
    ArchivoDbase* a = como_archivo(f);
    a->olvidar();
    try {
        a->fichero.escribir(a->posicion, static_cast<const char*>(p), qint64(tam * n));
        a->posicion += qint64(tam * n);
        return n;
    } catch (const Fallo& e) {
        ultimo_error = e.descripcion().toStdString();
        return 0;
    }
}

SAOffset buscar(SAFile f, SAOffset desplazamiento, int desde)
{
    ArchivoDbase* a = como_archivo(f);
    try {
        switch (desde) {
        case SEEK_SET: a->posicion = qint64(desplazamiento); break;
        case SEEK_CUR: a->posicion += qint64(desplazamiento); break;
        case SEEK_END: a->posicion = a->fichero.tamano() + qint64(desplazamiento); break;
        default: return SAOffset(-1);
        }
        return 0;
    } catch (const Fallo& e) {
        ultimo_error = e.descripcion().toStdString();
        return SAOffset(-1);
    }
}

SAOffset posicion(SAFile f)
{
    return SAOffset(como_archivo(f)->posicion);
}

int vaciar(SAFile)
{
    return 0;  // nothing is buffered
}

int cerrar(SAFile f)
{
    delete como_archivo(f);
    return 0;
}

int quitar(const char*)
{
    return -1;  // shapelib never removes our files
}

SAHooks ganchos()
{
    SAHooks g;
    SASetupDefaultHooks(&g);
    g.FOpen = abrir_archivo;
    g.FRead = leer;
    g.FWrite = escribir;
    g.FSeek = buscar;
    g.FTell = posicion;
    g.FFlush = vaciar;
    g.FClose = cerrar;
    g.Remove = quitar;
    g.Error = anotar_error;
    return g;
}

}  // namespace

DBFHandle abrir_dbf(const QByteArray& ruta, const char* modo)
{
    SAHooks g = ganchos();
    ruta_a_abrir = ruta.constData();
    DBFHandle h = DBFOpenLL(ruta.constData(), modo, &g);
    ruta_a_abrir = nullptr;
    return h;
}

ArchivoDbase& archivo_de(DBFHandle h)
{
    return *como_archivo(h->fp);
}

void olvidar_error_shp()
{
    ultimo_error.clear();
}

QString con_error_shp(const QString& texto)
{
    if (ultimo_error.empty()) return texto;
    return QStringLiteral("%1: %2").arg(texto, QString::fromLocal8Bit(ultimo_error.c_str()));
}

}  // namespace dbase
