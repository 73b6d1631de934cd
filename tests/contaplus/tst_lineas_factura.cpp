// The journal lines of an invoice entry from their values, and one line of
// each kind appended to a Xdiario of our template and read back with another
// program's dBASE reader.
#include "contaplus/LineasCaja.h"
#include "contaplus/LineasFactura.h"
#include "contaplus/Plantillas.h"
#include "platform/sistema/Fallo.h"
#include "tests/contaplus/Columnas.h"
#include "tests/support/Dbf.h"

#include <QDate>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

namespace {

const QVariant FRA("1234");
const QVariant CLIENTE("430000123");

LineaDiario construir(const QString& tipo, const QVariant& total, double importe, double base, double porcentaje,
                      const QString& subcuenta)
{
    if (tipo == "cliente") return linea_cliente(FRA, CLIENTE, total);
    if (tipo == "tasa") return linea_tasa(FRA, "475300000", total);
    if (tipo == "ventas") return linea_ventas(FRA, subcuenta, importe);
    if (tipo == "iva") return linea_iva(FRA, subcuenta, CLIENTE, importe, base, porcentaje);
    qFatal("unknown kind");
}

}  // namespace

class TstLineasFactura : public QObject {
    Q_OBJECT
private slots:
    void lineas_data();
    void lineas();
    void fallos_data();
    void fallos();
    void escritas();
};

void TstLineasFactura::lineas_data()
{
    QTest::addColumn<QString>("tipo");
    QTest::addColumn<QVariant>("total");  // FacTotal, or ImporteTasa
    QTest::addColumn<double>("importe");  // tax, sales or VAT amount
    QTest::addColumn<double>("base");
    QTest::addColumn<double>("porcentaje");
    QTest::addColumn<QString>("subcuenta");
    QTest::addColumn<QVariantMap>("propias");

    QTest::newRow("cliente 100") << "cliente" << QVariant(100.0) << 0.0 << 0.0 << 0.0 << ""
                                 << QVariantMap{{"SUBCTA", "430000123"}, {"PTADEBE", 16639}, {"EURODEBE", 100}};
    QTest::newRow("cliente 100.40, sin sus centimos en pesetas")
        << "cliente" << QVariant(100.40) << 0.0 << 0.0 << 0.0 << ""
        << QVariantMap{{"SUBCTA", "430000123"}, {"PTADEBE", 16639}, {"EURODEBE", 100.40}};
    QTest::newRow("cliente 100.60, 101 euros en pesetas")
        << "cliente" << QVariant(100.60) << 0.0 << 0.0 << 0.0 << ""
        << QVariantMap{{"SUBCTA", "430000123"}, {"PTADEBE", 16805}, {"EURODEBE", 100.60}};
    QTest::newRow("cliente 2.5, 2 euros en pesetas")
        << "cliente" << QVariant(2.5) << 0.0 << 0.0 << 0.0 << ""
        << QVariantMap{{"SUBCTA", "430000123"}, {"PTADEBE", 333}, {"EURODEBE", 2.5}};
    QTest::newRow("tasa 3.30") << "tasa" << QVariant(3.30) << 0.0 << 0.0 << 0.0 << ""
                               << QVariantMap{{"SUBCTA", "475300000"}, {"PTAHABER", 549}, {"EUROHABER", 3.30}};
    QTest::newRow("ventas 10") << "ventas" << QVariant() << 10.0 << 0.0 << 0.0 << "700000000"
                               << QVariantMap{{"SUBCTA", "700000000"}, {"PTAHABER", 1664}, {"EUROHABER", 10}};
    QTest::newRow("ventas con centimos") << "ventas" << QVariant() << 100.40 << 0.0 << 0.0 << "700000000"
                                         << QVariantMap{{"SUBCTA", "700000000"},
                                                        {"PTAHABER", 16705},
                                                        {"EUROHABER", 100.40}};
    QTest::newRow("iva 21") << "iva" << QVariant() << 21.0 << 100.0 << 21.0 << "477000021"
                            << QVariantMap{{"SUBCTA", "477000021"},
                                           {"CONTRA", "430000123"},
                                           {"CONCEPTO", "Factura N.1234"},
                                           {"PTAHABER", 3494},
                                           {"FACTURA", 1234},
                                           {"BASEIMPO", 16639},
                                           {"IVA", 21},
                                           {"DOCUMENTO", "1234"},
                                           {"SERIE", "G"},
                                           {"EUROHABER", 21},
                                           {"BASEEURO", 100}};
    QTest::newRow("iva 10,5")
        << "iva" << QVariant() << 21.0 << 200.0 << 10.5 << "477000010"
        << QVariantMap{{"SUBCTA", "477000010"}, {"CONTRA", "430000123"}, {"CONCEPTO", "Factura N.1234"},
                       {"PTAHABER", 3494},      {"FACTURA", 1234},       {"BASEIMPO", 33277},
                       {"IVA", 10.5},           {"DOCUMENTO", "1234"},   {"SERIE", "G"},
                       {"EUROHABER", 21},       {"BASEEURO", 200}};
}

void TstLineasFactura::lineas()
{
    QFETCH(QString, tipo);
    QFETCH(QVariant, total);
    QFETCH(double, importe);
    QFETCH(double, base);
    QFETCH(double, porcentaje);
    QFETCH(QString, subcuenta);
    QFETCH(QVariantMap, propias);
    const LineaDiario l = construir(tipo, total, importe, base, porcentaje, subcuenta);
    QCOMPARE(l.moneda_uso, QVariant(2));  // the number, not the text of cash lines
    comparar(columnas(l), linea_con(true, propias));
}

void TstLineasFactura::fallos_data()
{
    QTest::addColumn<QString>("tipo");
    QTest::addColumn<QVariant>("total");
    QTest::addColumn<double>("importe");
    QTest::addColumn<double>("base");
    QTest::addColumn<int>("error");
    // 12906637 euros are 2147483703.8 pesetas.
    QTest::newRow("total fuera de 32 bits")
        << "cliente" << QVariant(13000000.0) << 0.0 << 0.0 << codigo_error::DESBORDAMIENTO;
    QTest::newRow("total Null") << "cliente" << QVariant() << 0.0 << 0.0 << codigo_error::USO_NO_VALIDO_DE_NULL;
    QTest::newRow("tasa Null") << "tasa" << QVariant() << 0.0 << 0.0 << codigo_error::USO_NO_VALIDO_DE_NULL;
    QTest::newRow("ventas fuera de 32 bits")
        << "ventas" << QVariant() << 12906637.0 << 0.0 << codigo_error::DESBORDAMIENTO;
    QTest::newRow("base fuera de 32 bits") << "iva" << QVariant() << 21.0 << 12906637.0 << codigo_error::DESBORDAMIENTO;
}

// The builder fails, so the posting never gets a line to save.
void TstLineasFactura::fallos()
{
    QFETCH(QString, tipo);
    QFETCH(QVariant, total);
    QFETCH(double, importe);
    QFETCH(double, base);
    QFETCH(int, error);
    try {
        construir(tipo, total, importe, base, 21, "477000021");
        QFAIL("the line was built");
    } catch (const Fallo& f) {
        QCOMPARE(f.numero(), error);
    }
}

// An invoice line (MonedaUso the number 2) and a cash line (the text "2",
// a Null subaccount) appended to a Xdiario of our template: every column as
// another reader sees it.
void TstLineasFactura::escritas()
{
    QTemporaryDir dir;
    const Unidades unidades(dir.path());
    escribir_plantillas(unidades.local("C:\\cp"));
    QVERIFY(QFile::copy(unidades.local("C:\\cp\\diario.dbf"), unidades.local("C:\\cp\\Xdiario.dbf")));
    Conexion c;
    c.abrir("Driver={Microsoft dBASE Driver (*.dbf)};DriverID=277;dbq=C:\\cp\\;", unidades);
    EscritorDiario diario;
    const QDate fecha(2009, 12, 31);
    ImportesLinea importes;
    diario.anadir(c, 9, fecha, linea_iva(FRA, "477000021", CLIENTE, 21, 100, 21), &importes);
    QCOMPARE(importes.haber, 21.0);
    diario.anadir(c, 40000, fecha, linea_deposito_descontado_haber(QVariant(), 555, 120.5));
    // A document given as a number, converted to the column's text: the same
    // one again, then another.
    for (const int documento : {7, 7, 8}) {
        LineaDiario l = linea_deposito_descontado_haber(QVariant(), 555, 120.5);
        l.documento = documento;
        diario.anadir(c, 40001, fecha, l);
    }

    const auto filas = leer_dbf(unidades.local("C:\\cp\\Xdiario.dbf")).filas;
    QCOMPARE(filas.size(), 5);
    QCOMPARE(filas[2].value("DOCUMENTO"), QVariant("7"));
    QCOMPARE(filas[3].value("DOCUMENTO"), QVariant("7"));
    QCOMPARE(filas[4].value("DOCUMENTO"), QVariant("8"));
    QVector<QVariantMap> leidas;
    for (const QVariantMap& f : filas.mid(0, 2)) {
        QVariantMap g;
        for (auto it = f.begin(); it != f.end(); ++it) g.insert(it.key().toUpper(), it.value());
        leidas << g;
    }
    QVariantMap iva = linea_con(true, {{"SUBCTA", "477000021"},
                                       {"CONTRA", "430000123"},
                                       {"CONCEPTO", "Factura N.1234"},
                                       {"PTAHABER", 3494},
                                       {"FACTURA", 1234},
                                       {"BASEIMPO", 16639},
                                       {"IVA", 21},
                                       {"DOCUMENTO", "1234"},
                                       {"SERIE", "G"},
                                       {"EUROHABER", 21},
                                       {"BASEEURO", 100}});
    iva["MONEDAUSO"] = "2";
    iva["ASIEN"] = 9;
    iva["FECHA"] = fecha;
    comparar(leidas[0], iva, true);
    QVariantMap caja = linea_con(false, {{"CONCEPTO", "Deposito Descontado"}, {"FACTURA", 555}, {"EUROHABER", 120.5}});
    caja["ASIEN"] = 40000;
    caja["FECHA"] = fecha;
    comparar(leidas[1], caja, true);
}

QTEST_GUILESS_MAIN(TstLineasFactura)
#include "tst_lineas_factura.moc"
