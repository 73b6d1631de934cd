// The six cash and deposit lines: from their values, and as the day phases
// writers put them (from their cursors and the settings) into the Xdiario of a
// fresh installation, read back with another program's dBASE reader.
#include "contaplus/LineasCaja.h"
#include "platform/sistema/Fallo.h"
#include "startup/Module1.h"
#include "tests/contaplus/Columnas.h"
#include "tests/support/Dbf.h"
#include "tests/support/Instalacion.h"
#include "tests/support/InterlocutorGrabador.h"
#include "tests/support/VistaPrueba.h"
#include "transfer/FasesDia.h"
#include "transfer/Traspaso.h"

#include <QDate>
#include <QTest>
#include <memory>

Q_DECLARE_METATYPE(LineaDiario)

namespace {

// An installation with an external ContaPlus: the window's activation has
// put empty Xdiario and XSubCta in C:\ContaEli.
struct Entorno {
    Instalacion inst;
    InterlocutorGrabador clerk;
    Module1 m;
    VistaPrueba vista;
    Traspaso t;
    QString tarea;
    ContextoPaso contexto{m, m, t.log, t.resumen, vista, tarea};
    CuentasCliente cuentas{m, m, false};
    std::optional<FasesDia> fases_;

    // The day phases of a run over 31/12/2009, made on first use with the
    // settings as the test left them.
    FasesDia& fases()
    {
        if (!fases_) fases_.emplace(contexto, t.contaplus, *t.durabilidad, cuentas, "20091231", "20091231");
        return *fases_;
    }

    Entorno() : m(inst.unidades(), clerk), t(m, vista)
    {
        m.cargar();
        m.activar();
        m.externa = true;
        if (!t.activar()) qFatal("ContaPlus working files not prepared: %s", qPrintable(clerk.textos().join("; ")));
        inst.insertar("formas", {{"ForCod", "1"}, {"ForCta", "570000001"}, {"ForDes", "EFECTIVO"}});
        inst.insertar("formas", {{"ForCod", "2"},
                                 {"ForCta", "572000001"},
                                 {"ForDes", "TARJETA DE CREDITO VISA"}});  // 23 characters
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

    void caja(const QVariantMap& cambios)
    {
        QVariantMap fila{{"CajFec", "20091231"},  {"CajOrd", 1},     {"CajFra", "1234"},  {"CajImp", 50.0},
                         {"CajCli", "430000123"}, {"CajDep", ""},    {"CajAnoF", "2009"}, {"CajCobroc", "2"},
                         {"CajCre", false},       {"CajEstado", "0"}};
        for (auto it = cambios.begin(); it != cambios.end(); ++it) fila[it.key()] = it.value();
        inst.insertar("cajj", fila);
    }

    void abrir_cajj(const QString& sql = "SELECT * FROM cajj", const QVariantList& p = {})
    {
        fases().cajj().cerrar();
        fases().cajj().abrir(sql, m.conexion_enlace, Cursor::Dinamico, Bloqueo::Optimista, p);
    }
};

// Every column of a cash or deposit line read back, at the value it takes
// when the line's own columns do not say otherwise.
QVariantMap linea_caja(double asien, const QDate& fecha, const QVariantMap& propias)
{
    QVariantMap l = linea_con(false, propias);
    l["ASIEN"] = asien;
    l["FECHA"] = fecha;
    return l;
}

void leida_igual(const QVariantMap& leida, const QVariantMap& esperada)
{
    comparar(leida, esperada, true);
}

const QDate FIN_2009(2009, 12, 31);

}  // namespace

class TstApuntesCaja : public QObject {
    Q_OBJECT
private slots:
    void lineas_data();
    void lineas();
    void debe_caja_data();
    void debe_caja();
    void haber_caja_data();
    void haber_caja();
    void cobro_depositos_data();
    void cobro_depositos();
    void depositos_descontados_data();
    void depositos_descontados();
    void fallo_sin_fila_data();
    void fallo_sin_fila();
};

void TstApuntesCaja::lineas_data()
{
    QTest::addColumn<LineaDiario>("linea");
    QTest::addColumn<QVariantMap>("propias");
    const QVariant cli("430000123"), dep("438000000"), imp(50.0);
    QTest::newRow("debe caja, descripcion de 23 caracteres")
        << linea_debe_caja("572000001", "TARJETA DE CREDITO VISA", 50.35)
        << QVariantMap{{"SUBCTA", "572000001"}, {"CONCEPTO", "Total Dia TARJETA DE CRED"}, {"EURODEBE", 50.35}};
    QTest::newRow("haber caja, pago de factura")
        << linea_haber_caja("", cli, dep, "1234", imp)
        << QVariantMap{{"SUBCTA", cli}, {"CONCEPTO", "Cobro N/Factura"}, {"DOCUMENTO", "1234"}, {"EUROHABER", 50}};
    QTest::newRow("haber caja, cobro de deposito")
        << linea_haber_caja("77", cli, dep, "1234", imp)
        << QVariantMap{{"SUBCTA", dep}, {"CONCEPTO", "Cobro Deposito N. 77"}, {"DOCUMENTO", "1234"}, {"EUROHABER", 50}};
    QTest::newRow("haber caja, CajDep Null es cobro de deposito")
        << linea_haber_caja(QVariant(), cli, dep, "1234", imp)
        << QVariantMap{{"SUBCTA", dep}, {"CONCEPTO", "Cobro Deposito N. "}, {"DOCUMENTO", "1234"}, {"EUROHABER", 50}};
    QTest::newRow("haber caja, CajCli Null") << linea_haber_caja("", QVariant(), dep, "1234", imp)
                                             << QVariantMap{{"SUBCTA", QVariant()},
                                                            {"CONCEPTO", "Cobro N/Factura"},
                                                            {"DOCUMENTO", "1234"},
                                                            {"EUROHABER", 50}};
    QTest::newRow("debe cobro de deposito") << linea_debe_cobro_deposito("572000001", "77", 80.0)
                                            << QVariantMap{{"SUBCTA", "572000001"},
                                                           {"CONCEPTO", "Cobro Deposito N. 77"},
                                                           {"DOCUMENTO", "77"},
                                                           {"EURODEBE", 80}};
    QTest::newRow("haber cobro de deposito")
        << linea_haber_cobro_deposito(dep, "77", 80.0)
        << QVariantMap{{"SUBCTA", dep}, {"CONCEPTO", "Cobro Deposito N. 77"}, {"DOCUMENTO", "77"}, {"EUROHABER", 80}};
    QTest::newRow("deposito descontado, debe") << linea_deposito_descontado_debe("43800001", 555, 120.5)
                                               << QVariantMap{{"SUBCTA", "43800001"},
                                                              {"CONCEPTO", "Deposito Descontado "},
                                                              {"FACTURA", 555},
                                                              {"EURODEBE", 120.5}};
    QTest::newRow("deposito descontado, haber, EdepCli Null") << linea_deposito_descontado_haber(QVariant(), 555, 120.5)
                                                              << QVariantMap{{"SUBCTA", QVariant()},
                                                                             {"CONCEPTO", "Deposito Descontado "},
                                                                             {"FACTURA", 555},
                                                                             {"EUROHABER", 120.5}};
}

void TstApuntesCaja::lineas()
{
    QFETCH(LineaDiario, linea);
    QFETCH(QVariantMap, propias);
    QCOMPARE(linea.moneda_uso, QVariant("2"));  // the text, not the number of invoice lines
    comparar(columnas(linea), linea_con(false, propias));
}

void TstApuntesCaja::debe_caja_data()
{
    QTest::addColumn<QVariant>("cobroc");
    QTest::addColumn<QString>("subcta");
    QTest::addColumn<QString>("concepto");
    // The concept carries the method's description cut to 15 characters.
    QTest::newRow("descripcion de 23 caracteres") << QVariant("2") << "572000001"
                                                  << "Total Dia TARJETA DE CRED";
    QTest::newRow("forma que no existe") << QVariant("9") << "570000000"
                                         << "Total Dia EFECTIVO *";
    QTest::newRow("CajCobroc Null es la forma 1") << QVariant() << "570000001"
                                                  << "Total Dia EFECTIVO";
}

void TstApuntesCaja::debe_caja()
{
    QFETCH(QVariant, cobroc);
    QFETCH(QString, subcta);
    QFETCH(QString, concepto);
    Entorno e;
    e.caja({{"CajImp", 30.25}, {"CajCobroc", cobroc}});
    e.caja({{"CajOrd", 2}, {"CajImp", 20.10}, {"CajCobroc", cobroc}});
    e.abrir_cajj("SELECT Sum(CajImp) AS CajSuma, CajCobroc FROM cajj WHERE CajFec = ? "
                 "AND CajEstado = '0' GROUP BY CajCobroc",
                 {"20091231"});
    const qint32 n = 7;
    e.fases().APUNTE_DEBE_CAJA_CONTAPLUS(n, "20091231");

    QVERIFY(!e.fases().cajj().eof());
    const auto filas = e.diario();
    QCOMPARE(filas.size(), 1);
    leida_igual(filas[0], linea_caja(7, FIN_2009, {{"SUBCTA", subcta}, {"CONCEPTO", concepto}, {"EURODEBE", 50.35}}));
}

void TstApuntesCaja::haber_caja_data()
{
    QTest::addColumn<QVariant>("cajdep");
    QTest::addColumn<QString>("cajfec");
    QTest::addColumn<QString>("subcta");
    QTest::addColumn<QString>("concepto");
    QTest::addColumn<QDate>("fecha");
    QTest::newRow("pago de factura") << QVariant("") << "20091231"
                                     << "430000123"
                                     << "Cobro N/Factura" << FIN_2009;
    QTest::newRow("cobro de deposito") << QVariant("77") << "20091231"
                                       << "438000000"
                                       << "Cobro Deposito N. 77" << FIN_2009;
    QTest::newRow("CajDep Null es cobro de deposito") << QVariant() << "20091231"
                                                      << "438000000"
                                                      << "Cobro Deposito N." << FIN_2009;
    QTest::newRow("dia de 1999") << QVariant("") << "19991231"
                                 << "430000123"
                                 << "Cobro N/Factura" << QDate(1999, 12, 31);
}

void TstApuntesCaja::haber_caja()
{
    QFETCH(QVariant, cajdep);
    QFETCH(QString, cajfec);
    QFETCH(QString, subcta);
    QFETCH(QString, concepto);
    QFETCH(QDate, fecha);
    Entorno e;
    e.caja({{"CajDep", cajdep}, {"CajFec", cajfec}});
    e.caja({{"CajDep", cajdep}, {"CajFec", cajfec}, {"CajOrd", 2}, {"CajImp", 0.5}});
    e.abrir_cajj("SELECT * FROM cajj ORDER BY CajOrd");

    const qint32 n = 3;
    e.fases().APUNTE_HABER_CAJA_CONTAPLUS(n);
    // The line is written; the cash row stays where it was.
    QCOMPARE(e.fases().cajj().campo("CajOrd").toInt(), 1);
    e.fases().cajj().siguiente();
    e.fases().APUNTE_HABER_CAJA_CONTAPLUS(n);

    const auto filas = e.diario();
    QCOMPARE(filas.size(), 2);
    const QVariantMap propias{{"SUBCTA", subcta}, {"CONCEPTO", concepto}, {"DOCUMENTO", "1234"}};
    QVariantMap primera = propias, segunda = propias;
    primera["EUROHABER"] = 50;
    segunda["EUROHABER"] = 0.5;
    leida_igual(filas[0], linea_caja(3, fecha, primera));
    leida_igual(filas[1], linea_caja(3, fecha, segunda));
}

void TstApuntesCaja::cobro_depositos_data()
{
    QTest::addColumn<QVariant>("cobroc");
    QTest::addColumn<QString>("subcta_forma");
    QTest::newRow("tarjeta") << QVariant("2") << "572000001";
    QTest::newRow("CajCobroc Null es la forma 1") << QVariant() << "570000001";
}

void TstApuntesCaja::cobro_depositos()
{
    QFETCH(QVariant, cobroc);
    QFETCH(QString, subcta_forma);
    Entorno e;
    e.caja({{"CajDep", "77"}, {"CajFra", ""}, {"CajImp", 80.0}, {"CajCli", "438000000"}, {"CajCobroc", cobroc}});
    e.abrir_cajj();
    const qint32 n = 12;
    e.fases().APUNTE_D_CONTAPLUS_COBRO_DEPOSITOS(n, "20091231");
    e.fases().APUNTE_H_CONTAPLUS_COBRO_DEPOSITOS(n);

    QVERIFY(!e.fases().cajj().eof());
    const auto filas = e.diario();
    QCOMPARE(filas.size(), 2);
    leida_igual(filas[0], linea_caja(12, FIN_2009,
                                     {{"SUBCTA", subcta_forma},
                                      {"CONCEPTO", "Cobro Deposito N. 77"},
                                      {"DOCUMENTO", "77"},
                                      {"EURODEBE", 80}}));
    leida_igual(filas[1], linea_caja(12, FIN_2009,
                                     {{"SUBCTA", "438000000"},
                                      {"CONCEPTO", "Cobro Deposito N. 77"},
                                      {"DOCUMENTO", "77"},
                                      {"EUROHABER", 80}}));
}

void TstApuntesCaja::depositos_descontados_data()
{
    QTest::addColumn<int>("digitos");
    QTest::addColumn<QVariant>("edepcli");
    QTest::addColumn<QString>("debe");  // deposits subaccount, also in memory after
    QTest::addColumn<QString>("haber");
    QTest::addColumn<QVariant>("guardado");  // EdepCli once the caller has saved the row
    QTest::newRow("8 digitos") << 8 << QVariant("430000123") << "43800001"
                               << "43000123" << QVariant("43000123");
    QTest::newRow("9 digitos") << 9 << QVariant("430000123") << "438000001"
                               << "430000123" << QVariant("430000123");
    QTest::newRow("8 digitos, cliente ya de 8") << 8 << QVariant("43000123") << "43800001"
                                                << "43000123" << QVariant("43000123");
    QTest::newRow("EdepCli Null") << 8 << QVariant() << "43800001"
                                  << "" << QVariant();
}

void TstApuntesCaja::depositos_descontados()
{
    QFETCH(int, digitos);
    QFETCH(QVariant, edepcli);
    QFETCH(QString, debe);
    QFETCH(QString, haber);
    QFETCH(QVariant, guardado);
    Entorno e;
    e.m.digitos = qint16(digitos);
    e.m.cuenta_depositos = "438000001";
    e.inst.insertar(
        "edep",
        {{"EdepFec", "20091231"}, {"EdepCli", edepcli}, {"EdepImp", 120.5}, {"EdepEstado", "0"}, {"EdepFra", "555"}});
    Recordset& rs_edep = e.fases().edep();
    rs_edep.abrir("SELECT * FROM edep", e.m.conexion_enlace, Cursor::Dinamico, Bloqueo::Optimista);

    const qint32 n = 4;
    e.fases().APUNTE_DEPOSITOS_DESCONTADOS_D(n, "20091231");
    QCOMPARE(e.fases().cuenta_depositos(), debe);
    e.fases().APUNTE_DEPOSITOS_DESCONTADOS_H(n, "20091231");
    // What the deposit phase does next.
    rs_edep.asignar("EdepEstado", "1");
    rs_edep.guardar();

    const auto edep = e.inst.filas("edep");
    QCOMPARE(edep.size(), 1);
    QCOMPARE(edep[0].value("EdepCli").isNull(), guardado.isNull());
    if (!guardado.isNull()) QCOMPARE(edep[0].value("EdepCli").toString(), guardado.toString());
    QCOMPARE(e.inst.filas("cc").value(0).value("ccGru").toString(), QString("438000000"));

    const auto filas = e.diario();
    QCOMPARE(filas.size(), 2);
    leida_igual(
        filas[0],
        linea_caja(4, FIN_2009,
                   {{"SUBCTA", debe}, {"CONCEPTO", "Deposito Descontado"}, {"FACTURA", 555}, {"EURODEBE", 120.5}}));
    leida_igual(
        filas[1],
        linea_caja(4, FIN_2009,
                   {{"SUBCTA", haber}, {"CONCEPTO", "Deposito Descontado"}, {"FACTURA", 555}, {"EUROHABER", 120.5}}));
}

void TstApuntesCaja::fallo_sin_fila_data()
{
    QTest::addColumn<QString>("consulta");
    QTest::addColumn<QString>("fecha_dia");
    QTest::addColumn<int>("error");
    QTest::newRow("columna que falta") << "SELECT CajFec, CajImp FROM cajj"
                                       << "20091231" << codigo_error::ELEMENTO_NO_ENCONTRADO;
    QTest::newRow("dia que no es fecha") << "SELECT * FROM cajj"
                                         << "2009" << codigo_error::TIPOS_NO_COINCIDEN;
}

// A failing line leaves nothing in Xdiario, and the lines saved before stay.
void TstApuntesCaja::fallo_sin_fila()
{
    QFETCH(QString, consulta);
    QFETCH(QString, fecha_dia);
    QFETCH(int, error);
    Entorno e;
    e.caja({{"CajDep", "77"}});
    e.abrir_cajj();
    const qint32 n = 1;
    e.fases().APUNTE_D_CONTAPLUS_COBRO_DEPOSITOS(n, "20091231");

    e.abrir_cajj(consulta);
    try {
        e.fases().APUNTE_D_CONTAPLUS_COBRO_DEPOSITOS(n, fecha_dia);
        QFAIL("the line was written");
    } catch (const Fallo& f) {
        QCOMPARE(f.numero(), error);
    }
    QCOMPARE(e.diario().size(), 1);
}

QTEST_GUILESS_MAIN(TstApuntesCaja)
#include "tst_apuntes_caja.moc"
