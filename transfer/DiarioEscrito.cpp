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

RegistrosDbf leer_registros(const QString& ruta_local, qint64 desde, const QStringList& solo)
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
    for (int c = 0; c < campos; ++c) {
        char nombre[XBASE_FLDNAME_LEN_READ + 1] = {};
        const char tipo = DBFGetNativeFieldType(h, c);
        DBFGetFieldInfo(h, c, nombre, nullptr, nullptr);
        r.columnas << QString::fromLatin1(nombre);
        r.tipos += QLatin1Char(tipo);
    }
    QVector<int> leidas;
    for (int c = 0; c < campos; ++c)
        if (solo.isEmpty() || solo.contains(r.columnas[c], Qt::CaseInsensitive)) leidas << c;
    const int total = DBFGetRecordCount(h);
    for (qint64 i = qMax<qint64>(0, desde); i < total; ++i) {
        if (DBFIsRecordDeleted(h, int(i))) continue;
        QStringList fila(campos);
        for (int c : std::as_const(leidas)) {
            const char* v = DBFReadStringAttribute(h, int(i), c);
            if (v) fila[c] = pagina.decodificar(v, qsizetype(std::strlen(v))).trimmed();
        }
        r.filas << fila;
    }
    DBFClose(h);
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

}  // namespace

const QStringList COLUMNAS_LINEA{"ASIEN",    "FECHA",    "SUBCTA",  "CONCEPTO", "DOCUMENTO",
                                 "AUXILIAR", "PTADEBE",  "PTAHABER", "EURODEBE", "EUROHABER"};
const QStringList COLUMNAS_SUBCUENTA{"COD", "TITULO"};

QVector<ApunteLeido> lineas_diario(const RegistrosDbf& r)
{
    const int asien = r.columna(QStringLiteral("ASIEN")), fecha = r.columna(QStringLiteral("FECHA")),
              subcta = r.columna(QStringLiteral("SUBCTA")), concepto = r.columna(QStringLiteral("CONCEPTO")),
              documento = r.columna(QStringLiteral("DOCUMENTO")), auxiliar = r.columna(QStringLiteral("AUXILIAR")),
              pta_debe = r.columna(QStringLiteral("PTADEBE")), pta_haber = r.columna(QStringLiteral("PTAHABER")),
              euro_debe = r.columna(QStringLiteral("EURODEBE")), euro_haber = r.columna(QStringLiteral("EUROHABER"));
    QVector<ApunteLeido> lineas;
    lineas.reserve(r.filas.size());
    for (const QStringList& f : r.filas) {
        ApunteLeido l;
        l.asien = numero(f, asien);
        l.fecha = QDate::fromString(texto(f, fecha), QStringLiteral("yyyyMMdd"));
        l.subcta = texto(f, subcta);
        l.concepto = texto(f, concepto);
        l.documento = texto(f, documento);
        l.auxiliar = texto(f, auxiliar);
        l.pta_debe = numero(f, pta_debe);
        l.pta_haber = numero(f, pta_haber);
        l.euro_debe = numero(f, euro_debe);
        l.euro_haber = numero(f, euro_haber);
        lineas << l;
    }
    return lineas;
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
