// Staging of invoices: the fac row crear_fac makes from an emi row, and the
// sales lines generar_fal makes in fal from the services charged.
#include "platform/valores/Vb.h"
#include "tests/support/Entorno.h"
#include "transfer/Contabilizar.h"
#include "transfer/PasoFacturas.h"

#include <QTest>
#include <algorithm>
#include <map>
#include <memory>

namespace {

// An installation, the program started on it and an activated transfer
// window: 9 digits unless told, company "1", journal "1", VAT 477000000.
struct Facturacion : Entorno {
    explicit Facturacion(int digitos = 9, bool sql = false)
        : Entorno({.modo_sql = sql, .ajustes = {{"ccdigitos", digitos}}, .antes = [](Instalacion& inst) {
                       inst.insertar("cli", {{"CliCod", "77"}, {"CliCta", "430000123"}});
                   }})
    {
        t.activar();
    }

    // The posting of a run, made on first use.
    QString tarea;
    ContextoPaso contexto{m, m, t.log, t.resumen, vista, tarea};
    std::optional<Contabilizacion> posting_;
    Contabilizacion& posting()
    {
        if (!posting_) posting_.emplace(contexto, t.contaplus, *t.durabilidad, t.cuenta_ventas_defecto);
        return *posting_;
    }

    // The posting's fac cursor on the staged invoice, as the posting leaves it.
    void situar_fac(const QString& eje, const QString& numero)
    {
        Recordset& fac = posting().fac();
        fac.cerrar();
        fac.abrir("SELECT * FROM fac WHERE FacEje = ? AND FacFra = ?", m.conexion_enlace, Cursor::Dinamico,
                  Bloqueo::Optimista, {eje, numero});
        QVERIFY(!fac.eof());
    }

    // The lines of company 1's invoice as "orden cuenta importe", in line order.
    QStringList lineas(const QString& eje, const QString& numero) const
    {
        auto filas = inst.filas("fal", "FalEmp = ? AND FalEje = ? AND FalFra = ?", {"1", eje, numero});
        std::sort(filas.begin(), filas.end(), [](const QVariantMap& a, const QVariantMap& b) {
            return a.value("Falorden").toInt() < b.value("Falorden").toInt();
        });
        QStringList r;
        for (const auto& f : filas)
            r << QStringLiteral("%1 %2 %3")
                     .arg(f.value("Falorden").toInt())
                     .arg(f.value("FalCta").toString())
                     .arg(f.value("FalImp").toDouble(), 0, 'f', 2);
        return r;
    }
};

const QString NUMERO = QStringLiteral("1001");

// A number no other invoice of a shared installation has.
QString numero_nuevo()
{
    static int ultimo = 2000;
    return QString::number(++ultimo);
}

}  // namespace

class TstPreparar : public QObject {
    Q_OBJECT

    // Installations shared by the rows of a table, one per digits and mode;
    // each row works on an invoice number of its own.
    std::map<std::pair<int, bool>, std::unique_ptr<Facturacion>> entornos;
    Facturacion& entorno(int digitos, bool sql = false)
    {
        auto& e = entornos[{digitos, sql}];
        if (!e) e = std::make_unique<Facturacion>(digitos, sql);
        return *e;
    }

private slots:
    void crear_fac_data();
    void crear_fac();
    void generar_fal_data();
    void generar_fal();
    void generar_fal_rehace_las_lineas();
};

void TstPreparar::crear_fac_data()
{
    QTest::addColumn<int>("digitos");
    QTest::addColumn<QString>("fecha");
    QTest::addColumn<QVariant>("nif");
    QTest::addColumn<int>("tipo");
    QTest::addColumn<QString>("cliente");
    QTest::addColumn<QString>("eje");
    QTest::addColumn<QString>("nif_fac");
    QTest::addColumn<QString>("cli_fac");
    QTest::addColumn<QString>("cuenta");

    QTest::newRow("nif con separadores") << 9 << "20240315" << QVariant(" b-12.345/678 ") << 0 << "77"
                                         << "2024"
                                         << "B12345678"
                                         << "77"
                                         << "430000123";
    QTest::newRow("subcuenta a 8") << 8 << "20240315" << QVariant("B12345678") << 0 << "77"
                                   << "2024"
                                   << "B12345678"
                                   << "77"
                                   << "43000123";
    QTest::newRow("nif largo") << 9 << "20091231" << QVariant("ES-B.12/345 678") << 0 << "77"
                               << "2009"
                               << "ESB123456"
                               << "77"
                               << "430000123";
    QTest::newRow("nif nulo") << 9 << "20240315" << QVariant() << 0 << "77"
                              << "2024"
                              << "0"
                              << "77"
                              << "430000123";
    QTest::newRow("agencia con blancos, 8") << 8 << "20240315" << QVariant("x1") << 1 << " 123 "
                                            << "2024"
                                            << "X1"
                                            << "123"
                                            << "43000123";
    QTest::newRow("tipo 3") << 9 << "20240315" << QVariant("x1") << 3 << "77"
                            << "2024"
                            << "X1"
                            << "77"
                            << "";
    QTest::newRow("tipo 3, 8") << 8 << "20240315" << QVariant("x1") << 3 << "77"
                               << "2024"
                               << "X1"
                               << "77"
                               << "";
}

void TstPreparar::crear_fac()
{
    QFETCH(int, digitos);
    QFETCH(QString, fecha);
    QFETCH(QVariant, nif);
    QFETCH(int, tipo);
    QFETCH(QString, cliente);
    QFETCH(QString, eje);
    QFETCH(QString, nif_fac);
    QFETCH(QString, cli_fac);
    QFETCH(QString, cuenta);

    Facturacion& e = entorno(digitos);
    const QString NUMERO = numero_nuevo();
    e.inst.insertar("emi", {{"EmiAno", eje},      {"EmiNum", NUMERO},       {"EmiFec", fecha}, {"EmiC", tipo},
                            {"EmiCli", cliente},  {"EmiNom", "D'Artagnan"}, {"EmiNif", nif},   {"EmiB1", 50.0},
                            {"EmiB2", 35.0},      {"EmiB3", 0.0},           {"EmiB4", 0.0},    {"EmiC1", 10.0},
                            {"EmiC2", 21.0},      {"EmiC3", 0.0},           {"EmiC4", 0.0},    {"EmiI1", 5.0},
                            {"EmiI2", 7.35},      {"EmiI3", 0.0},           {"EmiI4", 0.0},    {"EmiTot", 97.35},
                            {"TasaImporte", 1.1}, {"EmiCie", "1"}});
    Recordset emi, fac;
    emi.abrir("SELECT * FROM emi WHERE EmiAno = ? AND EmiNum = ?", e.m.hotel(e.m.conexion_emi), Cursor::Dinamico,
              Bloqueo::Optimista, {eje, NUMERO});
    fac.abrir("SELECT * FROM fac WHERE FacEje = ? AND FacFra = ?", e.m.conexion_enlace, Cursor::Dinamico,
              Bloqueo::Optimista, {eje, NUMERO});
    QVERIFY(fac.eof());
    CuentasCliente cuentas(e.m, e.m, false);

    QCOMPARE(::crear_fac(fac, FacturaHotel::leer(emi), NUMERO, e.m, cuentas), cuenta);
    const auto filas = e.inst.filas("fac", "FacFra = ?", {NUMERO});
    QCOMPARE(filas.size(), 1);
    const QVariantMap& f = filas[0];
    QCOMPARE(f.value("FacEmp").toString(), QString("1"));
    QCOMPARE(f.value("FacEje").toString(), eje);
    QCOMPARE(f.value("FacFec").toString(), fecha);
    QCOMPARE(f.value("FacFra").toString(), NUMERO);
    QCOMPARE(f.value("FacCli").toString(), cli_fac);
    QCOMPARE(f.value("FacCliN").toString(), QString("D'Artagnan"));
    QCOMPARE(f.value("FacNifC").toString(), nif_fac);
    QCOMPARE(f.value("FacCtaC").toString(), cuenta);
    QCOMPARE(f.value("FacIvar").toString(), QString("477000000"));
    QCOMPARE(f.value("FacDia").toString(), QString("1"));
    QCOMPARE(f.value("FacEst").toString(), QString("0"));
    const double b[] = {50, 35, 0, 0}, c[] = {10, 21, 0, 0}, i[] = {5, 7.35, 0, 0};
    for (int d = 0; d < 4; ++d) {
        const QString n = QString::number(d + 1);
        QCOMPARE(f.value("FacB" + n).toDouble(), b[d]);
        QCOMPARE(f.value("FacC" + n).toDouble(), c[d]);
        QCOMPARE(f.value("FacI" + n).toDouble(), i[d]);
    }
    QCOMPARE(f.value("FacTotal").toDouble(), 97.35);
    QCOMPARE(f.value("ImporteTasa").toDouble(), 1.1);
}

void TstPreparar::generar_fal_data()
{
    QTest::addColumn<bool>("modo_sql");
    QTest::addColumn<int>("digitos");
    QTest::addColumn<bool>("con_emi");
    QTest::addColumn<QStringList>("servicios");  // "cuenta;cantidad;precio;signo" (signo NULL: Null)
    QTest::addColumn<double>("bases");           // FacB1 + ... + FacB4
    QTest::addColumn<QStringList>("lineas");

    const QStringList dos_signos{"705000001;2;45.125;+", "705000002;1;10;-"};
    QTest::newRow("ambos signos y cuadre")
        << false << 9 << true << dos_signos << 85.0
        << QStringList{"1 705000001 90.25", "2 705000002 -10.00", "3 705999999 4.75"};
    QTest::newRow("sin cuadre") << false << 9 << true << dos_signos << 80.25
                                << QStringList{"1 705000001 90.25", "2 705000002 -10.00"};
    QTest::newRow("signo nulo o vacio") << false << 9 << true << QStringList{"705000001;1;10;NULL", "705000001;1;5;"}
                                        << 0.0
                                        << QStringList{"1 705000001 -10.00", "2 705000001 -5.00", "3 705999999 15.00"};
    QTest::newRow("redondeo a centimos") << false << 9 << true << QStringList{"705000001;3;0.333;+"} << 1.0
                                         << QStringList{"1 705000001 1.00"};
    QTest::newRow("cuenta larga, 9") << false << 9 << true << QStringList{"7050000012;1;10;+", "7051;1;5;+"} << 15.0
                                     << QStringList{"1 705000001 10.00", "2 7051 5.00"};
    QTest::newRow("cuenta larga, 8") << false << 8 << true << QStringList{"705000001;1;10;+"} << 12.0
                                     << QStringList{"1 70500000 10.00", "2 70599999 2.00"};
    QTest::newRow("sin servicios") << false << 9 << true << QStringList{} << 10.0 << QStringList{};
    QTest::newRow("sin factura") << false << 9 << false << dos_signos << 85.0 << QStringList{};
    QTest::newRow("sql ambos signos y cuadre")
        << true << 9 << true << dos_signos << 85.0
        << QStringList{"1 705000001 90.25", "2 705000002 -10.00", "3 705999999 4.75"};
}

void TstPreparar::generar_fal()
{
    QFETCH(bool, modo_sql);
    QFETCH(int, digitos);
    QFETCH(bool, con_emi);
    QFETCH(QStringList, servicios);
    QFETCH(double, bases);
    QFETCH(QStringList, lineas);

    Facturacion& e = entorno(digitos, modo_sql);
    const QString NUMERO = numero_nuevo();
    if (con_emi)
        e.inst.insertar(
            "emi", {{"EmiAno", "2024"}, {"EmiNum", NUMERO}, {"EmiFec", "20240315"}, {"EmiC", 0}, {"EmiCli", "77"}});
    for (const QString& s : servicios) {
        const QStringList p = s.split(';');
        e.inst.insertar("hiscadia", {{"HCadiaFra", NUMERO},
                                     {"HCadiaFraAno", "2024"},
                                     {"HCadiaCta", p[0]},
                                     {"HCadiaCan", p[1].toDouble()},
                                     {"HCadiaPre", p[2].toDouble()},
                                     {"HCadiaCA", p[3] == "NULL" ? QVariant() : QVariant(p[3])}});
    }
    // The bases spread over the four slots, so every one is summed.
    e.inst.insertar("fac", {{"FacEmp", "1"},
                            {"FacEje", "2024"},
                            {"FacFra", NUMERO},
                            {"FacEst", "0"},
                            {"FacB1", bases - 0.75},
                            {"FacB2", 0.25},
                            {"FacB3", 0.25},
                            {"FacB4", 0.25}});
    e.situar_fac("2024", NUMERO);

    e.posting().generar_fal(FacturaPreparada::leer(e.posting().fac()), "2024", NUMERO);

    QCOMPARE(e.lineas("2024", NUMERO), lineas);
    if (!lineas.isEmpty()) QVERIFY(e.posting().fal().abierto());
}

// Posting an invoice again after a failure rebuilds its lines: each service
// counts once, and the lines of other invoices stay.
void TstPreparar::generar_fal_rehace_las_lineas()
{
    Facturacion e;
    e.inst.insertar("emi",
                    {{"EmiAno", "2024"}, {"EmiNum", NUMERO}, {"EmiFec", "20240315"}, {"EmiC", 0}, {"EmiCli", "77"}});
    e.inst.insertar("hiscadia", {{"HCadiaFra", NUMERO},
                                 {"HCadiaFraAno", "2024"},
                                 {"HCadiaCta", "705000001"},
                                 {"HCadiaCan", 2.0},
                                 {"HCadiaPre", 45.125},
                                 {"HCadiaCA", "+"}});
    e.inst.insertar("fac", {{"FacEmp", "1"},
                            {"FacEje", "2024"},
                            {"FacFra", NUMERO},
                            {"FacEst", "0"},
                            {"FacB1", 100.0},
                            {"FacB2", 0.0},
                            {"FacB3", 0.0},
                            {"FacB4", 0.0}});
    // Left by an earlier, failed posting of the same invoice, and lines of
    // the same number in another year and of another company.
    e.inst.insertar("fal", {{"FalEmp", "1"},
                            {"FalEje", "2024"},
                            {"FalFra", NUMERO},
                            {"Falorden", 1},
                            {"FalCta", "705000009"},
                            {"FalImp", 33.0}});
    e.inst.insertar("fal", {{"FalEmp", "1"},
                            {"FalEje", "2023"},
                            {"FalFra", NUMERO},
                            {"Falorden", 1},
                            {"FalCta", "705000009"},
                            {"FalImp", 44.0}});
    e.inst.insertar("fal", {{"FalEmp", "2"},
                            {"FalEje", "2024"},
                            {"FalFra", NUMERO},
                            {"Falorden", 1},
                            {"FalCta", "705000009"},
                            {"FalImp", 55.0}});
    e.situar_fac("2024", NUMERO);

    const QStringList esperadas{"1 705000001 90.25", "2 705999999 9.75"};
    e.posting().generar_fal(FacturaPreparada::leer(e.posting().fac()), "2024", NUMERO);
    e.posting().generar_fal(FacturaPreparada::leer(e.posting().fac()), "2024", NUMERO);

    QCOMPARE(e.lineas("2024", NUMERO), esperadas);
    QCOMPARE(e.inst.filas("fal", "FalEje = ?", {"2023"}).size(), 1);
    QCOMPARE(e.inst.filas("fal", "FalEmp = ?", {"2"}).size(), 1);

    // Services gone from the hotel since the last time: no line is left.
    e.inst.sql("hiscadia", "DELETE FROM Hiscadia");
    e.situar_fac("2024", NUMERO);
    e.posting().generar_fal(FacturaPreparada::leer(e.posting().fac()), "2024", NUMERO);
    QCOMPARE(e.lineas("2024", NUMERO), QStringList{});
}

QTEST_GUILESS_MAIN(TstPreparar)
#include "tst_preparar.moc"
