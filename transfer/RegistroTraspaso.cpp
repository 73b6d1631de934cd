// The transfer log: one line per item, Windows-1252 bytes, CR LF after each.
#include "transfer/RegistroTraspaso.h"

#include "platform/Fallo.h"

#include <QByteArray>
#include <QDir>
#include <QFileInfo>

namespace {

// Windows-1252 keeps Latin-1 except 0x80-0x9F, where it puts the euro sign,
// typographic quotes and a few letters. Index: byte - 0x80. The five bytes
// the code page leaves undefined map to themselves, as Windows does.
constexpr char16_t CP1252_ALTO[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

char byte_cp1252(char16_t c)
{
    if (c < 0x80 || (c >= 0xA0 && c <= 0xFF)) return char(c);
    for (int i = 0; i < 32; ++i)
        if (CP1252_ALTO[i] == c) return char(0x80 + i);
    return '?';     // what the ANSI conversion writes for a character it lacks
}

QByteArray cp1252(const QString& texto)
{
    QByteArray r;
    r.reserve(texto.size() + 2);
    for (qsizetype i = 0; i < texto.size(); ++i) {
        const QChar c = texto.at(i);
        if (c.isHighSurrogate() && i + 1 < texto.size() && texto.at(i + 1).isLowSurrogate()) {
            r.append('?');  // one character outside the BMP, one question mark
            ++i;
            continue;
        }
        r.append(byte_cp1252(c.unicode()));
    }
    return r;
}

}  // namespace

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
    QByteArray bytes = cp1252(texto);
    bytes.append("\r\n", 2);
    if (archivo_.write(bytes) != bytes.size() || !archivo_.flush()) {
        throw Fallo(codigo_error::ERROR_DE_ARCHIVO,
                    QStringLiteral("No se puede escribir en el fichero de registro %1: %2")
                        .arg(QDir::toNativeSeparators(ruta_), archivo_.errorString()));
    }
}

void RegistroTraspaso::cerrar()
{
    if (archivo_.isOpen()) archivo_.close();
}
