#pragma once
// Code pages of dBASE files, private to the dBASE engine. The language driver
// byte of the header says how the texts of a file are encoded; ContaPlus
// files are Windows ANSI.
#include "platform/valores/Cp1252.h"

namespace dbase {

// The page of a language driver byte: 0x01 is OEM 437, 0x02 OEM 850, and
// anything else (0x03, 0x57 or unknown) Windows ANSI.
const PaginaUnByte& pagina_de(int controlador);

// A text as the bytes of a C field: composed (NFC) first, so a decomposed
// accent is its own letter; NUL becomes a blank, as shapelib copies up to a
// NUL.
QByteArray codificar(const QString& texto, const PaginaUnByte& pagina);

}  // namespace dbase
