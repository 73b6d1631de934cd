// Dry runs and runs stopped on request. A dry run leaves every file of the
// installation as it was and would have written what the real run then
// writes; it keeps no hotel table from its writers. A run stopped after a
// group leaves a consistent state, and the next run ends where one unbroken
// run ends.
#include "tests/transfer/tst_traspaso_escenario.h"
#include "transfer/FechasTraspaso.h"
#include "transfer/Simulacion.h"

#include <QCryptographicHash>
#include <QDir>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QMap>
#include <QProcess>
#include <QRegularExpression>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QTemporaryDir>
#include <QTest>

namespace {

const QString DESDE = QStringLiteral("01032026");
const QString HASTA = QStringLiteral("03032026");

// `enlace` with `argumentos`, its output merged; waits when `esperar`.
void enlace(QProcess& p, const QStringList& argumentos, bool esperar = true)
{
    QProcessEnvironment e = QProcessEnvironment::systemEnvironment();
    e.insert("QT_QPA_PLATFORM", "offscreen");
    e.insert("LC_ALL", "C.UTF-8");
    p.setProcessEnvironment(e);
    p.setProcessChannelMode(QProcess::MergedChannels);
    p.start(QStringLiteral(ENLACE_BINARIO), argumentos);
    if (!p.waitForStarted()) qFatal("no arranca %s", ENLACE_BINARIO);
    if (esperar && !p.waitForFinished(120000)) qFatal("enlace no termina");
}

int traspasar(const QString& raiz)
{
    QProcess p;
    enlace(p, {"--unidades", raiz, "traspaso", "--desde", "01112026", "--hasta", "03112026", "--si"});
    return p.exitCode();
}

// SHA-256 of every file under `carpeta`, by path relative to it.
QMap<QString, QByteArray> huellas(const QString& carpeta)
{
    QMap<QString, QByteArray> r;
    for (QDirIterator it(carpeta, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories); it.hasNext();) {
        const QString ruta = it.next();
        QFile f(ruta);
        if (!f.open(QIODevice::ReadOnly)) qFatal("no se puede leer %s", qPrintable(ruta));
        QCryptographicHash h(QCryptographicHash::Sha256);
        h.addData(&f);
        r.insert(QDir(carpeta).relativeFilePath(ruta), h.result().toHex());
    }
    return r;
}

// The dates typed in both boxes of `t` and confirmed.
void fechas(Traspaso& t, VistaPrueba& vista, const QString& desde, const QString& hasta)
{
    QString de = desde, ha = hasta;
    if (confirmar_desde(t, de) != ResultadoFecha::Aceptada || confirmar_hasta(t, ha) != ResultadoFecha::Aceptada)
        qFatal("fechas rechazadas");
    vista.de = de;
    vista.hasta = ha;
}

// Rows of an SQLite file as "column=value|...", sorted.
QStringList filas_sqlite(const QString& archivo, const QString& sql)
{
    static int n = 0;
    const QString nombre = QStringLiteral("lectura_%1").arg(++n);
    QStringList r;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), nombre);
        db.setDatabaseName(archivo);
        db.setConnectOptions(QStringLiteral("QSQLITE_OPEN_READONLY"));
        QSqlQuery q(db);
        if (!db.open() || !q.exec(sql)) qFatal("%s en %s", qPrintable(sql), qPrintable(archivo));
        while (q.next()) {
            QStringList partes;
            for (int c = 0; c < q.record().count(); ++c)
                partes << q.record().fieldName(c) + '=' + q.value(c).toString();
            r << partes.join('|');
        }
    }
    QSqlDatabase::removeDatabase(nombre);
    r.sort();
    return r;
}

// Rows of a dBASE file as "column=value|...", sorted; the entry number of
// the day phases' lines left out (an unbroken run numbers them alike only
// up to the order of the days' entries).
QStringList filas_dbf(const QString& ruta)
{
    QStringList r;
    if (!QFileInfo(ruta).isFile()) return r;
    const TablaDbf t = leer_dbf(ruta);
    for (const QVariantMap& f : t.filas) {
        const bool de_factura =
            !t.columnas.contains("Auxiliar", Qt::CaseInsensitive) || col(f, "Auxiliar").toString().trimmed() == "*";
        QStringList partes;
        for (const QString& c : t.columnas)
            partes << c + '=' +
                          (c.compare("Asien", Qt::CaseInsensitive) == 0 && !de_factura ? QString("-")
                                                                                       : f.value(c).toString());
        r << partes.join('|');
    }
    r.sort();
    return r;
}

// What the runs left under the installation folder `raiz`: the journal,
// the subaccounts and the link's working rows.
QStringList salida(const QString& raiz, const QString& ficheros = QStringLiteral("C:\\ContaEli\\TMP"))
{
    const Unidades u(raiz);
    QStringList r = filas_dbf(u.local(ficheros + "\\Xdiario.dbf")) + filas_dbf(u.local(ficheros + "\\XSubCta.dbf"));
    for (const char* tabla : {"cajj", "edep", "fac", "fal"})
        r += filas_sqlite(u.local("C:\\quelmira\\enlace.MDB"), QStringLiteral("SELECT * FROM ") + QLatin1String(tabla));
    return r;
}

// The hotel's marks: caja.CajaTur and emi.EmiCie of every row.
QStringList marcas(const Instalacion& inst)
{
    QStringList r;
    for (const QVariantMap& f : inst.filas("caja"))
        r << f.value("CajaFec").toString() + ' ' + f.value("CajaOrd").toString() + ' ' + f.value("CajaTur").toString();
    for (const QVariantMap& f : inst.filas("emi"))
        r << f.value("EmiNum").toString() + ' ' + f.value("EmiCie").toString();
    r.sort();
    return r;
}

// A view whose progress reports call `al_progreso` with the phase.
struct VistaEspia : VistaPrueba {
    std::function<void(const QString&)> al_progreso;
    void progreso(const QString& fase, qint64 hecho, qint64 total) override
    {
        VistaPrueba::progreso(fase, hecho, total);
        if (al_progreso) al_progreso(fase);
    }
};

// A write of another program of the hotel on `tabla`, with no wait for
// locks: true when it went through.
bool escribir_sin_esperar(const Instalacion& inst, const QString& tabla, const QString& sql, qint64* ms)
{
    static int n = 0;
    const QString nombre = QStringLiteral("otro_programa_%1").arg(++n);
    bool ok = false;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), nombre);
        db.setDatabaseName(inst.archivo_de(tabla));
        db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=0"));
        QElapsedTimer reloj;
        reloj.start();
        ok = db.open() && QSqlQuery(db).exec(sql);
        *ms = reloj.elapsed();
    }
    QSqlDatabase::removeDatabase(nombre);
    return ok;
}

}  // namespace

class TstSimulacion : public QObject {
    Q_OBJECT

private slots:
    void no_cambia_nada_data();
    void no_cambia_nada();
    void no_retiene_tablas_data();
    void no_retiene_tablas();
    void detenido_data();
    void detenido();
    void textos_de_la_simulacion();
    void ctrl_c();
};

void TstSimulacion::no_cambia_nada_data()
{
    QTest::addColumn<bool>("sql");
    QTest::addColumn<QVariantMap>("cc");
    QTest::newRow("access") << false << QVariantMap{};
    QTest::newRow("sql") << true << QVariantMap{};
    QTest::newRow("access externa") << false << QVariantMap{{"Externa", 1}};
}

// Every file byte for byte as before, the report and its CSV the only new
// ones; then the real run writes the journal lines, subaccounts and working
// rows the dry run wrote in its copies.
void TstSimulacion::no_cambia_nada()
{
    QFETCH(bool, sql);
    QFETCH(QVariantMap, cc);
    Instalacion inst(sql);
    escenario_base(inst);
    inst.ajustes(cc);
    // A run before: the dry run starts from a journal and marks that hold rows.
    QCOMPARE(int(transferir(inst, DESDE, DESDE)), int(FinTraspaso::Correcto));
    {
        Entorno e(inst);
    }
    const QString carpeta = QFileInfo(inst.raiz()).path();
    const QMap<QString, QByteArray> antes = huellas(carpeta);

    const QString ficheros = cc.contains("Externa") ? "C:\\ContaEli" : "C:\\ContaEli\\TMP";
    QStringList simulada;
    Simulacion s;
    {
        Entorno e(inst);
        fechas(e.t, e.vista, DESDE, HASTA);
        OpcionesSimulacion o;
        o.al_terminar = [&](const QString& raiz) { simulada = salida(raiz, ficheros); };
        s = simular(e.t, o);
        QCOMPARE(int(s.fin), int(FinTraspaso::Correcto));
        QVERIFY(e.clerk.textos().contains("Traspaso a CONTAPLUS: El proceso se ha realizado correctamente. "));
    }
    const QMap<QString, QByteArray> despues = huellas(carpeta);
    for (auto it = antes.begin(); it != antes.end(); ++it)
        QVERIFY2(despues.value(it.key()) == it.value(), qPrintable(it.key()));
    QStringList nuevos;
    for (auto it = despues.begin(); it != despues.end(); ++it)
        if (!antes.contains(it.key())) nuevos << it.key();
    QCOMPARE(nuevos.size(), 2);
    const QRegularExpression nombre(QStringLiteral("/sp1/simulacion_\\d{6}_\\d{6}\\.(csv|html)$"));
    for (const QString& n : std::as_const(nuevos)) QVERIFY2(nombre.match(n).hasMatch(), qPrintable(n));
    QVERIFY(QFileInfo(s.informe).isFile() && QFileInfo(s.csv).isFile());
    QVERIFY(!simulada.isEmpty());
    // The report is marked, and lists the lines the CSV holds (less its header).
    QFile html(s.informe), csv(s.csv);
    QVERIFY(html.open(QIODevice::ReadOnly) && csv.open(QIODevice::ReadOnly));
    const QString pagina = QString::fromUtf8(html.readAll());
    QVERIFY(pagina.contains(QStringLiteral("Simulación: no se ha escrito nada")));
    const qsizetype tabla = pagina.indexOf(QStringLiteral("Apuntes que se escribirían"));
    QVERIFY(tabla > 0);
    QCOMPARE(pagina.mid(tabla).count(QStringLiteral("<tr><td class=\"n\">")), csv.readAll().count('\n') - 1);

    QCOMPARE(int(transferir(inst, DESDE, HASTA)), int(FinTraspaso::Correcto));
    QCOMPARE(simulada, salida(inst.raiz(), ficheros));
}

void TstSimulacion::no_retiene_tablas_data()
{
    QTest::addColumn<bool>("sql");
    QTest::newRow("access") << false;
    QTest::newRow("sql") << true;
}

// From inside the dry run, at every phase, another program writes to caja
// and emi and is not kept waiting.
void TstSimulacion::no_retiene_tablas()
{
    QFETCH(bool, sql);
    Instalacion inst(sql);
    escenario_base(inst);
    Entorno e(inst);
    VistaEspia vista;
    Traspaso t(e.m, vista);
    fechas(t, vista, DESDE, HASTA);
    QStringList fallos;
    int escrituras = 0;
    vista.al_progreso = [&](const QString& fase) {
        if (vista.fases.size() <= escrituras / 2) return;  // once per phase
        for (const auto& [tabla, sentencia] :
             {std::pair{QStringLiteral("caja"), QStringLiteral("UPDATE caja SET CajaCon = CajaCon WHERE CajaOrd = 4")},
              std::pair{QStringLiteral("emi"),
                        QStringLiteral("UPDATE emi SET EmiFec = EmiFec WHERE EmiNum = '103'")}}) {
            qint64 ms = 0;
            if (!escribir_sin_esperar(inst, tabla, sentencia, &ms) || ms > 200)
                fallos << QStringLiteral("%1 en %2 (%3 ms)").arg(tabla, fase).arg(ms);
            ++escrituras;
        }
    };
    QCOMPARE(int(simular(t).fin), int(FinTraspaso::Correcto));
    QVERIFY(escrituras >= 6);
    QVERIFY2(fallos.isEmpty(), qPrintable(fallos.join("; ")));
}

void TstSimulacion::detenido_data()
{
    QTest::addColumn<bool>("sql");
    QTest::addColumn<QString>("fase");
    QTest::newRow("en la caja") << false << "Movimientos de caja";
    QTest::newRow("en las facturas") << false << "Facturas";
    QTest::newRow("en las facturas, sql") << true << "Facturas";
}

// Asked to stop from the view during a phase, the run stops at the next
// commit, says where, and a later run ends as an unbroken one.
void TstSimulacion::detenido()
{
    QFETCH(bool, sql);
    QFETCH(QString, fase);
    Instalacion inst(sql), entera(sql);
    for (Instalacion* i : {&inst, &entera}) escenario_base(*i);
    QCOMPARE(int(transferir(entera, DESDE, HASTA)), int(FinTraspaso::Correcto));

    {
        Entorno e(inst);
        VistaEspia vista;
        Traspaso t(e.m, vista);
        bool pedida = false;
        int preguntas = 0;
        vista.al_progreso = [&](const QString& f) { pedida = pedida || f == fase; };
        t.pedir_detencion = [&] {
            ++preguntas;
            return pedida;
        };
        QVERIFY(t.activar());
        fechas(t, vista, DESDE, HASTA);
        QCOMPARE(int(t.iniciar2()), int(FinTraspaso::Detenido));
        QVERIFY(preguntas > 0);
        QVERIFY(t.detenido.startsWith("Traspaso detenido por el usuario en "));
        QVERIFY(t.detenido.endsWith(": el resto se traspasará en el próximo traspaso."));
        QVERIFY(e.clerk.textos().contains("Traspaso a CONTAPLUS: " + t.detenido));
        QFile log(inst.local("c:\\quelmira\\sp1\\" + inst.logs().constLast()));
        QVERIFY(log.open(QIODevice::ReadOnly));
        QVERIFY(log.readAll().contains(t.detenido.toLatin1()));
    }
    QVERIFY(salida(inst.raiz()) != salida(entera.raiz()));

    QCOMPARE(int(transferir(inst, DESDE, HASTA)), int(FinTraspaso::Correcto));
    QCOMPARE(salida(inst.raiz()), salida(entera.raiz()));
    QCOMPARE(marcas(inst), marcas(entera));
}

// A dry run stopped or failed says what is true of it: nothing was written
// or marked, nothing is left for another run.
void TstSimulacion::textos_de_la_simulacion()
{
    for (const bool fallo : {false, true}) {
        Instalacion inst;
        escenario_base(inst);
        if (fallo) factura_desbordada(inst);
        Entorno e(inst);
        VistaEspia vista;
        Traspaso t(e.m, vista);
        t.pedir_detencion = [&] { return !fallo; };
        fechas(t, vista, DESDE, HASTA);
        const Simulacion s = simular(t);
        QCOMPARE(int(s.fin), int(fallo ? FinTraspaso::Fallido : FinTraspaso::Detenido));
        const QString textos = e.clerk.textos().join('\n');
        QVERIFY2(!textos.contains("queda marcado") && !textos.contains("el resto se traspasar"), qPrintable(textos));
        QVERIFY2(textos.contains(fallo ? "Es una simulación: no se ha escrito ni marcado nada; corrija el dato"
                                       : "Simulación detenida por el usuario en "),
                 qPrintable(textos));
    }
}

// Ctrl+C on `enlace traspaso` while it posts: the run stops after a group
// with status 3, and a later run ends as an unbroken one. The test build
// raises SIGINT itself at the 100th write to caja.MDB, so the interruption
// falls mid-run whatever the machine's speed.
void TstSimulacion::ctrl_c()
{
    QTemporaryDir dir;
    const QString raiz = dir.filePath("cortada"), entera = dir.filePath("entera");
    for (const QString& r : {raiz, entera}) {
        QProcess demo;
        enlace(demo, {"demo", r, "--facturas", "300", "--semilla", "5", "--desde", "01112026", "--dias", "3"});
        QCOMPARE(demo.exitCode(), 0);
    }
    QCOMPARE(traspasar(entera), 0);

    QProcess p;
    QProcessEnvironment e = QProcessEnvironment::systemEnvironment();
    e.insert("QT_QPA_PLATFORM", "offscreen");
    e.insert("LC_ALL", "C.UTF-8");
    e.insert("ENLACE_AVERIA", "caja.MDB:100:senal");
    p.setProcessEnvironment(e);
    p.setProcessChannelMode(QProcess::MergedChannels);
    p.start(QStringLiteral(ENLACE_PRUEBA),
            {"--unidades", raiz, "traspaso", "--desde", "01112026", "--hasta", "03112026", "--si"});
    QVERIFY(p.waitForFinished(60000));
    const QString texto = QString::fromUtf8(p.readAll());
    QVERIFY2(p.exitStatus() == QProcess::NormalExit && p.exitCode() == 3, qPrintable(texto));
    QVERIFY(texto.contains("Traspaso detenido por el usuario en "));

    QCOMPARE(traspasar(raiz), 0);
    QCOMPARE(salida(raiz), salida(entera));
    const QString hotel = "SELECT CajaFec, CajaOrd, CajaTur FROM caja";
    QCOMPARE(filas_sqlite(Unidades(raiz).local("C:\\quelmira\\caja.MDB"), hotel),
             filas_sqlite(Unidades(entera).local("C:\\quelmira\\caja.MDB"), hotel));
}

QTEST_GUILESS_MAIN(TstSimulacion)
#include "tst_simulacion.moc"
