#include "platform/DbaseEscritura.h"

#include <QCryptographicHash>
#include <QDate>
#include <QElapsedTimer>

using namespace codigo_error;

namespace dbase {

namespace {

// Bytes 1-3 of the header: the date of the last change. Read from the
// clock once in a while, not on every record.
QByteArray fecha_cabecera()
{
    static thread_local QElapsedTimer reloj;
    static thread_local QByteArray fecha;
    if (!reloj.isValid() || reloj.elapsed() > 10000) {
        const QDate hoy = QDate::currentDate();
        fecha = QByteArray(3, '\0');
        fecha[0] = char(qBound(0, hoy.year() - 1900, 255));
        fecha[1] = char(hoy.month());
        fecha[2] = char(hoy.day());
        reloj.start();
    }
    return fecha;
}

QByteArray cuenta(qint64 n)
{
    const quint32 v = quint32(n);
    QByteArray b(4, '\0');
    b[0] = char(v & 0xFF);
    b[1] = char((v >> 8) & 0xFF);
    b[2] = char((v >> 16) & 0xFF);
    b[3] = char((v >> 24) & 0xFF);
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
    } else if (sobra > 1 && sobra <= largo + 1) {
        // An append that stopped between its record and its header.
        e.forma = EstadoTamano::Cola;
    } else if (sobra > 1 && largo > 0 && (sobra - 1) % largo == 0
               && archivo_de(h).fichero.leer(e.tamano - 1, 1) == QByteArray("\x1A", 1)) {
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

void anadir_registro(DBFHandle h, const QByteArray& registro, const QString& tabla)
{
    ArchivoDbase& a = archivo_de(h);
    Fichero& f = a.fichero;
    const qint64 n = h->nRecords;
    const qint64 inicio = qint64(h->nHeaderLength) + n * h->nRecordLength;
    // The size and header as our last append left them, asked of the system
    // only when something else wrote since.
    const qint64 antes = a.tamano >= 0 ? a.tamano : f.tamano();
    const QByteArray cabecera_antes = a.cabecera.size() == 7 ? a.cabecera : f.leer(1, 7);
    a.olvidar();
    const bool con_marca = antes == inicio + 1;

    // Whatever a failed write left, the file goes back to what it was.
    auto restaurar = [&](const QByteArray& cabecera) {
        try {
            f.truncar(antes);
            if (con_marca)
                f.escribir(inicio, "\x1A", 1);
            if (!cabecera.isEmpty())
                f.escribir(1, cabecera);
        } catch (const Fallo&) {
            // The header still counts only the records that were there; the
            // next open cuts off what is left past them.
        }
    };

    QByteArray datos;
    datos.reserve(registro.size() + 1);
    datos.append(registro);
    datos.append('\x1A');
    try {
        f.escribir(inicio, datos);
    } catch (const Fallo& e) {
        restaurar({});
        throw Fallo(FALLO_GENERAL, QStringLiteral("No se pudo añadir el registro a la tabla %1: %2")
                                       .arg(tabla, e.descripcion()));
    }
    QByteArray cabecera = fecha_cabecera();
    cabecera.append(cuenta(n + 1));
    try {
        f.escribir(1, cabecera);
    } catch (const Fallo& e) {
        restaurar(cabecera_antes);
        throw Fallo(FALLO_GENERAL, QStringLiteral("No se pudo añadir el registro a la tabla %1: %2")
                                       .arg(tabla, e.descripcion()));
    }
    h->nRecords = int(n + 1);
    h->nCurrentRecord = -1;
    h->bCurrentRecordModified = 0;
    h->bUpdated = 0;
    a.tamano = qMax(antes, inicio + datos.size());
    a.cabecera = cabecera;
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
    const QByteArray datos = registros > 0
                                 ? f.leer(qint64(h->nHeaderLength) + (registros - 1) * h->nRecordLength,
                                          h->nRecordLength)
                                 : f.leer(32, qint64(h->nHeaderLength) - 32);
    return QString::fromLatin1(QCryptographicHash::hash(datos, QCryptographicHash::Sha1).toHex());
}

void sincronizar_dbase(DBFHandle h)
{
    archivo_de(h).fichero.sincronizar();
}

}  // namespace dbase
