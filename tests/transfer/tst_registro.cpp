// The transfer log: Windows-1252 bytes and CR LF, and the whole log of one
// small run, byte for byte, with the clock fixed.
#include "tests/transfer/tst_traspaso_escenario.h"

#include "platform/sistema/Fichero.h"
#include "tests/support/Fallos.h"
#include "transfer/RegistroTraspaso.h"

#include <QDate>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <QTime>

class TstRegistro : public QObject {
    Q_OBJECT

private slots:
    void codificacion_data();
    void codificacion();
    void nunca_reemplaza_data();
    void nunca_reemplaza();
    void carpeta_inexistente();
    void dos_en_un_segundo();
    void log_de_un_traspaso();
};

void TstRegistro::codificacion_data()
{
    QTest::addColumn<QString>("texto");
    QTest::addColumn<QByteArray>("bytes");

    QTest::newRow("ascii") << "Forzando el Cierre" << QByteArray("Forzando el Cierre\r\n");
    QTest::newRow("latin-1") << "Depósito Contabilícelo Atención ñ"
                             << QByteArray("Dep\xf3sito Contabil\xed"
                                           "celo Atenci\xf3n \xf1\r\n");
    // The 0x80-0x9F block is where Windows-1252 is not Latin-1.
    QTest::newRow("euro y comillas") << QString::fromUtf8("€ “x” ‘y’ – … Ž œ")
                                     << QByteArray("\x80 \x93x\x94 \x91y\x92 \x96 \x85 \x8e \x9c\r\n");
    // Outside the code page: one question mark per character.
    QTest::newRow("fuera") << QString::fromUtf8("Ω ✓ 😀.") << QByteArray("? ? ?.\r\n");
    QTest::newRow("vacia") << "" << QByteArray("\r\n");
}

void TstRegistro::codificacion()
{
    QFETCH(QString, texto);
    QFETCH(QByteArray, bytes);
    QTemporaryDir dir;
    RegistroTraspaso r;
    r.abrir(dir.filePath("a.log"));
    QVERIFY(r.abierto());
    r.linea(texto);
    // Kept until vaciar() (each group commit), then on disk before closing.
    QFile f(dir.filePath("a.log"));
    QVERIFY(f.open(QIODevice::ReadOnly));
    QCOMPARE(f.readAll(), QByteArray());
    r.vaciar();
    QCOMPARE(f.readAll(), bytes);
    r.cerrar();
    QVERIFY(!r.abierto());
}

// A name already taken, by a log or by the report beside it, gets the next
// suffix; what was there stays as it was.
void TstRegistro::nunca_reemplaza_data()
{
    QTest::addColumn<QStringList>("ocupados");  // a trailing / is a folder
    QTest::addColumn<QString>("creado");
    QTest::newRow("libre") << QStringList{} << "a.log";
    QTest::newRow("log") << QStringList{"a.log"} << "a_2.log";
    QTest::newRow("informe") << QStringList{"a.html"} << "a_2.log";
    QTest::newRow("carpeta") << QStringList{"a.log/"} << "a_2.log";
    QTest::newRow("dos") << QStringList{"a.log", "a_2.html"} << "a_3.log";
}

void TstRegistro::nunca_reemplaza()
{
    QFETCH(QStringList, ocupados);
    QFETCH(QString, creado);
    QTemporaryDir dir;
    for (const QString& o : ocupados) {
        if (o.endsWith('/')) {
            QVERIFY(QDir(dir.path()).mkdir(o));
            continue;
        }
        QFile f(dir.filePath(o));
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("antiguo\r\n");
    }
    RegistroTraspaso r;
    QCOMPARE(Fichero::con_sufijo("a.log", r.abrir(dir.filePath("a.log"), {".html"})), creado);
    QCOMPARE(r.ruta(), dir.filePath(creado));
    r.linea("nueva");
    r.cerrar();
    QCOMPARE(r.fallo(), QString());
    QFile f(dir.filePath(creado));
    QVERIFY(f.open(QIODevice::ReadOnly));
    QCOMPARE(f.readAll(), QByteArray("nueva\r\n"));
    for (const QString& o : ocupados) {
        QFile v(dir.filePath(o));
        if (!o.endsWith('/')) QVERIFY(v.open(QIODevice::ReadOnly) && v.readAll() == "antiguo\r\n");
    }
}

void TstRegistro::carpeta_inexistente()
{
    QTemporaryDir dir;
    RegistroTraspaso r;
    const auto f = fallo_de([&] { r.abrir(dir.filePath("no/existe/a.log")); });
    QVERIFY2(f, "abrir debía fallar");
    QCOMPARE(f->numero(), codigo_error::ERROR_DE_ARCHIVO);
    QVERIFY2(f->descripcion().contains("a.log"), qPrintable(f->descripcion()));
    QVERIFY(!r.abierto());
}

void TstRegistro::log_de_un_traspaso()
{
    Instalacion inst;
    escenario_base(inst);
    Entorno c(inst);
    c.t.reloj_fijo = QDateTime(QDate(2026, 11, 30), QTime(10, 20, 30));
    QCOMPARE(int(c.correr("01032026", "03032026")), int(FinTraspaso::Correcto));
    QVERIFY(!c.t.log.abierto());

    QCOMPARE(inst.logs(), QStringList{"tc_301126_102030.log"});
    QFile hecho(inst.local("C:\\quelmira\\sp1\\tc_301126_102030.log"));
    QFile esperado(QStringLiteral(ENLACE_FUENTES) + "/tests/transfer/datos/tc_301126_102030.log");
    QVERIFY(hecho.open(QIODevice::ReadOnly));
    QVERIFY(esperado.open(QIODevice::ReadOnly));
    const QList<QByteArray> a = hecho.readAll().split('\n'), b = esperado.readAll().split('\n');
    for (int i = 0; i < qMin(a.size(), b.size()); ++i) QCOMPARE(a[i], b[i]);
    QCOMPARE(a.size(), b.size());
}

// Two runs in the same second: the second log and report get a suffix and
// the first log keeps every line, the receipt to post by hand among them.
void TstRegistro::dos_en_un_segundo()
{
    Instalacion inst;
    escenario_base(inst);
    const QDateTime reloj(QDate(2026, 11, 30), QTime(10, 20, 30));
    QByteArray primero;
    {
        Entorno c(inst);
        c.t.reloj_fijo = reloj;
        QCOMPARE(c.correr("01032026", "03032026"), FinTraspaso::Correcto);
        QFile f(inst.local("C:\\quelmira\\sp1\\tc_301126_102030.log"));
        QVERIFY(f.open(QIODevice::ReadOnly));
        primero = f.readAll();
        QVERIFY(primero.contains("Contabil\xed"
                                 "celo a mano"));
    }
    Entorno c(inst);
    c.t.reloj_fijo = reloj;
    QCOMPARE(c.correr("01032026", "05032026"), FinTraspaso::Correcto);
    QCOMPARE(inst.logs(), (QStringList{"tc_301126_102030.log", "tc_301126_102030_2.log"}));
    QCOMPARE(c.t.nombre_registro, "c:\\quelmira\\sp1\\tc_301126_102030_2.log");
    QCOMPARE(c.t.informe, inst.local("C:\\quelmira\\sp1\\tc_301126_102030_2.html"));
    QVERIFY(QFile::exists(inst.local("C:\\quelmira\\sp1\\tc_301126_102030.html")));
    QFile f(inst.local("C:\\quelmira\\sp1\\tc_301126_102030.log")), g(c.t.log.ruta());
    QVERIFY(f.open(QIODevice::ReadOnly) && g.open(QIODevice::ReadOnly));
    QCOMPARE(f.readAll(), primero);
    QVERIFY(g.readAll().startsWith("Traspaso a contabilidad desde: 01/03/2026 Hasta: 05/03/2026 "));
}

QTEST_GUILESS_MAIN(TstRegistro)
#include "tst_registro.moc"
