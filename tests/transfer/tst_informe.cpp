// The transfer's report and CSV against the journal as python3-dbfread reads
// it back: totals, per-account rows and per-day invoices of the run's own
// records only, the CSV's shape, and a report that cannot be written.
#include "report/InformeTraspaso.h"
#include "tests/support/Dbf.h"
#include "tests/support/Entorno.h"
#include "tests/transfer/tst_traspaso_escenario.h"
#include "transfer/InformeTraspaso.h"

#include <QDate>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QMap>
#include <QProcess>
#include <QRegularExpression>
#include <QSet>
#include <QTest>
#include <QTime>
#include <cmath>
#include <shapefil.h>

namespace {

struct Hotel : Instalacion {
    Hotel() : Instalacion(Demo{16, 4, QDate(2026, 11, 1)}) {}
};

const QDateTime RELOJ(QDate(2026, 11, 5), QTime(10, 20, 30));
const QString INFORME = QStringLiteral("C:\\quelmira\\sp1\\tc_051126_102030.html");

QString leer(const QString& ruta)
{
    QFile f(ruta);
    if (!f.open(QIODevice::ReadOnly)) qFatal("no se lee %s", qPrintable(ruta));
    return QString::fromUtf8(f.readAll());
}

// The data- attributes of every element that has `clave`, by its value.
QMap<QString, QMap<QString, QString>> datos(const QString& html, const QString& clave)
{
    QMap<QString, QMap<QString, QString>> r;
    static const QRegularExpression etiqueta(QStringLiteral("<[a-z]+( [^>]*)>"));
    static const QRegularExpression atributo(QStringLiteral("data-([a-z-]+)=\"([^\"]*)\""));
    for (auto e = etiqueta.globalMatch(html); e.hasNext();) {
        QMap<QString, QString> a;
        for (auto m = atributo.globalMatch(e.next().captured(1)); m.hasNext();) {
            const auto x = m.next();
            a.insert(x.captured(1), x.captured(2));
        }
        if (a.contains(clave)) r.insert(a.value(clave), a);
    }
    return r;
}

double cifra(const QMap<QString, QString>& a, const QString& k)
{
    return a.value(k).toDouble();
}

// Appends a copy of the lines of the first entry from record `desde` on:
// an entry whose number comes back after others.
void repetir_primer_asiento(const QString& ruta, int desde)
{
    DBFHandle h = DBFOpen(QFile::encodeName(ruta).constData(), "rb+");
    QVERIFY(h);
    const int asien = DBFGetFieldIndex(h, "ASIEN"), total = DBFGetRecordCount(h);
    const int primero = DBFReadIntegerAttribute(h, desde, asien);
    for (int i = desde, n = total; i < total && DBFReadIntegerAttribute(h, i, asien) == primero; ++i) {
        const QByteArray registro(DBFReadTuple(h, i), h->nRecordLength);
        QVERIFY(DBFWriteTuple(h, n++, const_cast<char*>(registro.constData())));
    }
    DBFClose(h);
}

}  // namespace

class TstInforme : public QObject {
    Q_OBJECT

private slots:
    void cifras_del_diario_data();
    void cifras_del_diario();
    void csv();
    void escritura_que_falla_data();
    void escritura_que_falla();
    void traspaso_interrumpido();
    void nombres_sin_caracteres();
    void orden_imprime_la_ruta();
};

void TstInforme::cifras_del_diario_data()
{
    QTest::addColumn<QVariantMap>("ajustes");
    QTest::addColumn<QString>("diario");
    QTest::addColumn<bool>("asiento_que_vuelve");
    QTest::newRow("TMP") << QVariantMap{} << QStringLiteral("C:\\ContaEli\\TMP\\Xdiario.dbf") << false;
    QTest::newRow("externa, depositos aparte")
        << QVariantMap{{"Externa", 1}, {"ccdep", 1}} << QStringLiteral("C:\\ContaEli\\Xdiario.dbf") << false;
    QTest::newRow("un asiento que vuelve tras otros")
        << QVariantMap{} << QStringLiteral("C:\\ContaEli\\TMP\\Xdiario.dbf") << true;
}

// A first run over two days, then the report of a second run over the next
// two: its figures are those of the records it appended, as dbfread sees them.
void TstInforme::cifras_del_diario()
{
    QFETCH(QVariantMap, ajustes);
    QFETCH(QString, diario);
    QFETCH(bool, asiento_que_vuelve);
    Hotel h;
    h.ajustes(ajustes);
    h.sql("emp", "UPDATE emp SET EmpNom = ?", {"Hotel <b>Sol</b> & \"Mar\""});
    qint64 antes = 0;
    {
        Entorno e(h);
        QCOMPARE(e.correr("01112026", "02112026"), FinTraspaso::Correcto);
        antes = leer_dbf(h.local(diario)).filas.size();
    }
    Entorno e(h);
    e.t.reloj_fijo = RELOJ;
    QCOMPARE(e.correr("03112026", "04112026"), FinTraspaso::Correcto);
    QCOMPARE(e.t.informe, h.local(INFORME));
    if (!ajustes.contains("Externa")) QCOMPARE(e.t.resumen.registros_diario, antes);
    if (asiento_que_vuelve) {
        repetir_primer_asiento(h.local(diario), int(e.t.resumen.registros_diario));
        QVERIFY(QFile::remove(e.t.informe));  // a report is never written over
        QCOMPARE(escribir_informe(e.t.resumen, origen_informe(e.t), e.t.informe), h.local(INFORME));
    }

    const TablaDbf d = leer_dbf(h.local(diario));
    const QVector<QVariantMap> filas = d.filas.mid(e.t.resumen.registros_diario);
    QVERIFY(filas.size() > 10);
    QSet<qint64> asientos;
    double debe = 0, haber = 0;
    QMap<QString, QPair<double, int>> cuentas;            // debit - credit, lines
    QMap<QString, QPair<QSet<qint64>, double>> facturas;  // by aaaammdd
    QMap<QString, double> descontados;                    // deposits, by aaaammdd
    for (const QVariantMap& f : filas) {
        const qint64 a = qint64(f["ASIEN"].toDouble());
        asientos.insert(a);
        debe += f["EURODEBE"].toDouble();
        haber += f["EUROHABER"].toDouble();
        auto& c = cuentas[f["SUBCTA"].toString().trimmed()];
        c.first += f["EURODEBE"].toDouble() - f["EUROHABER"].toDouble();
        ++c.second;
        if (f["AUXILIAR"].toString() == "*") {
            auto& dia = facturas[f["FECHA"].toDate().toString("yyyyMMdd")];
            dia.first.insert(a);
            dia.second += f["EURODEBE"].toDouble();
        }
        if (f["CONCEPTO"].toString().startsWith("Deposito Descontado"))
            descontados[f["FECHA"].toDate().toString("yyyyMMdd")] += f["EURODEBE"].toDouble();
    }

    const QString html = leer(e.t.informe);
    const auto resumen = datos(html, "asientos");
    QCOMPARE(resumen.size(), 1);
    const auto total = resumen.first();
    QCOMPARE(total.value("asientos").toInt(), asientos.size());
    QCOMPARE(total.value("lineas").toInt(), filas.size());
    QCOMPARE(total.value("primero").toLongLong(), *std::min_element(asientos.begin(), asientos.end()));
    QCOMPARE(total.value("ultimo").toLongLong(), *std::max_element(asientos.begin(), asientos.end()));
    QCOMPARE(cifra(total, "debe"), std::round(debe * 100) / 100);
    QCOMPARE(cifra(total, "haber"), std::round(haber * 100) / 100);
    QCOMPARE(total.value("descuadrados"), QStringLiteral("0"));

    const auto por_cuenta = datos(html, "cuenta");
    QCOMPARE(por_cuenta.keys(), cuentas.keys());
    for (auto it = cuentas.cbegin(); it != cuentas.cend(); ++it) {
        const auto& a = por_cuenta[it.key()];
        QVERIFY2(std::abs(cifra(a, "debe") - cifra(a, "haber") - it->first) < 0.006, qPrintable(it.key()));
        QCOMPARE(a.value("lineas").toInt(), it->second);
    }
    const auto por_dia = datos(html, "dia");
    QVERIFY(!facturas.isEmpty());
    for (auto it = facturas.cbegin(); it != facturas.cend(); ++it) {
        QVERIFY2(por_dia.contains(it.key()), qPrintable(it.key()));
        QCOMPARE(por_dia[it.key()].value("facturas").toInt(), it->first.size());
        QCOMPARE(cifra(por_dia[it.key()], "total-facturas"), std::round(it->second * 100) / 100);
        QVERIFY(it.key() >= "20261103");
    }
    QVERIFY(!descontados.isEmpty());
    for (auto it = descontados.cbegin(); it != descontados.cend(); ++it)
        QCOMPARE(cifra(por_dia[it.key()], "descontados"), std::round(*it * 100) / 100);

    // Texts from the data are escaped; the page fetches nothing.
    QVERIFY(html.contains("Hotel &lt;b&gt;Sol&lt;/b&gt; &amp; &quot;Mar&quot;"));
    QVERIFY(!html.contains("<b>Sol"));
    QVERIFY(!html.contains("<script") && !html.contains("http://www.w3.org/1999") && !html.contains("src="));
    QVERIFY(html.contains("@page { size: A4"));
}

void TstInforme::csv()
{
    Hotel h;
    Entorno e(h);
    QCOMPARE(e.correr("01112026", "04112026"), FinTraspaso::Correcto);
    const QString ruta = QDir(h.raiz()).filePath("diario.csv");
    escribir_csv(e.t.resumen, origen_informe(e.t), ruta);
    const TablaDbf d = leer_dbf(h.local("C:\\ContaEli\\TMP\\Xdiario.dbf"));
    QFile f(ruta);
    QVERIFY(f.open(QIODevice::ReadOnly));
    const QByteArray bytes = f.readAll();
    QVERIFY(bytes.startsWith("\xEF\xBB\xBF"));
    const QStringList lineas = QString::fromUtf8(bytes.mid(3)).split("\r\n", Qt::SkipEmptyParts);
    QCOMPARE(lineas.size(), d.filas.size() + 1);
    QCOMPARE(lineas[0], d.columnas.join(';'));
    // The first line of an invoice: date and amounts as a Spanish spreadsheet reads them.
    const QStringList primera = lineas[1].split(';');
    const QVariantMap& fila = d.filas[0];
    QCOMPARE(primera[d.columnas.indexOf("FECHA")], fila["FECHA"].toDate().toString("dd/MM/yyyy"));
    QCOMPARE(primera[d.columnas.indexOf("EURODEBE")],
             QString::number(fila["EURODEBE"].toDouble(), 'f', 2).replace('.', ','));
    QCOMPARE(primera[d.columnas.indexOf("CONCEPTO")], fila["CONCEPTO"].toString().trimmed());
}

// A report, CSV or copy that a full disk cuts off: nothing partial is
// left, the clerk is told the system's reason, and the run ends as it did.
void TstInforme::escritura_que_falla_data()
{
    QTest::addColumn<bool>("simular");
    QTest::addColumn<QString>("averia");
    QTest::addColumn<int>("estado");
    QTest::addColumn<QString>("aviso");
    QTest::addColumn<QString>("sin");  // files that must not be left in sp1
    QTest::addColumn<QString>("con");  // and those that must
    QTest::newRow("informe") << false << "tc_*.html:1:disco" << 0
                             << "No se ha podido escribir el informe del traspaso: "
                             << "tc_*.html"
                             << "tc_*.log";
    // The run stops at its first group, durable; the log keeps its lines.
    QTest::newRow("registro") << false << "tc_*.log:1:disco" << 2
                              << "El fichero de registro no se ha podido escribir entero ("
                              << "tc_*_2.*"
                              << "tc_*.log";
    QTest::newRow("CSV de la simulación")
        << true << "simulacion_*.csv:1:disco" << 0 << "No se ha podido escribir el informe de la simulación: "
        << "simulacion_*.csv"
        << "simulacion_*.html";
    QTest::newRow("informe de la simulación, a medias")
        << true << "simulacion_*.html:2:disco" << 0 << "No se ha podido escribir el informe de la simulación: "
        << "simulacion_*"
        << "";
    QTest::newRow("copia de la simulación") << true << "subcuent.dbf:1:disco" << 1 << "para la simulación: "
                                            << "simulacion_*"
                                            << "";
}

void TstInforme::escritura_que_falla()
{
    QFETCH(bool, simular);
    QFETCH(QString, averia);
    QFETCH(int, estado);
    QFETCH(QString, aviso);
    QFETCH(QString, sin);
    QFETCH(QString, con);
    Hotel h;
    QStringList a{"--unidades", h.raiz(), "traspaso", "--desde", "01112026", "--hasta", "04112026", "--si"};
    if (simular) a.insert(3, "--simular");
    QProcess p;
    QProcessEnvironment entorno = QProcessEnvironment::systemEnvironment();
    entorno.insert("ENLACE_AVERIA", averia);
    p.setProcessEnvironment(entorno);
    p.setProcessChannelMode(QProcess::MergedChannels);
    p.start(QStringLiteral(ENLACE_PRUEBA), a);
    QVERIFY(p.waitForFinished(60000));
    const QString salida = QString::fromUtf8(p.readAll());
    QVERIFY2(p.exitStatus() == QProcess::NormalExit && p.exitCode() == estado, qPrintable(salida));
    QVERIFY2(salida.contains(aviso + "No se puede ") && salida.contains("No queda espacio en el disco"),
             qPrintable(salida));
    const QDir sp1(h.local("C:\\quelmira\\sp1"));
    // The report is named only when it is there.
    QCOMPARE(salida.contains("Informe del traspaso: "), !sp1.entryList({"*.html"}, QDir::Files).isEmpty());
    QCOMPARE(sp1.entryList({sin}, QDir::Files), QStringList());
    if (!con.isEmpty()) QCOMPARE(sp1.entryList({con}, QDir::Files).size(), 1);
    for (const QString& log : sp1.entryList({"tc_*.log"}, QDir::Files)) {
        QFile f(sp1.filePath(log));
        QVERIFY(f.open(QIODevice::ReadOnly) && f.readAll().startsWith("Traspaso a contabilidad desde: "));
    }
}

// A run abandoned by a failure still leaves its report: the failure's text,
// what was left out, the closings it forced, and only the lines that stayed.
void TstInforme::traspaso_interrumpido()
{
    Instalacion inst;
    escenario_base(inst);
    // Its number does not fit the journal's numeric FACTURA column: the
    // posting fails at its VAT line, after 105.
    Factura f;
    f.num = "12A", f.fec = "20260303", f.cli = "X", f.nom = "Letra";
    f.b[0] = 10, f.tipo[0] = 10, f.cuota[0] = 1, f.total = 11;
    factura(inst, f);
    Entorno e(inst);
    QCOMPARE(e.correr("01032026", "03032026"), FinTraspaso::Fallido);
    QVERIFY(!e.t.informe.isEmpty());
    const QString html = leer(e.t.informe);
    QVERIFY(html.contains("Interrumpido por un fallo"));
    QVERIFY(html.contains(e.clerk.mensajes.last().texto.toHtmlEscaped()));
    QCOMPARE(e.t.resumen.cierres_forzados, (QStringList{"102", "105"}));
    QVERIFY(html.contains("102, 105"));
    QCOMPARE(e.t.resumen.cobros_sin_factura.size(), 1);
    QVERIFY(html.contains("<td>02/03/2026</td><td class=\"n\">3</td><td>999</td><td class=\"n\">40,00</td>"));
    const auto total = datos(html, "asientos").first();
    QCOMPARE(total.value("lineas").toInt(), leer_dbf(ruta_diario(inst)).filas.size());
}

// A customer's name and a payment method's description with characters
// Windows-1252 lacks are written with "?" and listed in the report; a name
// the page holds whole is not.
void TstInforme::nombres_sin_caracteres()
{
    Instalacion inst;
    forma(inst, "1", "EFECTIVO ₿", "570000000");
    Factura f;
    f.num = "7", f.fec = "20260105", f.cli = "X", f.nom = "Łukasz Żółć";
    f.b[0] = 10, f.tipo[0] = 10, f.cuota[0] = 1, f.total = 11;
    factura(inst, f);
    Factura g = f;
    g.num = "8", g.cli = "Y", g.nom = "José Muñoz €";
    factura(inst, g);
    cobro(inst, "20260105", 1, "7", "1", "Cobro", 11);
    Entorno e(inst);
    QCOMPARE(e.correr("05012026", "05012026"), FinTraspaso::Correcto);
    const QString html = leer(e.t.informe);
    QVERIFY(html.contains("<h2>Nombres con caracteres que ContaPlus no admite</h2>"));
    QCOMPARE(e.t.resumen.nombres_sin_caracteres,
             (QVector<QPair<QString, QString>>{{"Łukasz Żółć", "subcuenta 430000000"},
                                               {"EFECTIVO ₿", "forma de cobro de la subcuenta 570000000"}}));
    QVERIFY(html.contains("<td>Łukasz Żółć</td><td>subcuenta 430000000</td>"));
}

void TstInforme::orden_imprime_la_ruta()
{
    Hotel h;
    QProcess p;
    p.setProcessChannelMode(QProcess::MergedChannels);
    p.start(QStringLiteral(ENLACE_BINARIO),
            {"--unidades", h.raiz(), "traspaso", "--desde", "01112026", "--hasta", "04112026", "--si"});
    QVERIFY(p.waitForFinished(60000));
    QCOMPARE(p.exitCode(), 0);
    const QStringList salida = QString::fromUtf8(p.readAll()).split('\n', Qt::SkipEmptyParts);
    QVERIFY(salida.last().startsWith("Informe del traspaso: "));
    const QString ruta = salida.last().mid(22);
    QVERIFY2(QFile::exists(ruta) && ruta.endsWith(".html") && ruta.contains("/tc_"), qPrintable(ruta));
}

QTEST_GUILESS_MAIN(TstInforme)
#include "tst_informe.moc"
