// The transfer log: one line per item, Windows-1252 bytes, CR LF after each.
#include "transfer/RegistroTraspaso.h"

#include "platform/Cp1252.h"
#include "platform/Fallo.h"

#include <QDir>
#include <QFileInfo>

namespace {

// Kept lines past this are written at once: a run whose groups are long
// never holds much of its log in memory.
constexpr qsizetype MAXIMO_PENDIENTE = 64 * 1024;

}  // namespace

RegistroTraspaso::~RegistroTraspaso()
{
    try {
        cerrar();
    } catch (const Fallo&) {
        // Nobody is left to tell.
    }
}

void RegistroTraspaso::abrir(const QString& ruta_local)
{
    cerrar();
    ruta_ = ruta_local;
    archivo_.setFileName(ruta_local);
    if (!archivo_.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        throw Fallo(codigo_error::ERROR_DE_ARCHIVO,
                    QStringLiteral("No se puede crear el fichero de registro %1: %2")
                        .arg(QDir::toNativeSeparators(ruta_local), archivo_.errorString()));
    }
}

void RegistroTraspaso::linea(const QString& texto)
{
    if (!archivo_.isOpen()) {
        throw Fallo(codigo_error::ERROR_DE_ARCHIVO,
                    QStringLiteral("El fichero de registro no está abierto"));
    }
    pendiente_ += windows_1252().codificar(texto);
    pendiente_.append("\r\n", 2);
    if (pendiente_.size() > MAXIMO_PENDIENTE) vaciar();
}

void RegistroTraspaso::vaciar()
{
    if (!archivo_.isOpen() || pendiente_.isEmpty()) return;
    const QByteArray bytes = std::exchange(pendiente_, QByteArray());
    if (archivo_.write(bytes) != bytes.size() || !archivo_.flush()) {
        throw Fallo(codigo_error::ERROR_DE_ARCHIVO,
                    QStringLiteral("No se puede escribir en el fichero de registro %1: %2")
                        .arg(QDir::toNativeSeparators(ruta_), archivo_.errorString()));
    }
}

void RegistroTraspaso::cerrar()
{
    if (!archivo_.isOpen()) return;
    try {
        vaciar();
    } catch (const Fallo&) {
        archivo_.close();
        throw;
    }
    archivo_.close();
}
