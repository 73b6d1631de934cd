#include "platform/DbaseBackend.h"
#include "platform/TextoSql.h"
#include "platform/Motores.h"

#include <QDate>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>

#include <shapefil.h>
#include <sys/stat.h>

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <map>
#include <optional>
#include <string>
#include <strings.h>

using namespace codigo_error;

namespace {

// ---------------------------------------------------------------------------
// Code pages. The language driver byte of the header says how the texts of a
// file are encoded; ContaPlus files are Windows ANSI.

enum class Pagina { Ansi, Oem437, Oem850 };

Pagina pagina_de(int controlador)
{
    switch (controlador) {
    case 0x01: return Pagina::Oem437;
    case 0x02: return Pagina::Oem850;
    default: return Pagina::Ansi;   // 0x03, 0x57 and anything unknown
    }
}

// Characters of bytes 0x80 to 0xFF. The five bytes Windows-1252 leaves
// undefined map to the C1 controls of the same number, as Windows does, so
// they survive a round trip.
const char16_t alta_ansi[128] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
    0x00A0, 0x00A1, 0x00A2, 0x00A3, 0x00A4, 0x00A5, 0x00A6, 0x00A7,
    0x00A8, 0x00A9, 0x00AA, 0x00AB, 0x00AC, 0x00AD, 0x00AE, 0x00AF,
    0x00B0, 0x00B1, 0x00B2, 0x00B3, 0x00B4, 0x00B5, 0x00B6, 0x00B7,
    0x00B8, 0x00B9, 0x00BA, 0x00BB, 0x00BC, 0x00BD, 0x00BE, 0x00BF,
    0x00C0, 0x00C1, 0x00C2, 0x00C3, 0x00C4, 0x00C5, 0x00C6, 0x00C7,
    0x00C8, 0x00C9, 0x00CA, 0x00CB, 0x00CC, 0x00CD, 0x00CE, 0x00CF,
    0x00D0, 0x00D1, 0x00D2, 0x00D3, 0x00D4, 0x00D5, 0x00D6, 0x00D7,
    0x00D8, 0x00D9, 0x00DA, 0x00DB, 0x00DC, 0x00DD, 0x00DE, 0x00DF,
    0x00E0, 0x00E1, 0x00E2, 0x00E3, 0x00E4, 0x00E5, 0x00E6, 0x00E7,
    0x00E8, 0x00E9, 0x00EA, 0x00EB, 0x00EC, 0x00ED, 0x00EE, 0x00EF,
    0x00F0, 0x00F1, 0x00F2, 0x00F3, 0x00F4, 0x00F5, 0x00F6, 0x00F7,
    0x00F8, 0x00F9, 0x00FA, 0x00FB, 0x00FC, 0x00FD, 0x00FE, 0x00FF,
};

const char16_t alta_437[128] = {
    0x00C7, 0x00FC, 0x00E9, 0x00E2, 0x00E4, 0x00E0, 0x00E5, 0x00E7,
    0x00EA, 0x00EB, 0x00E8, 0x00EF, 0x00EE, 0x00EC, 0x00C4, 0x00C5,
    0x00C9, 0x00E6, 0x00C6, 0x00F4, 0x00F6, 0x00F2, 0x00FB, 0x00F9,
    0x00FF, 0x00D6, 0x00DC, 0x00A2, 0x00A3, 0x00A5, 0x20A7, 0x0192,
    0x00E1, 0x00ED, 0x00F3, 0x00FA, 0x00F1, 0x00D1, 0x00AA, 0x00BA,
    0x00BF, 0x2310, 0x00AC, 0x00BD, 0x00BC, 0x00A1, 0x00AB, 0x00BB,
    0x2591, 0x2592, 0x2593, 0x2502, 0x2524, 0x2561, 0x2562, 0x2556,
    0x2555, 0x2563, 0x2551, 0x2557, 0x255D, 0x255C, 0x255B, 0x2510,
    0x2514, 0x2534, 0x252C, 0x251C, 0x2500, 0x253C, 0x255E, 0x255F,
    0x255A, 0x2554, 0x2569, 0x2566, 0x2560, 0x2550, 0x256C, 0x2567,
    0x2568, 0x2564, 0x2565, 0x2559, 0x2558, 0x2552, 0x2553, 0x256B,
    0x256A, 0x2518, 0x250C, 0x2588, 0x2584, 0x258C, 0x2590, 0x2580,
    0x03B1, 0x00DF, 0x0393, 0x03C0, 0x03A3, 0x03C3, 0x00B5, 0x03C4,
    0x03A6, 0x0398, 0x03A9, 0x03B4, 0x221E, 0x03C6, 0x03B5, 0x2229,
    0x2261, 0x00B1, 0x2265, 0x2264, 0x2320, 0x2321, 0x00F7, 0x2248,
    0x00B0, 0x2219, 0x00B7, 0x221A, 0x207F, 0x00B2, 0x25A0, 0x00A0,
};

const char16_t alta_850[128] = {
    0x00C7, 0x00FC, 0x00E9, 0x00E2, 0x00E4, 0x00E0, 0x00E5, 0x00E7,
    0x00EA, 0x00EB, 0x00E8, 0x00EF, 0x00EE, 0x00EC, 0x00C4, 0x00C5,
    0x00C9, 0x00E6, 0x00C6, 0x00F4, 0x00F6, 0x00F2, 0x00FB, 0x00F9,
    0x00FF, 0x00D6, 0x00DC, 0x00F8, 0x00A3, 0x00D8, 0x00D7, 0x0192,
    0x00E1, 0x00ED, 0x00F3, 0x00FA, 0x00F1, 0x00D1, 0x00AA, 0x00BA,
    0x00BF, 0x00AE, 0x00AC, 0x00BD, 0x00BC, 0x00A1, 0x00AB, 0x00BB,
    0x2591, 0x2592, 0x2593, 0x2502, 0x2524, 0x00C1, 0x00C2, 0x00C0,
    0x00A9, 0x2563, 0x2551, 0x2557, 0x255D, 0x00A2, 0x00A5, 0x2510,
    0x2514, 0x2534, 0x252C, 0x251C, 0x2500, 0x253C, 0x00E3, 0x00C3,
    0x255A, 0x2554, 0x2569, 0x2566, 0x2560, 0x2550, 0x256C, 0x00A4,
    0x00F0, 0x00D0, 0x00CA, 0x00CB, 0x00C8, 0x0131, 0x00CD, 0x00CE,
    0x00CF, 0x2518, 0x250C, 0x2588, 0x2584, 0x00A6, 0x00CC, 0x2580,
    0x00D3, 0x00DF, 0x00D4, 0x00D2, 0x00F5, 0x00D5, 0x00B5, 0x00FE,
    0x00DE, 0x00DA, 0x00DB, 0x00D9, 0x00FD, 0x00DD, 0x00AF, 0x00B4,
    0x00AD, 0x00B1, 0x2017, 0x00BE, 0x00B6, 0x00A7, 0x00F7, 0x00B8,
    0x00B0, 0x00A8, 0x00B7, 0x00B9, 0x00B3, 0x00B2, 0x25A0, 0x00A0,
};

const char16_t* alta_de(Pagina p)
{
    switch (p) {
    case Pagina::Oem437: return alta_437;
    case Pagina::Oem850: return alta_850;
    case Pagina::Ansi: break;
    }
    return alta_ansi;
}

QString decodificar(const char* datos, int n, Pagina p)
{
    const char16_t* alta = alta_de(p);
    QString s;
    s.reserve(n);
    for (int i = 0; i < n; ++i) {
        const auto b = static_cast<unsigned char>(datos[i]);
        s.append(b < 0x80 ? QChar(b) : QChar(alta[b - 0x80]));
    }
    return s;
}

// A character the code page lacks becomes "?", as Windows writes it.
QByteArray codificar(const QString& texto, Pagina p)
{
    static QHash<char16_t, char> inversas[3];
    QHash<char16_t, char>& inversa = inversas[static_cast<int>(p)];
    if (inversa.isEmpty()) {
        const char16_t* alta = alta_de(p);
        for (int i = 0; i < 128; ++i)
            inversa.insert(alta[i], static_cast<char>(0x80 + i));
    }
    const QString s = texto.normalized(QString::NormalizationForm_C);
    QByteArray b;
    b.reserve(s.size());
    for (int i = 0; i < s.size(); ++i) {
        const QChar c = s.at(i);
        if (c.isHighSurrogate() && i + 1 < s.size() && s.at(i + 1).isLowSurrogate()) {
            ++i;
            b.append('?');
        } else if (c.unicode() == 0) {
            b.append(' ');   // shapelib copies up to a NUL
        } else if (c.unicode() < 0x80) {
            b.append(static_cast<char>(c.unicode()));
        } else {
            b.append(inversa.value(c.unicode(), '?'));
        }
    }
    return b;
}

// ---------------------------------------------------------------------------
// shapelib hooks: errors are kept for the Fallo instead of going to stderr,
// and the file opened is the one found without regard to case (shapelib
// itself only tries the extensions ".dbf" and ".DBF").

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

QString con_error_shp(const QString& texto)
{
    if (ultimo_error.empty())
        return texto;
    return QStringLiteral("%1: %2").arg(texto, QString::fromLocal8Bit(ultimo_error.c_str()));
}

// ---------------------------------------------------------------------------
// What identifies the state of a file on disk. A handle is still good while
// the file is as this backend last left it.

struct Huella {
    qint64 tamano = -1;
    qint64 segundos = 0;
    qint64 nanosegundos = 0;
    quint64 inodo = 0;
    quint64 dispositivo = 0;

    bool existe() const { return tamano >= 0; }
    bool operator==(const Huella&) const = default;
};

Huella huella_de(const QString& ruta)
{
    struct stat st;
    if (::stat(QFile::encodeName(ruta).constData(), &st) != 0)
        return {};
    return {static_cast<qint64>(st.st_size), static_cast<qint64>(st.st_mtim.tv_sec),
            static_cast<qint64>(st.st_mtim.tv_nsec), static_cast<quint64>(st.st_ino),
            static_cast<quint64>(st.st_dev)};
}

// ---------------------------------------------------------------------------
// Columns and values.

struct Campo {
    QString nombre;
    char tipo = 'C';
    int ancho = 0;
    int decimales = 0;
    int desplazamiento = 0;   // in the record, after the deletion flag
};

TipoColumna tipo_de(char tipo)
{
    switch (tipo) {
    case 'C': return TipoColumna::Texto;
    case 'N': case 'F': return TipoColumna::Numero;
    case 'L': return TipoColumna::Logico;
    case 'D': return TipoColumna::Fecha;
    default: return TipoColumna::Otro;
    }
}

QByteArray sin_nulos(const char* datos, int n)
{
    QByteArray b(datos, n);
    b.replace('\0', ' ');
    return b;
}

QString sin_blancos_finales(QString s)
{
    int fin = s.size();
    while (fin > 0 && s.at(fin - 1) == QLatin1Char(' '))
        --fin;
    s.truncate(fin);
    return s;
}

// A field as stored: C without trailing blanks, N/F as double, D as QDate,
// L as bool; blanks (and a field of asterisks) are Null.
QVariant leer_campo(const Campo& c, const char* registro, Pagina p)
{
    const char* d = registro + c.desplazamiento;
    switch (c.tipo) {
    case 'N':
    case 'F': {
        QByteArray t = sin_nulos(d, c.ancho).trimmed();
        if (t.isEmpty() || t.count('*') == t.size())
            return {};
        t.replace(',', '.');
        bool ok = false;
        const double v = t.toDouble(&ok);
        return ok ? QVariant(v) : QVariant();
    }
    case 'D': {
        const QByteArray t = sin_nulos(d, c.ancho).trimmed();
        if (t.isEmpty() || t == "00000000")
            return {};
        const QDate f = QDate::fromString(QString::fromLatin1(t), QStringLiteral("yyyyMMdd"));
        return f.isValid() ? QVariant(f) : QVariant();
    }
    case 'L':
        switch (c.ancho > 0 ? d[0] : ' ') {
        case 'T': case 't': case 'Y': case 'y': case 'S': case 's': return true;
        case 'F': case 'f': case 'N': case 'n': return false;
        default: return {};
        }
    default: {
        int fin = c.ancho;
        while (fin > 0 && (d[fin - 1] == ' ' || d[fin - 1] == '\0'))
            --fin;
        return decodificar(d, fin, p);
    }
    }
}

bool es_numero(const QVariant& v)
{
    switch (v.typeId()) {
    case QMetaType::Double: case QMetaType::Float:
    case QMetaType::Int: case QMetaType::UInt:
    case QMetaType::LongLong: case QMetaType::ULongLong:
    case QMetaType::Short: case QMetaType::UShort:
    case QMetaType::Char: case QMetaType::SChar: case QMetaType::UChar:
    case QMetaType::Long: case QMetaType::ULong:
        return true;
    default:
        return false;
    }
}

// A value as text for a C column: whole numbers as their digits, others as
// the runtime writes them in Spanish ("2,5"), dates day first.
QString texto_de(const QVariant& v)
{
    if (es_numero(v)) {
        const double x = v.toDouble();
        if (std::isfinite(x) && x == std::trunc(x) && std::fabs(x) < 1e15)
            return QString::number(static_cast<qint64>(x));
        return QString::number(x, 'g', 15).replace(QLatin1Char('.'), QLatin1Char(','));
    }
    switch (v.typeId()) {
    case QMetaType::Bool: return v.toBool() ? QStringLiteral("Verdadero") : QStringLiteral("Falso");
    case QMetaType::QDate: return v.toDate().toString(QStringLiteral("dd/MM/yyyy"));
    case QMetaType::QDateTime: return v.toDateTime().toString(QStringLiteral("dd/MM/yyyy hh:mm:ss"));
    case QMetaType::QByteArray: return QString::fromUtf8(v.toByteArray());
    default: return v.toString();
    }
}

std::optional<double> numero_de(const QVariant& v)
{
    if (es_numero(v))
        return v.toDouble();
    switch (v.typeId()) {
    case QMetaType::Bool:
        return v.toBool() ? -1.0 : 0.0;
    case QMetaType::QString:
    case QMetaType::QByteArray: {
        QString t = v.toString().trimmed();
        t.replace(QLatin1Char(','), QLatin1Char('.'));
        bool ok = false;
        const double x = t.toDouble(&ok);
        if (ok)
            return x;
        return std::nullopt;
    }
    default:
        return std::nullopt;
    }
}

std::optional<QDate> fecha_de(const QVariant& v)
{
    if (v.typeId() == QMetaType::QDate)
        return v.toDate().isValid() ? std::optional<QDate>(v.toDate()) : std::nullopt;
    if (v.typeId() == QMetaType::QDateTime)
        return v.toDateTime().isValid() ? std::optional<QDate>(v.toDateTime().date()) : std::nullopt;
    if (v.typeId() != QMetaType::QString)
        return std::nullopt;
    const QString t = v.toString().trimmed();
    for (const char* patron : {"yyyyMMdd", "dd/MM/yyyy", "d/M/yyyy", "yyyy-MM-dd"}) {
        const QDate f = QDate::fromString(t, QLatin1String(patron));
        if (f.isValid())
            return f;
    }
    // Two-digit years as the runtime reads them: 00-29 are 2000-2029.
    const QDate f = QDate::fromString(t, QStringLiteral("d/M/yy"));
    if (f.isValid())
        return f.year() < 1930 ? f.addYears(100) : f;
    return std::nullopt;
}

std::optional<bool> logico_de(const QVariant& v)
{
    if (v.typeId() == QMetaType::Bool)
        return v.toBool();
    if (es_numero(v))
        return v.toDouble() != 0;
    if (v.typeId() != QMetaType::QString)
        return std::nullopt;
    const QString t = v.toString().trimmed().toUpper();
    if (t == u"T" || t == u"Y" || t == u"S" || t == u"TRUE" || t == u"VERDADERO" || t == u"-1" || t == u"1")
        return true;
    if (t == u"F" || t == u"N" || t == u"FALSE" || t == u"FALSO" || t == u"0")
        return false;
    return std::nullopt;
}

QString describir(const QVariant& v)
{
    return v.isValid() ? texto_de(v) : QStringLiteral("Null");
}

[[noreturn]] void no_coincide(const QString& tabla, const Campo& c, const QVariant& v)
{
    throw Fallo(TIPOS_NO_COINCIDEN,
                QStringLiteral("No coinciden los tipos: la columna %1 (%2) de la tabla %3 no admite el valor \"%4\"")
                    .arg(c.nombre, QString(QLatin1Char(c.tipo)), tabla, describir(v)));
}

// A value as the bytes of its field, exactly as wide as the column.
QByteArray formatear(const QString& tabla, const Campo& c, const QVariant& v, Pagina p)
{
    QByteArray b;
    if (!v.isValid())
        return QByteArray(c.ancho, ' ');
    switch (c.tipo) {
    case 'C':
        b = codificar(texto_de(v), p).left(c.ancho);
        break;
    case 'N':
    case 'F': {
        const auto x = numero_de(v);
        if (!x)
            no_coincide(tabla, c, v);
        b = std::isfinite(*x) ? QByteArray::number(*x, 'f', c.decimales) : QByteArray();
        // No "-0": a negative amount that rounds to nothing is nothing.
        if (b.startsWith('-') && b.count('0') + b.count('.') == b.size() - 1)
            b.remove(0, 1);
        if (b.isEmpty() || b.size() > c.ancho)
            throw Fallo(DESBORDAMIENTO,
                        QStringLiteral("Desbordamiento: el valor %1 no cabe en la columna %2 (N %3,%4) de la tabla %5")
                            .arg(describir(v), c.nombre).arg(c.ancho).arg(c.decimales).arg(tabla));
        b = b.rightJustified(c.ancho, ' ');
        return b;
    }
    case 'D': {
        const auto f = fecha_de(v);
        if (!f)
            no_coincide(tabla, c, v);
        b = f->toString(QStringLiteral("yyyyMMdd")).toLatin1();
        if (b.size() > c.ancho)
            throw Fallo(DESBORDAMIENTO,
                        QStringLiteral("Desbordamiento: la fecha %1 no cabe en la columna %2 de la tabla %3")
                            .arg(describir(v), c.nombre, tabla));
        break;
    }
    case 'L': {
        const auto l = logico_de(v);
        if (!l)
            no_coincide(tabla, c, v);
        b = *l ? "T" : "F";
        break;
    }
    default:
        throw Fallo(TIPOS_NO_COINCIDEN,
                    QStringLiteral("La columna %1 de la tabla %2 es de tipo %3, que no se puede escribir")
                        .arg(c.nombre, tabla, QString(QLatin1Char(c.tipo))));
    }
    return b.leftJustified(c.ancho, ' ');
}

// Key of a value in an index; none for Null, which equals nothing.
std::optional<QString> clave_de(const Campo& c, const QVariant& v)
{
    if (!v.isValid())
        return std::nullopt;
    switch (c.tipo) {
    case 'N': case 'F': return QString::number(v.toDouble(), 'g', 17);
    case 'D': return v.toDate().toString(QStringLiteral("yyyyMMdd"));
    case 'L': return v.toBool() ? QStringLiteral("T") : QStringLiteral("F");
    default: return v.toString();
    }
}

// The value of a WHERE in the column's own type: the same key the stored
// value has when they are equal. Texts compare without trailing blanks.
std::optional<QString> clave_buscada(const QString& tabla, const Campo& c, const QVariant& v)
{
    if (!v.isValid())
        return std::nullopt;
    switch (c.tipo) {
    case 'N': case 'F': {
        const auto x = numero_de(v);
        if (!x)
            no_coincide(tabla, c, v);
        return clave_de(c, *x);
    }
    case 'D': {
        const auto f = fecha_de(v);
        if (!f)
            no_coincide(tabla, c, v);
        return clave_de(c, *f);
    }
    case 'L': {
        const auto l = logico_de(v);
        if (!l)
            no_coincide(tabla, c, v);
        return clave_de(c, *l);
    }
    default:
        return sin_blancos_finales(texto_de(v));
    }
}

bool mayor(const QVariant& a, const QVariant& b)
{
    if (!b.isValid())
        return a.isValid();
    if (!a.isValid())
        return false;
    switch (a.typeId()) {
    case QMetaType::Double: return a.toDouble() > b.toDouble();
    case QMetaType::QDate: return a.toDate() > b.toDate();
    case QMetaType::Bool: return a.toBool() && !b.toBool();
    default: return QString::compare(a.toString(), b.toString()) > 0;
    }
}

bool iguales(const QVariant& a, const QVariant& b)
{
    if (a.isValid() != b.isValid())
        return false;
    return !a.isValid() || a == b;
}

// ---------------------------------------------------------------------------
// One open table.

struct Tabla {
    QString ruta;
    DBFHandle h = nullptr;
    bool escritura = false;
    Huella huella;              // the file as this backend last left it
    QVector<Campo> campos;
    Pagina pagina = Pagina::Ansi;
    // Per column number: key -> record numbers, and the largest value. Built
    // on first use, kept by our own appends, dropped when the file changes.
    QHash<int, QHash<QString, QVector<int>>> indices;
    QHash<int, QVariant> maximos;

    Tabla() = default;
    Tabla(const Tabla&) = delete;
    Tabla& operator=(const Tabla&) = delete;
    ~Tabla() { soltar(); }

    // Closes the handle without letting shapelib write anything: every write
    // of ours is already on disk, and the file may have been replaced.
    void soltar()
    {
        if (!h)
            return;
        h->bNoHeader = 0;
        h->bUpdated = 0;
        h->bCurrentRecordModified = 0;
        DBFClose(h);
        h = nullptr;
    }

    void abrir()
    {
        soltar();
        indices.clear();
        maximos.clear();
        campos.clear();
        const QByteArray r = QFile::encodeName(ruta);
        SAHooks g = ganchos();
        ultimo_error.clear();
        ruta_a_abrir = r.constData();
        // Taken before opening: a change made meanwhile is seen next time.
        huella = huella_de(ruta);
        h = DBFOpenLL(r.constData(), "rb+", &g);
        escritura = h != nullptr;
        if (!h)
            h = DBFOpenLL(r.constData(), "rb", &g);
        ruta_a_abrir = nullptr;
        if (!h)
            throw Fallo(FALLO_GENERAL,
                        con_error_shp(QStringLiteral("No se puede abrir la tabla dBASE \"%1\"").arg(ruta)));
        pagina = pagina_de(h->iLanguageDriver);
        const int n = DBFGetFieldCount(h);
        campos.reserve(n);
        for (int i = 0; i < n; ++i) {
            char nombre[XBASE_FLDNAME_LEN_READ + 1] = {};
            int ancho = 0, decimales = 0;
            DBFGetFieldInfo(h, i, nombre, &ancho, &decimales);
            Campo c;
            c.nombre = QString::fromLatin1(nombre);
            c.tipo = DBFGetNativeFieldType(h, i);
            c.ancho = ancho;
            c.decimales = decimales;
            c.desplazamiento = h->panFieldOffset[i];
            campos.append(c);
        }
    }

    int campo(const QString& nombre) const
    {
        for (int i = 0; i < campos.size(); ++i)
            if (mismo_nombre(campos[i].nombre, nombre))
                return i;
        return -1;
    }

    int registros() const { return h->nRecords; }

    // The raw record, or nullptr when it is deleted.
    const char* registro(int i) const
    {
        ultimo_error.clear();
        const char* r = DBFReadTuple(h, i);
        if (!r)
            throw Fallo(FALLO_GENERAL,
                        con_error_shp(QStringLiteral("No se puede leer el registro %1 de \"%2\"").arg(i + 1).arg(ruta)));
        return r[0] == '*' ? nullptr : r;
    }

    QVariant valor(const char* reg, int c) const { return leer_campo(campos[c], reg, pagina); }

    QVariantList fila(const char* reg) const
    {
        QVariantList f;
        f.reserve(campos.size());
        for (int c = 0; c < campos.size(); ++c)
            f.append(valor(reg, c));
        return f;
    }

    QVector<Columna> columnas() const
    {
        QVector<Columna> cols;
        for (const Campo& c : campos)
            cols.append(Columna{c.nombre, tipo_de(c.tipo), c.ancho, c.decimales});
        return cols;
    }

    const QHash<QString, QVector<int>>& indice(int c)
    {
        auto it = indices.find(c);
        if (it != indices.end())
            return *it;
        QHash<QString, QVector<int>> idx;
        for (int i = 0; i < registros(); ++i)
            if (const char* reg = registro(i)) {
                if (const auto k = clave_de(campos[c], valor(reg, c)))
                    idx[*k].append(i);
            }
        return *indices.insert(c, idx);
    }

    QVariant maximo(int c)
    {
        auto it = maximos.find(c);
        if (it != maximos.end())
            return *it;
        QVariant m;
        for (int i = 0; i < registros(); ++i)
            if (const char* reg = registro(i)) {
                const QVariant v = valor(reg, c);
                if (mayor(v, m))
                    m = v;
            }
        maximos.insert(c, m);
        return m;
    }

    // A record of ours was appended: the indexes and maxima take it in.
    void anotar(int i)
    {
        const char* reg = registro(i);
        if (!reg)
            return;
        for (auto it = indices.begin(); it != indices.end(); ++it) {
            if (const auto k = clave_de(campos[it.key()], valor(reg, it.key())))
                (*it)[*k].append(i);
        }
        for (auto it = maximos.begin(); it != maximos.end(); ++it) {
            const QVariant v = valor(reg, it.key());
            if (mayor(v, *it))
                *it = v;
        }
    }

    void exigir_escritura(const QString& nombre) const
    {
        if (!escritura)
            throw Fallo(FALLO_GENERAL,
                        QStringLiteral("La tabla %1 (\"%2\") solo se puede leer: no se puede escribir en ella")
                            .arg(nombre, ruta));
    }

    // After shapelib wrote a record: header count and date, the 0x1A, all on
    // disk before returning, so any reader sees a complete file.
    void confirmar(const QString& nombre)
    {
        const QDate hoy = QDate::currentDate();
        DBFSetLastModifiedDate(h, hoy.year() - 1900, hoy.month(), hoy.day());
        ultimo_error.clear();
        DBFUpdateHeader(h);
        h->bUpdated = 0;
        auto* fp = reinterpret_cast<FILE*>(h->fp);
        const bool fallo_es = std::ferror(fp) != 0;
        const Huella ahora = huella_de(ruta);
        const qint64 esperado = qint64(h->nHeaderLength) + qint64(h->nRecords) * h->nRecordLength + 1;
        if (fallo_es || ahora.tamano < esperado) {
            const QString motivo = con_error_shp(QString::fromLocal8Bit(std::strerror(errno)));
            std::clearerr(fp);
            abrir();   // back to what is really on disk
            throw Fallo(FALLO_GENERAL,
                        QStringLiteral("No se pudo escribir en la tabla %1 (\"%2\"): %3").arg(nombre, ruta, motivo));
        }
        huella = ahora;
    }

    // Forgets a record shapelib started but that is not to be written.
    void descartar_pendiente(int registros_antes)
    {
        h->nRecords = registros_antes;
        h->bCurrentRecordModified = 0;
        h->nCurrentRecord = -1;
    }
};

// ---------------------------------------------------------------------------
// The statements the link sends.

struct Sentencia {
    enum Forma { Todo, Donde, Maximo } forma = Todo;
    QString tabla;
    QString columna;   // of WHERE or MAX
    QString alias;     // of MAX
    QVariant valor;    // of WHERE
};

[[noreturn]] void no_admitida(const QString& sql)
{
    throw Fallo(FALLO_GENERAL, QStringLiteral("El controlador dBASE no admite la instrucción \"%1\"").arg(sql));
}

struct Pieza {
    enum Tipo { Nombre, Signo, Literal, Numero, Fin } tipo = Fin;
    QString texto;
};

QVector<Pieza> trocear(const QString& sql)
{
    QVector<Pieza> piezas;
    int i = 0;
    const int n = sql.size();
    while (i < n) {
        const QChar c = sql.at(i);
        if (c.isSpace()) {
            ++i;
        } else if (c.isLetter() || c == QLatin1Char('_')) {
            int j = i;
            while (j < n && (sql.at(j).isLetterOrNumber() || sql.at(j) == QLatin1Char('_')))
                ++j;
            piezas.append(Pieza{Pieza::Nombre, sql.mid(i, j - i)});
            i = j;
        } else if (c.isDigit() || (c == QLatin1Char('-') && i + 1 < n && sql.at(i + 1).isDigit())) {
            int j = i + 1;
            while (j < n && (sql.at(j).isDigit() || sql.at(j) == QLatin1Char('.')))
                ++j;
            piezas.append(Pieza{Pieza::Numero, sql.mid(i, j - i)});
            i = j;
        } else if (c == QLatin1Char('\'')) {
            QString texto;
            int j = i + 1;
            for (;;) {
                if (j >= n)
                    no_admitida(sql);   // unterminated literal
                if (sql.at(j) == QLatin1Char('\'')) {
                    if (j + 1 < n && sql.at(j + 1) == QLatin1Char('\'')) {
                        texto.append(QLatin1Char('\''));
                        j += 2;
                        continue;
                    }
                    break;
                }
                texto.append(sql.at(j++));
            }
            piezas.append(Pieza{Pieza::Literal, texto});
            i = j + 1;
        } else if (QStringLiteral("*()=?").contains(c)) {
            piezas.append(Pieza{Pieza::Signo, QString(c)});
            ++i;
        } else {
            no_admitida(sql);
        }
    }
    piezas.append(Pieza{Pieza::Fin, {}});
    return piezas;
}

Sentencia analizar(const QString& sql, const QVariantList& parametros)
{
    const QVector<Pieza> p = trocear(sql);
    int i = 0;
    auto es_palabra = [&](const char* palabra) {
        return p[i].tipo == Pieza::Nombre && p[i].texto.compare(QLatin1String(palabra), Qt::CaseInsensitive) == 0;
    };
    auto palabra = [&](const char* w) {
        if (!es_palabra(w))
            no_admitida(sql);
        ++i;
    };
    auto signo = [&](char s) {
        if (p[i].tipo != Pieza::Signo || p[i].texto != QLatin1Char(s))
            no_admitida(sql);
        ++i;
    };
    auto nombre = [&]() {
        if (p[i].tipo != Pieza::Nombre)
            no_admitida(sql);
        for (const char* reservada : {"SELECT", "FROM", "WHERE", "AS", "MAX"})
            if (es_palabra(reservada))
                no_admitida(sql);
        return p[i++].texto;
    };
    int marcadores = 0;

    Sentencia s;
    palabra("SELECT");
    if (p[i].tipo == Pieza::Signo && p[i].texto == u"*") {
        ++i;
        palabra("FROM");
        s.tabla = nombre();
        if (es_palabra("WHERE")) {
            ++i;
            s.forma = Sentencia::Donde;
            s.columna = nombre();
            signo('=');
            switch (p[i].tipo) {
            case Pieza::Signo:
                if (p[i].texto != u"?")
                    no_admitida(sql);
                ++marcadores;
                if (!parametros.isEmpty())
                    s.valor = parametros.first();
                break;
            case Pieza::Literal:
                s.valor = p[i].texto;
                break;
            case Pieza::Numero: {
                bool ok = false;
                s.valor = p[i].texto.toDouble(&ok);
                if (!ok)
                    no_admitida(sql);
                break;
            }
            default:
                no_admitida(sql);
            }
            ++i;
        }
    } else if (es_palabra("MAX")) {
        ++i;
        s.forma = Sentencia::Maximo;
        signo('(');
        s.columna = nombre();
        signo(')');
        if (es_palabra("AS"))
            ++i;
        s.alias = nombre();
        palabra("FROM");
        s.tabla = nombre();
    } else {
        no_admitida(sql);
    }
    if (p[i].tipo != Pieza::Fin)
        no_admitida(sql);
    if (marcadores > parametros.size())
        throw Fallo(PARAMETRO_SIN_VALOR,
                    QStringLiteral("Falta el valor del parámetro de la instrucción \"%1\"").arg(sql));
    if (marcadores < parametros.size())
        throw Fallo(FALLO_GENERAL,
                    QStringLiteral("La instrucción \"%1\" tiene %2 parámetros y se le dieron %3 valores")
                        .arg(sql).arg(marcadores).arg(parametros.size()));
    return s;
}

[[noreturn]] void columna_inexistente(const QString& columna, const QString& tabla, const QString& sql)
{
    throw Fallo(PARAMETRO_SIN_VALOR,
                QStringLiteral("La tabla %1 no tiene la columna %2 (instrucción \"%3\")").arg(tabla, columna, sql));
}

}  // namespace

// ---------------------------------------------------------------------------

struct DbaseBackend::Carpeta {
    QString ruta;
    std::map<QString, std::unique_ptr<Tabla>> tablas;   // by lower-case name

    // The table as it is now on disk: found, opened, reopened if changed.
    Tabla& tabla(const QString& nombre)
    {
        const QString clave = nombre.toLower();
        auto it = tablas.find(clave);
        if (it != tablas.end()) {
            Tabla& t = *it->second;
            const Huella ahora = huella_de(t.ruta);
            if (ahora == t.huella && t.h) {
                // Records are read from disk again: another program may have
                // changed one in place within the same tick of the clock.
                if (!t.h->bCurrentRecordModified)
                    t.h->nCurrentRecord = -1;
                return t;
            }
            if (ahora.existe()) {
                try {
                    t.abrir();
                } catch (...) {
                    tablas.erase(it);
                    throw;
                }
                return t;
            }
            tablas.erase(it);
        }
        auto t = std::make_unique<Tabla>();
        t->ruta = buscar(nombre);
        t->abrir();
        return *tablas.emplace(clave, std::move(t)).first->second;
    }

    QString buscar(const QString& nombre) const
    {
        const QString archivo = nombre + QStringLiteral(".dbf");
        if (!nombre.isEmpty() && !nombre.contains(QLatin1Char('/')) && !nombre.contains(QLatin1Char('\\'))) {
            const QDir dir(ruta);
            if (QFileInfo(dir.filePath(archivo)).isFile())
                return dir.filePath(archivo);
            const QStringList entradas = dir.entryList(QDir::Files | QDir::Hidden | QDir::System, QDir::Name);
            for (const QString& e : entradas)
                if (e.compare(archivo, Qt::CaseInsensitive) == 0)
                    return dir.filePath(e);
        }
        throw Fallo(TABLA_INEXISTENTE,
                    QStringLiteral("No se encuentra la tabla %1: no hay un archivo %2 en la carpeta \"%3\"")
                        .arg(nombre, archivo, ruta));
    }
};

namespace {

class ConsultaDbase : public Consulta {
public:
    ConsultaDbase(std::shared_ptr<DbaseBackend::Carpeta> carpeta, QString sql, Sentencia s)
        : carpeta_(std::move(carpeta)), sql_(std::move(sql)), s_(std::move(s)) {}

    QString tabla() const override { return s_.forma == Sentencia::Maximo ? QString() : s_.tabla; }

    Resultado leer() override
    {
        Tabla& t = carpeta_->tabla(s_.tabla);
        Resultado r;
        switch (s_.forma) {
        case Sentencia::Todo:
            r.columnas = t.columnas();
            for (int i = 0; i < t.registros(); ++i)
                if (const char* reg = t.registro(i)) {
                    r.filas.append(t.fila(reg));
                    r.claves.append(i);
                }
            break;
        case Sentencia::Donde: {
            r.columnas = t.columnas();
            const int c = t.campo(s_.columna);
            if (c < 0)
                columna_inexistente(s_.columna, s_.tabla, sql_);
            const auto k = clave_buscada(s_.tabla, t.campos[c], s_.valor);
            if (!k)
                break;
            // Each record found is checked again, in case it was rewritten
            // in place by someone else unnoticed.
            const QVector<int> encontrados = t.indice(c).value(*k);
            for (int i : encontrados)
                if (const char* reg = t.registro(i); reg && clave_de(t.campos[c], t.valor(reg, c)) == k) {
                    r.filas.append(t.fila(reg));
                    r.claves.append(i);
                }
            break;
        }
        case Sentencia::Maximo: {
            const int c = t.campo(s_.columna);
            if (c < 0)
                columna_inexistente(s_.columna, s_.tabla, sql_);
            const Campo& campo = t.campos[c];
            r.columnas.append(Columna{s_.alias, tipo_de(campo.tipo), campo.ancho, campo.decimales});
            r.filas.append(QVariantList{t.maximo(c)});
            break;
        }
        }
        return r;
    }

private:
    std::shared_ptr<DbaseBackend::Carpeta> carpeta_;
    QString sql_;
    Sentencia s_;
};

// Values checked and formatted for the named columns, before anything is
// written; empty entries are the columns not named.
QVector<QByteArray> preparar(const Tabla& t, const QString& tabla, const QStringList& columnas,
                             const QVariantList& valores)
{
    if (columnas.size() != valores.size())
        throw Fallo(FALLO_GENERAL,
                    QStringLiteral("Se dieron %1 columnas y %2 valores para la tabla %3")
                        .arg(columnas.size()).arg(valores.size()).arg(tabla));
    QVector<QByteArray> bytes(t.campos.size());
    for (int i = 0; i < columnas.size(); ++i) {
        const int c = t.campo(columnas[i]);
        if (c < 0)
            throw Fallo(ELEMENTO_NO_ENCONTRADO,
                        QStringLiteral("No se encuentra el elemento %1 en la tabla %2").arg(columnas[i], tabla));
        bytes[c] = formatear(tabla, t.campos[c], valores[i], t.pagina);
    }
    return bytes;
}

}  // namespace

std::shared_ptr<Backend> abrir_dbase(const QString& carpeta_local)
{
    return std::make_shared<DbaseBackend>(carpeta_local);
}

DbaseBackend::DbaseBackend(const QString& carpeta_local) : carpeta_(std::make_shared<Carpeta>())
{
    if (!QFileInfo(carpeta_local).isDir())
        throw Fallo(FALLO_GENERAL, QStringLiteral("No se encuentra la carpeta de archivos dBASE \"%1\"").arg(carpeta_local));
    carpeta_->ruta = QDir(carpeta_local).absolutePath();
}

DbaseBackend::~DbaseBackend() = default;

void DbaseBackend::ejecutar(const QString& sql, const QVariantList&)
{
    no_admitida(sql);
}

std::unique_ptr<Consulta> DbaseBackend::abrir(const QString& sql, const QVariantList& parametros, bool)
{
    Sentencia s = analizar(sql, parametros);
    Tabla& t = carpeta_->tabla(s.tabla);
    if (s.forma != Sentencia::Todo && t.campo(s.columna) < 0)
        columna_inexistente(s.columna, s.tabla, sql);
    return std::make_unique<ConsultaDbase>(carpeta_, sql, std::move(s));
}

QVector<Columna> DbaseBackend::columnas(const QString& tabla)
{
    return carpeta_->tabla(tabla).columnas();
}

void DbaseBackend::insertar(const QString& tabla, const QStringList& columnas, const QVariantList& valores)
{
    Tabla& t = carpeta_->tabla(tabla);
    t.exigir_escritura(tabla);
    QVector<QByteArray> bytes = preparar(t, tabla, columnas, valores);
    if (t.campos.isEmpty())
        throw Fallo(FALLO_GENERAL, QStringLiteral("La tabla %1 no tiene columnas").arg(tabla));
    // shapelib starts a blank record on the first field written to record n.
    const int n = t.registros();
    bool escrito = false, ok = true;
    for (int c = 0; c < bytes.size() && ok; ++c)
        if (!bytes[c].isNull()) {
            ok = DBFWriteAttributeDirectly(t.h, n, c, bytes[c].data());
            escrito = true;
        }
    if (ok && !escrito) {
        QByteArray blanco(t.campos[0].ancho, ' ');
        ok = DBFWriteAttributeDirectly(t.h, n, 0, blanco.data());
    }
    if (!ok) {
        t.descartar_pendiente(n);
        throw Fallo(FALLO_GENERAL,
                    con_error_shp(QStringLiteral("No se pudo añadir el registro a la tabla %1").arg(tabla)));
    }
    t.confirmar(tabla);
    clave_insertada_ = n;
    t.anotar(n);
}

void DbaseBackend::actualizar(const QString& tabla, const Resultado& leido, int fila,
                              const QStringList& columnas, const QVariantList& valores)
{
    Tabla& t = carpeta_->tabla(tabla);
    t.exigir_escritura(tabla);
    const QString cambiada =
        QStringLiteral("La fila de la tabla %1 ha cambiado desde que se leyó o ya no existe").arg(tabla);
    if (fila < 0 || fila >= leido.claves.size() || fila >= leido.filas.size())
        throw Fallo(FILA_NO_LOCALIZADA, cambiada);
    const qint64 r = leido.claves[fila];
    if (r < 0 || r >= t.registros())
        throw Fallo(FILA_NO_LOCALIZADA, cambiada);
    const char* reg = t.registro(int(r));
    if (!reg)
        throw Fallo(FILA_NO_LOCALIZADA, cambiada);
    for (int j = 0; j < leido.columnas.size() && j < leido.filas[fila].size(); ++j) {
        const int c = t.campo(leido.columnas[j].nombre);
        if (c < 0)
            throw Fallo(FILA_NO_LOCALIZADA, cambiada);
        const Campo& campo = t.campos[c];
        const QVariant& antes = leido.filas[fila][j];
        if (iguales(t.valor(reg, c), antes))
            continue;
        bool mismos_bytes = false;
        try {
            mismos_bytes = formatear(tabla, campo, antes, t.pagina)
                           == QByteArray(reg + campo.desplazamiento, campo.ancho);
        } catch (const Fallo&) {
        }
        if (!mismos_bytes)
            throw Fallo(FILA_NO_LOCALIZADA, cambiada);
    }
    QVector<QByteArray> bytes = preparar(t, tabla, columnas, valores);
    bool ok = true;
    for (int c = 0; c < bytes.size() && ok; ++c)
        if (!bytes[c].isNull())
            ok = DBFWriteAttributeDirectly(t.h, int(r), c, bytes[c].data());
    if (!ok) {
        t.abrir();
        throw Fallo(FALLO_GENERAL,
                    con_error_shp(QStringLiteral("No se pudo escribir el registro %1 de la tabla %2").arg(r + 1).arg(tabla)));
    }
    t.confirmar(tabla);
    t.indices.clear();
    t.maximos.clear();
}

qint64 DbaseBackend::registros(const QString& tabla)
{
    return carpeta_->tabla(tabla).registros();
}

void DbaseBackend::recortar(const QString& tabla, qint64 registros)
{
    Tabla& t = carpeta_->tabla(tabla);
    t.exigir_escritura(tabla);
    const qint64 tiene = t.registros();
    if (registros == tiene)
        return;
    if (registros < 0 || registros > tiene)
        throw Fallo(FALLO_GENERAL, QStringLiteral("No se puede dejar la tabla %1, que tiene %2 registros, en %3")
                                       .arg(tabla).arg(tiene).arg(registros));
    const qint64 cabecera = t.h->nHeaderLength;
    const qint64 largo = t.h->nRecordLength;
    t.soltar();
    QFile f(t.ruta);
    bool ok = f.open(QIODevice::ReadWrite);
    if (ok) {
        const quint32 n = quint32(registros);
        const char cuenta[4] = {char(n & 0xFF), char((n >> 8) & 0xFF), char((n >> 16) & 0xFF), char((n >> 24) & 0xFF)};
        const qint64 fin = cabecera + registros * largo;
        ok = f.seek(4) && f.write(cuenta, 4) == 4 && f.resize(fin + 1) && f.seek(fin) && f.write("\x1A", 1) == 1
             && f.flush();
    }
    const QString motivo = f.errorString();
    f.close();
    t.abrir();
    if (!ok)
        throw Fallo(FALLO_GENERAL,
                    QStringLiteral("No se pudo recortar la tabla %1 (\"%2\"): %3").arg(tabla, t.ruta, motivo));
}
