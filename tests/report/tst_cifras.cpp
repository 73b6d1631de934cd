// The report's figures from a journal and a subaccount file written here by
// another program, with no transfer behind them: only what follows the
// counts in the summary is summed, entries that come back are summed whole,
// and payment methods are named by the run's forms, else by their lines.
#include "report/CifrasTraspaso.h"
#include "report/DiarioEscrito.h"
#include "report/InformeTraspaso.h"

#include <QDate>
#include <QFile>
#include <QMap>
#include <QTemporaryDir>
#include <QTest>
#include <algorithm>
#include <bit>
#include <shapefil.h>
#include <tuple>

namespace {

struct Linea {
    int asien;
    const char* subcta;
    const char* concepto;
    const char* auxiliar;
    double debe, haber;
    const char* fecha = "20260105";
};

// Raw field texts in a file made by shapelib, as another program would.
void escribir_dbf(const QString& ruta, const QVector<std::tuple<const char*, char, int, int>>& columnas,
                  const QVector<QVector<QByteArray>>& filas)
{
    DBFHandle h = DBFCreateEx(QFile::encodeName(ruta).constData(), "LDID/87");
    if (!h) qFatal("no se crea %s", qPrintable(ruta));
    for (const auto& [nombre, tipo, ancho, decimales] : columnas)
        DBFAddNativeFieldType(h, nombre, tipo, ancho, decimales);
    for (int i = 0; i < filas.size(); ++i)
        for (int c = 0; c < filas[i].size(); ++c)
            DBFWriteAttributeDirectly(h, i, c, const_cast<char*>(filas[i][c].constData()));
    DBFClose(h);
}

QByteArray cifra(double v)
{
    return QByteArray::number(v, 'f', 2).rightJustified(12, ' ');
}

void escribir_diario(const QString& ruta, const QVector<Linea>& lineas)
{
    QVector<QVector<QByteArray>> filas;
    for (const Linea& l : lineas)
        filas << QVector<QByteArray>{QByteArray::number(l.asien).rightJustified(6, ' '),
                                     l.fecha,
                                     l.subcta,
                                     l.concepto,
                                     "",
                                     l.auxiliar,
                                     cifra(0),
                                     cifra(0),
                                     cifra(l.debe),
                                     cifra(l.haber)};
    escribir_dbf(ruta,
                 {{"ASIEN", 'N', 6, 0},
                  {"FECHA", 'D', 8, 0},
                  {"SUBCTA", 'C', 12, 0},
                  {"CONCEPTO", 'C', 25, 0},
                  {"DOCUMENTO", 'C', 10, 0},
                  {"AUXILIAR", 'C', 1, 0},
                  {"PTADEBE", 'N', 12, 2},
                  {"PTAHABER", 'N', 12, 2},
                  {"EURODEBE", 'N', 12, 2},
                  {"EUROHABER", 'N', 12, 2}},
                 filas);
}

// One line before the run's, which no figure may count.
const Linea ANTERIOR{1, "430000009", "Anterior", "*", 1000, 0};

}  // namespace

class TstCifras : public QObject {
    Q_OBJECT

private slots:
    void asientos_data();
    void asientos();
    void formas_de_cobro_data();
    void formas_de_cobro();
    void campos_leidos_data();
    void campos_leidos();
};

void TstCifras::asientos_data()
{
    QTest::addColumn<QVector<Linea>>("lineas");
    QTest::addColumn<int>("asientos");
    QTest::addColumn<qint64>("primero");
    QTest::addColumn<qint64>("ultimo");
    QTest::addColumn<int>("facturas");
    QTest::addColumn<QVector<qint64>>("descuadrados");
    const QVector<Linea> factura2{{2, "430000001", "Factura 7", "*", 11, 0},
                                  {2, "700000000", "Factura 7", "*", 0, 10},
                                  {2, "477000010", "Factura 7", "*", 0, 1}};
    QTest::newRow("en orden") << factura2 + QVector<Linea>{{3, "430000002", "Factura 8", "*", 5, 0},
                                                           {3, "700000000", "Factura 8", "*", 0, 5}}
                              << 2 << qint64(2) << qint64(3) << 2 << QVector<qint64>{};
    QTest::newRow("un asiento que vuelve tras otro") << QVector<Linea>{{5, "430000001", "Factura 7", "*", 11, 0},
                                                                       {3, "430000002", "Factura 8", "*", 5, 0},
                                                                       {3, "700000000", "Factura 8", "*", 0, 5},
                                                                       {5, "700000000", "Factura 7", "*", 0, 11}}
                                                     << 2 << qint64(3) << qint64(5) << 2 << QVector<qint64>{};
    QTest::newRow("medio céntimo de más, el último")
        << factura2 +
               QVector<Linea>{{4, "430000002", "Factura 8", "*", 5.01, 0}, {4, "700000000", "Factura 8", "*", 0, 5}}
        << 2 << qint64(2) << qint64(4) << 2 << QVector<qint64>{4};
}

void TstCifras::asientos()
{
    QFETCH(QVector<Linea>, lineas);
    QTemporaryDir dir;
    OrigenInforme o{dir.filePath("Xdiario.dbf"), dir.filePath("XSubCta.dbf"), dir.filePath("SubCta.dbf"), {}};
    escribir_diario(o.diario, QVector<Linea>{ANTERIOR} + lineas);
    escribir_dbf(o.subcuentas, {{"COD", 'C', 12, 0}, {"TITULO", 'C', 40, 0}},
                 {{"700000000", "Ventas"},
                  {"430000001", "Ana & C\xED"
                                "a"}});
    ResumenTraspaso r;
    r.registros_diario = 1;
    r.registros_subcuentas = 1;
    const CifrasTraspaso c = calcular_cifras(r, o);
    QTEST(c.asientos, "asientos");
    QTEST(c.primer_asiento, "primero");
    QTEST(c.ultimo_asiento, "ultimo");
    QCOMPARE(c.lineas, lineas.size());
    QTEST(c.descuadrados, "descuadrados");
    double debe = 0;
    for (const Linea& l : lineas) debe += l.debe;
    QCOMPARE(c.debe, debe);
    QCOMPARE(c.dias.size(), 1);
    QTEST(c.dias[0].facturas, "facturas");
    QCOMPARE(c.dias[0].total_facturas, debe);
    // Created: the rows past the count; titled: from the whole file.
    QCOMPARE(c.subcuentas_creadas, (QVector<QPair<QString, QString>>{{"430000001", "Ana & Cía"}}));
    QCOMPARE(c.cuentas.first().subcta, QStringLiteral("430000001"));
    QCOMPARE(c.cuentas.first().titulo, QStringLiteral("Ana & Cía"));
    QCOMPARE(c.cuentas.last().titulo, QStringLiteral("Ventas"));
}

void TstCifras::formas_de_cobro_data()
{
    QTest::addColumn<bool>("con_formas");
    QTest::addColumn<bool>("con_cobro");
    QTest::addColumn<QString>("nombre");
    QTest::addColumn<QString>("titulo");
    QTest::newRow("por las formas") << true << true << "Efectivo, Caja"
                                    << "Cobros: Efectivo, Caja";
    QTest::newRow("por el concepto") << false << true << "EFECTIVO"
                                     << "";
    QTest::newRow("sin cobros, las formas no se piden") << true << false << ""
                                                        << "";
}

void TstCifras::formas_de_cobro()
{
    QFETCH(bool, con_formas);
    QFETCH(bool, con_cobro);
    QTemporaryDir dir;
    int pedidas = 0;
    OrigenInforme o{dir.filePath("Xdiario.dbf"), dir.filePath("XSubCta.dbf"), dir.filePath("SubCta.dbf"), {}};
    if (con_formas)
        o.formas = [&] {
            ++pedidas;
            return QMap<QString, QStringList>{{"570000000", {"Efectivo", "Caja"}}};
        };
    QVector<Linea> lineas{ANTERIOR,
                          {2, "430000001", "Factura 7", "*", 11, 0},
                          {2, "700000000", "Factura 7", "*", 0, 11}};
    if (con_cobro)
        lineas << Linea{3, "570000000", "Total Dia EFECTIVO", "", 11, 0}
               << Linea{3, "430000001", "Total Dia EFECTIVO", "", 0, 11};
    escribir_diario(o.diario, lineas);
    ResumenTraspaso r;
    r.externa = true;  // no company file to look titles up in
    r.registros_diario = 1;
    r.registros_subcuentas = 0;
    const CifrasTraspaso c = calcular_cifras(r, o);
    QCOMPARE(pedidas, con_formas && con_cobro ? 1 : 0);
    QFETCH(QString, nombre);
    QFETCH(QString, titulo);
    if (!con_cobro) {
        QVERIFY(c.formas.isEmpty());
        return;
    }
    QCOMPARE(c.formas, (QVector<QPair<QString, QString>>{{"570000000", nombre}}));
    const auto caja = std::find_if(c.cuentas.begin(), c.cuentas.end(),
                                   [](const CuentaInforme& k) { return k.subcta == "570000000"; });
    QVERIFY(caja != c.cuentas.end());
    QCOMPARE(caja->titulo, titulo);
}

// Fields as stored, read as QString::toDouble and the day's parts read them.
void TstCifras::campos_leidos_data()
{
    QTest::addColumn<QByteArray>("campo");
    for (const char* c : {"161.70",
                          "-2.20",
                          "26955",
                          "0",
                          "-0",
                          "-0.00",
                          ".5",
                          "5.",
                          "+5",
                          "1e5",
                          "1,5",
                          "*****",
                          "-",
                          ".",
                          "",
                          "123456789012345",
                          "1234567890123456",
                          "12345678901234.56",
                          "0.1",
                          "2.675",
                          "20261103",
                          "2026113",
                          "2026 1 3",
                          "20261332",
                          "00000101",
                          "2026\xBA"
                          "103"})
        QTest::newRow(c) << QByteArray(c);
}

void TstCifras::campos_leidos()
{
    QFETCH(QByteArray, campo);
    const QString texto = texto_dbf(campo);
    QCOMPARE(std::bit_cast<quint64>(numero_dbf(campo)), std::bit_cast<quint64>(texto.toDouble()));
    const QDate dia =
        texto.size() == 8 ? QDate(texto.left(4).toInt(), texto.mid(4, 2).toInt(), texto.mid(6, 2).toInt()) : QDate();
    QCOMPARE(fecha_dbf(campo), dia);
}

QTEST_GUILESS_MAIN(TstCifras)
#include "tst_cifras.moc"
