// The four subaccount creators, on the XSubCta of a fresh installation read
// back with another program's dBASE reader.
#include "platform/Fallo.h"
#include "startup/Module1.h"
#include "tests/support/Dbf.h"
#include "tests/support/Instalacion.h"
#include "tests/support/InterlocutorGrabador.h"
#include "transfer/Traspaso.h"
#include "tests/support/VistaPrueba.h"

#include <QtTest>

namespace {

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

    // The invoice being posted, as the posting leaves rs_fac on it.
    void factura(const QVariant& nombre, const QVariant& nif)
    {
        inst.insertar("fac", {{"FacEmp", "1"}, {"FacEje", "2009"}, {"FacFra", "1234"},
                              {"FacFec", "20091231"}, {"FacTotal", 121.0}, {"FacCliN", nombre},
                              {"FacNifC", nif}, {"FacCtaC", "430000123"}, {"FacEst", "0"},
                              {"ImporteTasa", 0.0}});
        m.rs_fac.cerrar();
        m.rs_fac.abrir("SELECT * FROM fac", m.conexion_enlace, Cursor::Dinamico, Bloqueo::Optimista);
    }

    QVector<QVariantMap> subcuentas()
    {
        QVector<QVariantMap> filas;
        for (const QVariantMap& f : leer_dbf(inst.local("C:\\ContaEli\\XSubCta.dbf")).filas) {
            QVariantMap g;
            for (auto it = f.begin(); it != f.end(); ++it) g.insert(it.key().toUpper(), it.value());
            filas << g;
        }
        return filas;
    }

    void crear(const QString& tipo)
    {
        if (tipo == "cliente") t.CREAR_CLIENTE_CONTAPLUS();
        else if (tipo == "ventas") t.CREAR_VENTAS_CONTAPLUS2();
        else if (tipo == "tasa") t.CREAR_CUENTA_TASA();
        else if (tipo == "iva") t.CREAR_IVA_CONTAPLUS();
        else qFatal("unknown kind");
    }
};

QVariantMap subcuenta(const QString& cod, const QString& titulo, const QString& nif,
                      const QString& tipoiva)
{
    return {{"COD", cod},          {"TITULO", titulo}, {"NIF", nif},         {"DOMICILIO", ""},
            {"POBLACION", ""},     {"PROVINCIA", ""},  {"CODPOSTAL", ""},    {"DIVISA", false},
            {"CODDIVISA", ""},     {"DOCUMENTO", false}, {"AJUSTAME", false}, {"TIPOIVA", tipoiva}};
}

void comparar(const QVariantMap& leida, const QVariantMap& esperada)
{
    QCOMPARE(leida.size(), esperada.size());
    for (auto it = esperada.begin(); it != esperada.end(); ++it) {
        const QVariant v = leida.value(it.key());
        const QVariant& e = it.value();
        const QByteArray donde = (it.key() + ": " + v.toString() + " / " + e.toString()).toUtf8();
        // A logical column must hold false, not the blank of an unset one.
        QVERIFY2(v.typeId() == e.typeId() && v == e, donde);
    }
}

}  // namespace

class TstSubcuentas : public QObject {
    Q_OBJECT
private slots:
    void crear_data();
    void crear();
    void existente_conserva_titulo();
};

void TstSubcuentas::crear_data()
{
    QTest::addColumn<QString>("tipo");
    QTest::addColumn<QString>("codigo");        // subcuenta_cliente or subcuenta
    QTest::addColumn<double>("porcentaje");
    QTest::addColumn<QVariant>("nombre");       // FacCliN
    QTest::addColumn<QVariant>("nif");          // FacNifC
    QTest::addColumn<QVariantMap>("esperada");

    QTest::newRow("cliente")
        << "cliente" << "430000123" << 0.0 << QVariant("GARCIA LOPEZ, ANA") << QVariant("B12345678")
        << subcuenta("430000123", "GARCIA LOPEZ, ANA", "B12345678", "");
    QTest::newRow("cliente sin NIF")
        << "cliente" << "430000123" << 0.0 << QVariant("GARCIA LOPEZ, ANA") << QVariant("")
        << subcuenta("430000123", "GARCIA LOPEZ, ANA", "", "");
    QTest::newRow("cliente sin nombre ni NIF")
        << "cliente" << "430000123" << 0.0 << QVariant() << QVariant()
        << subcuenta("430000123", "", "", "");
    QTest::newRow("codigo con apostrofo")
        << "cliente" << "4300'0123" << 0.0 << QVariant("D'ARTAGNAN SL") << QVariant("0")
        << subcuenta("4300'0123", "D'ARTAGNAN SL", "0", "");
    QTest::newRow("ventas")
        << "ventas" << "700000000" << 0.0 << QVariant() << QVariant()
        << subcuenta("700000000", "INGRESOS ?????", "", "");
    QTest::newRow("tasa, con el codigo de cuenta_tasa")
        << "tasa" << "" << 0.0 << QVariant() << QVariant()
        << subcuenta("475300000", "Tasa Turística EET", "", "G");
    QTest::newRow("iva 21")
        << "iva" << "477000021" << 21.0 << QVariant() << QVariant()
        << subcuenta("477000021", "IVA REPERCUTIDO 21 %", "", "G");
    QTest::newRow("iva 7, sin cero delante")
        << "iva" << "477000007" << 7.0 << QVariant() << QVariant()
        << subcuenta("477000007", "IVA REPERCUTIDO 7 %", "", "G");
    QTest::newRow("iva 10,5")
        << "iva" << "477000010" << 10.5 << QVariant() << QVariant()
        << subcuenta("477000010", "IVA REPERCUTIDO 10,5 %", "", "G");
}

// Called twice with the same code, a creator adds one row.
void TstSubcuentas::crear()
{
    QFETCH(QString, tipo);
    QFETCH(QString, codigo);
    QFETCH(double, porcentaje);
    QFETCH(QVariant, nombre);
    QFETCH(QVariant, nif);
    QFETCH(QVariantMap, esperada);
    Entorno e;
    e.factura(nombre, nif);
    e.t.subcuenta_cliente = e.t.subcuenta = codigo;
    e.t.porcentaje_iva = porcentaje;

    e.crear(tipo);
    QVERIFY(!e.t.rs_subcuentas.abierto());
    e.crear(tipo);
    QVERIFY(!e.t.rs_subcuentas.abierto());

    const auto filas = e.subcuentas();
    QCOMPARE(filas.size(), 1);
    comparar(filas[0], esperada);
}

// The code decides: a customer whose code is already there as a sales
// subaccount finds it and writes nothing; another code is added.
void TstSubcuentas::existente_conserva_titulo()
{
    Entorno e;
    e.factura("GARCIA LOPEZ, ANA", "B12345678");
    e.t.subcuenta = "430000123";
    e.t.CREAR_VENTAS_CONTAPLUS2();
    e.t.subcuenta_cliente = "430000123";
    e.t.CREAR_CLIENTE_CONTAPLUS();
    e.t.subcuenta_cliente = "430000124";
    e.t.CREAR_CLIENTE_CONTAPLUS();

    const auto filas = e.subcuentas();
    QCOMPARE(filas.size(), 2);
    comparar(filas[0], subcuenta("430000123", "INGRESOS ?????", "", ""));
    comparar(filas[1], subcuenta("430000124", "GARCIA LOPEZ, ANA", "B12345678", ""));
}

QTEST_GUILESS_MAIN(TstSubcuentas)
#include "tst_subcuentas.moc"
