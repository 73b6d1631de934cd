#include "transfer/PendienteContaplus.h"

#include "platform/sistema/Fallo.h"
#include "platform/sistema/Fichero.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QUrl>

namespace {

const QByteArray CABECERA = QByteArrayLiteral("ENLACE PENDIENTE 1\nestado=");
// Where the tables' state bytes are: they are rewritten in place, so the
// checksum takes them as 'P' whatever they hold.
const qint64 LUGAR_ESTADO = CABECERA.size();
constexpr int LARGO_SUMA = 40;

// Over the bytes in place, the state bytes hashed as 'P': a group's
// records are megabytes, not to be copied again for this.
QByteArray suma(QByteArrayView datos)
{
    qint64 fin = LUGAR_ESTADO;
    while (fin < datos.size() && datos[fin] != '\n') ++fin;
    QCryptographicHash h(QCryptographicHash::Sha1);
    h.addData(datos.first(qMin<qint64>(LUGAR_ESTADO, datos.size())));
    h.addData(QByteArray(fin - qMin<qint64>(LUGAR_ESTADO, fin), 'P'));
    h.addData(datos.sliced(qMin<qint64>(fin, datos.size())));
    return h.result().toHex();
}

QByteArray cifrar(const QString& s)
{
    return QUrl::toPercentEncoding(s);
}

QString descifrar(const QByteArray& b)
{
    return QUrl::fromPercentEncoding(b);
}

QByteArray componer(const Pendiente& p)
{
    QByteArray b = CABECERA;
    for (const TablaPendiente& t : p.tablas) b += t.estado;
    b += '\n';
    b += "instalacion=" + cifrar(p.instalacion) + '\n';
    b += "puesto=" + cifrar(p.puesto) + '\n';
    b += "datos=" + cifrar(p.datos) + '\n';
    b += "desde=" + cifrar(p.desde) + '\n';
    for (const TablaPendiente& t : p.tablas)
        b += "tabla=" + cifrar(t.nombre) + ';' + QByteArray::number(t.base) + ';' + t.huella_base.toLatin1() + ';' +
             t.huella_fin.toLatin1() + ';' + cifrar(t.identidad) + ';' + QByteArray::number(t.largo) + ';' +
             QByteArray::number(t.registros) + '\n';
    b += '\n';
    qsizetype largo = b.size() + LARGO_SUMA;
    for (const TablaPendiente& t : p.tablas) largo += t.bytes.size();
    b.reserve(largo);
    for (const TablaPendiente& t : p.tablas) b += t.bytes;
    b += suma(b);
    return b;
}

std::optional<Pendiente> analizar(const QByteArray& b)
{
    if (b.size() < CABECERA.size() + 2 + LARGO_SUMA || !b.startsWith(CABECERA)) return std::nullopt;
    const QByteArray cuerpo = b.left(b.size() - LARGO_SUMA);
    if (suma(cuerpo) != b.right(LARGO_SUMA)) return std::nullopt;
    Pendiente p;
    const QByteArray estados = b.mid(LUGAR_ESTADO, b.indexOf('\n', LUGAR_ESTADO) - LUGAR_ESTADO);
    const qint64 fin_cabecera = cuerpo.indexOf("\n\n");
    if (fin_cabecera < 0) return std::nullopt;
    const QList<QByteArray> lineas = cuerpo.left(fin_cabecera).split('\n');
    for (const QByteArray& l : lineas) {
        const qint64 igual = l.indexOf('=');
        if (igual < 0) continue;
        const QByteArray clave = l.left(igual), valor = l.mid(igual + 1);
        if (clave == "instalacion")
            p.instalacion = descifrar(valor);
        else if (clave == "puesto")
            p.puesto = descifrar(valor);
        else if (clave == "datos")
            p.datos = descifrar(valor);
        else if (clave == "desde")
            p.desde = descifrar(valor);
        else if (clave == "tabla") {
            const QList<QByteArray> c = valor.split(';');
            if (c.size() != 7) return std::nullopt;
            TablaPendiente t;
            t.nombre = descifrar(c[0]);
            t.base = c[1].toLongLong();
            t.huella_base = QString::fromLatin1(c[2]);
            t.huella_fin = QString::fromLatin1(c[3]);
            t.identidad = descifrar(c[4]);
            t.largo = c[5].toInt();
            t.registros = c[6].toLongLong();
            p.tablas.append(t);
        }
    }
    qint64 desde = fin_cabecera + 2;
    for (TablaPendiente& t : p.tablas) {
        const qint64 n = qint64(t.largo) * t.registros;
        if (t.largo <= 0 || t.registros < 0 || desde + n > cuerpo.size()) return std::nullopt;
        t.bytes = cuerpo.mid(desde, n);
        desde += n;
    }
    if (desde != cuerpo.size() || estados.size() != p.tablas.size()) return std::nullopt;
    for (int i = 0; i < p.tablas.size(); ++i) p.tablas[i].estado = estados[i];
    return p;
}

QString mostrado(const QString& ruta_local, const QString& nombre)
{
    return nombre.isEmpty() ? QDir::toNativeSeparators(ruta_local) : nombre;
}

Fichero para_escribir(const QString& ruta_local, const QString& nombre)
{
    Fichero f;
    QString motivo;
    if (!f.abrir(ruta_local, true, &motivo))
        throw Fallo(codigo_error::ERROR_DE_ARCHIVO,
                    QStringLiteral("No se puede escribir en %1: %2").arg(mostrado(ruta_local, nombre), motivo));
    f.nombrar(mostrado(ruta_local, nombre));
    return f;
}

}  // namespace

const TablaPendiente* Pendiente::tabla(const QString& nombre) const
{
    for (const TablaPendiente& t : tablas)
        if (t.nombre.compare(nombre, Qt::CaseInsensitive) == 0) return &t;
    return nullptr;
}

namespace pendiente {

std::optional<Pendiente> leer(const QString& ruta_local, const QString& nombre)
{
    if (!QFileInfo(ruta_local).isFile()) return std::nullopt;
    Fichero f;
    QString motivo;
    if (!f.abrir(ruta_local, false, &motivo))
        throw Fallo(codigo_error::ERROR_DE_ARCHIVO,
                    QStringLiteral("No se puede leer %1: %2").arg(mostrado(ruta_local, nombre), motivo));
    f.nombrar(mostrado(ruta_local, nombre));
    const qint64 tamano = f.tamano();
    if (tamano == 0) return std::nullopt;
    return analizar(f.leer(0, tamano));
}

void escribir(const QString& ruta_local, const Pendiente& p, const QString& nombre)
{
    const QByteArray datos = componer(p);
    if (!QFileInfo(ruta_local).exists()) {
        QFile nuevo(ruta_local);
        if (!nuevo.open(QIODevice::WriteOnly))
            throw Fallo(codigo_error::ERROR_DE_ARCHIVO, QStringLiteral("No se puede crear %1: %2")
                                                            .arg(mostrado(ruta_local, nombre), nuevo.errorString()));
        nuevo.close();
        Fichero::sincronizar_carpeta(QFileInfo(ruta_local).absolutePath());
    }
    Fichero f = para_escribir(ruta_local, nombre);
    // Emptied first: a write that stops half way leaves a file that reads
    // as nothing, not an older group's records under a newer header.
    f.truncar(0);
    f.escribir(0, datos);
    f.sincronizar();
}

void marcar(const QString& ruta_local, const QByteArray& estados, const QString& nombre)
{
    Fichero f = para_escribir(ruta_local, nombre);
    f.escribir(LUGAR_ESTADO, estados);
    f.sincronizar();
}

void vaciar(const QString& ruta_local, const QString& nombre)
{
    if (!QFileInfo(ruta_local).isFile()) return;
    Fichero f = para_escribir(ruta_local, nombre);
    f.truncar(0);
}

}  // namespace pendiente
