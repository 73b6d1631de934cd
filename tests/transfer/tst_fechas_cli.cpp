// `enlace traspaso` as the clerk runs it: the dates checked as the boxes
// check them, the question on the terminal or answered by --si, every box
// printed as "Título: texto", and the exit status; also on a demo hotel.
#include "tests/transfer/tst_traspaso_escenario.h"

#include <QProcess>
#include <QTemporaryDir>

namespace {

struct Salida {
    int estado = -1;
    QString texto;
};

Salida enlace(const QStringList& argumentos, const QByteArray& entrada = {})
{
    QProcess p;
    p.setProcessChannelMode(QProcess::MergedChannels);
    p.start(QStringLiteral(ENLACE_BINARIO), argumentos);
    if (!p.waitForStarted()) qFatal("no arranca %s", ENLACE_BINARIO);
    p.write(entrada);
    p.closeWriteChannel();
    if (!p.waitForFinished(120000)) qFatal("enlace no termina");
    return {p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1, QString::fromUtf8(p.readAll())};
}

const QString PREGUNTA =
    "Seguridad: ¿Esta seguro/a de traspasar las facturas y las cajas a contabilidad entre estas fechas? ";
const QString CORRECTO = "Traspaso a CONTAPLUS: El proceso se ha realizado correctamente. ";

}  // namespace

class TstFechasCli : public QObject {
    Q_OBJECT

private slots:
    void ordenes_data();
    void ordenes();
    void arranque_fallido();
    void demo();
};

void TstFechasCli::ordenes_data()
{
    QTest::addColumn<QStringList>("argumentos");
    QTest::addColumn<QByteArray>("entrada");
    QTest::addColumn<bool>("desbordada");
    QTest::addColumn<int>("estado");
    QTest::addColumn<QStringList>("lineas");     // what the output holds, in order
    QTest::addColumn<int>("apuntes");

    const QStringList rango{"--desde", "01032026", "--hasta", "03032026"};
    QTest::newRow("con --si") << (rango + QStringList{"--si"}) << QByteArray() << false << 0
                              << QStringList{PREGUNTA + " (s/n) s", CORRECTO} << 24;
    QTest::newRow("respondido si") << rango << QByteArray("s\n") << false << 0
                                   << QStringList{PREGUNTA + " (s/n) ", CORRECTO} << 24;
    QTest::newRow("respondido no") << rango << QByteArray("n\n") << false << 1 << QStringList{PREGUNTA} << 0;
    QTest::newRow("sin respuesta") << rango << QByteArray() << false << 1 << QStringList{PREGUNTA} << 0;
    QTest::newRow("desde incorrecta")
        << QStringList{"--desde", "31022026", "--hasta", "03032026", "--si"} << QByteArray() << false << 1
        << QStringList{"Error usuario: Fecha incorrecta"} << 0;
    QTest::newRow("hasta incorrecta")
        << QStringList{"--desde", "01032026", "--hasta", "32032026", "--si"} << QByteArray() << false << 1
        << QStringList{"Error usuario: Fecha incorrecta"} << 0;
    QTest::newRow("final anterior")
        << QStringList{"--desde", "03032026", "--hasta", "02032026", "--si"} << QByteArray() << false << 1
        << QStringList{"enlace: La fecha final no puede ser inferior a la inicial"} << 0;
    QTest::newRow("sin facturas")
        << QStringList{"--desde", "04032026", "--hasta", "04032026", "--si"} << QByteArray() << false << 0
        << QStringList{"Atención: No existen facturas para traspasar a contabilidad entre estas fechas"} << 0;
    QTest::newRow("fallo") << (rango + QStringList{"--si"}) << QByteArray() << true << 2
                           << QStringList{"Traspaso a CONTAPLUS: El traspaso se ha interrumpido en el asiento de la factura 104: "}
                           << 8;
    QTest::newRow("falta hasta") << QStringList{"--desde", "01032026", "--si"} << QByteArray() << false << 1
                                 << QStringList{"Uso: enlace"} << 0;
    QTest::newRow("argumento desconocido") << (rango + QStringList{"--no"}) << QByteArray() << false << 1
                                           << QStringList{"Argumento desconocido: --no"} << 0;
}

void TstFechasCli::ordenes()
{
    QFETCH(QStringList, argumentos);
    QFETCH(QByteArray, entrada);
    QFETCH(bool, desbordada);
    QFETCH(int, estado);
    QFETCH(QStringList, lineas);
    QFETCH(int, apuntes);

    Instalacion inst;
    escenario_base(inst);
    if (desbordada) factura_desbordada(inst);
    const Salida s = enlace(QStringList{"--unidades", inst.raiz(), "traspaso"} + argumentos, entrada);
    QVERIFY2(s.estado == estado, qPrintable(QString("estado %1:\n%2").arg(s.estado).arg(s.texto)));
    qsizetype desde = 0;
    for (const QString& l : lineas) {
        const qsizetype i = s.texto.indexOf(l, desde);
        QVERIFY2(i >= 0, qPrintable("falta «" + l + "» en:\n" + s.texto));
        desde = i + l.size();
    }
    if (estado != 0) QVERIFY(!s.texto.contains(CORRECTO));
    QCOMPARE(::lineas(ruta_diario(inst)).size(), apuntes);
    // A log only once the question was answered yes.
    const bool confirmado = s.texto.contains(PREGUNTA + " (s/n) s") || entrada.startsWith("s");
    QCOMPARE(inst.logs().size(), confirmado ? 1 : 0);
}

void TstFechasCli::arranque_fallido()
{
    Instalacion inst;
    QVERIFY(QFile::remove(inst.local("C:\\quelmira\\formas.MDB")));
    const Salida s = enlace({"--unidades", inst.raiz(), "traspaso", "--desde", "01032026", "--hasta", "03032026", "--si"});
    QCOMPARE(s.estado, 1);
    QVERIFY2(s.texto.contains("Ha ocurrido un fallo de conexión con las bases de datos del programa de Hotel."),
             qPrintable(s.texto));
    QVERIFY(!s.texto.contains("Seguridad"));
}

void TstFechasCli::demo()
{
    // The demonstration hotel: five days of November, transferred twice.
    QTemporaryDir dir;
    const QString raiz = dir.filePath("demo");
    Salida s = enlace({"demo", raiz, "--facturas", "40", "--desde", "01112026", "--dias", "5"});
    QVERIFY2(s.estado == 0, qPrintable(s.texto));

    const QStringList orden{"--unidades", raiz, "traspaso", "--desde", "01112026", "--hasta", "05112026", "--si"};
    s = enlace(orden);
    QVERIFY2(s.estado == 0 && s.texto.contains(CORRECTO), qPrintable(s.texto));
    const Unidades u(raiz);
    const QString diario = u.local("C:\\ContaEli\\TMP\\Xdiario.dbf");
    const TablaDbf d = leer_dbf(diario);
    QVERIFY(d.filas.size() > 40 * 3);
    QCOMPARE(descuadres(d), QStringList());
    QVERIFY(d.marca_fin);
    QCOMPARE(d.registros_cabecera, qint64(d.filas.size()));

    s = enlace(orden);
    QVERIFY2(s.estado == 0, qPrintable(s.texto));
    QCOMPARE(leer_dbf(diario).filas.size(), d.filas.size());
}

QTEST_GUILESS_MAIN(TstFechasCli)
#include "tst_fechas_cli.moc"
