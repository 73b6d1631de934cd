// Customer and payment-method subaccounts: every rule of the resolution on a
// set of customers, agencies, companies and payment methods that exercises
// it, in Access mode and through the SQL Server connection.
#include "platform/valores/Vb.h"
#include "tests/support/Entorno.h"
#include "tests/support/Fallos.h"
#include "transfer/CuentasCliente.h"

#include <QTest>
#include <memory>
#include <tuple>

namespace {

// One installation with the customer files below, the program started on it
// and a transfer window. Settings: walk-in 430000000, agencies 4300,
// companies 4310, cash 570000000.
struct Clientela : Entorno {
    explicit Clientela(bool sql) : Entorno({.modo_sql = sql, .antes = clientes}) {}

    static void clientes(Instalacion& inst)
    {
        const QVariant nulo;
        for (const auto& [cod, cta] : QList<QPair<QString, QVariant>>{
                 {"101", "430100001"}, {"102", ""}, {"103", nulo}, {"104", "430000000"}, {"O'Brien", "430100002"}})
            inst.insertar("cli", {{"CliCod", cod}, {"CliCta", cta}});
        for (const auto& [cod, cta] :
             QList<QPair<QString, QVariant>>{{"201", "430200001"}, {"123", ""}, {"203", nulo}, {"205", "430500000"}})
            inst.insertar("agen", {{"AgenCod", cod}, {"AgenCta", cta}});
        struct Empresa {
            QString cod;
            QVariant cta, vin, age;
        };
        for (const Empresa& n : QList<Empresa>{{"301", "431000001", false, ""},
                                               {"302", "", true, "205"},    // linked to an agency with an account
                                               {"303", "", false, "205"},   // not linked
                                               {"304", nulo, true, "205"},  // Null account: never follows the link
                                               {"305", "", true, "203"},    // linked to an agency without an account
                                               {"306", "", true, ""},       // linked to no agency
                                               {"307", "", nulo, "205"},    // Null link flag
                                               {"L'Oreal", "431000009", false, ""}})
            inst.insertar("na", {{"NaCod", n.cod}, {"NaCta", n.cta}, {"NaVin", n.vin}, {"NaAge", n.age}});
        for (const auto& [cod, cta, des] :
             QList<std::tuple<QString, QVariant, QVariant>>{{"1", "572000001", "VISA"},
                                                            {"2", "", "TALON"},
                                                            {"3", nulo, "BIZUM"},
                                                            {"4", "57200001", "TRANSFERENCIA"},
                                                            {"5", "572000005", nulo},
                                                            {"O'1", "572000009", "D'ESTE"}})
            inst.insertar("formas", {{"ForCod", cod}, {"ForCta", cta}, {"ForDes", des}});
    }

    // The customer of a new invoice, as the passes read it back from emi.
    ClienteFactura cliente;
    void factura(const QVariant& tipo, const QVariant& codigo, const QVariant& fecha)
    {
        static int numero = 0;
        const QString num = QString::number(++numero);
        inst.insertar("emi", {{"EmiAno", "2024"},
                              {"EmiNum", num},
                              {"EmiFec", fecha},
                              {"EmiC", tipo},
                              {"EmiCli", codigo},
                              {"EmiNom", "CLIENTE"}});
        Recordset emi;
        emi.abrir("SELECT * FROM emi WHERE EmiAno = ? AND EmiNum = ?", m.hotel(m.conexion_emi), Cursor::Dinamico,
                  Bloqueo::SoloLectura, {"2024", num});
        QVERIFY(!emi.eof());
        cliente = ClienteFactura::leer(emi);
    }
    // Lookups as outside a run (each reads its row) or during one.
    CuentasCliente cuentas(bool en_traspaso) { return CuentasCliente(m, m, en_traspaso); }
};

}  // namespace

class TstCuentas : public QObject {
    Q_OBJECT

    std::unique_ptr<Clientela> access, sql;
    Clientela& entorno(bool modo_sql) { return modo_sql ? *sql : *access; }

private slots:
    void initTestCase();
    void cliente_de_factura_data();
    void cliente_de_factura();
    void valores_nulos_data();
    void valores_nulos();
    void cuenta_cobro_data();
    void cuenta_cobro();
    void leida_una_vez_por_traspaso();
};

void TstCuentas::initTestCase()
{
    access = std::make_unique<Clientela>(false);
    sql = std::make_unique<Clientela>(true);
    QVERIFY(sql->m.modo_sql);
}

void TstCuentas::cliente_de_factura_data()
{
    QTest::addColumn<bool>("modo_sql");
    QTest::addColumn<bool>("todos");
    QTest::addColumn<bool>("aaaamm");
    QTest::addColumn<int>("digitos");
    QTest::addColumn<QVariant>("tipo");
    QTest::addColumn<QString>("cliente");
    QTest::addColumn<QString>("cuenta");   // cuenta_cliente3
    QTest::addColumn<QVariant>("cajcli");  // CajCli after buscar_cuenta_cliente2 (invalid: unset)

    const QVariant sin;
    // Individual customers.
    QTest::newRow("0 con cuenta") << false << false << true << 9 << QVariant(0) << "101"
                                  << "430100001" << QVariant("430100001");
    QTest::newRow("0 con cuenta, 8") << false << false << false << 8 << QVariant(0) << "101"
                                     << "430100001" << QVariant("43000001");
    QTest::newRow("0 sin fila, aaaamm") << false << false << true << 9 << QVariant(0) << "999"
                                        << "430002401" << QVariant("430002401");
    QTest::newRow("0 sin fila, aaaamm, 8") << false << false << true << 8 << QVariant(0) << "999"
                                           << "430002401" << QVariant("43002401");
    QTest::newRow("0 sin fila") << false << false << false << 9 << QVariant(0) << "999"
                                << "430000000" << QVariant("430000000");
    QTest::newRow("0 cuenta vacia, aaaamm") << false << false << true << 9 << QVariant(0) << "102"
                                            << "430002401" << QVariant("430002401");
    QTest::newRow("0 cuenta nula, aaaamm") << false << false << true << 9 << QVariant(0) << "103"
                                           << "430002401" << QVariant("430002401");
    QTest::newRow("0 cuenta de pasantes, aaaamm") << false << false << true << 9 << QVariant(0) << "104"
                                                  << "430002401" << QVariant("430002401");
    QTest::newRow("0 todos, aaaamm") << false << true << true << 9 << QVariant(0) << "999"
                                     << "430000000" << QVariant("430000000");
    QTest::newRow("0 todos con cuenta") << false << true << false << 9 << QVariant(0) << "101"
                                        << "430100001" << QVariant("430100001");
    QTest::newRow("0 apostrofo") << false << false << false << 9 << QVariant(0) << "O'Brien"
                                 << "430100002" << QVariant("430100002");
    // Agencies.
    QTest::newRow("1 con cuenta") << false << false << false << 9 << QVariant(1) << "201"
                                  << "430200001" << QVariant("430200001");
    QTest::newRow("1 sin cuenta, blancos") << false << false << false << 9 << QVariant(1) << " 123 "
                                           << "4300123" << QVariant("4300123");
    QTest::newRow("1 sin cuenta, blancos, 8") << false << false << false << 8 << QVariant(1) << " 123 "
                                              << "4300123" << QVariant("43000123");
    QTest::newRow("1 cuenta vacia") << false << false << false << 9 << QVariant(1) << "123"
                                    << "4300123" << QVariant("4300123");
    QTest::newRow("1 cuenta nula") << false << false << false << 9 << QVariant(1) << "203"
                                   << "4300203" << QVariant("4300203");
    QTest::newRow("1 todos") << false << true << false << 9 << QVariant(1) << " 123 "
                             << "430000000" << QVariant("430000000");
    QTest::newRow("1 apostrofo") << false << false << false << 9 << QVariant(1) << "D'Or"
                                 << "4300D'Or" << QVariant("4300D'Or");
    // Companies.
    QTest::newRow("2 con cuenta") << false << false << false << 9 << QVariant(2) << "301"
                                  << "431000001" << QVariant("431000001");
    QTest::newRow("2 vinculada a agencia") << false << false << false << 9 << QVariant(2) << "302"
                                           << "430500000" << QVariant("430500000");
    QTest::newRow("2 no vinculada") << false << false << false << 9 << QVariant(2) << "303"
                                    << "4310303" << QVariant("4310303");
    QTest::newRow("2 cuenta nula vinculada") << false << false << false << 9 << QVariant(2) << "304"
                                             << "4310304" << QVariant("4310304");
    QTest::newRow("2 agencia sin cuenta") << false << false << false << 9 << QVariant(2) << "305"
                                          << "4310305" << QVariant("4310305");
    QTest::newRow("2 vinculada a ninguna") << false << false << false << 9 << QVariant(2) << "306"
                                           << "4310306" << QVariant("4310306");
    QTest::newRow("2 vinculo nulo") << false << false << false << 9 << QVariant(2) << "307"
                                    << "4310307" << QVariant("4310307");
    QTest::newRow("2 sin fila, 8") << false << false << false << 8 << QVariant(2) << "999"
                                   << "4310999" << QVariant("43110999");
    QTest::newRow("2 todos, no vinculada") << false << true << false << 9 << QVariant(2) << "303"
                                           << "430000000" << QVariant("430000000");
    QTest::newRow("2 todos, vinculada") << false << true << false << 9 << QVariant(2) << "302"
                                        << "430500000" << QVariant("430500000");
    QTest::newRow("2 apostrofo") << false << false << false << 9 << QVariant(2) << "L'Oreal"
                                 << "431000009" << QVariant("431000009");
    // Other kinds, a kind stored as text.
    QTest::newRow("3") << false << false << false << 9 << QVariant(3) << "101"
                       << "" << sin;
    QTest::newRow("3, 8") << false << false << false << 8 << QVariant(3) << "101"
                          << "" << sin;
    QTest::newRow("3 todos") << false << true << false << 9 << QVariant(3) << "101"
                             << "" << sin;
    QTest::newRow("1 en texto") << false << false << false << 9 << QVariant("1") << "201"
                                << "430200001" << QVariant("430200001");
    // Through the SQL Server connection.
    QTest::newRow("sql 0 aaaamm") << true << false << true << 8 << QVariant(0) << "999"
                                  << "430002401" << QVariant("43002401");
    QTest::newRow("sql 0 apostrofo") << true << false << false << 9 << QVariant(0) << "O'Brien"
                                     << "430100002" << QVariant("430100002");
    QTest::newRow("sql 1 sin cuenta") << true << false << false << 9 << QVariant(1) << " 123 "
                                      << "4300123" << QVariant("4300123");
    QTest::newRow("sql 2 vinculada") << true << false << false << 9 << QVariant(2) << "302"
                                     << "430500000" << QVariant("430500000");
    QTest::newRow("sql 3") << true << false << false << 9 << QVariant(3) << "101"
                           << "" << sin;
}

void TstCuentas::cliente_de_factura()
{
    QFETCH(bool, modo_sql);
    QFETCH(bool, todos);
    QFETCH(bool, aaaamm);
    QFETCH(int, digitos);
    QFETCH(QVariant, tipo);
    QFETCH(QString, cliente);
    QFETCH(QString, cuenta);
    QFETCH(QVariant, cajcli);

    Clientela& e = entorno(modo_sql);
    e.m.todos_pasantes = todos;
    e.m.pasantes_aaaamm = aaaamm;
    e.m.digitos = qint16(digitos);
    e.factura(tipo, cliente, "20240115");

    QCOMPARE(e.cuentas(false).cuenta_cliente3(e.cliente), cuenta);
    // During a run: the first lookup keeps the row, the second uses it.
    CuentasCliente en_traspaso = e.cuentas(true);
    QCOMPARE(en_traspaso.cuenta_cliente3(e.cliente), cuenta);
    QCOMPARE(en_traspaso.cuenta_cliente3(e.cliente), cuenta);

    const std::optional<QString> cajj = e.cuentas(false).buscar_cuenta_cliente2(e.cliente);
    QCOMPARE(!cajj, !cajcli.isValid());
    if (cajcli.isValid()) QCOMPARE(*cajj, cajcli.toString());
}

void TstCuentas::valores_nulos_data()
{
    QTest::addColumn<bool>("todos");
    QTest::addColumn<bool>("aaaamm");
    QTest::addColumn<QVariant>("tipo");
    QTest::addColumn<QVariant>("cliente");
    QTest::addColumn<QVariant>("fecha");

    QTest::newRow("tipo nulo") << false << false << QVariant() << QVariant("101") << QVariant("20240115");
    QTest::newRow("cliente nulo") << false << false << QVariant(0) << QVariant() << QVariant("20240115");
    QTest::newRow("cliente nulo, tipo 3") << false << false << QVariant(3) << QVariant() << QVariant("20240115");
    QTest::newRow("fecha nula, aaaamm") << false << true << QVariant(0) << QVariant("999") << QVariant();
}

// A Null that the rules need is the runtime's invalid use of Null, for the
// driver to report with the invoice's number.
void TstCuentas::valores_nulos()
{
    QFETCH(bool, todos);
    QFETCH(bool, aaaamm);
    QFETCH(QVariant, tipo);
    QFETCH(QVariant, cliente);
    QFETCH(QVariant, fecha);

    Clientela& e = *access;
    e.m.todos_pasantes = todos;
    e.m.pasantes_aaaamm = aaaamm;
    e.m.digitos = 9;
    e.factura(tipo, cliente, fecha);
    ESPERAR_FALLO(e.cuentas(false).cuenta_cliente3(e.cliente), codigo_error::USO_NO_VALIDO_DE_NULL);
}

void TstCuentas::cuenta_cobro_data()
{
    QTest::addColumn<bool>("modo_sql");
    QTest::addColumn<int>("digitos");
    QTest::addColumn<QString>("codigo");
    QTest::addColumn<QString>("cuenta");
    QTest::addColumn<QString>("descripcion");

    QTest::newRow("con cuenta") << false << 9 << "1"
                                << "572000001"
                                << "VISA";
    QTest::newRow("con cuenta, 8") << false << 8 << "1"
                                   << "57200001"
                                   << "VISA";
    QTest::newRow("sin fila") << false << 9 << "99"
                              << "570000000"
                              << "EFECTIVO *";
    QTest::newRow("sin fila, 8") << false << 8 << "99"
                                 << "57000000"
                                 << "EFECTIVO *";
    QTest::newRow("cuenta vacia") << false << 9 << "2"
                                  << "570000000"
                                  << "TALON";
    QTest::newRow("cuenta nula") << false << 9 << "3"
                                 << "570000000"
                                 << "EFECTIVO *";
    QTest::newRow("8 caracteres con 9") << false << 9 << "4"
                                        << "57200001"
                                        << "TRANSFERENCIA";
    QTest::newRow("8 caracteres con 8") << false << 8 << "4"
                                        << "57200001"
                                        << "TRANSFERENCIA";
    QTest::newRow("descripcion nula") << false << 9 << "5"
                                      << "572000005"
                                      << "";
    QTest::newRow("apostrofo") << false << 9 << "O'1"
                               << "572000009"
                               << "D'ESTE";
    QTest::newRow("sql con cuenta, 8") << true << 8 << "1"
                                       << "57200001"
                                       << "VISA";
    QTest::newRow("sql sin fila") << true << 9 << "99"
                                  << "570000000"
                                  << "EFECTIVO *";
}

void TstCuentas::cuenta_cobro()
{
    QFETCH(bool, modo_sql);
    QFETCH(int, digitos);
    QFETCH(QString, codigo);
    QFETCH(QString, cuenta);
    QFETCH(QString, descripcion);

    Clientela& e = entorno(modo_sql);
    e.m.digitos = qint16(digitos);
    const CuentasCliente::Cobro cobro = e.cuentas(false).cuenta_cobro(codigo);
    QCOMPARE(cobro.cuenta, cuenta);
    QCOMPARE(cobro.descripcion, descripcion);
}

// During a run a payment method is read once: a change made after its first
// lookup is for the next run.
void TstCuentas::leida_una_vez_por_traspaso()
{
    for (const bool modo_sql : {false, true}) {
        Clientela& e = entorno(modo_sql);
        e.m.digitos = 9;
        const QString codigo = modo_sql ? "81" : "80";
        e.inst.insertar("formas", {{"ForCod", codigo}, {"ForCta", "572000080"}, {"ForDes", "UNA"}});
        CuentasCliente en_traspaso = e.cuentas(true);
        QCOMPARE(en_traspaso.cuenta_cobro(codigo).cuenta, QString("572000080"));
        e.inst.sql("formas", "UPDATE formas SET ForCta = '572000099', ForDes = 'OTRA' WHERE ForCod = ?", {codigo});
        const CuentasCliente::Cobro leido = en_traspaso.cuenta_cobro(codigo);
        QCOMPARE(leido.cuenta, QString("572000080"));
        QCOMPARE(leido.descripcion, QString("UNA"));
        const CuentasCliente::Cobro siguiente = e.cuentas(false).cuenta_cobro(codigo);
        QCOMPARE(siguiente.cuenta, QString("572000099"));
        QCOMPARE(siguiente.descripcion, QString("OTRA"));
    }
}

QTEST_GUILESS_MAIN(TstCuentas)
#include "tst_cuentas.moc"
