// `enlace traspaso` as the clerk runs it: the dates checked as the boxes
// check them, the question on the terminal or answered by --si, every box
// printed as "Título: texto", and the exit status; also on a demo hotel.
#include "tests/transfer/tst_traspaso_escenario.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <csignal>

namespace {

struct Salida {
    int estado = -1;
    QString texto;
};

// The shipped program unless `binario` says otherwise, with `variables`
// ("NOMBRE=valor") added to the environment.
Salida enlace(const QStringList& argumentos, const QByteArray& entrada = {}, const char* binario = ENLACE_BINARIO,
              const QStringList& variables = {})
{
    QProcess p;
    QProcessEnvironment e = QProcessEnvironment::systemEnvironment();
    for (const QString& v : variables) e.insert(v.section('=', 0, 0), v.section('=', 1));
    p.setProcessEnvironment(e);
    p.setProcessChannelMode(QProcess::MergedChannels);
    p.start(QString::fromUtf8(binario), argumentos);
    if (!p.waitForStarted()) qFatal("no arranca %s", binario);
    p.write(entrada);
    p.closeWriteChannel();
    if (!p.waitForFinished(120000)) qFatal("enlace no termina");
    return {p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1, QString::fromUtf8(p.readAll())};
}

const QString PREGUNTA =
    "Seguridad: ¿Esta seguro/a de traspasar las facturas y las cajas a contabilidad entre estas fechas? ";
const QString CORRECTO = "Traspaso a CONTAPLUS: El proceso se ha realizado correctamente. ";

// Files and folders made immutable (chattr +i), so that even root cannot
// write to them; made writable again when the test ends.
struct SoloLectura {
    QStringList rutas;
    bool poner(const QString& ruta)
    {
        if (QProcess::execute("chattr", {"+i", ruta}) != 0) return false;
        rutas.prepend(ruta);
        return true;
    }
    ~SoloLectura()
    {
        for (const QString& r : std::as_const(rutas)) QProcess::execute("chattr", {"-i", r});
    }
};

QByteArray contenido(const QString& ruta)
{
    QFile f(ruta);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("(no existe)");
}

}  // namespace

class TstFechasCli : public QObject {
    Q_OBJECT

private slots:
    void ordenes_data();
    void ordenes();
    void arranque_fallido();
    void ctrl_c_en_la_pregunta();
    void preparacion_fallida_data();
    void preparacion_fallida();
    void demo();
    void variables_de_prueba_data();
    void variables_de_prueba();
};

void TstFechasCli::ordenes_data()
{
    QTest::addColumn<QStringList>("argumentos");
    QTest::addColumn<QByteArray>("entrada");
    QTest::addColumn<bool>("desbordada");
    QTest::addColumn<int>("estado");
    QTest::addColumn<QStringList>("lineas");  // what the output holds, in order
    QTest::addColumn<int>("apuntes");

    const QStringList rango{"--desde", "01032026", "--hasta", "03032026"};
    QTest::newRow("con --si") << (rango + QStringList{"--si"}) << QByteArray() << false << 0
                              << QStringList{PREGUNTA + " (s/n) s", CORRECTO} << 24;
    QTest::newRow("respondido si") << rango << QByteArray("s\n") << false << 0
                                   << QStringList{PREGUNTA + " (s/n) ", CORRECTO} << 24;
    QTest::newRow("respondido no") << rango << QByteArray("n\n") << false << 1 << QStringList{PREGUNTA} << 0;
    QTest::newRow("sin respuesta") << rango << QByteArray() << false << 1 << QStringList{PREGUNTA} << 0;
    QTest::newRow("desde incorrecta") << QStringList{"--desde", "31022026", "--hasta", "03032026", "--si"}
                                      << QByteArray() << false << 1 << QStringList{"Error usuario: Fecha incorrecta"}
                                      << 0;
    QTest::newRow("hasta incorrecta") << QStringList{"--desde", "01032026", "--hasta", "32032026", "--si"}
                                      << QByteArray() << false << 1 << QStringList{"Error usuario: Fecha incorrecta"}
                                      << 0;
    // On the command line a date is eight digits DDMMAAAA from 1980 to 2099.
    const QStringList hasta{"--hasta", "03032026", "--si"};
    auto refusada = [&](const char* fila, const QString& opcion, const QString& texto) {
        const QStringList a = opcion == "--desde" ? QStringList{"--desde", texto} + hasta
                                                  : QStringList{"--desde", "01032026", "--hasta", texto, "--si"};
        QTest::newRow(fila) << a << QByteArray() << false << 1
                            << QStringList{"Error usuario: Fecha incorrecta en " + opcion + ": \"" + texto + "\""} << 0;
    };
    refusada("siete cifras", "--desde", "1112026");
    refusada("nueve cifras", "--desde", "011120260");
    refusada("blanco delante", "--desde", " 1032026");
    refusada("blanco detras", "--hasta", "03032026 ");
    refusada("barras", "--desde", "01/03/26");
    refusada("letra", "--hasta", "0303202O");
    refusada("vacia", "--desde", "");
    refusada("1899", "--desde", "31121899");
    refusada("1979", "--desde", "31121979");
    refusada("2100", "--hasta", "01012100");
    refusada("30 de febrero", "--hasta", "30022028");
    const QString SIN_FACTURAS = "Atención: No existen facturas para traspasar a contabilidad entre estas fechas";
    QTest::newRow("1 de enero de 1980") << QStringList{"--desde", "01011980", "--hasta", "03032026", "--si"}
                                        << QByteArray() << false << 0 << QStringList{SIN_FACTURAS} << 0;
    QTest::newRow("31 de diciembre de 2099") << QStringList{"--desde", "04032026", "--hasta", "31122099", "--si"}
                                             << QByteArray() << false << 0 << QStringList{SIN_FACTURAS} << 0;
    QTest::newRow("final anterior") << QStringList{"--desde", "03032026", "--hasta", "02032026", "--si"} << QByteArray()
                                    << false << 1
                                    << QStringList{"enlace: La fecha final no puede ser inferior a la inicial"} << 0;
    QTest::newRow("sin facturas")
        << QStringList{"--desde", "04032026", "--hasta", "04032026", "--si"} << QByteArray() << false << 0
        << QStringList{"Atención: No existen facturas para traspasar a contabilidad entre estas fechas"} << 0;
    QTest::newRow("fallo") << (rango + QStringList{"--si"}) << QByteArray() << true << 2
                           << QStringList{"Traspaso a CONTAPLUS: El traspaso se ha interrumpido en la factura 104: "}
                           << 0;
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
    // Nothing that did not run staged or marked a receipt.
    if (estado == 1) {
        QCOMPARE(inst.filas("cajj").size(), 0);
        QCOMPARE(inst.filas("caja", "CajaTur = '1'").size(), 0);
    }
}

void TstFechasCli::arranque_fallido()
{
    Instalacion inst;
    QVERIFY(QFile::remove(inst.local("C:\\quelmira\\formas.MDB")));
    const Salida s =
        enlace({"--unidades", inst.raiz(), "traspaso", "--desde", "01032026", "--hasta", "03032026", "--si"});
    QCOMPARE(s.estado, 1);
    QVERIFY2(s.texto.contains("Ha ocurrido un fallo de conexión con las bases de datos del programa de Hotel."),
             qPrintable(s.texto));
    QVERIFY(!s.texto.contains("Seguridad"));
}

// Ctrl+C while the question waits for an answer stops at once, as a
// stopped run, with nothing written; the input stays open.
void TstFechasCli::ctrl_c_en_la_pregunta()
{
    Instalacion inst;
    const auto antes = inst.filas("caja", "CajaTur = '1'").size();
    QProcess p;
    p.setProcessChannelMode(QProcess::MergedChannels);
    p.start(QString::fromUtf8(ENLACE_BINARIO),
            {"--unidades", inst.raiz(), "traspaso", "--desde", "01032026", "--hasta", "03032026"});
    QVERIFY(p.waitForStarted());
    QByteArray salida;
    while (!salida.contains("(s/n)") && p.waitForReadyRead(20000)) salida += p.readAll();
    QVERIFY2(salida.contains("(s/n)"), salida.constData());
    ::kill(pid_t(p.processId()), SIGINT);
    QVERIFY2(p.waitForFinished(20000), "la pregunta no cede a Ctrl+C");
    salida += p.readAll();
    QCOMPARE(p.exitCode(), 3);
    QVERIFY2(QString::fromUtf8(salida).contains("Traspaso detenido por el usuario antes de empezar"),
             salida.constData());
    QCOMPARE(inst.filas("caja", "CajaTur = '1'").size(), antes);
    QVERIFY(!QFile::exists(inst.local("C:\\quelmira\\enlace.lck")));
}

void TstFechasCli::preparacion_fallida_data()
{
    QTest::addColumn<bool>("modo_sql");
    QTest::addColumn<QString>("averia");
    QTest::addColumn<QString>("aviso");  // how the clerk's message starts

    const QString tmp = "C:\\ContaEli\\TMP";
    const QString no_prepara = "No se pueden preparar los ficheros de ContaPlus de " + tmp + ": ";
    const QString fichero = no_prepara + "el fichero " + tmp + "\\Xdiario.dbf ";
    QTest::newRow("tmp nuevo de solo lectura") << false << "tmp nuevo"
                                               << "Ha Ocurrido un error al copiar los ficheros a la carpeta " + tmp;
    QTest::newRow("tmp de solo lectura") << false << "tmp"
                                         << no_prepara + "No se puede escribir en " + tmp + "\\Xdiario.dbf: ";
    QTest::newRow("diario que no es dBASE") << false << "texto" << fichero + "no es un fichero dBASE";
    QTest::newRow("diario vacio") << false << "vacio" << fichero + "está vacío";
    QTest::newRow("diario cortado en la cabecera")
        << false << "cabecera" << fichero + "su cabecera está cortada (el fichero tiene 40 bytes)";
    QTest::newRow("sql: diario que no es dBASE") << true << "texto" << fichero + "no es un fichero dBASE";
}

void TstFechasCli::preparacion_fallida()
{
    // The activation could not prepare the ContaPlus files: the clerk is
    // told, and the run that follows tells it again and does nothing else,
    // in the window and on the command line.
    QFETCH(bool, modo_sql);
    QFETCH(QString, averia);
    QFETCH(QString, aviso);

    Instalacion inst(modo_sql);
    escenario_base(inst);
    const QString tmp = inst.local("C:\\ContaEli\\TMP");
    const QString diario = tmp + "/Xdiario.dbf", subcuentas = tmp + "/XSubCta.dbf";
    const QString plantilla = inst.local("c:\\quelmira\\sp1\\diario.dbf");
    SoloLectura ro;
    if (averia != "tmp nuevo") {
        QVERIFY(QFile::copy(inst.local("c:\\quelmira\\sp1\\subcuent.dbf"), subcuentas));
        QVERIFY(QFile::copy(plantilla, diario));
        QFile::setPermissions(diario, QFile::permissions(diario) | QFile::WriteOwner);
        QFile::setPermissions(subcuentas, QFile::permissions(subcuentas) | QFile::WriteOwner);
    }
    QFile f(diario);
    if (averia == "texto") {
        QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(QByteArray("Asientos de marzo, pendientes de pasar a ContaPlus.\r\n").repeated(20));
    } else if (averia == "vacio") {
        QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    } else if (averia == "cabecera") {
        const QByteArray entero = contenido(plantilla);
        QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(entero.left(40));
    }
    f.close();
    if (averia.startsWith("tmp")) {
        for (const QString& r : averia == "tmp" ? QStringList{diario, subcuentas, tmp} : QStringList{tmp})
            if (!ro.poner(r)) QSKIP("chattr +i no funciona en esta carpeta");
    }
    const QByteArray antes = contenido(diario) + contenido(subcuentas);

    {
        Entorno c(inst);
        QCOMPARE(int(c.correr("01032026", "03032026")), int(FinTraspaso::SinPreparar));
        const auto& t = c.clerk.mensajes;
        QVERIFY2(t.size() == 2 && t[0].texto == t[1].texto && t[0].texto.startsWith(aviso),
                 qPrintable(c.clerk.textos().join('\n')));
    }
    const Salida s =
        enlace({"--unidades", inst.raiz(), "traspaso", "--desde", "01032026", "--hasta", "03032026", "--si"});
    QVERIFY2(s.estado == 1 && s.texto.contains(aviso), qPrintable(s.texto));
    QVERIFY(!s.texto.contains("Seguridad"));

    QCOMPARE(inst.filas("cajj").size(), 0);
    QCOMPARE(inst.filas("fac").size(), 0);
    QCOMPARE(inst.filas("edep").size(), 0);
    QCOMPARE(inst.filas("caja", "CajaTur = '1'").size(), 0);
    QCOMPARE(inst.logs(), QStringList());
    QCOMPARE(contenido(diario) + contenido(subcuentas), antes);
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

void TstFechasCli::variables_de_prueba_data()
{
    QTest::addColumn<bool>("prueba");  // the test build, not the shipped program
    QTest::addColumn<QString>("averia");
    QTest::addColumn<int>("estado");   // -1: killed
    QTest::addColumn<bool>("rastro");  // the write count and the synced copies left

    QTest::newRow("entregado: matar") << false << "*:1:matar" << 0 << false;
    QTest::newRow("entregado: disco lleno") << false << "xdiario.dbf:1:disco" << 0 << false;
    QTest::newRow("entregado: sin averia") << false << "" << 0 << false;
    QTest::newRow("prueba: matar") << true << "*:1:matar" << -1 << false;
    QTest::newRow("prueba: sin averia") << true << "" << 0 << true;
}

// A stray test variable on a clerk's workstation changes nothing: the
// shipped program injects no fault, counts no write and copies no file. The
// test build, given the same variables, obeys them.
void TstFechasCli::variables_de_prueba()
{
    QFETCH(bool, prueba);
    QFETCH(QString, averia);
    QFETCH(int, estado);
    QFETCH(bool, rastro);

    Instalacion inst;
    escenario_base(inst);
    QTemporaryDir dir;
    const QString recuento = dir.filePath("recuento");
    QVERIFY(QDir(dir.path()).mkdir("sincronizados"));
    const Salida s =
        enlace({"--unidades", inst.raiz(), "traspaso", "--desde", "01032026", "--hasta", "03032026", "--si"}, {},
               prueba ? ENLACE_PRUEBA : ENLACE_BINARIO,
               {"ENLACE_AVERIA=" + averia, "ENLACE_AVERIA_RECUENTO=" + recuento,
                "ENLACE_SINCRONIZADOS=" + dir.filePath("sincronizados")});
    QVERIFY2(s.estado == estado, qPrintable(QString("estado %1:\n%2").arg(s.estado).arg(s.texto)));
    if (estado == 0) {
        QVERIFY2(s.texto.contains(CORRECTO), qPrintable(s.texto));
        QCOMPARE(::lineas(ruta_diario(inst)).size(), 24);
    }
    QCOMPARE(QFile::exists(recuento), rastro);
    QCOMPARE(QDir(dir.filePath("sincronizados")).isEmpty(), !rastro);
}

QTEST_GUILESS_MAIN(TstFechasCli)
#include "tst_fechas_cli.moc"
