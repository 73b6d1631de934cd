// Windows paths of the installation mapped onto a folder per drive.
#include "platform/sistema/Unidades.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

class TstUnidades : public QObject {
    Q_OBJECT

    QTemporaryDir dir_;

    void crear(const QString& relativa, bool carpeta = false)
    {
        const QString ruta = dir_.path() + QLatin1Char('/') + relativa;
        if (carpeta) {
            QVERIFY(QDir().mkpath(ruta));
        } else {
            QVERIFY(QDir().mkpath(QFileInfo(ruta).path()));
            QFile f(ruta);
            QVERIFY(f.open(QIODevice::WriteOnly));
        }
    }

private slots:
    void initTestCase()
    {
        QVERIFY(dir_.isValid());
        crear(QStringLiteral("C/quelmira/VTRHSYS.mdb"));
        crear(QStringLiteral("C/quelmira/Sp1/diario.dbf"));
        crear(QStringLiteral("C/ContaEli/TMP"), true);
        crear(QStringLiteral("D/Quelmira/cc.MDB"));
    }

    void rutas_data()
    {
        QTest::addColumn<QString>("windows");
        QTest::addColumn<QString>("local");  // relative to the root
        QTest::newRow("mayúsculas distintas") << "C:\\quelmira\\VTRHSYS.MDB"
                                              << "C/quelmira/VTRHSYS.mdb";
        QTest::newRow("todo en minúsculas") << "c:\\QUELMIRA\\sp1\\DIARIO.DBF"
                                            << "C/quelmira/Sp1/diario.dbf";
        QTest::newRow("barras normales") << "c:/quelmira/sp1/diario.dbf"
                                         << "C/quelmira/Sp1/diario.dbf";
        QTest::newRow("archivo que no existe") << "C:\\quelmira\\sp1\\tc_010124_101010.log"
                                               << "C/quelmira/Sp1/tc_010124_101010.log";
        QTest::newRow("carpeta que no existe y lo que sigue") << "C:\\quelmira\\Nueva\\Sp1\\x.dbf"
                                                              << "C/quelmira/Nueva/Sp1/x.dbf";
        QTest::newRow("otra unidad") << "d:\\quelmira\\CC.mdb"
                                     << "D/Quelmira/cc.MDB";
        QTest::newRow("unidad sola") << "C:"
                                     << "C";
        QTest::newRow("raíz de la unidad") << "C:\\"
                                           << "C";
        QTest::newRow("barra final") << "C:\\ContaEli\\tmp\\"
                                     << "C/ContaEli/TMP";
        QTest::newRow("unidad que no existe") << "E:\\quelmira\\cc.MDB"
                                              << "E/quelmira/cc.MDB";
        QTest::newRow("sin unidad es C") << "\\quelmira\\vtrhsys.mdb"
                                         << "C/quelmira/VTRHSYS.mdb";
        QTest::newRow("dobles barras") << "C:\\\\quelmira\\\\vtrhsys.mdb"
                                       << "C/quelmira/VTRHSYS.mdb";
    }
    void rutas()
    {
        QFETCH(QString, windows);
        QFETCH(QString, local);
        const Unidades u(dir_.path());
        QCOMPARE(u.local(windows), dir_.path() + QLatin1Char('/') + local);
    }

    void letra_en_mayuscula()
    {
        // A drive folder is always the upper-case letter, even when a
        // lower-case folder of that name exists.
        crear(QStringLiteral("d/otro.txt"));
        const Unidades u(dir_.path());
        QCOMPARE(u.local(QStringLiteral("d:\\otro.txt")), dir_.path() + QStringLiteral("/D/otro.txt"));
    }

    void nombre_exacto_primero()
    {
        crear(QStringLiteral("C/dup/Fac.txt"));
        crear(QStringLiteral("C/dup/fac.txt"));
        const Unidades u(dir_.path());
        QCOMPARE(u.local(QStringLiteral("C:\\dup\\fac.txt")), dir_.path() + QStringLiteral("/C/dup/fac.txt"));
        QCOMPARE(u.local(QStringLiteral("C:\\dup\\Fac.txt")), dir_.path() + QStringLiteral("/C/dup/Fac.txt"));
    }

    void raiz_por_defecto()
    {
        QCOMPARE(Unidades::raiz_por_defecto(), QDir::homePath() + QStringLiteral("/.local/share/enlace"));
        QCOMPARE(Unidades(QStringLiteral("/tmp/x/")).raiz(), QStringLiteral("/tmp/x"));
    }
};

QTEST_GUILESS_MAIN(TstUnidades)
#include "tst_unidades.moc"
