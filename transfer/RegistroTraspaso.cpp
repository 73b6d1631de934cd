// The transfer log: one line per item, Windows-1252 bytes, CR LF after each.
#include "transfer/RegistroTraspaso.h"

#include "platform/sistema/Fallo.h"
#include "platform/valores/Cp1252.h"

#include <QDir>

namespace {

// Kept lines past this are written at once: a run whose groups are long
// never holds much of its log in memory.
constexpr qsizetype MAXIMO_PENDIENTE = 64 * 1024;

}  // namespace

RegistroTraspaso::~RegistroTraspaso()
{
    cerrar();
}

QString RegistroTraspaso::abrir(const QString& ruta_local, const QStringList& tambien)
{
    cerrar();
    pendiente_.clear();
    fallo_.clear();
    escrito_ = 0;
    ruta_ = ruta_local;
    try {
        const QString sufijo = archivo_.crear_nuevo(ruta_local, tambien);
        ruta_ = archivo_.ruta();
        return sufijo;
    } catch (const Fallo& f) {
        throw Fallo(codigo_error::ERROR_DE_ARCHIVO, f.descripcion());
    }
}

void RegistroTraspaso::linea(const QString& texto)
{
    if (!archivo_.abierto()) {
        throw Fallo(codigo_error::ERROR_DE_ARCHIVO, QStringLiteral("El fichero de registro no está abierto"));
    }
    pendiente_ += windows_1252().codificar(texto);
    pendiente_.append("\r\n", 2);
    if (pendiente_.size() > MAXIMO_PENDIENTE) vaciar();
}

void RegistroTraspaso::vaciar()
{
    if (!archivo_.abierto() || pendiente_.isEmpty()) return;
    const QByteArray bytes = std::exchange(pendiente_, QByteArray());
    try {
        // A write that fails half way is written over by the next one.
        archivo_.escribir(escrito_, bytes);
        escrito_ += bytes.size();
    } catch (const Fallo& f) {
        // Kept for the next write: the close tries them again.
        pendiente_.prepend(bytes);
        fallo_ = QStringLiteral("El fichero de registro no se ha podido escribir entero (%1); conserva lo "
                                "escrito hasta entonces.")
                     .arg(f.descripcion());
        throw Fallo(codigo_error::ERROR_DE_ARCHIVO, fallo_);
    }
}

void RegistroTraspaso::cerrar()
{
    if (!archivo_.abierto()) return;
    try {
        vaciar();
    } catch (const Fallo&) {
        // Kept in fallo_.
    }
    try {
        archivo_.truncar(escrito_);
        archivo_.cerrar_comprobando();
    } catch (const Fallo& f) {
        if (fallo_.isEmpty())
            fallo_ = QStringLiteral("El fichero de registro no se ha podido cerrar (%1); conserva lo escrito "
                                    "hasta entonces.")
                         .arg(f.descripcion());
        archivo_.cerrar();
    }
}
