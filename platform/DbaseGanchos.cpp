#include "platform/DbaseGanchos.h"

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

SAFile abrir_archivo(const char* nombre, const char* modo)
{
    const size_t n = std::strlen(nombre);
    if (ruta_a_abrir && n >= 4 && strcasecmp(nombre + n - 4, ".dbf") == 0)
        return reinterpret_cast<SAFile>(std::fopen(ruta_a_abrir, modo));
    return reinterpret_cast<SAFile>(std::fopen(nombre, modo));
}

SAHooks ganchos()
{
    SAHooks g;
    SASetupDefaultHooks(&g);
    g.FOpen = abrir_archivo;
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

void olvidar_error_shp() { ultimo_error.clear(); }

QString con_error_shp(const QString& texto)
{
    if (ultimo_error.empty())
        return texto;
    return QStringLiteral("%1: %2").arg(texto, QString::fromLocal8Bit(ultimo_error.c_str()));
}

}  // namespace dbase
