#include "contaplus/Plantillas.h"
#include "platform/dbase/DbaseCreacion.h"
#include "platform/sistema/Fallo.h"

#include <QCoreApplication>
#include <QDate>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <array>
#include <cmath>
#include <filesystem>
#include <system_error>

namespace {

using Definicion = dbase::DefinicionCampo;

// Journal line. ASIEN holds eight digits, the peseta columns any 32-bit
// amount with its sign, CONCEPTO the longest concept the link builds
// ("Cobro Deposito N. " and a deposit number, "Total Dia " and 15
// characters, "Factura Nº" and an invoice number). MONEDAUSO is text: it
// receives both the text "2" and the number 2.
constexpr Definicion diario[] = {
    {"ASIEN", 'N', 8, 0},      {"FECHA", 'D', 8, 0},     {"SUBCTA", 'C', 12, 0},   {"CONTRA", 'C', 12, 0},
    {"PTADEBE", 'N', 12, 0},   {"CONCEPTO", 'C', 40, 0}, {"PTAHABER", 'N', 12, 0}, {"FACTURA", 'N', 10, 0},
    {"BASEIMPO", 'N', 12, 0},  {"IVA", 'N', 5, 2},       {"RECEQUIV", 'N', 5, 2},  {"DOCUMENTO", 'C', 10, 0},
    {"DEPARTA", 'C', 3, 0},    {"CLAVE", 'C', 6, 0},     {"ESTADO", 'C', 1, 0},    {"NCASADO", 'N', 8, 0},
    {"TCASADO", 'N', 1, 0},    {"TRANS", 'N', 6, 0},     {"CAMBIO", 'N', 16, 6},   {"DEBEME", 'N', 16, 2},
    {"HABERME", 'N', 16, 2},   {"AUXILIAR", 'C', 1, 0},  {"SERIE", 'C', 1, 0},     {"SUCURSAL", 'C', 4, 0},
    {"CODDIVISA", 'C', 5, 0},  {"IMPAUXME", 'N', 16, 2}, {"MONEDAUSO", 'C', 1, 0}, {"EURODEBE", 'N', 16, 2},
    {"EUROHABER", 'N', 16, 2}, {"BASEEURO", 'N', 16, 2},
};

// Subaccount.
constexpr Definicion subcuentas[] = {
    {"COD", 'C', 12, 0},       {"TITULO", 'C', 40, 0},    {"NIF", 'C', 15, 0},      {"DOMICILIO", 'C', 35, 0},
    {"POBLACION", 'C', 25, 0}, {"PROVINCIA", 'C', 20, 0}, {"CODPOSTAL", 'C', 5, 0}, {"DIVISA", 'L', 1, 0},
    {"CODDIVISA", 'C', 5, 0},  {"DOCUMENTO", 'L', 1, 0},  {"AJUSTAME", 'L', 1, 0},  {"TIPOIVA", 'C', 1, 0},
};

// Language driver 0x57: Windows ANSI.
constexpr const char* pagina_ansi = "LDID/87";

[[noreturn]] void fallar(const QString& ruta, const QString& motivo)
{
    throw Fallo(codigo_error::ERROR_DE_ARCHIVO,
                QStringLiteral("No se puede escribir la tabla \"%1\": %2").arg(ruta, motivo));
}

template <size_t N>
void escribir_tabla(const QString& ruta, const Definicion (&columnas)[N])
{
    const QFileInfo destino(ruta);
    if (!QDir().mkpath(destino.absolutePath()))
        fallar(ruta, QStringLiteral("no se puede crear la carpeta \"%1\"").arg(destino.absolutePath()));

    // shapelib names what it creates *.dbf, so the temporary name ends so.
    const QString temporal = destino.absoluteDir().filePath(
        QStringLiteral("~%1-%2.dbf").arg(destino.completeBaseName()).arg(QCoreApplication::applicationPid()));
    QFile::remove(temporal);
    auto descartar = [&](const QString& motivo) {
        QFile::remove(temporal);
        fallar(ruta, motivo);
    };

    QString motivo;
    if (!dbase::crear_tabla_vacia(temporal, columnas, pagina_ansi, QDate::currentDate(), &motivo)) descartar(motivo);

    // Header, one descriptor per column, the 0x0D terminator and the 0x1A.
    const qint64 esperado = 32 + 32 * qint64(N) + 1 + 1;
    if (QFileInfo(temporal).size() != esperado) descartar(QStringLiteral("el archivo quedó incompleto"));

    std::error_code error;
    std::filesystem::rename(QFile::encodeName(temporal).toStdString(), QFile::encodeName(ruta).toStdString(), error);
    if (error) descartar(QString::fromLocal8Bit(error.message().c_str()));
}

// The file of that name in the folder, in whatever letter case it exists.
QString en_carpeta(const QDir& carpeta, const QString& archivo)
{
    for (const QString& e : carpeta.entryList(QDir::Files | QDir::Hidden | QDir::System, QDir::Name))
        if (e == archivo) return carpeta.filePath(e);
    for (const QString& e : carpeta.entryList(QDir::Files | QDir::Hidden | QDir::System, QDir::Name))
        if (e.compare(archivo, Qt::CaseInsensitive) == 0) return carpeta.filePath(e);
    return carpeta.filePath(archivo);
}

}  // namespace

double maximo_columna_diario(const QString& columna)
{
    // Worked out once: every amount of every invoice asks.
    static const auto maximos = [] {
        std::array<double, std::size(diario)> m{};
        for (size_t i = 0; i < std::size(diario); ++i) {
            const Definicion& d = diario[i];
            const int enteros = d.ancho - (d.decimales > 0 ? d.decimales + 1 : 0);
            m[i] = d.tipo == 'N' ? std::pow(10.0, enteros) - std::pow(10.0, -d.decimales) : 0;
        }
        return m;
    }();
    for (size_t i = 0; i < std::size(diario); ++i)
        if (diario[i].tipo == 'N' && columna.compare(QLatin1String(diario[i].nombre), Qt::CaseInsensitive) == 0)
            return maximos[i];
    return 0;
}

void escribir_plantillas(const QString& carpeta_local)
{
    const QDir carpeta(carpeta_local);
    if (!QDir().mkpath(carpeta.absolutePath())) fallar(carpeta_local, QStringLiteral("no se puede crear la carpeta"));
    escribir_tabla(en_carpeta(carpeta, QStringLiteral("diario.dbf")), diario);
    escribir_tabla(en_carpeta(carpeta, QStringLiteral("subcuent.dbf")), subcuentas);
}

void escribir_subcta(const QString& ruta_local)
{
    escribir_tabla(ruta_local, subcuentas);
}
