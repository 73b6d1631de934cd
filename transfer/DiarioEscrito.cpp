// Reading back Xdiario and XSubCta with shapelib's own reader, not the
// engine that wrote them.
#include "transfer/DiarioEscrito.h"

#include "platform/Cp1252.h"
#include "platform/Fallo.h"

#include <QFile>
#include <QFileInfo>
#include <shapefil.h>
#include <cerrno>
#include <cstring>

int RegistrosDbf::columna(const QString& nombre) const
{
    for (int i = 0; i < columnas.size(); ++i)
        if (columnas[i].compare(nombre, Qt::CaseInsensitive) == 0) return i;
    return -1;
}

RegistrosDbf recorrer_registros(const QString& ruta_local, qint64 desde, const QStringList& solo,
                                const std::function<void(const RegistrosDbf&, const QStringList&)>& cada)
{
    RegistrosDbf r;
    if (!QFileInfo::exists(ruta_local)) return r;
    errno = 0;
    DBFHandle h = DBFOpen(QFile::encodeName(ruta_local).constData(), "rb");
    if (!h)
        throw Fallo(codigo_error::ERROR_DE_ARCHIVO,
                    QStringLiteral("No se puede leer %1: %2")
                        .arg(ruta_local, errno ? QString::fromLocal8Bit(std::strerror(errno))
                                               : QStringLiteral("no es un fichero dBASE")));
    const PaginaUnByte& pagina = windows_1252();
    const int campos = DBFGetFieldCount(h);
    // Each field's place in the raw record, after its deletion flag.
    QVector<int> inicio(campos), ancho(campos);
    for (int c = 0, pos = 1; c < campos; ++c) {
        char nombre[XBASE_FLDNAME_LEN_READ + 1] = {};
        int w = 0;
        DBFGetFieldInfo(h, c, nombre, &w, nullptr);
        r.columnas << QString::fromLatin1(nombre);
        r.tipos += QLatin1Char(DBFGetNativeFieldType(h, c));
        inicio[c] = pos;
        ancho[c] = w;
        pos += w;
    }
    QVector<int> leidas;
    for (int c = 0; c < campos; ++c)
        if (solo.isEmpty() || solo.contains(r.columnas[c], Qt::CaseInsensitive)) leidas << c;
    const int total = DBFGetRecordCount(h);
    QStringList fila(campos);
    for (qint64 i = qMax<qint64>(0, desde); i < total; ++i) {
        const char* registro = DBFReadTuple(h, int(i));
        if (!registro) {
            DBFClose(h);
            throw Fallo(codigo_error::ERROR_DE_ARCHIVO,
                        QStringLiteral("No se puede leer el registro %1 de %2").arg(i + 1).arg(ruta_local));
        }
        if (registro[0] == '*') continue;   // deleted
        for (int c : std::as_const(leidas)) {
            const char* v = registro + inicio[c];
            int a = 0, b = ancho[c];
            while (a < b && (v[a] == ' ' || v[a] == '\0')) ++a;
            while (b > a && (v[b - 1] == ' ' || v[b - 1] == '\0')) --b;
            fila[c] = pagina.decodificar(v + a, b - a);
        }
        try {
            cada(r, fila);
        } catch (...) {
            DBFClose(h);
            throw;
        }
    }
    DBFClose(h);
    return r;
}

RegistrosDbf leer_registros(const QString& ruta_local, qint64 desde, const QStringList& solo)
{
    QVector<QStringList> filas;
    RegistrosDbf r = recorrer_registros(ruta_local, desde, solo,
                                        [&](const RegistrosDbf&, const QStringList& f) { filas << f; });
    r.filas = std::move(filas);
    return r;
}

namespace {

double numero(const QStringList& fila, int c)
{
    return c < 0 ? 0 : fila[c].toDouble();
}

QString texto(const QStringList& fila, int c)
{
    return c < 0 ? QString() : fila[c];
}

// A dBASE date, aaaammdd; parsed by hand, as QDate::fromString with a
// format costs tens of microseconds a call.
QDate fecha_dbf(const QString& t)
{
    if (t.size() != 8) return {};
    return QDate(t.left(4).toInt(), t.mid(4, 2).toInt(), t.mid(6, 2).toInt());
}

}  // namespace

const QStringList COLUMNAS_LINEA{"ASIEN",    "FECHA",    "SUBCTA",  "CONCEPTO", "DOCUMENTO",
                                 "AUXILIAR", "PTADEBE",  "PTAHABER", "EURODEBE", "EUROHABER"};
const QStringList COLUMNAS_SUBCUENTA{"COD", "TITULO"};

void recorrer_lineas_diario(const QString& ruta_local, qint64 desde,
                            const std::function<void(const ApunteLeido&)>& linea)
{
    int asien = -1, fecha = -1, subcta = -1, concepto = -1, documento = -1, auxiliar = -1, pta_debe = -1,
        pta_haber = -1, euro_debe = -1, euro_haber = -1;
    bool con_columnas = false;
    recorrer_registros(ruta_local, desde, COLUMNAS_LINEA, [&](const RegistrosDbf& r, const QStringList& f) {
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
        ApunteLeido l;
        l.asien = numero(f, asien);
        l.fecha = fecha_dbf(texto(f, fecha));
        l.subcta = texto(f, subcta);
        l.concepto = texto(f, concepto);
        l.documento = texto(f, documento);
        l.auxiliar = texto(f, auxiliar);
        l.pta_debe = numero(f, pta_debe);
        l.pta_haber = numero(f, pta_haber);
        l.euro_debe = numero(f, euro_debe);
        l.euro_haber = numero(f, euro_haber);
        linea(l);
    });
}

QVector<SubcuentaLeida> filas_subcuentas(const RegistrosDbf& r)
{
    const int cod = r.columna(QStringLiteral("COD")), titulo = r.columna(QStringLiteral("TITULO"));
    QVector<SubcuentaLeida> filas;
    filas.reserve(r.filas.size());
    for (const QStringList& f : r.filas)
        filas << SubcuentaLeida{texto(f, cod), texto(f, titulo)};
    return filas;
}
