#include "platform/dbase/DbaseBackend.h"

#include "platform/dbase/DbaseEscritura.h"
#include "platform/dbase/DbaseSentencias.h"
#include "platform/dbase/DbaseTabla.h"
#include "platform/sistema/Fallo.h"
#include "platform/sistema/Fichero.h"
#include "platform/valores/TextoSql.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QVarLengthArray>

#include <cstring>

using namespace codigo_error;
using namespace dbase;

namespace {

[[noreturn]] void columna_inexistente(const QString& columna, const QString& tabla, const QString& sql)
{
    throw Fallo(PARAMETRO_SIN_VALOR,
                QStringLiteral("La tabla %1 no tiene la columna %2 (instrucción \"%3\")").arg(tabla, columna, sql));
}

class ConsultaDbase : public Consulta {
public:
    ConsultaDbase(std::shared_ptr<DbaseBackend::Carpeta> carpeta, QString sql, Sentencia s)
        : carpeta_(std::move(carpeta)), sql_(std::move(sql)), s_(std::move(s))
    {
    }

    QString tabla() const override { return s_.forma == Sentencia::Maximo ? QString() : s_.tabla; }

    Resultado leer() override
    {
        Tabla& t = carpeta_->tabla(s_.tabla);
        Resultado r;
        switch (s_.forma) {
        case Sentencia::Todo:
            r.columnas = t.columnas();
            for (int i = 0; i < t.registros(); ++i)
                if (const char* reg = t.registro(i)) {
                    r.filas.append(t.fila(reg));
                    r.claves.append(i);
                }
            break;
        case Sentencia::Donde: {
            r.columnas = t.columnas();
            const int c = t.campo(s_.columna);
            if (c < 0) columna_inexistente(s_.columna, s_.tabla, sql_);
            const auto k = clave_buscada(s_.tabla, t.campos[c], s_.valor);
            if (!k) break;
            // Each record found is checked again, in case it was rewritten
            // in place by someone else unnoticed.
            const QVector<int> encontrados = t.indice(c).value(*k);
            for (int i : encontrados)
                if (const char* reg = t.registro(i); reg && clave_de(t.campos[c], t.valor(reg, c)) == k) {
                    r.filas.append(t.fila(reg));
                    r.claves.append(i);
                }
            break;
        }
        case Sentencia::Maximo: {
            const int c = t.campo(s_.columna);
            if (c < 0) columna_inexistente(s_.columna, s_.tabla, sql_);
            const Campo& campo = t.campos[c];
            r.columnas.append(Columna{s_.alias, tipo_de(campo.tipo), campo.ancho, campo.decimales});
            r.filas.append(QVariantList{t.maximo(c)});
            break;
        }
        }
        return r;
    }

private:
    std::shared_ptr<DbaseBackend::Carpeta> carpeta_;
    QString sql_;
    Sentencia s_;
};

// Values checked and formatted for the named columns, before anything is
// written; empty entries are the columns not named.
QVector<QByteArray> preparar(const Tabla& t, const QString& tabla, const QStringList& columnas,
                             const QVariantList& valores)
{
    if (columnas.size() != valores.size())
        throw Fallo(FALLO_GENERAL, QStringLiteral("Se dieron %1 columnas y %2 valores para la tabla %3")
                                       .arg(columnas.size())
                                       .arg(valores.size())
                                       .arg(tabla));
    QVector<QByteArray> bytes(t.campos.size());
    for (int i = 0; i < columnas.size(); ++i) {
        const int c = t.campo(columnas[i]);
        if (c < 0)
            throw Fallo(ELEMENTO_NO_ENCONTRADO,
                        QStringLiteral("No se encuentra el elemento %1 en la tabla %2").arg(columnas[i], tabla));
        bytes[c] = formatear(tabla, t.campos[c], valores[i], *t.pagina);
    }
    return bytes;
}
}  // namespace

std::shared_ptr<DbaseBackend> abrir_dbase(const QString& carpeta_local)
{
    return std::make_shared<DbaseBackend>(carpeta_local);
}

DbaseBackend::DbaseBackend(const QString& carpeta_local) : carpeta_(std::make_shared<Carpeta>())
{
    if (!QFileInfo(carpeta_local).isDir())
        throw Fallo(FALLO_GENERAL,
                    QStringLiteral("No se encuentra la carpeta de archivos dBASE \"%1\"").arg(carpeta_local));
    carpeta_->ruta = QDir(carpeta_local).absolutePath();
}

DbaseBackend::~DbaseBackend() = default;

void DbaseBackend::ejecutar(const QString& sql, const QVariantList&)
{
    no_admitida(sql);
}

std::unique_ptr<Consulta> DbaseBackend::abrir(const QString& sql, const QVariantList& parametros, bool)
{
    Sentencia s = analizar(sql, parametros);
    Tabla& t = carpeta_->tabla(s.tabla);
    if (s.forma != Sentencia::Todo && t.campo(s.columna) < 0) columna_inexistente(s.columna, s.tabla, sql);
    return std::make_unique<ConsultaDbase>(carpeta_, sql, std::move(s));
}

QVector<Columna> DbaseBackend::columnas(const QString& tabla)
{
    return carpeta_->tabla(tabla).columnas();
}

FilaDbf& DbaseBackend::escritor(Tabla& t, const QString& tabla)
{
    t.exigir_escritura(tabla);
    if (!t.directa) t.directa = std::make_unique<FilaDbf>(t);
    t.directa->preparar(tabla, carpeta_->en_grupo, &clave_insertada_);
    return *t.directa;
}

void DbaseBackend::insertar(const QString& tabla, const QStringList& columnas, const QVariantList& valores)
{
    Tabla& t = carpeta_->tabla(tabla);
    FilaDbf& fila = escritor(t, tabla);
    if (columnas.size() != valores.size())
        throw Fallo(FALLO_GENERAL, QStringLiteral("Se dieron %1 columnas y %2 valores para la tabla %3")
                                       .arg(columnas.size())
                                       .arg(valores.size())
                                       .arg(tabla));
    QVarLengthArray<ValorDirecto, 64> directos;
    // Columns usually come in the file's order: each is looked for first
    // just after the one before.
    int siguiente = 0;
    for (int i = 0; i < columnas.size(); ++i) {
        const int c = siguiente < t.campos.size() && mismo_nombre(t.campos[siguiente].nombre, columnas[i])
                          ? siguiente
                          : t.campo(columnas[i]);
        if (c < 0) {
            // The values before it fail first, if one does not fit.
            fila.poner(directos.constData(), int(directos.size()));
            throw Fallo(ELEMENTO_NO_ENCONTRADO,
                        QStringLiteral("No se encuentra el elemento %1 en la tabla %2").arg(columnas[i], tabla));
        }
        directos.emplace_back().tomar(c, valores[i]);
        siguiente = c + 1;
    }
    fila.anadir(directos.constData(), int(directos.size()));
}

void DbaseBackend::insertar_fila(const QString& tabla, const QVector<Columna>& columnas, const QVariantList& valores,
                                 const QVector<bool>& asignada)
{
    Tabla& t = carpeta_->tabla(tabla);
    // Columns given by an earlier opening of a file since replaced by
    // another program are named, not trusted by place.
    if (!columnas.isSharedWith(t.columnas_)) {
        Backend::insertar_fila(tabla, columnas, valores, asignada);
        return;
    }
    FilaDbf& fila = escritor(t, tabla);
    QVarLengthArray<ValorDirecto, 64> directos;
    for (int c = 0; c < columnas.size(); ++c)
        if (asignada[c]) directos.emplace_back().tomar(c, valores[c]);
    fila.anadir(directos.constData(), int(directos.size()));
}

FilaDirecta* DbaseBackend::fila_directa(const QString& tabla, const QVector<Columna>& columnas)
{
    Tabla& t = carpeta_->tabla(tabla);
    if (!columnas.isSharedWith(t.columnas_)) return nullptr;
    return &escritor(t, tabla);
}

void DbaseBackend::actualizar(const QString& tabla, const Resultado& leido, int fila, const QStringList& columnas,
                              const QVariantList& valores)
{
    Tabla& t = carpeta_->tabla(tabla);
    t.exigir_escritura(tabla);
    const QString cambiada =
        QStringLiteral("La fila de la tabla %1 ha cambiado desde que se leyó o ya no existe").arg(tabla);
    if (fila < 0 || fila >= leido.claves.size() || fila >= leido.filas.size())
        throw Fallo(FILA_NO_LOCALIZADA, cambiada);
    const qint64 r = leido.claves[fila];
    if (r < 0 || r >= t.registros()) throw Fallo(FILA_NO_LOCALIZADA, cambiada);
    const char* reg = t.registro(int(r));
    if (!reg) throw Fallo(FILA_NO_LOCALIZADA, cambiada);
    for (int j = 0; j < leido.columnas.size() && j < leido.filas[fila].size(); ++j) {
        const int c = t.campo(leido.columnas[j].nombre);
        if (c < 0) throw Fallo(FILA_NO_LOCALIZADA, cambiada);
        const Campo& campo = t.campos[c];
        const QVariant& antes = leido.filas[fila][j];
        if (iguales(t.valor(reg, c), antes)) continue;
        bool mismos_bytes = false;
        try {
            mismos_bytes =
                formatear(tabla, campo, antes, *t.pagina) == QByteArray(reg + campo.desplazamiento, campo.ancho);
        } catch (const Fallo&) {
        }
        if (!mismos_bytes) throw Fallo(FILA_NO_LOCALIZADA, cambiada);
    }
    QVector<QByteArray> bytes = preparar(t, tabla, columnas, valores);
    if (r >= t.h->nRecords) {
        // A record held back in the group: changed where it waits.
        char* en_espera = t.espera.data() + (r - t.h->nRecords) * t.h->nRecordLength;
        for (int c = 0; c < bytes.size(); ++c)
            if (!bytes[c].isNull())
                std::memcpy(en_espera + t.campos[c].desplazamiento, bytes[c].constData(), size_t(t.campos[c].ancho));
        t.indices.clear();
        t.maximos.clear();
        return;
    }
    bool ok = true;
    for (int c = 0; c < bytes.size() && ok; ++c)
        if (!bytes[c].isNull()) ok = DBFWriteAttributeDirectly(t.h, int(r), c, bytes[c].data());
    if (!ok) {
        t.abrir();
        throw Fallo(FALLO_GENERAL,
                    con_error_shp(
                        QStringLiteral("No se pudo escribir el registro %1 de la tabla %2").arg(r + 1).arg(tabla)));
    }
    t.confirmar(tabla);
    t.indices.clear();
    t.maximos.clear();
}

qint64 DbaseBackend::registros(const QString& tabla)
{
    return carpeta_->tabla(tabla).registros();
}

void DbaseBackend::recortar(const QString& tabla, qint64 registros)
{
    Tabla& t = carpeta_->tabla(tabla);
    t.exigir_escritura(tabla);
    const qint64 tiene = t.registros();
    if (registros == tiene) return;
    if (registros < 0 || registros > tiene)
        throw Fallo(FALLO_GENERAL, QStringLiteral("No se puede dejar la tabla %1, que tiene %2 registros, en %3")
                                       .arg(tabla)
                                       .arg(tiene)
                                       .arg(registros));
    if (registros >= t.h->nRecords) {
        t.recortar_espera(registros);
        return;
    }
    try {
        recortar_registros(t.h, registros, tabla);
    } catch (const Fallo&) {
        t.abrir();
        throw;
    }
    t.abrir();
}

void DbaseBackend::sincronizar(const QString& tabla)
{
    sincronizar_dbase(carpeta_->tabla(tabla).h);
}

QString DbaseBackend::huella(const QString& tabla, qint64 registros)
{
    Tabla& t = carpeta_->tabla(tabla);
    if (registros > t.h->nRecords && registros <= t.registros())
        return QString::fromLatin1(
            QCryptographicHash::hash(t.crudos(registros - 1, 1), QCryptographicHash::Sha1).toHex());
    return huella_registro(t.h, registros);
}

void DbaseBackend::agrupar(bool si)
{
    carpeta_->agrupar(si);
}

void DbaseBackend::volcar()
{
    if (const std::exception_ptr fallo = carpeta_->volcar()) std::rethrow_exception(fallo);
}

void DbaseBackend::preparar_volcado()
{
    carpeta_->preparar_volcado();
}

QStringList DbaseBackend::comprobar(const QString& tabla)
{
    Tabla& t = carpeta_->tabla(tabla);
    if (!t.danada.isEmpty()) throw Fallo(FALLO_GENERAL, t.danada);
    t.quitar_cola_pendiente();
    QStringList r;
    r.swap(t.reparado);
    return r;
}

MotorDbase::Retenidos DbaseBackend::retenidos(const QString& tabla)
{
    Tabla& t = carpeta_->tabla(tabla);
    Retenidos r;
    r.base = t.h->nRecords;
    r.largo = t.h->nRecordLength;
    r.registros = t.en_espera;
    r.bytes = t.espera;
    return r;
}

QByteArray DbaseBackend::crudos(const QString& tabla, qint64 desde, qint64 n)
{
    Tabla& t = carpeta_->tabla(tabla);
    if (desde < 0 || n < 0 || desde + n > t.registros())
        throw Fallo(
            FALLO_GENERAL,
            QStringLiteral("La tabla %1 no tiene los registros %2 a %3").arg(tabla).arg(desde + 1).arg(desde + n));
    return t.crudos(desde, n);
}

QByteArray DbaseBackend::cola(const QString& tabla)
{
    Tabla& t = carpeta_->tabla(tabla);
    const qint64 fin = qint64(t.h->nHeaderLength) + qint64(t.h->nRecords) * t.h->nRecordLength;
    Fichero& f = archivo_de(t.h).fichero;
    const qint64 tamano = f.tamano();
    return tamano > fin ? f.leer(fin, tamano - fin) : QByteArray();
}

void DbaseBackend::reponer(const QString& tabla, const QByteArray& registros)
{
    Tabla& t = carpeta_->tabla(tabla);
    if (!t.escritura) t.exigir_escritura(tabla);
    const qint64 largo = t.h->nRecordLength;
    if (largo <= 0 || registros.size() % largo != 0)
        throw Fallo(FALLO_GENERAL, QStringLiteral("Los registros que se iban a añadir a la tabla %1 no tienen su "
                                                  "longitud (%2 bytes)")
                                       .arg(tabla)
                                       .arg(largo));
    // What is past the counted records is no record: it goes, then ours
    // are appended as any append is, and put on disk.
    try {
        quitar_cola(t.h);
        if (!registros.isEmpty())
            anadir_registros(t.h, registros + QByteArray("\x1A", 1), int(registros.size() / largo), tabla);
        sincronizar_dbase(t.h);
    } catch (const Fallo&) {
        t.abrir();
        throw;
    }
    t.abrir();
}

QString DbaseBackend::identidad(const QString& tabla)
{
    const Huella h = huella_de(carpeta_->tabla(tabla).ruta);
    return QStringLiteral("%1/%2.%3/%4/%5")
        .arg(h.tamano)
        .arg(h.segundos)
        .arg(h.nanosegundos)
        .arg(h.inodo)
        .arg(h.dispositivo);
}
