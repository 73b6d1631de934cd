#include "platform/dbase/DbaseEscritura.h"

#include <QCryptographicHash>
#include <QDate>
#include <QElapsedTimer>
#include <cstring>

using namespace codigo_error;

namespace dbase {

namespace {

// Bytes 1-3 of the header: the date of the last change, into `b`. Read
// from the clock once in a while, not on every record.
void fecha_cabecera(char* b)
{
    static thread_local QElapsedTimer reloj;
    static thread_local char fecha[3];
    if (!reloj.isValid() || reloj.elapsed() > 10000) {
        const QDate hoy = QDate::currentDate();
        fecha[0] = char(qBound(0, hoy.year() - 1900, 255));
        fecha[1] = char(hoy.month());
        fecha[2] = char(hoy.day());
        reloj.start();
    }
    std::memcpy(b, fecha, 3);
}

void cuenta(qint64 n, char* b)
{
    const quint32 v = quint32(n);
    b[0] = char(v & 0xFF);
    b[1] = char((v >> 8) & 0xFF);
    b[2] = char((v >> 16) & 0xFF);
    b[3] = char((v >> 24) & 0xFF);
}

QByteArray cuenta(qint64 n)
{
    QByteArray b(4, '\0');
    cuenta(n, b.data());
    return b;
}

}  // namespace

EstadoTamano comprobar_tamano(DBFHandle h)
{
    EstadoTamano e;
    e.tamano = archivo_de(h).fichero.tamano();
    e.esperado = qint64(h->nHeaderLength) + qint64(h->nRecords) * h->nRecordLength;
    const qint64 sobra = e.tamano - e.esperado;
    const qint64 largo = h->nRecordLength;
    if (sobra == 0 || sobra == 1) {
        e.forma = EstadoTamano::Sano;
    } else if (sobra > 1 && sobra <= REGISTROS_POR_ESCRITURA * largo + 1) {
        // An append that stopped between its records and its header, or in
        // the middle of its records.
        e.forma = EstadoTamano::Cola;
    } else if (sobra > 1 && largo > 0 && (sobra - 1) % largo == 0 &&
               archivo_de(h).fichero.leer(e.tamano - 1, 1) == QByteArray("\x1A", 1)) {
        // Whole records and the end mark past the count: a cut that stopped
        // after writing the new count.
        e.forma = EstadoTamano::Cola;
    } else {
        e.forma = EstadoTamano::Roto;
    }
    return e;
}

void quitar_cola(DBFHandle h)
{
    ArchivoDbase& a = archivo_de(h);
    a.olvidar();
    Fichero& f = a.fichero;
    const qint64 fin = qint64(h->nHeaderLength) + qint64(h->nRecords) * h->nRecordLength;
    f.truncar(fin);
    f.escribir(fin, "\x1A", 1);
    h->nCurrentRecord = -1;
    h->bCurrentRecordModified = 0;
}

void anadir_registro(DBFHandle h, const QByteArray& registro_y_marca, const QString& tabla)
{
    anadir_registros(h, registro_y_marca, 1, tabla);
}

namespace {

// The size and header as our last write left them, asked of the system
// only when something else wrote since.
struct Antes {
    qint64 tamano = 0;
    char cabecera[7];
    qint64 largo_cabecera = 7;
};

Antes antes_de(ArchivoDbase& a)
{
    Antes r;
    r.tamano = a.tamano >= 0 ? a.tamano : a.fichero.tamano();
    if (a.cabecera.size() == 7) {
        std::memcpy(r.cabecera, a.cabecera.constData(), 7);
    } else {
        const QByteArray leida = a.fichero.leer(1, 7);
        r.largo_cabecera = qMin<qint64>(leida.size(), 7);
        std::memcpy(r.cabecera, leida.constData(), size_t(r.largo_cabecera));
    }
    return r;
}

// Whatever a failed write left, the file goes back to what it was.
void restaurar(Fichero& f, const Antes& antes, qint64 inicio, bool con_cabecera)
{
    try {
        f.truncar(antes.tamano);
        if (antes.tamano == inicio + 1) f.escribir(inicio, "\x1A", 1);
        if (con_cabecera && antes.largo_cabecera > 0) f.escribir(1, antes.cabecera, antes.largo_cabecera);
    } catch (const Fallo&) {
        // The header still counts only the records that were there; the
        // next open finds what is left past them.
    }
}

[[noreturn]] void no_se_pudo(const QString& tabla, const Fallo& e)
{
    throw Fallo(FALLO_GENERAL,
                QStringLiteral("No se pudo añadir el registro a la tabla %1: %2").arg(tabla, e.descripcion()));
}

}  // namespace

void escribir_sin_contar(DBFHandle h, const QByteArray& registros_y_marca, const QString& tabla)
{
    ArchivoDbase& a = archivo_de(h);
    Fichero& f = a.fichero;
    const qint64 inicio = qint64(h->nHeaderLength) + qint64(h->nRecords) * h->nRecordLength;
    const Antes antes = antes_de(a);
    a.olvidar();
    try {
        f.escribir(inicio, registros_y_marca);
    } catch (const Fallo& e) {
        restaurar(f, antes, inicio, false);
        no_se_pudo(tabla, e);
    }
    a.tamano = qMax(antes.tamano, inicio + registros_y_marca.size());
    a.cabecera.resize(7);
    std::memcpy(a.cabecera.data(), antes.cabecera, 7);
}

void contar(DBFHandle h, int cuantos, qint64 tamano_antes, const QString& tabla, const char* primero)
{
    ArchivoDbase& a = archivo_de(h);
    Fichero& f = a.fichero;
    const qint64 n = h->nRecords;
    const qint64 inicio = qint64(h->nHeaderLength) + n * h->nRecordLength;
    Antes antes = antes_de(a);
    antes.tamano = tamano_antes;
    const qint64 tamano = a.tamano >= 0 ? a.tamano : f.tamano();
    a.olvidar();
    char cabecera[7];
    fecha_cabecera(cabecera);
    cuenta(n + cuantos, cabecera + 3);
    try {
        if (primero) f.escribir(inicio, primero, 1);
        f.escribir(1, cabecera, 7);
    } catch (const Fallo& e) {
        restaurar(f, antes, inicio, true);
        no_se_pudo(tabla, e);
    }
    h->nRecords = int(n + cuantos);
    h->nCurrentRecord = -1;
    h->bCurrentRecordModified = 0;
    h->bUpdated = 0;
    a.tamano = tamano;
    a.cabecera.resize(7);
    std::memcpy(a.cabecera.data(), cabecera, 7);
}

void anadir_registros(DBFHandle h, const QByteArray& registros_y_marca, int cuantos, const QString& tabla)
{
    ArchivoDbase& a = archivo_de(h);
    const qint64 antes = a.tamano >= 0 ? a.tamano : a.fichero.tamano();
    escribir_sin_contar(h, registros_y_marca, tabla);
    contar(h, cuantos, antes, tabla, nullptr);
}

void recortar_registros(DBFHandle h, qint64 registros, const QString& tabla)
{
    archivo_de(h).olvidar();
    Fichero& f = archivo_de(h).fichero;
    const qint64 fin = qint64(h->nHeaderLength) + registros * h->nRecordLength;
    try {
        // The count first: a cut interrupted after it leaves a tail that
        // the next open takes off.
        f.escribir(4, cuenta(registros));
        f.truncar(fin);
        f.escribir(fin, "\x1A", 1);
    } catch (const Fallo& e) {
        throw Fallo(FALLO_GENERAL, QStringLiteral("No se pudo recortar la tabla %1: %2").arg(tabla, e.descripcion()));
    }
    h->nRecords = int(registros);
    h->nCurrentRecord = -1;
    h->bCurrentRecordModified = 0;
    h->bUpdated = 0;
}

QString huella_registro(DBFHandle h, qint64 registros)
{
    Fichero& f = archivo_de(h).fichero;
    const QByteArray datos =
        registros > 0 ? f.leer(qint64(h->nHeaderLength) + (registros - 1) * h->nRecordLength, h->nRecordLength)
                      : f.leer(32, qint64(h->nHeaderLength) - 32);
    return QString::fromLatin1(QCryptographicHash::hash(datos, QCryptographicHash::Sha1).toHex());
}

void sincronizar_dbase(DBFHandle h)
{
    archivo_de(h).fichero.sincronizar();
}

}  // namespace dbase
