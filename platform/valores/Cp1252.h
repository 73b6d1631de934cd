#pragma once
// Single-byte code pages: ASCII below 0x80 and a table of 128 characters for
// the bytes 0x80 to 0xFF. Windows-1252 is the page of the ContaPlus files and
// of the transfer log.
#include <QByteArray>
#include <QHash>
#include <QString>

class PaginaUnByte {
public:
    explicit PaginaUnByte(const char16_t (&alta)[128]);

    QString decodificar(const char* datos, qsizetype n) const;
    // A character the page lacks becomes "?", as Windows writes it; one
    // outside the BMP (a surrogate pair) is one "?". NUL stays NUL.
    QByteArray codificar(const QString& texto) const;
    // True when every character of `texto` has a byte of the page (the
    // encoding turns none into "?").
    bool admite(const QString& texto) const;

private:
    const char16_t* alta_;
    QHash<char16_t, char> inversa_;
};

// Windows-1252: Latin-1 except 0x80-0x9F, where it has the euro sign,
// typographic quotes and a few letters. The five bytes it leaves undefined
// stand for the C1 controls of the same number, as in Windows, so they
// survive a round trip.
const PaginaUnByte& windows_1252();
