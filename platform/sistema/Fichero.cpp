#include "platform/sistema/Fichero.h"

#include "platform/sistema/Averias.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

Fichero::~Fichero()
{
    cerrar();
}

Fichero::Fichero(Fichero&& otro) noexcept
    : fd_(otro.fd_), escritura_(otro.escritura_), ruta_(std::move(otro.ruta_)), nombre_(std::move(otro.nombre_))
{
    otro.fd_ = -1;
}

Fichero& Fichero::operator=(Fichero&& otro) noexcept
{
    if (this != &otro) {
        cerrar();
        fd_ = otro.fd_;
        escritura_ = otro.escritura_;
        ruta_ = std::move(otro.ruta_);
        nombre_ = std::move(otro.nombre_);
        otro.fd_ = -1;
    }
    return *this;
}

bool Fichero::abrir(const QString& ruta, bool escritura, QString* motivo)
{
    cerrar();
    const QByteArray r = QFile::encodeName(ruta);
    int fd;
    do {
        fd = ::open(r.constData(), (escritura ? O_RDWR : O_RDONLY) | O_CLOEXEC);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0) {
        if (motivo) *motivo = texto_error(errno);
        return false;
    }
    fd_ = fd;
    escritura_ = escritura;
    ruta_ = ruta;
    return true;
}

void Fichero::cerrar()
{
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
}

void Fichero::cerrar_comprobando()
{
    if (fd_ < 0) return;
    const int r = ::close(fd_);
    fd_ = -1;
    if (r != 0 && errno != EINTR) fallar(QStringLiteral("No se puede cerrar"), errno);
}

QString Fichero::con_sufijo(const QString& ruta, const QString& sufijo)
{
    const qsizetype barra = qMax(ruta.lastIndexOf(QLatin1Char('/')), ruta.lastIndexOf(QLatin1Char('\\')));
    const qsizetype punto = ruta.lastIndexOf(QLatin1Char('.'));
    return punto > barra ? ruta.left(punto) + sufijo + ruta.mid(punto) : ruta + sufijo;
}

QString Fichero::crear_nuevo(const QString& ruta, const QStringList& tambien)
{
    cerrar();
    const qsizetype barra = qMax(ruta.lastIndexOf(QLatin1Char('/')), ruta.lastIndexOf(QLatin1Char('\\')));
    const qsizetype punto = ruta.lastIndexOf(QLatin1Char('.'));
    const QString base = punto > barra ? ruta.left(punto) : ruta;
    for (int n = 1; n < 10000; ++n) {
        const QString sufijo = n == 1 ? QString() : QStringLiteral("_%1").arg(n);
        const QString nombre = con_sufijo(ruta, sufijo);
        bool libre = true;
        for (const QString& e : tambien) libre = libre && !QFileInfo::exists(base + sufijo + e);
        if (!libre) continue;
        int fd;
        do {
            fd = ::open(QFile::encodeName(nombre).constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        } while (fd < 0 && errno == EINTR);
        if (fd >= 0) {
            fd_ = fd;
            escritura_ = true;
            ruta_ = nombre;
            return sufijo;
        }
        if (errno != EEXIST) {
            ruta_ = nombre;
            fallar(QStringLiteral("No se puede crear"), errno);
        }
    }
    ruta_ = ruta;
    fallar(QStringLiteral("No se puede crear"), EEXIST);
}

void Fichero::copiar(const QString& origen, const QString& destino)
{
    Fichero o;
    QString motivo;
    if (!o.abrir(origen, false, &motivo))
        throw Fallo(codigo_error::ERROR_DE_ARCHIVO,
                    QStringLiteral("No se puede leer %1: %2").arg(QDir::toNativeSeparators(origen), motivo));
    QFile::remove(destino);
    Fichero d;
    d.crear_nuevo(destino);
    try {
        if (d.ruta() != destino) d.fallar(QStringLiteral("No se puede crear"), EEXIST);
        QByteArray bloque(1 << 20, Qt::Uninitialized);
        for (qint64 desde = 0;;) {
            const qint64 n = o.leer(desde, bloque.data(), bloque.size());
            if (n <= 0) break;
            d.escribir(desde, bloque.constData(), n);
            desde += n;
        }
        d.cerrar_comprobando();
    } catch (const Fallo&) {
        d.cerrar();
        QFile::remove(d.ruta());
        throw;
    }
}

void Fichero::fallar(const QString& que, int numero) const
{
    throw Fallo(codigo_error::FALLO_GENERAL,
                QStringLiteral("%1 \"%2\": %3")
                    .arg(que, nombre_.isEmpty() ? QDir::toNativeSeparators(ruta_) : nombre_, texto_error(numero)));
}

qint64 Fichero::tamano() const
{
    struct stat st;
    if (::fstat(fd_, &st) != 0) fallar(QStringLiteral("No se puede leer el tamaño de"), errno);
    return st.st_size;
}

qint64 Fichero::leer(qint64 desde, char* destino, qint64 n) const
{
    qint64 hecho = 0;
    while (hecho < n) {
        const ssize_t r = ::pread(fd_, destino + hecho, size_t(n - hecho), off_t(desde + hecho));
        if (r < 0) {
            if (errno == EINTR) continue;
            fallar(QStringLiteral("No se puede leer"), errno);
        }
        if (r == 0) break;
        hecho += r;
    }
    return hecho;
}

QByteArray Fichero::leer(qint64 desde, qint64 n) const
{
    QByteArray b(int(n), Qt::Uninitialized);
    b.resize(int(leer(desde, b.data(), n)));
    return b;
}

void Fichero::escribir(qint64 desde, const QByteArray& datos)
{
    escribir(desde, datos.constData(), datos.size());
}

void Fichero::escribir(qint64 desde, const char* datos, qint64 n)
{
    qint64 limite = n;
    int fallo_inyectado = 0;
    switch (averias::escritura(ruta_)) {
    case averias::Accion::Ninguna:
    case averias::Accion::Matar:
    case averias::Accion::Senal:
    case averias::Accion::Orden: break;
    case averias::Accion::Mitad:
        limite = n / 2;
        fallo_inyectado = -1;
        break;
    case averias::Accion::Disco:
        limite = n / 2;
        fallo_inyectado = ENOSPC;
        break;
    }
    qint64 hecho = 0;
    while (hecho < limite) {
        const ssize_t r = ::pwrite(fd_, datos + hecho, size_t(limite - hecho), off_t(desde + hecho));
        if (r < 0) {
            if (errno == EINTR) continue;
            fallar(QStringLiteral("No se puede escribir en"), errno);
        }
        // Nothing written and no error: it would loop for ever.
        if (r == 0) fallar(QStringLiteral("No se puede escribir en"), EIO);
        hecho += r;
    }
    if (fallo_inyectado < 0) averias::terminar();
    if (fallo_inyectado > 0) fallar(QStringLiteral("No se puede escribir en"), fallo_inyectado);
}

void Fichero::truncar(qint64 tamano)
{
    int r;
    do {
        r = ::ftruncate(fd_, off_t(tamano));
    } while (r != 0 && errno == EINTR);
    if (r != 0) fallar(QStringLiteral("No se puede recortar"), errno);
}

void Fichero::sincronizar()
{
    if (::fsync(fd_) != 0) fallar(QStringLiteral("No se puede asegurar en el disco"), errno);
    averias::sincronizado(ruta_);
}

void Fichero::sincronizar_carpeta(const QString& carpeta)
{
    const int fd = ::open(QFile::encodeName(carpeta).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return;
    ::fsync(fd);
    ::close(fd);
}

QString Fichero::texto_error(int numero)
{
    switch (numero) {
    case ENOSPC: return QStringLiteral("No queda espacio en el disco");
    case EDQUOT: return QStringLiteral("Se ha superado la cuota de disco");
    case EACCES:
    case EPERM: return QStringLiteral("Acceso denegado");
    case EROFS: return QStringLiteral("El disco es de solo lectura");
    case ENOENT: return QStringLiteral("No se encuentra el fichero");
    case EIO: return QStringLiteral("Error de entrada/salida del disco");
    case EISDIR: return QStringLiteral("Es una carpeta");
    case EFBIG: return QStringLiteral("El fichero es demasiado grande");
    default: return QString::fromLocal8Bit(std::strerror(numero));
    }
}

void Fichero::copiar_seguro(const QString& origen, const QString& destino)
{
    const QString temporal = destino + QStringLiteral(".copia");
    QFile::remove(temporal);
    QFile fuente(origen);
    if (!fuente.copy(temporal))
        throw Fallo(codigo_error::ERROR_DE_ARCHIVO, QStringLiteral("No se puede copiar %1 en %2: %3")
                                                        .arg(QDir::toNativeSeparators(origen),
                                                             QDir::toNativeSeparators(destino), fuente.errorString()));
    QFile::setPermissions(temporal, QFile::permissions(temporal) | QFile::WriteOwner | QFile::ReadOwner);
    Fichero f;
    QString motivo;
    if (!f.abrir(temporal, true, &motivo)) {
        QFile::remove(temporal);
        throw Fallo(codigo_error::ERROR_DE_ARCHIVO,
                    QStringLiteral("No se puede abrir %1: %2").arg(QDir::toNativeSeparators(temporal), motivo));
    }
    try {
        if (averias::escritura(destino) == averias::Accion::Disco)
            f.fallar(QStringLiteral("No se puede escribir en"), ENOSPC);
        f.sincronizar();
    } catch (const Fallo&) {
        f.cerrar();
        QFile::remove(temporal);
        throw;
    }
    f.cerrar();
    if (::rename(QFile::encodeName(temporal).constData(), QFile::encodeName(destino).constData()) != 0) {
        const int e = errno;
        QFile::remove(temporal);
        throw Fallo(codigo_error::ERROR_DE_ARCHIVO, QStringLiteral("No se puede reemplazar %1: %2")
                                                        .arg(QDir::toNativeSeparators(destino), texto_error(e)));
    }
    sincronizar_carpeta(QFileInfo(destino).absolutePath());
}

void Fichero::renombrar(const QString& origen, const QString& destino)
{
    if (QFileInfo::exists(destino))
        throw Fallo(codigo_error::ERROR_DE_ARCHIVO,
                    QStringLiteral("Ya existe %1").arg(QDir::toNativeSeparators(destino)));
    if (::rename(QFile::encodeName(origen).constData(), QFile::encodeName(destino).constData()) != 0)
        throw Fallo(codigo_error::ERROR_DE_ARCHIVO,
                    QStringLiteral("No se puede renombrar %1 como %2: %3")
                        .arg(QDir::toNativeSeparators(origen), QDir::toNativeSeparators(destino), texto_error(errno)));
    sincronizar_carpeta(QFileInfo(destino).absolutePath());
}

bool Fichero::errores_en_terminal()
{
    return isatty(STDERR_FILENO) == 1;
}
