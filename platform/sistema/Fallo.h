#pragma once
// The one error type of the platform layer: a failure of the database
// provider, of a file or of a conversion, carrying the number the original
// provider or runtime gave it and its text. Code above compares the numbers.
#include <QByteArray>
#include <QString>
#include <exception>

namespace codigo_error {
// HRESULTs of the providers, as signed 32-bit numbers.
constexpr qint32 FALLO_GENERAL = -2147467259;        // 0x80004005: file cannot be opened, general failure
constexpr qint32 PARAMETRO_SIN_VALOR = -2147217904;  // 0x80040E10: Access query names a missing column
constexpr qint32 ERROR_EN_COMANDO = -2147217900;     // 0x80040E14: SQL Server query names a missing column / syntax
constexpr qint32 TABLA_INEXISTENTE = -2147217865;    // 0x80040E37: table does not exist
constexpr qint32 FILA_NO_LOCALIZADA = -2147217864;   // 0x80040E38: row changed by someone else since read
constexpr qint32 TIEMPO_AGOTADO = -2147217871;       // 0x80040E31: the server did not answer in time
// ADO object errors.
constexpr qint32 CONEXION_CERRADA = -2146824579;        // 0x800A0E7D (3709): connection closed or invalid
constexpr qint32 ELEMENTO_NO_ENCONTRADO = -2146825023;  // 0x800A0CC1 (3265): no field of that name
constexpr qint32 SIN_FILA_ACTUAL = -2146825267;         // 0x800A0BCD (3021): BOF or EOF
constexpr qint32 OBJETO_CERRADO = -2146824584;          // 0x800A0E78 (3704): recordset is closed
// Runtime errors of the language.
constexpr qint32 DESBORDAMIENTO = 6;          // overflow
constexpr qint32 TIPOS_NO_COINCIDEN = 13;     // type mismatch
constexpr qint32 USO_NO_VALIDO_DE_NULL = 94;  // invalid use of Null
constexpr qint32 ERROR_DE_ARCHIVO = 75;       // path/file access error
constexpr qint32 DISCO_LLENO = 61;            // disk full (or over quota)
}  // namespace codigo_error

class Fallo : public std::exception {
public:
    Fallo(qint32 numero, QString descripcion)
        : numero_(numero), descripcion_(std::move(descripcion)),
          utf8_(QStringLiteral("%1 (%2)").arg(descripcion_).arg(numero_).toUtf8())
    {
    }

    qint32 numero() const { return numero_; }
    const QString& descripcion() const { return descripcion_; }
    const char* what() const noexcept override { return utf8_.constData(); }

private:
    qint32 numero_;
    QString descripcion_;
    QByteArray utf8_;
};
