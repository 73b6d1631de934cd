#include "platform/dbase/DbaseLectura.h"

#include "platform/dbase/DbaseGanchos.h"

#include <QFile>

namespace dbase {

namespace {
constexpr qint64 BLOQUE = 256 * 1024;  // above the longest dBASE record, 65535
}  // namespace

struct LecturaDbf::Estado {
    DBFHandle h = nullptr;
    QVector<Campo> campos;
    std::unique_ptr<char[]> bloque{new char[BLOQUE]};
    qint64 inicio = 0, lleno = 0;
    ~Estado()
    {
        if (h) DBFClose(h);
    }
};

LecturaDbf::LecturaDbf(const QString& ruta_local) : e_(std::make_unique<Estado>())
{
    QString motivo;
    Fichero prueba;
    if (!prueba.abrir(ruta_local, false, &motivo))
        throw Fallo(codigo_error::ERROR_DE_ARCHIVO, QStringLiteral("No se puede leer %1: %2").arg(ruta_local, motivo));
    prueba.cerrar();
    e_->h = abrir_dbf(QFile::encodeName(ruta_local), "rb");
    if (!e_->h)
        throw Fallo(codigo_error::ERROR_DE_ARCHIVO,
                    QStringLiteral("No se puede leer %1: no es un fichero dBASE").arg(ruta_local));
    const int n = DBFGetFieldCount(e_->h);
    for (int c = 0; c < n; ++c) {
        char nombre[XBASE_FLDNAME_LEN_READ + 1] = {};
        int ancho = 0;
        DBFGetFieldInfo(e_->h, c, nombre, &ancho, nullptr);
        e_->campos.append(Campo{QString::fromLatin1(nombre), DBFGetNativeFieldType(e_->h, c), ancho});
    }
}

LecturaDbf::~LecturaDbf() = default;

const QVector<LecturaDbf::Campo>& LecturaDbf::campos() const
{
    return e_->campos;
}

qint64 LecturaDbf::registros() const
{
    return DBFGetRecordCount(e_->h);
}

const char* LecturaDbf::registro(qint64 i)
{
    const qint64 largo = e_->h->nRecordLength;
    const qint64 desde = qint64(e_->h->nHeaderLength) + i * largo;
    if (desde < e_->inicio || desde + largo > e_->inicio + e_->lleno) {
        e_->inicio = desde;
        e_->lleno = archivo_de(e_->h).fichero.leer(desde, e_->bloque.get(), BLOQUE);
        if (largo > e_->lleno) return nullptr;
    }
    return e_->bloque.get() + (desde - e_->inicio);
}

}  // namespace dbase
