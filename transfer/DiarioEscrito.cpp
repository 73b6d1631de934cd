// Reading back Xdiario and XSubCta with shapelib, which opens them and reads
// their header and fields, and plain reads of the records: not with the
// engine that wrote them.
#include "transfer/DiarioEscrito.h"

#include "platform/Cp1252.h"
#include "platform/Fallo.h"

#include <QFile>
#include <QFileInfo>
#include <shapefil.h>
#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <memory>


namespace {

// shapelib opens the file and reads its header and fields; the records are
// then read a block at a time, and each is looked at where it lies in the
// block: a year's journal costs tens of reads of the file, not one and a
// copy per record.
struct LecturaEnBloques {
    QFile fichero;
    SAOffset pos = 0, inicio = 0, lleno = 0;
    std::unique_ptr<char[]> bloque;

    // The `n` bytes at `desde`, read with the block that starts there when
    // the block in hand does not hold them; null past the end of the file.
    const char* ver(SAOffset desde, SAOffset n);
};
constexpr SAOffset BLOQUE = 256 * 1024;     // above the longest dBASE record, 65535

const char* LecturaEnBloques::ver(SAOffset desde, SAOffset n)
{
    if (desde < inicio || desde + n > inicio + lleno) {
        inicio = desde;
        lleno = 0;
        if (fichero.seek(qint64(desde))) {
            while (lleno < BLOQUE) {
                const qint64 r = fichero.read(bloque.get() + lleno, qint64(BLOQUE - lleno));
                if (r <= 0) break;
                lleno += SAOffset(r);
            }
        }
        if (n > lleno) return nullptr;
    }
    return bloque.get() + (desde - inicio);
}

LecturaEnBloques* de(SAFile h)
{
    return reinterpret_cast<LecturaEnBloques*>(h);
}

SAFile abrir(const char* nombre, const char* modo)
{
    if (std::strpbrk(modo, "wa+")) {
        errno = EACCES;
        return nullptr;
    }
    auto* f = new LecturaEnBloques;
    f->fichero.setFileName(QFile::decodeName(nombre));
    if (!f->fichero.open(QIODevice::ReadOnly | QIODevice::Unbuffered)) {
        errno = f->fichero.error() == QFileDevice::PermissionsError ? EACCES : ENOENT;
        delete f;
        return nullptr;
    }
    f->bloque.reset(new char[BLOQUE]);
    return reinterpret_cast<SAFile>(f);
}

SAOffset leer(void* p, SAOffset tam, SAOffset n, SAFile h)
{
    LecturaEnBloques* f = de(h);
    SAOffset hecho = 0;
    if (tam == 0) return 0;
    for (; hecho < n; ++hecho, f->pos += tam) {
        const char* v = f->ver(f->pos, tam);
        if (!v) break;
        std::memcpy(static_cast<char*>(p) + hecho * tam, v, tam);
    }
    return hecho;
}

SAOffset escribir(void*, SAOffset, SAOffset, SAFile)
{
    return 0;   // opened for reading only
}

SAOffset buscar(SAFile h, SAOffset desplazamiento, int desde)
{
    LecturaEnBloques* f = de(h);
    if (desde == SEEK_SET) {
        f->pos = desplazamiento;
    } else if (desde == SEEK_CUR) {
        f->pos += desplazamiento;
    } else {
        f->pos = SAOffset(f->fichero.size()) + desplazamiento;
    }
    return 0;
}

SAOffset posicion(SAFile h)
{
    return de(h)->pos;
}

int vaciar(SAFile)
{
    return 0;
}

int cerrar(SAFile h)
{
    LecturaEnBloques* f = de(h);
    delete f;
    return 0;
}

const SAHooks& ganchos()
{
    static const SAHooks g = [] {
        SAHooks h;
        SASetupDefaultHooks(&h);
        h.FOpen = abrir;
        h.FRead = leer;
        h.FWrite = escribir;
        h.FSeek = buscar;
        h.FTell = posicion;
        h.FFlush = vaciar;
        h.FClose = cerrar;
        return h;
    }();
    return g;
}

}  // namespace

int RegistrosDbf::columna(const QString& nombre) const
{
    for (int i = 0; i < columnas.size(); ++i)
        if (columnas[i].compare(nombre, Qt::CaseInsensitive) == 0) return i;
    return -1;
}

RegistrosDbf recorrer_registros(const QString& ruta_local, qint64 desde,
                                const std::function<bool(const RegistrosDbf&, const char*)>& cada)
{
    RegistrosDbf r;
    if (!QFileInfo::exists(ruta_local)) return r;
    errno = 0;
    SAHooks g = ganchos();
    DBFHandle h = DBFOpenLL(QFile::encodeName(ruta_local).constData(), "rb", &g);
    if (!h)
        throw Fallo(codigo_error::ERROR_DE_ARCHIVO,
                    QStringLiteral("No se puede leer %1: %2")
                        .arg(ruta_local, errno ? QString::fromLocal8Bit(std::strerror(errno))
                                               : QStringLiteral("no es un fichero dBASE")));
    const int campos = DBFGetFieldCount(h);
    r.inicio.resize(campos);
    r.ancho.resize(campos);
    for (int c = 0, pos = 1; c < campos; ++c) {
        char nombre[XBASE_FLDNAME_LEN_READ + 1] = {};
        int w = 0;
        DBFGetFieldInfo(h, c, nombre, &w, nullptr);
        r.columnas << QString::fromLatin1(nombre);
        r.tipos += QLatin1Char(DBFGetNativeFieldType(h, c));
        r.inicio[c] = pos;
        r.ancho[c] = w;
        pos += w;
    }
    const int total = DBFGetRecordCount(h);
    LecturaEnBloques* f = de(h->fp);
    const auto largo = SAOffset(h->nRecordLength);
    for (qint64 i = qMax<qint64>(0, desde); i < total; ++i) {
        const char* registro = f->ver(SAOffset(h->nHeaderLength) + SAOffset(i) * largo, largo);
        if (!registro) {
            DBFClose(h);
            throw Fallo(codigo_error::ERROR_DE_ARCHIVO,
                        QStringLiteral("No se puede leer el registro %1 de %2").arg(i + 1).arg(ruta_local));
        }
        if (registro[0] == '*') continue;   // deleted
        bool sigue;
        try {
            sigue = cada(r, registro);
        } catch (...) {
            DBFClose(h);
            throw;
        }
        if (!sigue) break;
    }
    DBFClose(h);
    return r;
}

QString texto_dbf(QByteArrayView campo)
{
    return windows_1252().decodificar(campo.data(), campo.size());
}

RegistrosDbf leer_registros(const QString& ruta_local, qint64 desde, const QStringList& solo)
{
    QVector<QStringList> filas;
    QVector<int> leidas;
    bool con_columnas = false;
    RegistrosDbf r = recorrer_registros(ruta_local, desde, [&](const RegistrosDbf& c, const char* registro) {
        if (!con_columnas) {
            con_columnas = true;
            for (int i = 0; i < c.columnas.size(); ++i)
                if (solo.isEmpty() || solo.contains(c.columnas[i], Qt::CaseInsensitive)) leidas << i;
        }
        QStringList fila(c.columnas.size());
        for (int i : std::as_const(leidas)) fila[i] = texto_dbf(c.campo(registro, i));
        filas << fila;
        return true;
    });
    r.filas = std::move(filas);
    return r;
}

double numero_dbf(QByteArrayView t)
{
    // [-]digits[.digits] with at most 15 digits is an exact integer over an
    // exact power of ten, and their quotient is rounded once, as strtod
    // rounds the text; anything else is read as before.
    static constexpr double POTENCIA[] = {1e0, 1e1, 1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                          1e8, 1e9, 1e10, 1e11, 1e12, 1e13, 1e14, 1e15};
    if (t.isEmpty()) return 0;
    qsizetype i = 0;
    const bool negativo = t[0] == '-';
    if (negativo) ++i;
    qint64 m = 0;
    int cifras = 0, decimales = 0;
    bool punto = false;
    for (; i < t.size(); ++i) {
        const char ch = t[i];
        if (ch >= '0' && ch <= '9') {
            m = m * 10 + (ch - '0');
            ++cifras;
            if (punto) ++decimales;
        } else if (ch == '.' && !punto) {
            punto = true;
        } else {
            break;
        }
    }
    if (i < t.size() || cifras == 0 || cifras > 15) return texto_dbf(t).toDouble();
    const double v = double(m) / POTENCIA[decimales];
    return negativo ? -v : v;
}

QDate fecha_dbf(QByteArrayView t)
{
    if (t.size() != 8) return {};
    int n[8];
    for (int i = 0; i < 8; ++i) {
        n[i] = t[i] - '0';
        if (n[i] < 0 || n[i] > 9) {
            // QDate::fromString with a format costs tens of microseconds a
            // call; this is for fields that are not all digits.
            const QString s = texto_dbf(t);
            return QDate(s.left(4).toInt(), s.mid(4, 2).toInt(), s.mid(6, 2).toInt());
        }
    }
    return QDate(n[0] * 1000 + n[1] * 100 + n[2] * 10 + n[3], n[4] * 10 + n[5], n[6] * 10 + n[7]);
}

const QStringList COLUMNAS_SUBCUENTA{"COD", "TITULO"};

void recorrer_lineas_diario(const QString& ruta_local, qint64 desde,
                            const std::function<bool(const ApunteLeido&)>& linea)
{
    int asien = -1, fecha = -1, subcta = -1, concepto = -1, documento = -1, auxiliar = -1, pta_debe = -1,
        pta_haber = -1, euro_debe = -1, euro_haber = -1;
    bool con_columnas = false;
    ApunteLeido l;
    char fecha_previa[8];
    bool con_fecha = false;
    recorrer_registros(ruta_local, desde, [&](const RegistrosDbf& r, const char* registro) {
        if (!con_columnas) {
            con_columnas = true;
            asien = r.columna(QStringLiteral("ASIEN"));
            fecha = r.columna(QStringLiteral("FECHA"));
            subcta = r.columna(QStringLiteral("SUBCTA"));
            concepto = r.columna(QStringLiteral("CONCEPTO"));
            documento = r.columna(QStringLiteral("DOCUMENTO"));
            auxiliar = r.columna(QStringLiteral("AUXILIAR"));
            pta_debe = r.columna(QStringLiteral("PTADEBE"));
            pta_haber = r.columna(QStringLiteral("PTAHABER"));
            euro_debe = r.columna(QStringLiteral("EURODEBE"));
            euro_haber = r.columna(QStringLiteral("EUROHABER"));
        }
        l.asien = qint64(std::llround(numero_dbf(r.campo(registro, asien))));
        // A journal's lines come by date: a date is parsed when it changes.
        const QByteArrayView f = r.campo(registro, fecha);
        if (f.size() != 8) {
            l.fecha = QDate();
            con_fecha = false;
        } else if (!con_fecha || std::memcmp(f.data(), fecha_previa, 8) != 0) {
            l.fecha = fecha_dbf(f);
            std::memcpy(fecha_previa, f.data(), 8);
            con_fecha = true;
        }
        l.subcta = r.campo(registro, subcta);
        l.concepto = r.campo(registro, concepto);
        l.documento = r.campo(registro, documento);
        l.auxiliar = r.campo(registro, auxiliar);
        l.pta_debe = numero_dbf(r.campo(registro, pta_debe));
        l.pta_haber = numero_dbf(r.campo(registro, pta_haber));
        l.euro_debe = numero_dbf(r.campo(registro, euro_debe));
        l.euro_haber = numero_dbf(r.campo(registro, euro_haber));
        return linea(l);
    });
}

QVector<SubcuentaLeida> filas_subcuentas(const RegistrosDbf& r)
{
    const int cod = r.columna(QStringLiteral("COD")), titulo = r.columna(QStringLiteral("TITULO"));
    QVector<SubcuentaLeida> filas;
    filas.reserve(r.filas.size());
    for (const QStringList& f : r.filas)
        filas << SubcuentaLeida{cod < 0 ? QString() : f[cod], titulo < 0 ? QString() : f[titulo]};
    return filas;
}
