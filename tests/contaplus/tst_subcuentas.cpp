// The subaccount rows from their values, added to a XSubCta of our template
// and read back with another program's dBASE reader; and the one creator
// that reads the invoice, CREAR_CLIENTE_CONTAPLUS, on an installation.
#include "contaplus/Plantillas.h"
#include "contaplus/Subcuentas.h"
#include "startup/Module1.h"
#include "tests/support/Dbf.h"
#include "tests/support/Instalacion.h"
#include "tests/support/InterlocutorGrabador.h"
#include "tests/support/VistaPrueba.h"
#include "transfer/Contabilizar.h"
#include "transfer/Traspaso.h"

#include <QTemporaryDir>
#include <QTest>

namespace {

// An empty XSubCta in C:\cp of a temporary folder.
struct Tabla {
    QTemporaryDir dir;
    Unidades unidades{dir.path()};
    Conexion c;
    Recordset rs;

    Tabla()
    {
        escribir_subcta(unidades.local("C:\\cp\\XSubCta.dbf"));
        c.abrir("Driver={Microsoft dBASE Driver (*.dbf)};DriverID=277;dbq=C:\\cp\\;", unidades);
    }
    bool crear(const FilaSubcuenta& f) { return crear_subcuenta(rs, c, f); }
};

QVector<QVariantMap> leer(const QString& ruta)
{
    QVector<QVariantMap> filas;
    for (const QVariantMap& f : leer_dbf(ruta).filas) {
        QVariantMap g;
        for (auto it = f.begin(); it != f.end(); ++it) g.insert(it.key().toUpper(), it.value());
        filas << g;
    }
    return filas;
}

QVariantMap subcuenta(const QString& cod, const QString& titulo, const QString& nif, const QString& tipoiva)
{
    return {{"COD", cod},      {"TITULO", titulo},   {"NIF", nif},        {"DOMICILIO", ""},
            {"POBLACION", ""}, {"PROVINCIA", ""},    {"CODPOSTAL", ""},   {"DIVISA", false},
            {"CODDIVISA", ""}, {"DOCUMENTO", false}, {"AJUSTAME", false}, {"TIPOIVA", tipoiva}};
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
    void miembros_leen_la_factura();
};

void TstSubcuentas::crear_data()
{
    QTest::addColumn<QString>("tipo");
    QTest::addColumn<QString>("codigo");
    QTest::addColumn<double>("porcentaje");
    QTest::addColumn<QString>("nombre");
    QTest::addColumn<QString>("nif");
    QTest::addColumn<QVariantMap>("esperada");

    QTest::newRow("cliente") << "cliente"
                             << "430000123" << 0.0 << "GARCIA LOPEZ, ANA"
                             << "B12345678" << subcuenta("430000123", "GARCIA LOPEZ, ANA", "B12345678", "");
    QTest::newRow("cliente sin NIF") << "cliente"
                                     << "430000123" << 0.0 << "GARCIA LOPEZ, ANA"
                                     << "" << subcuenta("430000123", "GARCIA LOPEZ, ANA", "", "");
    QTest::newRow("codigo con apostrofo") << "cliente"
                                          << "4300'0123" << 0.0 << "D'ARTAGNAN SL"
                                          << "0" << subcuenta("4300'0123", "D'ARTAGNAN SL", "0", "");
    QTest::newRow("ventas") << "ventas"
                            << "700000000" << 0.0 << ""
                            << "" << subcuenta("700000000", "INGRESOS ?????", "", "");
    QTest::newRow("tasa") << "tasa"
                          << "475300000" << 0.0 << ""
                          << "" << subcuenta("475300000", "Tasa Turística EET", "", "G");
    QTest::newRow("iva 21") << "iva"
                            << "477000021" << 21.0 << ""
                            << "" << subcuenta("477000021", "IVA REPERCUTIDO 21 %", "", "G");
    QTest::newRow("iva 7, sin cero delante") << "iva"
                                             << "477000007" << 7.0 << ""
                                             << "" << subcuenta("477000007", "IVA REPERCUTIDO 7 %", "", "G");
    QTest::newRow("iva 10,5") << "iva"
                              << "477000010" << 10.5 << ""
                              << "" << subcuenta("477000010", "IVA REPERCUTIDO 10,5 %", "", "G");
}

// Added twice with the same code, a row is there once.
void TstSubcuentas::crear()
{
    QFETCH(QString, tipo);
    QFETCH(QString, codigo);
    QFETCH(double, porcentaje);
    QFETCH(QString, nombre);
    QFETCH(QString, nif);
    QFETCH(QVariantMap, esperada);
    const FilaSubcuenta f = tipo == "cliente"  ? fila_cliente(codigo, nombre, nif)
                            : tipo == "ventas" ? fila_ventas(codigo)
                            : tipo == "tasa"   ? fila_tasa(codigo)
                                               : fila_iva(codigo, porcentaje);
    Tabla t;
    QVERIFY(t.crear(f));
    QVERIFY(!t.rs.abierto());
    QVERIFY(!t.crear(f));
    QVERIFY(!t.rs.abierto());

    const auto filas = leer(t.unidades.local("C:\\cp\\XSubCta.dbf"));
    QCOMPARE(filas.size(), 1);
    comparar(filas[0], esperada);
}

// The code decides: a customer whose code is already there as a sales
// subaccount finds it and writes nothing; another code is added.
void TstSubcuentas::existente_conserva_titulo()
{
    Tabla t;
    QVERIFY(t.crear(fila_ventas("430000123")));
    QVERIFY(!t.crear(fila_cliente("430000123", "GARCIA LOPEZ, ANA", "B12345678")));
    QVERIFY(t.crear(fila_cliente("430000124", "GARCIA LOPEZ, ANA", "B12345678")));

    const auto filas = leer(t.unidades.local("C:\\cp\\XSubCta.dbf"));
    QCOMPARE(filas.size(), 2);
    comparar(filas[0], subcuenta("430000123", "INGRESOS ?????", "", ""));
    comparar(filas[1], subcuenta("430000124", "GARCIA LOPEZ, ANA", "B12345678", ""));
}

// The customer's row takes the invoice's name and tax number, Null ones as
// empty columns (not a failure); the tax's row takes cuenta_tasa.
void TstSubcuentas::miembros_leen_la_factura()
{
    Instalacion inst;
    InterlocutorGrabador clerk;
    Module1 m(inst.unidades(), clerk);
    VistaPrueba vista;
    Traspaso t(m, vista);
    m.cargar();
    m.activar();
    m.externa = true;
    QVERIFY(t.activar());
    inst.insertar("fac", {{"FacEmp", "1"},
                          {"FacEje", "2009"},
                          {"FacFra", "1234"},
                          {"FacFec", "20091231"},
                          {"FacTotal", 121.0},
                          {"FacCliN", QVariant()},
                          {"FacNifC", QVariant()},
                          {"FacCtaC", "430000123"},
                          {"FacEst", "0"},
                          {"ImporteTasa", 0.0}});
    QString tarea;
    ContextoPaso c{m, m, t.log, t.resumen, vista, tarea};
    Contabilizacion posting(c, t.contaplus, *t.durabilidad, QString());
    posting.fac().abrir("SELECT * FROM fac", m.conexion_enlace, Cursor::Dinamico, Bloqueo::Optimista);
    posting.CREAR_CLIENTE_CONTAPLUS(FacturaPreparada::leer(posting.fac()), "430000123");
    QVERIFY(!t.contaplus.rs_subcuentas.abierto());
    posting.CREAR_CUENTA_TASA();

    const auto filas = leer(inst.local("C:\\ContaEli\\XSubCta.dbf"));
    QCOMPARE(filas.size(), 2);
    comparar(filas[0], subcuenta("430000123", "", "", ""));
    comparar(filas[1], subcuenta("475300000", "Tasa Turística EET", "", "G"));
}

QTEST_GUILESS_MAIN(TstSubcuentas)
#include "tst_subcuentas.moc"
