#include "platform/sistema/BloqueoFichero.h"

#include <QFile>

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// 0 when locked; else the errno of the refusal.
int bloquear(int fd)
{
#ifdef F_OFD_SETLK
    struct flock fl = {};
    fl.l_type = F_WRLCK;
    fl.l_whence = SEEK_SET;
    if (::fcntl(fd, F_OFD_SETLK, &fl) == 0) return 0;
    if (errno != EINVAL && errno != ENOSYS && errno != EOPNOTSUPP) return errno;
#endif
    return ::flock(fd, LOCK_EX | LOCK_NB) == 0 ? 0 : errno;
}

}  // namespace

BloqueoFichero::Resultado BloqueoFichero::tomar(const QString& ruta, int* numero)
{
    soltar();
    int fd;
    do {
        fd = ::open(QFile::encodeName(ruta).constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0) {
        if (numero) *numero = errno;
        return Resultado::Error;
    }
    const int e = bloquear(fd);
    if (e != 0) {
        ::close(fd);
        if (e == EAGAIN || e == EACCES || e == EWOULDBLOCK) return Resultado::Ocupado;
        if (numero) *numero = e;
        return Resultado::Error;
    }
    fd_ = fd;
    return Resultado::Tomado;
}

void BloqueoFichero::soltar()
{
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
}

bool BloqueoFichero::sigue_en(const QString& ruta) const
{
    struct stat a, b;
    return fd_ >= 0 && ::fstat(fd_, &a) == 0 && ::stat(QFile::encodeName(ruta).constData(), &b) == 0 &&
           a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

int BloqueoFichero::reemplazar(const QByteArray& contenido)
{
    if (::ftruncate(fd_, 0) != 0) return errno;
    qint64 hecho = 0;
    while (hecho < contenido.size()) {
        const ssize_t r = ::pwrite(fd_, contenido.constData() + hecho, size_t(contenido.size() - hecho), off_t(hecho));
        if (r < 0) {
            if (errno == EINTR) continue;
            return errno;
        }
        hecho += r;
    }
    return 0;
}
