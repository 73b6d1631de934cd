// Message boxes and questions of the command line.
#include "app/InterlocutorConsola.h"

#include "platform/sistema/Interrupcion.h"

#include <cstdio>
#include <string>

namespace {

void escribir(FILE* f, const QString& s)
{
    const QByteArray b = s.toUtf8();
    std::fwrite(b.constData(), 1, size_t(b.size()), f);
    std::fflush(f);
}

}  // namespace

Respuesta InterlocutorConsola::mensaje(const QString& texto, const QString& titulo, Icono, Botones botones)
{
    if (botones == Botones::Aceptar) {
        escribir(stdout, titulo + ": " + texto + "\n");
        return Respuesta::Aceptar;
    }
    const bool de_hecho = botones == Botones::SiNoCancelar;
    if (si_a_todo_ && !de_hecho) {
        escribir(stdout, titulo + ": " + texto + " (s/n) s\n");
        return Respuesta::Si;
    }
    escribir(stdout, titulo + ": " + texto + (de_hecho ? " (s/n; otra respuesta cancela) " : " (s/n) "));
    std::string linea;
    if (!interrupcion::leer_linea(linea)) {
        escribir(stdout, "\n");
        return de_hecho ? Respuesta::Cancelar : Respuesta::No;
    }
    const QString respuesta = QString::fromUtf8(linea.data(), qsizetype(linea.size())).trimmed().toLower();
    if (respuesta == QLatin1String("s") || respuesta == QLatin1String("si") || respuesta == QString::fromUtf8("sí"))
        return Respuesta::Si;
    if (!de_hecho || respuesta == QLatin1String("n") || respuesta == QLatin1String("no")) return Respuesta::No;
    return Respuesta::Cancelar;
}
