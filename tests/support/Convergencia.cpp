#include "tests/support/Convergencia.h"

#include "demo/EsquemaHotel.h"
#include "platform/sistema/Unidades.h"
#include "tests/support/Dbf.h"

#include <QAtomicInt>
#include <QDate>
#include <QDir>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcessEnvironment>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <cmath>
#include <sys/stat.h>
#include <unistd.h>

namespace {

const QStringList ficheros_contaplus{QStringLiteral("Xdiario.dbf"), QStringLiteral("XSubCta.dbf")};
// What a power cut puts back as last synced: the two files and the records
// on their way into them.
const QStringList sincronizables{QStringLiteral("Xdiario.dbf"), QStringLiteral("XSubCta.dbf"),
                                 QStringLiteral("enlace.pendiente")};

QString texto(const QVariant& v)
{
    if (v.isNull() || !v.isValid()) return QStringLiteral("null");
    switch (v.typeId()) {
    case QMetaType::Double:
    case QMetaType::Float: return QString::number(v.toDouble(), 'g', 15);
    case QMetaType::QDate: return v.toDate().toString(Qt::ISODate);
    case QMetaType::Bool: return v.toBool() ? QStringLiteral("T") : QStringLiteral("F");
    default: return v.toString();
    }
}

QVariant campo(const QVariantMap& fila, const QString& nombre)
{
    for (auto it = fila.begin(); it != fila.end(); ++it)
        if (it.key().compare(nombre, Qt::CaseInsensitive) == 0) return it.value();
    return {};
}

// File `nombre` in `carpeta`, whatever the case of its name; empty if none.
QString en_carpeta(const QString& carpeta, const QString& nombre)
{
    if (carpeta.isEmpty()) return {};
    for (const QFileInfo& f : QDir(carpeta).entryInfoList(QDir::Files))
        if (f.fileName().compare(nombre, Qt::CaseInsensitive) == 0) return f.filePath();
    return {};
}

void reemplazar(const QString& origen, const QString& destino)
{
    QFile::remove(destino);
    if (!QFile::copy(origen, destino)) qFatal("no se puede copiar %s a %s", qPrintable(origen), qPrintable(destino));
}

// Rows of `sql` on the SQLite file `ruta`, each as "columna=valor|...",
// opened read-only under a connection name of its own.
QStringList filas_sqlite(const QString& ruta, const QString& sql)
{
    static QAtomicInt contador;
    const QString nombre = QStringLiteral("convergencia_%1").arg(contador.fetchAndAddRelaxed(1));
    QStringList r;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), nombre);
        db.setDatabaseName(ruta);
        db.setConnectOptions(QStringLiteral("QSQLITE_OPEN_READONLY;QSQLITE_BUSY_TIMEOUT=10000"));
        if (!QFileInfo::exists(ruta) || !db.open())
            qFatal("no se puede abrir %s: %s", qPrintable(ruta), qPrintable(db.lastError().text()));
        QSqlQuery q(db);
        if (!q.exec(sql)) qFatal("%s en %s: %s", qPrintable(sql), qPrintable(ruta), qPrintable(q.lastError().text()));
        while (q.next()) {
            const QSqlRecord rec = q.record();
            QStringList partes;
            for (int i = 0; i < rec.count(); ++i) partes << rec.fieldName(i) + '=' + texto(q.value(i));
            r << partes.join('|');
        }
        db.close();
    }
    QSqlDatabase::removeDatabase(nombre);
    r.sort();
    return r;
}

// Lines of `a` that `b` lacks, counting repeats.
QStringList sobrantes(const QStringList& a, const QStringList& b)
{
    QMap<QString, int> cuenta;
    for (const QString& l : b) ++cuenta[l];
    QStringList r;
    for (const QString& l : a)
        if (cuenta.value(l) > 0)
            --cuenta[l];
        else
            r << l;
    return r;
}

// A dBASE file's bytes with the date of its last update (bytes 1 to 3) blanked.
QByteArray sin_fecha(const QString& ruta)
{
    QFile f(ruta);
    if (ruta.isEmpty() || !f.open(QIODevice::ReadOnly)) return {};
    QByteArray b = f.readAll();
    for (int i = 1; i < 4 && i < b.size(); ++i) b[i] = 0;
    return b;
}

}  // namespace

void crear_demo(const QString& raiz, const QStringList& opciones)
{
    QProcess p;
    p.setProcessChannelMode(QProcess::MergedChannels);
    p.start(QStringLiteral(ENLACE_BINARIO), QStringList{QStringLiteral("demo"), raiz} + opciones);
    if (!p.waitForFinished(120000) || p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0)
        qFatal("enlace demo %s falló: %s", qPrintable(raiz), p.readAll().constData());
}

void copiar_arbol(const QString& origen, const QString& destino)
{
    QDir().mkpath(destino);
    QDirIterator it(origen, QDir::Files | QDir::Dirs | QDir::NoDotAndDotDot | QDir::Hidden,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QFileInfo f = it.nextFileInfo();
        const QString copia = destino + '/' + QDir(origen).relativeFilePath(f.filePath());
        if (f.isDir())
            QDir().mkpath(copia);
        else if (!QFile::copy(f.filePath(), copia))
            qFatal("no se puede copiar %s", qPrintable(f.filePath()));
    }
}

QString carpeta_contaplus(const QString& raiz)
{
    QDirIterator it(raiz, QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QFileInfo f = it.nextFileInfo();
        for (const QString& n : ficheros_contaplus)
            if (f.fileName().compare(n, Qt::CaseInsensitive) == 0) return f.path();
    }
    return {};
}

void lanzar_traspaso(QProcess& p, const QString& raiz, const QString& desde, const QString& hasta,
                     const QMap<QString, QString>& entorno, const QByteArray& entrada)
{
    QProcessEnvironment e = QProcessEnvironment::systemEnvironment();
    for (const QString& k : e.keys())
        if (k.startsWith(QLatin1String("ENLACE_"))) e.remove(k);
    e.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    e.insert(QStringLiteral("LC_ALL"), QStringLiteral("C.UTF-8"));
    const QString recuento = raiz + QStringLiteral(".recuento");
    QFile::remove(recuento);
    e.insert(QStringLiteral("ENLACE_AVERIA_RECUENTO"), recuento);
    for (auto it = entorno.begin(); it != entorno.end(); ++it) e.insert(it.key(), it.value());
    p.setProcessEnvironment(e);
    p.setProcessChannelMode(QProcess::MergedChannels);
    p.start(QStringLiteral(ENLACE_PRUEBA),
            {QStringLiteral("--unidades"), raiz, QStringLiteral("traspaso"), QStringLiteral("--desde"), desde,
             QStringLiteral("--hasta"), hasta, QStringLiteral("--si")});
    if (!p.waitForStarted()) qFatal("no arranca %s: %s", ENLACE_PRUEBA, qPrintable(p.errorString()));
    p.write(entrada);
    p.closeWriteChannel();
}

Ejecucion recoger(QProcess& p, const QString& raiz, int matar_ms, QVector<Vigia>* vigias)
{
    QElapsedTimer reloj;
    reloj.start();
    Ejecucion r;
    while (vigias && p.state() != QProcess::NotRunning && reloj.elapsed() < 120000) {
        bool matar = matar_ms >= 0 && reloj.elapsed() >= matar_ms;
        for (Vigia& v : *vigias) {
            struct stat st;
            if (::stat(QFile::encodeName(v.ruta).constData(), &st) != 0) continue;
            v.maximo = qMax<qint64>(v.maximo, st.st_size);
            matar = matar || (v.matar_en >= 0 && st.st_size >= v.matar_en);
        }
        if (matar) {
            p.kill();
            break;
        }
        ::usleep(300);
        p.waitForFinished(0);
    }
    if (p.state() != QProcess::NotRunning && matar_ms >= 0 &&
        !p.waitForFinished(int(qMax<qint64>(0, matar_ms - reloj.elapsed())))) {
        p.kill();
        p.waitForFinished(-1);
    }
    if (p.state() != QProcess::NotRunning && !p.waitForFinished(120000)) {
        p.kill();
        p.waitForFinished(-1);
        qFatal("enlace traspaso en %s no termina", qPrintable(raiz));
    }
    r.ms = reloj.elapsed();
    r.matada = p.exitStatus() != QProcess::NormalExit;
    r.estado = r.matada ? -1 : p.exitCode();
    r.salida = QString::fromUtf8(p.readAll());
    QFile f(raiz + QStringLiteral(".recuento"));
    if (f.open(QIODevice::ReadOnly)) {
        for (const QByteArray& l : f.readAll().split('\n')) {
            const QList<QByteArray> p = l.trimmed().split(' ');
            if (p.size() == 2 && p[0] != "*") r.escrituras.insert(QString::fromUtf8(p[0]), p[1].toLongLong());
        }
    }
    return r;
}

Ejecucion traspasar(const QString& raiz, const QString& desde, const QString& hasta,
                    const QMap<QString, QString>& entorno, int matar_ms, QVector<Vigia>* vigias,
                    const QByteArray& entrada)
{
    QProcess p;
    lanzar_traspaso(p, raiz, desde, hasta, entorno, entrada);
    return recoger(p, raiz, matar_ms, vigias);
}

void guardar_contaplus(const QString& raiz, const QString& antes)
{
    QDir().mkpath(antes);
    const QString carpeta = carpeta_contaplus(raiz);
    for (const QString& n : sincronizables) {
        const QString f = en_carpeta(carpeta, n);
        if (!f.isEmpty()) reemplazar(f, QDir(antes).filePath(n));
    }
}

void cortar_corriente(const QString& raiz, const QString& sincronizados, const QString& antes)
{
    const QString carpeta = carpeta_contaplus(raiz);
    for (const QString& n : sincronizables) {
        const QString f = en_carpeta(carpeta, n);
        if (f.isEmpty()) continue;
        const QString sincronizado = en_carpeta(sincronizados, n);
        const QString previo = en_carpeta(antes, n);
        if (!sincronizado.isEmpty())
            reemplazar(sincronizado, f);
        else if (!previo.isEmpty())
            reemplazar(previo, f);
        else
            QFile::remove(f);
    }
    QDirIterator it(raiz, QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QFileInfo f = it.nextFileInfo();
        const QString n = f.fileName().toLower();
        if ((n.endsWith(QLatin1String(".mdb-wal")) || n.endsWith(QLatin1String(".mdb-shm"))) &&
            !n.startsWith(QLatin1String("enlace.mdb")))
            QFile::remove(f.filePath());
    }
}

void a_modo_sql(const QString& raiz)
{
    const Unidades u(raiz);
    const QString catalogo = QDir(raiz).absoluteFilePath(QStringLiteral("HOTEL.db"));
    {
        ArchivoSqlite c(catalogo, !QFile::exists(catalogo));
        for (const QString& familia : esquema::familias()) {
            const QString origen = u.local(QStringLiteral("C:\\quelmira\\") + familia + QStringLiteral(".MDB"));
            if (!QFile::exists(origen)) continue;
            c.ejecutar(QStringLiteral("ATTACH ? AS f"), {origen});
            const QVector<QVariantMap> objetos = c.consultar(QStringLiteral(
                "SELECT type, name, sql FROM f.sqlite_master WHERE sql IS NOT NULL ORDER BY type = 'index'"));
            for (const QVariantMap& o : objetos) {
                c.ejecutar(o.value(QStringLiteral("sql")).toString());
                if (o.value(QStringLiteral("type")).toString() == u"table")
                    c.ejecutar(QStringLiteral("INSERT INTO \"%1\" SELECT * FROM f.\"%1\"")
                                   .arg(o.value(QStringLiteral("name")).toString()));
            }
            c.ejecutar(QStringLiteral("DETACH f"));
            QFile::remove(origen);
        }
        c.consultar(QStringLiteral("PRAGMA journal_mode = WAL"));
    }
    ArchivoSqlite(u.local(QStringLiteral("C:\\quelmira\\VTRHSYS.MDB")), false)
        .ejecutar(QStringLiteral("UPDATE con SET ConTipo = '1', ConServer = 'HOTELSRV', catalogo = ?"), {catalogo});
}

EstadoFinal leer_contaplus(const QString& carpeta, const EstadoFinal* como)
{
    EstadoFinal r;
    const QString diario = en_carpeta(carpeta, QStringLiteral("Xdiario.dbf"));
    const QString subcuentas = en_carpeta(carpeta, QStringLiteral("XSubCta.dbf"));
    r.bytes_diario = sin_fecha(diario);
    r.bytes_subcuentas = sin_fecha(subcuentas);
    if (como && !diario.isEmpty() && r.bytes_diario == como->bytes_diario) {
        r.diario = como->diario;
        r.descuadres = como->descuadres;
    } else if (!diario.isEmpty()) {
        const TablaDbf t = leer_dbf(diario);
        QMap<double, QPair<double, double>> sumas;
        for (const QVariantMap& fila : t.filas) {
            const bool de_factura = campo(fila, QStringLiteral("Auxiliar")).toString().trimmed() == u"*";
            QStringList partes;
            for (const QString& c : t.columnas)
                partes << c + '=' +
                              (c.compare(u"Asien", Qt::CaseInsensitive) == 0 && !de_factura ? QStringLiteral("-")
                                                                                            : texto(fila.value(c)));
            r.diario << partes.join('|');
            auto& s = sumas[campo(fila, QStringLiteral("Asien")).toDouble()];
            s.first += campo(fila, QStringLiteral("EuroDebe")).toDouble();
            s.second += campo(fila, QStringLiteral("EuroHaber")).toDouble();
        }
        for (auto it = sumas.begin(); it != sumas.end(); ++it)
            if (std::fabs(it.value().first - it.value().second) > 0.005)
                r.descuadres << QStringLiteral("asiento %1 descuadrado: debe %2, haber %3")
                                    .arg(it.key())
                                    .arg(it.value().first, 0, 'f', 2)
                                    .arg(it.value().second, 0, 'f', 2);
    }
    if (como && !subcuentas.isEmpty() && r.bytes_subcuentas == como->bytes_subcuentas) {
        r.subcuentas = como->subcuentas;
    } else if (!subcuentas.isEmpty()) {
        const TablaDbf t = leer_dbf(subcuentas);
        for (const QVariantMap& fila : t.filas) {
            QStringList partes;
            for (const QString& c : t.columnas) partes << c + '=' + texto(fila.value(c));
            r.subcuentas << partes.join('|');
        }
    }
    r.diario.sort();
    r.subcuentas.sort();
    return r;
}

EstadoFinal leer_resultado(const QString& raiz, const EstadoFinal* como)
{
    EstadoFinal r = leer_contaplus(carpeta_contaplus(raiz), como);

    const Unidades u(raiz);
    const QString enlace = u.local(QStringLiteral("C:\\quelmira\\enlace.MDB"));
    for (const QString& tabla :
         {QStringLiteral("cajj"), QStringLiteral("edep"), QStringLiteral("fac"), QStringLiteral("fal")})
        r.tablas.insert(tabla, filas_sqlite(enlace, QStringLiteral("SELECT * FROM ") + tabla));
    // In SQL mode both tables are in the catalogue.
    const QString catalogo = QDir(raiz).filePath(QStringLiteral("HOTEL.db"));
    const bool sql = QFile::exists(catalogo);
    r.marcas = filas_sqlite(sql ? catalogo : u.local(QStringLiteral("C:\\quelmira\\caja.MDB")),
                            QStringLiteral("SELECT 'caja' AS t, CajaFec, CajaOrd, CajaTur FROM caja")) +
               filas_sqlite(sql ? catalogo : u.local(QStringLiteral("C:\\quelmira\\emi.MDB")),
                            QStringLiteral("SELECT 'emi' AS t, EmiAno, EmiNum, EmiCie FROM emi"));
    return r;
}

QStringList diferencias(const EstadoFinal& esperado, const EstadoFinal& obtenido)
{
    QStringList r;
    auto comparar = [&](const QString& que, const QStringList& e, const QStringList& o) {
        for (const QString& l : sobrantes(o, e)) r << que + QStringLiteral(": sobra ") + l;
        for (const QString& l : sobrantes(e, o)) r << que + QStringLiteral(": falta ") + l;
    };
    comparar(QStringLiteral("Xdiario"), esperado.diario, obtenido.diario);
    r << obtenido.descuadres;
    comparar(QStringLiteral("XSubCta"), esperado.subcuentas, obtenido.subcuentas);
    for (auto it = esperado.tablas.begin(); it != esperado.tablas.end(); ++it)
        comparar(it.key(), it.value(), obtenido.tablas.value(it.key()));
    comparar(QStringLiteral("marcas"), esperado.marcas, obtenido.marcas);
    return r;
}
