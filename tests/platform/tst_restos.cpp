// What a killed dry run leaves in the temporary folder: removed by the next
// start only when no live process owns it.
#include "platform/sistema/BloqueoFichero.h"
#include "platform/sistema/CarpetaTemporal.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <memory>

namespace {

qint64 proceso_muerto()
{
    QProcess p;
    p.start("sleep", {"0.05"});
    const qint64 pid = p.processId();
    p.waitForFinished();
    return pid;
}

}  // namespace

class TstRestos : public QObject {
    Q_OBJECT

private slots:
    void limpiar_data()
    {
        QTest::addColumn<QString>("nombre");  // %1: the owner's pid
        QTest::addColumn<qint64>("proceso");
        QTest::addColumn<int>("marca");  // 0 none, 1 free, 2 held by a live process
        QTest::addColumn<bool>("quitada");
        const qint64 vivo = QCoreApplication::applicationPid();
        QTest::newRow("marca libre") << "enlace-%1-abc123" << vivo << 1 << true;
        QTest::newRow("marca tomada") << "enlace-%1-abc123" << proceso_muerto() << 2 << false;
        QTest::newRow("sin marca, proceso muerto") << "enlace-%1-abc123" << proceso_muerto() << 0 << true;
        QTest::newRow("sin marca, proceso vivo") << "enlace-%1-abc123" << vivo << 0 << false;
        QTest::newRow("de otro programa") << "enlace-%1" << proceso_muerto() << 1 << false;
    }
    void limpiar()
    {
        QFETCH(QString, nombre);
        QFETCH(qint64, proceso);
        QFETCH(int, marca);
        QFETCH(bool, quitada);
        QTemporaryDir tmp;
        const QString carpeta = tmp.filePath(nombre.arg(proceso));
        QVERIFY(QDir().mkpath(carpeta + "/C/quelmira"));
        QVERIFY(QFile(carpeta + "/C/quelmira/enlace.MDB").open(QIODevice::WriteOnly));
        BloqueoFichero dueno;
        if (marca > 0) QVERIFY(QFile(carpeta + "/enlace.vivo").open(QIODevice::WriteOnly));
        if (marca == 2) QCOMPARE(dueno.tomar(carpeta + "/enlace.vivo"), BloqueoFichero::Resultado::Tomado);
        QCOMPARE(CarpetaTemporal::limpiar_restos(tmp.path()), quitada ? 1 : 0);
        QCOMPARE(QFileInfo::exists(carpeta), !quitada);
    }

    // A live scratch folder is never taken for a leftover; it goes with its owner.
    void carpeta_propia()
    {
        QTemporaryDir tmp;
        qputenv("TMPDIR", QFile::encodeName(tmp.path()));
        auto c = std::make_unique<CarpetaTemporal>();
        QVERIFY2(c->isValid(), qPrintable(c->errorString()));
        const QString ruta = c->path();
        QVERIFY(ruta.startsWith(tmp.path() + "/enlace-" + QString::number(QCoreApplication::applicationPid()) + "-"));
        QCOMPARE(CarpetaTemporal::limpiar_restos(tmp.path()), 0);
        QVERIFY(QFileInfo(ruta + "/enlace.vivo").isFile());
        c.reset();
        QVERIFY(!QFileInfo::exists(ruta));
        qunsetenv("TMPDIR");
    }
};

QTEST_GUILESS_MAIN(TstRestos)
#include "tst_restos.moc"
