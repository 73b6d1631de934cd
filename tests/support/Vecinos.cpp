#include "tests/support/Vecinos.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QtEndian>

namespace {

struct Dbf {
    QByteArray cabecera;   // header and field descriptors
    qint64 registro = 0;   // record length
    qint64 contados = 0;   // records the header counts
    QByteArray registros;  // the counted records, as stored
};

QString en_carpeta(const QString& carpeta, const QString& nombre)
{
    for (const QFileInfo& f : QDir(carpeta).entryInfoList(QDir::Files))
        if (f.fileName().compare(nombre, Qt::CaseInsensitive) == 0) return f.filePath();
    return {};
}

bool leer(const QString& ruta, Dbf& d)
{
    QFile f(ruta);
    if (ruta.isEmpty() || !f.open(QIODevice::ReadOnly)) return false;
    const QByteArray b = f.readAll();
    if (b.size() < 32) qFatal("%s no es un fichero dBASE", qPrintable(ruta));
    const qint64 largo = qFromLittleEndian<quint16>(b.constData() + 8);
    d.registro = qFromLittleEndian<quint16>(b.constData() + 10);
    d.contados = qFromLittleEndian<quint32>(b.constData() + 4);
    d.cabecera = b.left(largo);
    d.registros = b.mid(largo, d.contados * d.registro);
    return true;
}

QByteArray fichero(Dbf d)
{
    QByteArray b = d.cabecera;
    qToLittleEndian<quint32>(quint32(d.registros.size() / d.registro), b.data() + 4);
    return b + d.registros + QByteArray(1, '\x1A');
}

void escribir(const QString& ruta, const QByteArray& b)
{
    QFile f(ruta);
    if (!f.open(QIODevice::ReadWrite) || !f.resize(0) || f.write(b) != b.size())
        qFatal("no se puede escribir %s", qPrintable(ruta));
}

}  // namespace

void importar(const QString& carpeta, const QString& destino, bool sustituir)
{
    QDir().mkpath(destino);
    for (const QString& n : {QStringLiteral("Xdiario.dbf"), QStringLiteral("XSubCta.dbf")}) {
        const QString ruta = en_carpeta(carpeta, n);
        Dbf d;
        if (!leer(ruta, d)) continue;
        escribir(QDir(destino).filePath(n), fichero(d));
        d.registros.clear();
        if (!sustituir) {
            escribir(ruta, fichero(d));
            continue;
        }
        const QString nuevo = ruta + QStringLiteral(".nuevo");
        escribir(nuevo, fichero(d));
        if (::rename(QFile::encodeName(nuevo).constData(), QFile::encodeName(ruta).constData()) != 0)
            qFatal("no se puede sustituir %s", qPrintable(ruta));
    }
}

void anadir_ajenos(const QString& carpeta, const QByteArray& modelo, int n)
{
    const QString ruta = en_carpeta(carpeta, QStringLiteral("Xdiario.dbf"));
    Dbf d;
    if (!leer(ruta, d) || modelo.size() != d.registro) qFatal("no se puede añadir a %s", qPrintable(ruta));
    // The CONCEPTO field: descriptors of 32 bytes from byte 32; fields
    // follow the record's deletion flag in their order.
    int lugar = 1, ancho = 0;
    for (int i = 32; i + 32 <= d.cabecera.size() && d.cabecera[i] != '\r'; i += 32) {
        const QByteArray nombre = d.cabecera.mid(i, 11).split('\0').value(0);
        const int largo = quint8(d.cabecera[i + 16]);
        if (nombre.compare("CONCEPTO", Qt::CaseInsensitive) == 0) {
            ancho = largo;
            break;
        }
        lugar += largo;
    }
    if (ancho == 0) qFatal("%s no tiene CONCEPTO", qPrintable(ruta));
    for (int i = 1; i <= n; ++i) {
        QByteArray r = modelo;
        r[0] = ' ';
        r.replace(lugar, ancho, QByteArray("AJENO " + QByteArray::number(i)).leftJustified(ancho, ' '));
        d.registros += r;
    }
    escribir(ruta, fichero(d));
}

QByteArray primer_registro(const QString& ruta)
{
    Dbf d;
    return leer(ruta, d) ? d.registros.left(d.registro) : QByteArray();
}

bool entre_contados(const QString& ruta, const QByteArray& registros)
{
    Dbf d;
    if (!leer(ruta, d) || registros.isEmpty()) return false;
    for (qsizetype i = d.registros.indexOf(registros); i >= 0; i = d.registros.indexOf(registros, i + 1))
        if (i % d.registro == 0) return true;
    return false;
}
