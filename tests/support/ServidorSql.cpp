#include "tests/support/ServidorSql.h"

#include "demo/EsquemaHotel.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QThread>
#include <QVector>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

// A port of 127.0.0.1 no one listens on now.
quint16 puerto_libre()
{
    const int s = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t largo = sizeof a;
    if (s < 0 || ::bind(s, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 ||
        ::getsockname(s, reinterpret_cast<sockaddr*>(&a), &largo) != 0)
        qFatal("no hay un puerto libre para el servidor SQL");
    ::close(s);
    return ntohs(a.sin_port);
}

QString ejecutable(const char* nombre)
{
    for (const char* d : {"/usr/sbin/", "/usr/bin/"}) {
        const QString r = QString::fromLatin1(d) + QLatin1String(nombre);
        if (QFile::exists(r)) return r;
    }
    qFatal("no está %s: scripts/install-deps instala mariadb-server", nombre);
}

// A value of the SQLite catalogue as an SQL literal.
QString literal(const QVariant& v)
{
    if (!v.isValid() || v.isNull()) return QStringLiteral("NULL");
    switch (v.typeId()) {
    case QMetaType::LongLong:
    case QMetaType::Int: return QString::number(v.toLongLong());
    case QMetaType::Double: return QString::number(v.toDouble(), 'g', 17);
    case QMetaType::QByteArray: return QStringLiteral("X'") + QString::fromLatin1(v.toByteArray().toHex()) + '\'';
    default: {
        QString t = v.toString();
        t.replace(QLatin1Char('\''), QStringLiteral("''"));
        return '\'' + t + '\'';
    }
    }
}

// A column's SQLite type in one both SQL Server and MariaDB take.
QString tipo(const QString& sqlite)
{
    const QString t = sqlite.toUpper();
    if (t.startsWith(QLatin1String("NVARCHAR")) || t.startsWith(QLatin1String("VARCHAR")))
        return t.section(QLatin1Char(' '), 0, 0);
    if (t.contains(QLatin1String("TEXT")) || t.isEmpty()) return QStringLiteral("VARCHAR(250)");
    if (t.contains(QLatin1String("INT"))) return QStringLiteral("INTEGER");
    if (t.contains(QLatin1String("BIT"))) return QStringLiteral("BIT");
    return QStringLiteral("DOUBLE PRECISION");
}

}  // namespace

ServidorSql::ServidorSql()
{
    dir_ = QStringLiteral(ENLACE_DIR_BUILD "/servidor-sql/%1").arg(QCoreApplication::applicationPid());
    QDir(dir_).removeRecursively();
    if (!QDir().mkpath(dir_ + "/ini")) qFatal("no se crea %s", qPrintable(dir_));
    QStringList raiz;
    if (::geteuid() == 0) raiz << QStringLiteral("--user=root");
    QProcess instalar;
    instalar.setProcessChannelMode(QProcess::MergedChannels);
    instalar.start(ejecutable("mariadb-install-db"),
                   QStringList{"--no-defaults", "--datadir=" + dir_ + "/datos",
                               "--auth-root-authentication-method=normal", "--skip-test-db"} +
                       raiz);
    if (!instalar.waitForFinished(60000) || instalar.exitCode() != 0)
        qFatal("mariadb-install-db: %s", instalar.readAll().constData());

    for (int intento = 0;; ++intento) {
        puerto_ = puerto_libre();
        servidor_.setProcessChannelMode(QProcess::MergedChannels);
        servidor_.setStandardOutputFile(dir_ + "/servidor.log");
        servidor_.start(ejecutable("mariadbd"),
                        QStringList{"--no-defaults", "--datadir=" + dir_ + "/datos", "--socket=" + dir_ + "/sock",
                                    "--port=" + QString::number(puerto_), "--bind-address=127.0.0.1",
                                    "--skip-name-resolve", "--sql-mode=ANSI_QUOTES", "--lower-case-table-names=1",
                                    "--skip-log-bin", "--innodb-buffer-pool-size=32M",
                                    "--innodb-flush-log-at-trx-commit=2", "--pid-file=" + dir_ + "/pid"} +
                            raiz);
        QElapsedTimer t;
        t.start();
        bool listo = false;
        while (!listo && t.elapsed() < 30000 && servidor_.state() != QProcess::NotRunning) {
            QThread::msleep(50);
            if (!QFile::exists(dir_ + "/sock")) continue;
            QProcess p;
            p.start(ejecutable("mariadb"), {"--no-defaults", "-S", dir_ + "/sock", "-uroot", "-e", "SELECT 1"});
            listo = p.waitForFinished(10000) && p.exitCode() == 0;
        }
        if (listo) break;
        servidor_.kill();
        servidor_.waitForFinished();
        if (intento == 2) {
            QFile log(dir_ + "/servidor.log");
            log.open(QIODevice::ReadOnly);
            qFatal("el servidor SQL no arranca: %s", log.readAll().right(2000).constData());
        }
    }
    sql({}, QStringLiteral("CREATE USER 'quelmira'@'%' IDENTIFIED BY 'BIRO4'; "
                           "GRANT ALL ON *.* TO 'quelmira'@'%'; FLUSH PRIVILEGES;"));

    ini_ = dir_ + "/ini";
    QFile f(ini_ + "/odbcinst.ini");
    if (!f.open(QIODevice::WriteOnly)) qFatal("no se escribe odbcinst.ini");
    // ENLACE_TRAZA_ODBC=file: the driver manager's trace of every call.
    if (qEnvironmentVariableIsSet("ENLACE_TRAZA_ODBC"))
        f.write("[ODBC]\nTrace=Yes\nTraceFile=" + qgetenv("ENLACE_TRAZA_ODBC") + "\n");
    f.write("[SQL Native Client]\n"
            "Description=MariaDB en lugar de SQL Server, para las pruebas\n"
            "Driver=/usr/lib/x86_64-linux-gnu/odbc/libmaodbc.so\n"
            "UsageCount=1\n");
    f.close();
    QFile(ini_ + "/odbc.ini").open(QIODevice::WriteOnly);
}

ServidorSql::~ServidorSql()
{
    if (servidor_.state() != QProcess::NotRunning) {
        servidor_.terminate();
        if (!servidor_.waitForFinished(30000)) {
            servidor_.kill();
            servidor_.waitForFinished();
        }
    }
    QDir(dir_).removeRecursively();
}

QString ServidorSql::crear_base()
{
    const QString base = QStringLiteral("hotel%1").arg(++bases_);
    sql({}, QStringLiteral("CREATE DATABASE %1").arg(base));
    return base;
}

void ServidorSql::sql(const QString& base, const QString& texto) const
{
    QProcess p;
    p.setProcessChannelMode(QProcess::MergedChannels);
    QStringList a{"--no-defaults", "-S", dir_ + "/sock", "-uroot"};
    if (!base.isEmpty()) a << base;
    p.start(ejecutable("mariadb"), a);
    p.write("SET SESSION sql_mode = 'ANSI_QUOTES,NO_BACKSLASH_ESCAPES';\n");
    p.write(texto.toUtf8());
    p.closeWriteChannel();
    if (!p.waitForFinished(120000) || p.exitCode() != 0)
        qFatal("mariadb: %s\n%s", p.readAll().constData(), qPrintable(texto.left(500)));
}

QStringList ServidorSql::filas(const QString& base, const QString& consulta) const
{
    QProcess p;
    p.start(ejecutable("mariadb"), {"--no-defaults", "-S", dir_ + "/sock", "-uroot", "-N", "-B", base});
    p.write("SET SESSION sql_mode = 'ANSI_QUOTES';\n");
    p.write(consulta.toUtf8());
    p.closeWriteChannel();
    if (!p.waitForFinished(60000) || p.exitCode() != 0)
        qFatal("mariadb: %s\n%s", p.readAllStandardError().constData(), qPrintable(consulta));
    QStringList r;
    for (const QString& l : QString::fromUtf8(p.readAllStandardOutput()).split('\n', Qt::SkipEmptyParts))
        r << l.split('\t').join('|');
    return r;
}

void ServidorSql::cargar_catalogo(const QString& archivo, const QString& base) const
{
    ArchivoSqlite c(archivo, false);
    QString guion;
    const QVector<QVariantMap> objetos =
        c.consultar(QStringLiteral("SELECT type, name, sql FROM sqlite_master WHERE sql IS NOT NULL "
                                   "ORDER BY type = 'index'"));
    for (const QVariantMap& o : objetos) {
        const QString nombre = o.value("name").toString();
        if (o.value("type").toString() == u"index") {
            guion += o.value("sql").toString() + ";\n";
            continue;
        }
        QStringList columnas, definicion, clave;
        QVector<QVariantMap> info = c.consultar(QStringLiteral("PRAGMA table_info(\"%1\")").arg(nombre));
        std::sort(info.begin(), info.end(), [](const QVariantMap& a, const QVariantMap& b) {
            return a.value("cid").toInt() < b.value("cid").toInt();
        });
        QVector<std::pair<int, QString>> partes;
        for (const QVariantMap& i : info) {
            const QString col = i.value("name").toString();
            columnas << '"' + col + '"';
            definicion << '"' + col + "\" " + tipo(i.value("type").toString());
            if (i.value("pk").toInt() > 0) partes << std::pair{i.value("pk").toInt(), '"' + col + '"'};
        }
        std::sort(partes.begin(), partes.end());
        for (const auto& p : partes) clave << p.second;
        if (!clave.isEmpty()) definicion << "PRIMARY KEY (" + clave.join(", ") + ")";
        guion += QStringLiteral("CREATE TABLE \"%1\" (%2);\n").arg(nombre, definicion.join(", "));
        QStringList valores;
        auto volcar = [&] {
            if (valores.isEmpty()) return;
            guion += QStringLiteral("INSERT INTO \"%1\" (%2) VALUES %3;\n")
                         .arg(nombre, columnas.join(", "), valores.join(",\n"));
            valores.clear();
        };
        for (const QVariantMap& fila : c.consultar(QStringLiteral("SELECT * FROM \"%1\"").arg(nombre))) {
            QStringList v;
            for (const QVariantMap& i : info) v << literal(fila.value(i.value("name").toString()));
            valores << '(' + v.join(", ") + ')';
            if (valores.size() == 500) volcar();
        }
        volcar();
    }
    sql(base, guion);
}

QString ServidorSql::orden(const QString& texto) const
{
    return QStringLiteral("%1 --no-defaults -S '%2' -uroot -e \"%3\"")
        .arg(ejecutable("mariadb"), dir_ + "/sock", texto);
}

void ServidorSql::retener(QProcess& cliente, const QString& base, const QString& seleccion, int segundos) const
{
    cliente.setProcessChannelMode(QProcess::MergedChannels);
    cliente.start(ejecutable("mariadb"),
                  {"--no-defaults", "-S", dir_ + "/sock", "-uroot", "-N", "-B", "--unbuffered", base});
    cliente.write(QStringLiteral("SET SESSION sql_mode = 'ANSI_QUOTES'; BEGIN; %1 FOR UPDATE; SELECT 'retenidas'; "
                                 "SELECT SLEEP(%2); COMMIT;\n")
                      .arg(seleccion)
                      .arg(segundos)
                      .toUtf8());
    cliente.closeWriteChannel();
    QByteArray salida;
    while (!salida.contains("retenidas") && cliente.waitForReadyRead(20000)) salida += cliente.readAll();
    if (!salida.contains("retenidas")) qFatal("el segundo cliente no retiene las filas: %s", salida.constData());
}

void ServidorSql::apuntar(const QString& raiz, const QString& base)
{
    ArchivoSqlite(Unidades(raiz).local(QStringLiteral("C:\\quelmira\\VTRHSYS.MDB")), false)
        .ejecutar(QStringLiteral("UPDATE con SET ConServer = '127.0.0.1', catalogo = ?"), {base});
}

QStringList ServidorSql::filas_sqlite(const QString& archivo, const QString& consulta, const QStringList& columnas)
{
    ArchivoSqlite c(archivo, false);
    QStringList r;
    for (const QVariantMap& f : c.consultar(consulta)) {
        QStringList v;
        for (const QString& col : columnas) {
            const QVariant x = f.value(col);
            v << (x.isNull() ? QStringLiteral("NULL") : x.toString());
        }
        r << v.join('|');
    }
    return r;
}

QString ServidorSql::cadena(const QString& base)
{
    return QStringLiteral("Driver={SQL Native Client};Server=127.0.0.1;Database=") + base +
           QStringLiteral("; Uid=quelmira;Pwd=BIRO4;");
}

QMap<QString, QString> ServidorSql::entorno() const
{
    return {{QStringLiteral("ODBCSYSINI"), ini_}, {QStringLiteral("MYSQL_TCP_PORT"), QString::number(puerto_)}};
}

void ServidorSql::registrar() const
{
    const QMap<QString, QString> e = entorno();
    for (auto it = e.cbegin(); it != e.cend(); ++it) qputenv(qPrintable(it.key()), it.value().toUtf8());
}
