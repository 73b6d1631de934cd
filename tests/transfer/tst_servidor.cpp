// SQL Server mode on a real database server: a private MariaDB reached
// through MariaDB's ODBC driver registered as "SQL Native Client", a driver
// that takes every length literally. A demo month posted through it leaves
// the journal, subaccounts, working rows and marks that the same month
// leaves through the SQLite driver.
#include "tests/support/Convergencia.h"
#include "tests/support/Odbc.h"
#include "tests/support/ServidorSql.h"

#include <QDir>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <optional>

namespace {

const QString DESDE = QStringLiteral("01112026");
const QString HASTA = QStringLiteral("30112026");

const QString MARCAS_CAJA = QStringLiteral("SELECT CajaFec, CajaOrd, CajaTur FROM caja ORDER BY CajaFec, CajaOrd");
const QString MARCAS_EMI = QStringLiteral("SELECT EmiAno, EmiNum, EmiCie FROM emi ORDER BY EmiAno, EmiNum");

}  // namespace

class TstServidor : public QObject {
    Q_OBJECT

    QTemporaryDir dir_;
    std::optional<ServidorSql> servidor_;
    QString plantilla_;
    int copias_ = 0;

    // A copy of the SQL-mode demo whose con row names a new database of the
    // server holding its catalogue.
    QString copia_en_servidor(QString* base)
    {
        const QString raiz = dir_.filePath(QStringLiteral("servidor%1").arg(++copias_));
        copiar_arbol(plantilla_, raiz);
        *base = servidor_->crear_base();
        servidor_->cargar_catalogo(QDir(raiz).filePath(QStringLiteral("HOTEL.db")), *base);
        ServidorSql::apuntar(raiz, *base);
        // Nothing of the run may come from the SQLite file left beside it.
        if (!QFile::rename(QDir(raiz).filePath(QStringLiteral("HOTEL.db")),
                           QDir(raiz).filePath(QStringLiteral("HOTEL.db.antes"))))
            qFatal("no se aparta HOTEL.db");
        return raiz;
    }

    // What the runs left on a server copy: the files and working rows, and
    // the marks as the server holds them.
    EstadoFinal resultado(const QString& raiz, const QString& base)
    {
        const QString catalogo = QDir(raiz).filePath(QStringLiteral("HOTEL.db"));
        QFile::rename(catalogo + QStringLiteral(".antes"), catalogo);
        EstadoFinal r = leer_resultado(raiz);
        QFile::rename(catalogo, catalogo + QStringLiteral(".antes"));
        r.marcas = servidor_->filas(base, MARCAS_CAJA) + servidor_->filas(base, MARCAS_EMI);
        return r;
    }

    // One uninterrupted run on the server, and its count of catalogue writes.
    const EstadoFinal& referencia()
    {
        if (!referencia_) {
            QString base;
            const QString raiz = copia_en_servidor(&base);
            const Ejecucion e = traspasar(raiz, DESDE, HASTA, servidor_->entorno());
            if (e.estado != 0) qFatal("%s", qPrintable(e.salida));
            referencia_ = resultado(raiz, base);
            escrituras_ = e.escrituras.value(base);
        }
        return *referencia_;
    }
    std::optional<EstadoFinal> referencia_;
    qint64 escrituras_ = 0;

    // Reruns until one ends well (three at most) and compares with one
    // uninterrupted run.
    void converge(const QString& raiz, const QString& base, QStringList historia)
    {
        Ejecucion r;
        for (int i = 0; i < 3 && r.estado != 0; ++i) {
            r = traspasar(raiz, DESDE, HASTA, servidor_->entorno());
            historia << QStringLiteral("repetición: %1 %2").arg(r.estado).arg(r.salida.trimmed());
        }
        QVERIFY2(r.estado == 0, qPrintable(historia.join('\n')));
        const QStringList d = diferencias(referencia(), resultado(raiz, base));
        QVERIFY2(d.isEmpty(), qPrintable(d.mid(0, 10).join('\n') + '\n' + historia.join('\n')));
    }

private slots:
    void initTestCase()
    {
        QVERIFY(dir_.isValid());
        servidor_.emplace();
        registrar_sql_native_client();
        plantilla_ = dir_.filePath(QStringLiteral("demo"));
        crear_demo(plantilla_, {});
        a_modo_sql(plantilla_);
    }

    // The same month through both drivers: the same files byte for byte
    // (the header's date aside), the same working rows and marks.
    void mismo_traspaso_que_por_sqlite()
    {
        const QString local = dir_.filePath(QStringLiteral("sqlite"));
        copiar_arbol(plantilla_, local);
        a_modo_sql(local);  // its con row names its own catalogue
        const Ejecucion el = traspasar(local, DESDE, HASTA);
        QVERIFY2(el.estado == 0, qPrintable(el.salida));
        const EstadoFinal esperado = leer_resultado(local);
        const QString catalogo = QDir(local).filePath(QStringLiteral("HOTEL.db"));

        QString base;
        const QString raiz = copia_en_servidor(&base);
        const Ejecucion es = traspasar(raiz, DESDE, HASTA, servidor_->entorno());
        QVERIFY2(es.estado == 0, qPrintable(es.salida));
        // The messages but for the log's name; the report's path last.
        static const QRegularExpression nombre(QStringLiteral("tc_[0-9_]+\\.log"));
        auto mensajes = [](const Ejecucion& e) {
            return e.salida.section(QStringLiteral("Informe del traspaso"), 0, 0).replace(nombre, "tc_.log");
        };
        QCOMPARE(mensajes(es), mensajes(el));
        QFile::rename(QDir(raiz).filePath(QStringLiteral("HOTEL.db.antes")),
                      QDir(raiz).filePath(QStringLiteral("HOTEL.db")));
        EstadoFinal obtenido = leer_resultado(raiz);
        obtenido.marcas = esperado.marcas;  // read below, from the server
        QVERIFY(!esperado.diario.isEmpty());
        QCOMPARE(obtenido.bytes_diario, esperado.bytes_diario);
        QCOMPARE(obtenido.bytes_subcuentas, esperado.bytes_subcuentas);
        const QStringList d = diferencias(esperado, obtenido);
        QVERIFY2(d.isEmpty(), qPrintable(d.mid(0, 10).join('\n')));
        QCOMPARE(servidor_->filas(base, MARCAS_CAJA),
                 ServidorSql::filas_sqlite(catalogo, MARCAS_CAJA, {"CajaFec", "CajaOrd", "CajaTur"}));
        QCOMPARE(servidor_->filas(base, MARCAS_EMI),
                 ServidorSql::filas_sqlite(catalogo, MARCAS_EMI, {"EmiAno", "EmiNum", "EmiCie"}));

        // Run again: nothing left to post, nothing written.
        const Ejecucion otra = traspasar(raiz, DESDE, HASTA, servidor_->entorno());
        QVERIFY2(otra.estado == 0, qPrintable(otra.salida));
        QCOMPARE(leer_resultado(raiz).bytes_diario, esperado.bytes_diario);
    }

    // An older settings table without Tasa: the server answers the probe
    // with its own SQLSTATE for a missing column, and the column is added.
    void ajustes_antiguos_en_el_servidor()
    {
        QString base;
        const QString raiz = copia_en_servidor(&base);
        servidor_->sql(base, QStringLiteral("ALTER TABLE cc DROP COLUMN Tasa"));
        const Ejecucion e = traspasar(raiz, DESDE, HASTA, servidor_->entorno());
        QVERIFY2(e.estado == 0, qPrintable(e.salida));
        QCOMPARE(servidor_->filas(base, QStringLiteral("SELECT Tasa FROM cc")), QStringList{"475300000"});
    }

    // The hotel's programs hold a receipt of the range locked: released
    // within the bound, the run waits and ends well; held past it, the run
    // stops naming the table, changes nothing half, and a rerun finishes.
    void fila_bloqueada_data()
    {
        QTest::addColumn<int>("espera_ms");
        QTest::addColumn<int>("retenida_s");
        QTest::addColumn<bool>("termina");
        QTest::newRow("liberada a tiempo") << 10000 << 2 << true;
        QTest::newRow("retenida de más") << 1500 << 5 << false;
    }
    void fila_bloqueada()
    {
        QFETCH(int, espera_ms);
        QFETCH(int, retenida_s);
        QFETCH(bool, termina);
        referencia();
        QString base;
        const QString raiz = copia_en_servidor(&base);
        QProcess otro;
        servidor_->retener(otro, base, QStringLiteral("SELECT * FROM caja WHERE CajaFec = '20261101' AND CajaOrd = 2"),
                           retenida_s);
        QMap<QString, QString> entorno = servidor_->entorno();
        entorno.insert(QStringLiteral("ENLACE_ESPERA_BLOQUEO"), QString::number(espera_ms));
        const Ejecucion e = traspasar(raiz, DESDE, HASTA, entorno);
        otro.waitForFinished(30000);
        QStringList historia{QStringLiteral("con la fila retenida: %1 %2").arg(e.estado).arg(e.salida.trimmed())};
        if (termina) {
            QVERIFY2(e.estado == 0, qPrintable(historia.join('\n')));
        } else {
            QCOMPARE(e.estado, 2);
            QVERIFY2(e.salida.contains(QStringLiteral("otro programa tiene bloqueada la fila")) &&
                         e.salida.contains(QStringLiteral("'caja'")) &&
                         e.salida.contains(
                             QStringLiteral("cuando el otro programa libere la fila, repita el traspaso")),
                     qPrintable(e.salida));
        }
        converge(raiz, base, historia);
    }

    // The server drops the link's connection (KILL CONNECTION from another
    // client) right before a write of the catalogue, at writes spread over
    // the run: the run stops saying so, and the next one converges.
    void conexion_perdida_data()
    {
        referencia();
        QTest::addColumn<qint64>("escritura");
        QVERIFY(escrituras_ >= 4);
        for (const qint64 n : {qint64(1), qint64(2), escrituras_ / 3, escrituras_ / 2, escrituras_ - 1, escrituras_})
            QTest::addRow("escritura %lld de %lld", n, escrituras_) << n;
    }
    void conexion_perdida()
    {
        QFETCH(qint64, escritura);
        QString base;
        const QString raiz = copia_en_servidor(&base);
        QMap<QString, QString> entorno = servidor_->entorno();
        entorno.insert(QStringLiteral("ENLACE_AVERIA"), QStringLiteral("%1:%2:orden").arg(base).arg(escritura));
        entorno.insert(QStringLiteral("ENLACE_AVERIA_ORDEN"),
                       servidor_->orden(QStringLiteral("KILL CONNECTION USER quelmira")));
        const Ejecucion e = traspasar(raiz, DESDE, HASTA, entorno);
        const QStringList historia{QStringLiteral("conexión cortada: %1 %2").arg(e.estado).arg(e.salida.trimmed())};
        QCOMPARE(e.estado, 2);
        QVERIFY2(e.salida.contains(QStringLiteral("Se ha perdido la conexión con el servidor")) &&
                     e.salida.contains(QStringLiteral("compruebe la red y el servidor y repita el traspaso")),
                 qPrintable(e.salida));
        converge(raiz, base, historia);
    }

    void cleanupTestCase() { servidor_.reset(); }
};

QTEST_GUILESS_MAIN(TstServidor)
#include "tst_servidor.moc"
