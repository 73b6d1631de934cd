// The four invoice lines: each filler completes the row the posting has
// added to Xdiario; the row is saved as the posting saves it and read back
// with another program's dBASE reader.
#include "platform/Fallo.h"
#include "startup/Module1.h"
#include "tests/support/Dbf.h"
#include "tests/support/Instalacion.h"
#include "tests/support/InterlocutorGrabador.h"
#include "transfer/Traspaso.h"
#include "tests/support/VistaPrueba.h"

#include <QtTest>

namespace {

const QDate FIN_2009(2009, 12, 31);

struct Entorno {
    Instalacion inst;
    InterlocutorGrabador clerk;
    Module1 m;
    VistaPrueba vista;
    Traspaso t;

    Entorno() : m(inst.unidades(), clerk), t(m, vista)
    {
        m.cargar();
        m.activar();
        m.externa = true;
        if (!t.activar())
            qFatal("ContaPlus working files not prepared: %s", qPrintable(clerk.textos().join("; ")));
    }

    void factura(const QVariant& total, const QVariant& tasa)
    {
        inst.insertar("fac", {{"FacEmp", "1"}, {"FacEje", "2009"}, {"FacFra", "1234"},
                              {"FacFec", "20091231"}, {"FacTotal", total},
                              {"FacCliN", "GARCIA LOPEZ, ANA"}, {"FacNifC", "B12345678"},
                              {"FacCtaC", "430000123"}, {"FacEst", "0"}, {"ImporteTasa", tasa}});
        m.rs_fac.cerrar();
        m.rs_fac.abrir("SELECT * FROM fac", m.conexion_enlace, Cursor::Dinamico, Bloqueo::Optimista);
    }

    // The posting's protocol around a filler: open, add, Asien and Fecha,
    // fill, save, close.
    void linea(const QString& tipo)
    {
        t.rs_diario.cerrar();
        t.rs_diario.abrir("SELECT * FROM Xdiario", t.conexion_diario, Cursor::Dinamico,
                          Bloqueo::Optimista);
        t.rs_diario.nuevo();
        t.rs_diario.asignar("Asien", 9.0);
        t.rs_diario.asignar("Fecha", FIN_2009);
        if (tipo == "cliente") t.MOVER_DATOS_CLIENTE_CONTAPLUS();
        else if (tipo == "tasa") t.MOVER_DATOS_TASA_CONTAPLUS();
        else if (tipo == "ventas") t.MOVER_DATOS_VENTAS_CONTAPLUS2();
        else if (tipo == "iva") t.MOVER_DATOS_IVA_CONTAPLUS();
        else qFatal("unknown kind");
        t.rs_diario.guardar();
        t.rs_diario.cerrar();
    }

    QVector<QVariantMap> diario()
    {
        QVector<QVariantMap> filas;
        for (const QVariantMap& f : leer_dbf(inst.local("C:\\ContaEli\\Xdiario.dbf")).filas) {
            QVariantMap g;
            for (auto it = f.begin(); it != f.end(); ++it) g.insert(it.key().toUpper(), it.value());
            filas << g;
        }
        return filas;
    }
};

// Every column of an invoice line at the value it takes when the line's
// own columns do not say otherwise.
QVariantMap linea_factura(const QVariantMap& propias)
{
    QVariantMap l{{"ASIEN", 9},       {"FECHA", FIN_2009}, {"SUBCTA", ""},    {"CONTRA", ""},
                  {"PTADEBE", 0},     {"CONCEPTO", "Factura Nº1234"}, {"PTAHABER", 0},
                  {"FACTURA", 0},     {"BASEIMPO", 0},    {"IVA", 0},        {"RECEQUIV", 0},
                  {"DOCUMENTO", ""},  {"DEPARTA", ""},    {"CLAVE", ""},     {"ESTADO", ""},
                  {"NCASADO", 0},     {"TCASADO", 0},     {"TRANS", 0},      {"CAMBIO", 0},
                  {"DEBEME", 0},      {"HABERME", 0},     {"AUXILIAR", "*"}, {"SERIE", ""},
                  {"SUCURSAL", ""},   {"CODDIVISA", ""},  {"IMPAUXME", 0},   {"MONEDAUSO", "2"},
                  {"EURODEBE", 0},    {"EUROHABER", 0},   {"BASEEURO", 0}};
    for (auto it = propias.begin(); it != propias.end(); ++it) l[it.key()] = it.value();
    return l;
}

void comparar(const QVariantMap& leida, const QVariantMap& esperada)
{
    QCOMPARE(leida.size(), esperada.size());
    for (auto it = esperada.begin(); it != esperada.end(); ++it) {
        const QString& col = it.key();
        QVERIFY2(leida.contains(col), qPrintable("no column " + col));
        const QVariant v = leida.value(col);
        const QVariant& e = it.value();
        const QByteArray donde = (col + ": " + v.toString() + " / " + e.toString()).toUtf8();
        switch (e.typeId()) {
        case QMetaType::QString:
            QVERIFY2(v.typeId() == QMetaType::QString && v.toString() == e.toString(), donde);
            break;
        case QMetaType::QDate:
            QVERIFY2(v.toDate() == e.toDate(), donde);
            break;
        default:
            QVERIFY2(v.isValid() && !v.isNull() && qAbs(v.toDouble() - e.toDouble()) < 1e-6, donde);
        }
    }
}

}  // namespace

class TstLineasFactura : public QObject {
    Q_OBJECT
private slots:
    void lineas_data();
    void lineas();
    void fallos_data();
    void fallos();
};

void TstLineasFactura::lineas_data()
{
    QTest::addColumn<QString>("tipo");
    QTest::addColumn<QVariant>("total");        // FacTotal
    QTest::addColumn<QVariant>("tasa");         // ImporteTasa
    QTest::addColumn<QString>("subcuenta");
    QTest::addColumn<double>("importe");        // importe_ventas, or cuota_iva
    QTest::addColumn<double>("base");
    QTest::addColumn<double>("porcentaje");
    QTest::addColumn<QVariantMap>("propias");

    QTest::newRow("cliente 100")
        << "cliente" << QVariant(100.0) << QVariant(0.0) << "" << 0.0 << 0.0 << 0.0
        << QVariantMap{{"SUBCTA", "430000123"}, {"PTADEBE", 16639}, {"EURODEBE", 100}};
    QTest::newRow("cliente 100.40, sin sus centimos en pesetas")
        << "cliente" << QVariant(100.40) << QVariant(0.0) << "" << 0.0 << 0.0 << 0.0
        << QVariantMap{{"SUBCTA", "430000123"}, {"PTADEBE", 16639}, {"EURODEBE", 100.40}};
    QTest::newRow("cliente 100.60, 101 euros en pesetas")
        << "cliente" << QVariant(100.60) << QVariant(0.0) << "" << 0.0 << 0.0 << 0.0
        << QVariantMap{{"SUBCTA", "430000123"}, {"PTADEBE", 16805}, {"EURODEBE", 100.60}};
    QTest::newRow("cliente 2.5, 2 euros en pesetas")
        << "cliente" << QVariant(2.5) << QVariant(0.0) << "" << 0.0 << 0.0 << 0.0
        << QVariantMap{{"SUBCTA", "430000123"}, {"PTADEBE", 333}, {"EURODEBE", 2.5}};
    QTest::newRow("tasa 3.30")
        << "tasa" << QVariant(100.0) << QVariant(3.30) << "" << 0.0 << 0.0 << 0.0
        << QVariantMap{{"SUBCTA", "475300000"}, {"PTAHABER", 549}, {"EUROHABER", 3.30}};
    QTest::newRow("ventas 10")
        << "ventas" << QVariant(100.0) << QVariant(0.0) << "700000000" << 10.0 << 0.0 << 0.0
        << QVariantMap{{"SUBCTA", "700000000"}, {"PTAHABER", 1664}, {"EUROHABER", 10}};
    QTest::newRow("ventas con centimos")
        << "ventas" << QVariant(100.0) << QVariant(0.0) << "700000000" << 100.40 << 0.0 << 0.0
        << QVariantMap{{"SUBCTA", "700000000"}, {"PTAHABER", 16705}, {"EUROHABER", 100.40}};
    QTest::newRow("iva 21")
        << "iva" << QVariant(121.0) << QVariant(0.0) << "477000021" << 21.0 << 100.0 << 21.0
        << QVariantMap{{"SUBCTA", "477000021"}, {"CONTRA", "430000123"},
                       {"CONCEPTO", "Factura N.1234"}, {"PTAHABER", 3494}, {"FACTURA", 1234},
                       {"BASEIMPO", 16639}, {"IVA", 21}, {"DOCUMENTO", "1234"}, {"SERIE", "G"},
                       {"EUROHABER", 21}, {"BASEEURO", 100}};
    QTest::newRow("iva 10,5")
        << "iva" << QVariant(221.0) << QVariant(0.0) << "477000010" << 21.0 << 200.0 << 10.5
        << QVariantMap{{"SUBCTA", "477000010"}, {"CONTRA", "430000123"},
                       {"CONCEPTO", "Factura N.1234"}, {"PTAHABER", 3494}, {"FACTURA", 1234},
                       {"BASEIMPO", 33277}, {"IVA", 10.5}, {"DOCUMENTO", "1234"}, {"SERIE", "G"},
                       {"EUROHABER", 21}, {"BASEEURO", 200}};
}

void TstLineasFactura::lineas()
{
    QFETCH(QString, tipo);
    QFETCH(QVariant, total);
    QFETCH(QVariant, tasa);
    QFETCH(QString, subcuenta);
    QFETCH(double, importe);
    QFETCH(double, base);
    QFETCH(double, porcentaje);
    QFETCH(QVariantMap, propias);
    Entorno e;
    e.factura(total, tasa);
    e.t.subcuenta_cliente = "430000123";
    e.t.subcuenta = subcuenta;
    e.t.importe_ventas = e.t.cuota_iva = importe;
    e.t.base_imponible = base;
    e.t.porcentaje_iva = porcentaje;

    e.linea(tipo);

    QVERIFY(!e.m.rs_fac.eof());
    QCOMPARE(e.m.rs_fac.campo("FacFra").toString(), QString("1234"));
    const auto filas = e.diario();
    QCOMPARE(filas.size(), 1);
    comparar(filas[0], linea_factura(propias));
}

void TstLineasFactura::fallos_data()
{
    QTest::addColumn<QString>("tipo");
    QTest::addColumn<QVariant>("total");
    QTest::addColumn<QVariant>("tasa");
    QTest::addColumn<double>("importe");
    QTest::addColumn<double>("base");
    QTest::addColumn<int>("error");
    // 12906637 euros are 2147483703.8 pesetas.
    QTest::newRow("total fuera de 32 bits")
        << "cliente" << QVariant(13000000.0) << QVariant(0.0) << 0.0 << 0.0
        << codigo_error::DESBORDAMIENTO;
    QTest::newRow("total Null")
        << "cliente" << QVariant() << QVariant(0.0) << 0.0 << 0.0
        << codigo_error::USO_NO_VALIDO_DE_NULL;
    QTest::newRow("tasa Null")
        << "tasa" << QVariant(100.0) << QVariant() << 0.0 << 0.0
        << codigo_error::USO_NO_VALIDO_DE_NULL;
    QTest::newRow("ventas fuera de 32 bits")
        << "ventas" << QVariant(100.0) << QVariant(0.0) << 12906637.0 << 0.0
        << codigo_error::DESBORDAMIENTO;
    QTest::newRow("base fuera de 32 bits")
        << "iva" << QVariant(100.0) << QVariant(0.0) << 21.0 << 12906637.0
        << codigo_error::DESBORDAMIENTO;
}

// The failure reaches the posting and the pending row is never stored.
void TstLineasFactura::fallos()
{
    QFETCH(QString, tipo);
    QFETCH(QVariant, total);
    QFETCH(QVariant, tasa);
    QFETCH(double, importe);
    QFETCH(double, base);
    QFETCH(int, error);
    Entorno e;
    e.factura(total, tasa);
    e.t.subcuenta_cliente = "430000123";
    e.t.subcuenta = "477000021";
    e.t.importe_ventas = e.t.cuota_iva = importe;
    e.t.base_imponible = base;
    e.t.porcentaje_iva = 21;
    try {
        e.linea(tipo);
        QFAIL("the line was written");
    } catch (const Fallo& f) {
        QCOMPARE(f.numero(), error);
    }
    e.t.rs_diario.cerrar();
    QCOMPARE(e.diario().size(), 0);
}

QTEST_GUILESS_MAIN(TstLineasFactura)
#include "tst_lineas_factura.moc"
