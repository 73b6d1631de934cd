#include "platform/dbase/DbaseTabla.h"

#include "platform/dbase/DbaseCodigos.h"
#include "platform/dbase/DbaseEscritura.h"
#include "platform/sistema/Fallo.h"
#include "platform/valores/TextoSql.h"

#include <QDate>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <exception>

using namespace codigo_error;

namespace dbase {

void Tabla::soltar()
{
    if (!h) return;
    h->bNoHeader = 0;
    h->bUpdated = 0;
    h->bCurrentRecordModified = 0;
    DBFClose(h);
    h = nullptr;
}

void Tabla::abrir()
{
    soltar();
    indices.clear();
    maximos.clear();
    espera.clear();
    en_espera = 0;
    espera_escrita = false;
    directa.reset();
    campos.clear();
    columnas_.clear();
    const QByteArray r = QFile::encodeName(ruta);
    olvidar_error_shp();
    // Taken before opening: a change made meanwhile is seen next time.
    huella = huella_de(ruta);
    h = abrir_dbf(r, "rb+");
    escritura = h != nullptr;
    if (!h) h = abrir_dbf(r, "rb");
    if (!h)
        throw Fallo(FALLO_GENERAL, con_error_shp(QStringLiteral("No se puede abrir la tabla dBASE \"%1\"").arg(ruta)));
    pagina = &pagina_de(h->iLanguageDriver);
    const int n = DBFGetFieldCount(h);
    campos.reserve(n);
    for (int i = 0; i < n; ++i) {
        char nombre[XBASE_FLDNAME_LEN_READ + 1] = {};
        int ancho = 0, decimales = 0;
        DBFGetFieldInfo(h, i, nombre, &ancho, &decimales);
        Campo c;
        c.nombre = QString::fromLatin1(nombre);
        c.tipo = DBFGetNativeFieldType(h, i);
        c.ancho = ancho;
        c.decimales = decimales;
        c.desplazamiento = h->panFieldOffset[i];
        campos.append(c);
        columnas_.append(Columna{c.nombre, tipo_de(c.tipo), c.ancho, c.decimales});
    }
    revisada = false;
    huella_atrasada = false;
    comprobar();
}

void Tabla::comprobar()
{
    danada.clear();
    cola = 0;
    const EstadoTamano e = comprobar_tamano(h);
    if (e.forma == EstadoTamano::Cola && escritura) {
        // What an append or a cut that stopped half way left past the
        // counted records: no reader sees it; taken off before we write.
        cola = e.tamano - e.esperado;
    } else if (e.forma != EstadoTamano::Sano) {
        danada = QStringLiteral("El fichero %1 está dañado: su cabecera dice que tiene %2 registros y su tamaño "
                                "(%3 bytes) no corresponde. El enlace no escribirá en él. Si ContaPlus ya recogió "
                                "sus asientos, bórrelo y vuelva a abrir la ventana de traspaso, que lo creará de "
                                "nuevo desde la plantilla; si no, restaure la copia de seguridad de ese fichero.")
                     .arg(QDir::toNativeSeparators(ruta))
                     .arg(h->nRecords)
                     .arg(e.tamano);
    }
}

void Tabla::quitar_cola_pendiente()
{
    if (cola <= 0) return;
    quitar_cola(h);
    huella = huella_de(ruta);
    reparado << QStringLiteral("Reparado: se han quitado de %1 %2 bytes que un traspaso interrumpido dejó "
                               "a medio escribir después del último registro.")
                    .arg(QDir::toNativeSeparators(ruta))
                    .arg(cola - 1);
    cola = 0;
}

int Tabla::campo(const QString& nombre) const
{
    for (int i = 0; i < campos.size(); ++i)
        if (mismo_nombre(campos[i].nombre, nombre)) return i;
    return -1;
}

const char* Tabla::registro(int i) const
{
    if (i >= h->nRecords && i < registros()) {
        const char* r = espera.constData() + qint64(i - h->nRecords) * h->nRecordLength;
        return r[0] == '*' ? nullptr : r;
    }
    olvidar_error_shp();
    const char* r = DBFReadTuple(h, i);
    if (!r)
        throw Fallo(FALLO_GENERAL,
                    con_error_shp(QStringLiteral("No se puede leer el registro %1 de \"%2\"").arg(i + 1).arg(ruta)));
    return r[0] == '*' ? nullptr : r;
}

QByteArray Tabla::crudos(qint64 desde, qint64 n) const
{
    const qint64 largo = h->nRecordLength;
    const qint64 en_fichero = h->nRecords;
    QByteArray r;
    if (desde < en_fichero) {
        const qint64 hasta = qMin(desde + n, en_fichero);
        r = archivo_de(h).fichero.leer(qint64(h->nHeaderLength) + desde * largo, (hasta - desde) * largo);
    }
    const qint64 desde_espera = qMax<qint64>(desde, en_fichero) - en_fichero;
    const qint64 hasta_espera = qMin<qint64>(desde + n, registros()) - en_fichero;
    if (hasta_espera > desde_espera)
        r.append(espera.constData() + desde_espera * largo, (hasta_espera - desde_espera) * largo);
    return r;
}

QVariantList Tabla::fila(const char* reg) const
{
    QVariantList f;
    f.reserve(campos.size());
    for (int c = 0; c < campos.size(); ++c) f.append(valor(reg, c));
    return f;
}

const QHash<QString, QVector<int>>& Tabla::indice(int c)
{
    auto it = indices.find(c);
    if (it != indices.end()) return *it;
    QHash<QString, QVector<int>> idx;
    for (int i = 0; i < registros(); ++i)
        if (const char* reg = registro(i)) {
            if (const auto k = clave_de(campos[c], valor(reg, c))) idx[*k].append(i);
        }
    return *indices.insert(c, idx);
}

QVariant Tabla::maximo(int c)
{
    auto it = maximos.find(c);
    if (it != maximos.end()) return *it;
    QVariant m;
    for (int i = 0; i < registros(); ++i)
        if (const char* reg = registro(i)) {
            const QVariant v = valor(reg, c);
            if (mayor(v, m)) m = v;
        }
    maximos.insert(c, m);
    return m;
}

void Tabla::anotar(int i, const char* reg)
{
    if (reg[0] == '*') return;
    for (auto it = indices.begin(); it != indices.end(); ++it) {
        if (const auto k = clave_de(campos[it.key()], valor(reg, it.key()))) (*it)[*k].append(i);
    }
    for (auto it = maximos.begin(); it != maximos.end(); ++it) {
        const QVariant v = valor(reg, it.key());
        if (mayor(v, *it)) *it = v;
    }
}

qint64 Tabla::anadir_nuevo(const QByteArray& registro, const QString& nombre, bool en_grupo)
{
    const int n = registros();
    if (en_grupo) {
        espera.append(registro.constData(), registro.size() - 1);
        ++en_espera;
        nombre_espera = nombre;
    } else {
        anadir_registro(h, registro, nombre);
        dejada(false);
    }
    anotar(n, registro.constData());
    return n;
}

namespace {

[[noreturn]] void cambiado_por_otro(const QString& ruta)
{
    throw Fallo(FALLO_GENERAL, QStringLiteral("Otro programa ha cambiado %1 mientras el traspaso lo escribía")
                                   .arg(QDir::toNativeSeparators(ruta)));
}

}  // namespace

void Tabla::preparar_volcado()
{
    if (en_espera == 0 || espera_escrita) return;
    // Another program that wrote since our last look would have its records
    // overwritten by ours.
    if (huella_de(ruta) != huella) cambiado_por_otro(ruta);
    ArchivoDbase& a = archivo_de(h);
    const qint64 antes = a.tamano >= 0 ? a.tamano : a.fichero.tamano();
    QByteArray datos = espera;
    datos.append('\x1A');
    // The end mark stays where it was, over the first record's deletion
    // flag: no reader, by the count or by the end mark, sees these yet.
    datos[0] = '\x1A';
    escribir_sin_contar(h, datos, nombre_espera);
    sincronizar_dbase(h);
    espera_escrita = true;
    antes_espera = antes;
    huella = huella_de(ruta);
}

void Tabla::volcar()
{
    if (en_espera == 0) return;
    const int n = en_espera;
    auto soltar_espera = [&] {
        espera.resize(0);
        en_espera = 0;
        espera_escrita = false;
    };
    try {
        if (huella_de(ruta) != huella) cambiado_por_otro(ruta);
        if (espera_escrita) {
            contar(h, n, antes_espera, nombre_espera, espera.constData());
        } else {
            espera.append('\x1A');
            anadir_registros(h, espera, n, nombre_espera);
        }
    } catch (...) {
        soltar_espera();
        // The indexes and maxima took in records that are not there.
        indices.clear();
        maximos.clear();
        throw;
    }
    soltar_espera();
    dejada(false);
}

void Tabla::recortar_espera(qint64 registros_)
{
    const qint64 quedan = qMax<qint64>(0, registros_ - h->nRecords);
    if (quedan >= en_espera) return;
    en_espera = int(quedan);
    espera.resize(quedan * h->nRecordLength);
    // What was written past the count is no longer what waits: taken off.
    if (espera_escrita) {
        espera_escrita = false;
        quitar_cola(h);
        huella = huella_de(ruta);
    }
    // They took in the records taken off.
    indices.clear();
    maximos.clear();
}

void Tabla::dejada(bool en_grupo)
{
    if (en_grupo) {
        huella_atrasada = true;
        return;
    }
    huella = huella_de(ruta);
    huella_atrasada = false;
}

void Tabla::exigir_escritura(const QString& nombre)
{
    if (!danada.isEmpty()) throw Fallo(FALLO_GENERAL, danada);
    if (!escritura)
        throw Fallo(
            FALLO_GENERAL,
            QStringLiteral("La tabla %1 (\"%2\") solo se puede leer: no se puede escribir en ella").arg(nombre, ruta));
    quitar_cola_pendiente();
}

void Tabla::confirmar(const QString& nombre)
{
    const QDate hoy = QDate::currentDate();
    DBFSetLastModifiedDate(h, hoy.year() - 1900, hoy.month(), hoy.day());
    olvidar_error_shp();
    DBFUpdateHeader(h);
    h->bUpdated = 0;
    const QString error = con_error_shp(QString());
    const Huella ahora = huella_de(ruta);
    const qint64 esperado = qint64(h->nHeaderLength) + qint64(h->nRecords) * h->nRecordLength;
    if (!error.isEmpty() || ahora.tamano < esperado) {
        abrir();  // back to what is really on disk
        throw Fallo(FALLO_GENERAL,
                    QStringLiteral("No se pudo escribir en la tabla %1 (\"%2\")%3").arg(nombre, ruta, error));
    }
    huella = ahora;
}

}  // namespace dbase

using namespace dbase;

Tabla& DbaseBackend::Carpeta::tabla(const QString& nombre)
{
    return buscar_tabla(nombre);
}

Tabla& DbaseBackend::Carpeta::buscar_tabla(const QString& nombre)
{
    if (nombre != ultimo_nombre) {
        ultimo_nombre = nombre;
        ultima_clave = nombre.toLower();
    }
    const QString clave = ultima_clave;
    auto it = tablas.find(clave);
    if (it != tablas.end()) {
        Tabla& t = *it->second;
        if (en_grupo && t.revisada && t.h) {
            if (!t.h->bCurrentRecordModified) t.h->nCurrentRecord = -1;
            return t;
        }
        const Huella ahora = huella_de(t.ruta);
        if (ahora == t.huella && t.h) {
            // Records are read from disk again: another program may have
            // changed one in place within the same tick of the clock.
            if (!t.h->bCurrentRecordModified) t.h->nCurrentRecord = -1;
            t.revisada = en_grupo;
            return t;
        }
        if (ahora.existe()) {
            try {
                t.abrir();
            } catch (...) {
                tablas.erase(it);
                throw;
            }
            t.revisada = en_grupo;
            return t;
        }
        tablas.erase(it);
    }
    auto t = std::make_unique<Tabla>();
    t->ruta = buscar(nombre);
    t->abrir();
    t->revisada = en_grupo;
    return *tablas.emplace(clave, std::move(t)).first->second;
}

std::exception_ptr DbaseBackend::Carpeta::volcar()
{
    std::exception_ptr fallo;
    for (auto& [clave, t] : tablas) {
        try {
            t->volcar();
        } catch (...) {
            if (!fallo) fallo = std::current_exception();
        }
    }
    return fallo;
}

void DbaseBackend::Carpeta::preparar_volcado()
{
    for (auto& [clave, t] : tablas) t->preparar_volcado();
}

void DbaseBackend::Carpeta::agrupar(bool si)
{
    // What waits is written first: the group's records, then the files as
    // we leave them. A write that fails is told once the group is over all
    // the same.
    const std::exception_ptr fallo = volcar();
    if (!si)
        for (auto& [clave, t] : tablas)
            if (t->huella_atrasada) t->dejada(false);
    for (auto& [clave, t] : tablas) t->revisada = false;
    en_grupo = si;
    if (fallo) std::rethrow_exception(fallo);
}

QString DbaseBackend::Carpeta::buscar(const QString& nombre) const
{
    const QString archivo = nombre + QStringLiteral(".dbf");
    if (!nombre.isEmpty() && !nombre.contains(QLatin1Char('/')) && !nombre.contains(QLatin1Char('\\'))) {
        const QDir dir(ruta);
        if (QFileInfo(dir.filePath(archivo)).isFile()) return dir.filePath(archivo);
        const QStringList entradas = dir.entryList(QDir::Files | QDir::Hidden | QDir::System, QDir::Name);
        for (const QString& e : entradas)
            if (e.compare(archivo, Qt::CaseInsensitive) == 0) return dir.filePath(e);
    }
    throw Fallo(TABLA_INEXISTENTE,
                QStringLiteral("No se encuentra la tabla %1: no hay un archivo %2 en la carpeta \"%3\"")
                    .arg(nombre, archivo, ruta));
}
