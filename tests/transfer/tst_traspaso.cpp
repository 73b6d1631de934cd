// Whole transfers on small installations, read back with dbfread: the
// journal line by line, the subaccounts created, the marks that keep a
// second run from posting anything twice, in Access and SQL mode.
#include "tests/transfer/tst_traspaso_escenario.h"

#include <QDate>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QMap>
#include <QTest>
#include <QTime>

namespace {

const QStringList FASES = {"Movimientos de caja", "Facturas", "Asientos de facturas", "Depósitos", "Caja del día"};

QStringList en_8_digitos(const QStringList& diario)
{
    QStringList r;
    for (const QString& l : diario) {
        QStringList p = l.split(' ');
        if (p[2] != "475300000") p[2] = a8(p[2]);  // the tax account is used as stored
        r << p.join(' ');
    }
    return r;
}

QStringList sustituir(QStringList diario, const QString& de, const QString& por)
{
    for (QString& l : diario) l.replace(de, por);
    return diario;
}

void servicios_101(Instalacion& inst)
{
    inst.insertar("Hiscadia", {{"HCadiaFra", "101"},
                               {"HCadiaFraAno", "2026"},
                               {"HCadiaCta", "700000001"},
                               {"HCadiaCan", 2},
                               {"HCadiaPre", 45.125},
                               {"HCadiaCA", "+"}});
    inst.insertar("Hiscadia", {{"HCadiaFra", "101"},
                               {"HCadiaFraAno", "2026"},
                               {"HCadiaCta", "700000002"},
                               {"HCadiaCan", 1},
                               {"HCadiaPre", 10.0},
                               {"HCadiaCA", "-"}});
}

}  // namespace

class TstTraspaso : public QObject {
    Q_OBJECT

private slots:
    void ajustes_data();
    void ajustes();
    void marcas_de_trabajo();
    void columnas();
    void no_confirmado();
    void sin_caja();
    void sin_facturas();
    void fin_de_ano_data();
    void fin_de_ano();
    void huecos_de_numeracion();
    void dias_ya_pasados_sin_numero();
    void factura_sin_numero();
    void modo_sql_y_series();
    void lecturas_juntas_data();
    void lecturas_juntas();
    void subcuentas_de_cada_activacion();
};

void TstTraspaso::ajustes_data()
{
    QTest::addColumn<bool>("sql");
    QTest::addColumn<QVariantMap>("cc");
    QTest::addColumn<bool>("servicios");
    QTest::addColumn<QStringList>("diario");
    QTest::addColumn<QStringList>("subcuentas");

    const QStringList base = diario_base();
    const QStringList creadas = {"430000501", "477000010", "430000123", "475300000", "477000021", "430000000"};
    QStringList todas = creadas;
    todas.insert(1, "700000000");

    QTest::newRow("access") << false << QVariantMap{} << false << base << creadas;
    QTest::newRow("sql") << true << QVariantMap{} << false << base << creadas;
    QTest::newRow("externa") << false << QVariantMap{{"Externa", 1}} << false << base << todas;

    // 8 digits: every code in its 8-digit form but the tax account; the
    // company's 700000000 is not the 70000000 asked for, so it is created.
    QStringList todas8;
    for (const QString& c : todas) todas8 << (c == "475300000" ? c : a8(c));
    QTest::newRow("8 digitos") << false << QVariantMap{{"ccdigitos", 8}} << false << en_8_digitos(base) << todas8;

    // Deposit collections apart: the day entry keeps the payment, the
    // collection gets the next number, later days move up by one.
    QStringList sep = base.mid(0, 13);
    sep << "5 01/03/2026 570000000 110.00 0.00 Total Dia EFECTIVO"
        << "5 01/03/2026 430000501 0.00 110.00 Cobro N/Factura"
        << "6 01/03/2026 572000001 100.00 0.00 Cobro Deposito N. 000077"
        << "6 01/03/2026 438000000 0.00 100.00 Cobro Deposito N. 000077";
    for (const QString& l : base.mid(17))
        sep << QString::number(l.section(' ', 0, 0).toInt() + 1) + ' ' + l.section(' ', 1);
    QTest::newRow("separar depositos") << false << QVariantMap{{"ccdep", 1}} << false << sep << creadas;

    // Sales by service: 2 x 45.125, a credit of 10 and the balance to the
    // default sales account, in the order of the accounts.
    QStringList ventas = base;
    ventas.removeAt(1);
    ventas.insert(1, "1 01/03/2026 700000001 0.00 90.25 Factura Nº101");
    ventas.insert(2, "1 01/03/2026 700000002 0.00 -10.00 Factura Nº101");
    ventas.insert(3, "1 01/03/2026 705999999 0.00 19.75 Factura Nº101");
    QTest::newRow("separar ventas") << false << QVariantMap{{"ccventas", 1}} << true << ventas
                                    << QStringList{"430000501", "700000001", "700000002", "705999999", "477000010",
                                                   "430000123", "475300000", "477000021", "430000000"};

    // Every customer without an account of its own on the walk-in account.
    QTest::newRow("todos pasantes") << false << QVariantMap{{"cctodos", 1}} << false
                                    << sustituir(base, "430000123", "430000000")
                                    << QStringList{"430000501", "477000010", "430000000", "475300000", "477000021"};

    // One walk-in account per year and month.
    QTest::newRow("pasantes aaaamm") << false << QVariantMap{{"AAAAMM", 1}} << false
                                     << sustituir(base, "430000000", "430002603")
                                     << QStringList{"430000501", "477000010", "430000123",
                                                    "475300000", "477000021", "430002603"};
    QTest::newRow("sql externa separar depositos 8 digitos")
        << true << QVariantMap{{"Externa", 1}, {"ccdep", 1}, {"ccdigitos", 8}} << false << en_8_digitos(sep) << todas8;
}

void TstTraspaso::ajustes()
{
    QFETCH(bool, sql);
    QFETCH(QVariantMap, cc);
    QFETCH(bool, servicios);
    QFETCH(QStringList, diario);
    QFETCH(QStringList, subcuentas);

    Instalacion inst(sql);
    escenario_base(inst);
    if (servicios) servicios_101(inst);
    inst.ajustes(cc);
    const bool externa = cc.value("Externa").toInt() == 1;

    Entorno c(inst);
    QCOMPARE(int(c.correr("01032026", "03032026")), int(FinTraspaso::Correcto));
    // The final message, then the receipt of the missing invoice 999 left to the clerk.
    const QStringList textos = c.clerk.textos();
    QCOMPARE(textos.size(), 3);
    QCOMPARE(textos[1], QString("Traspaso a CONTAPLUS: El proceso se ha realizado correctamente. "));
    QCOMPARE(c.clerk.mensajes[1].icono, Icono::Informacion);
    QVERIFY2(textos[2].contains("1 cobro cuya factura no se encuentra"), qPrintable(textos[2]));
    QCOMPARE(c.vista.fases, FASES);
    QVERIFY(!c.vista.espera);
    QCOMPARE(c.vista.vaciados, 1);

    const TablaDbf leido = leer_dbf(ruta_diario(inst, externa));
    QCOMPARE(lineas(leido), diario);
    QCOMPARE(descuadres(leido), QStringList());
    QCOMPARE(codigos(ruta_subcuentas(inst, externa)), subcuentas);

    // The same range again, in the same window: nothing new.
    c.vista.de = "01/03/2026";
    c.vista.hasta = "03/03/2026";
    QCOMPARE(int(c.t.iniciar2()), int(FinTraspaso::Correcto));
    QCOMPARE(lineas(ruta_diario(inst, externa)), diario);
    QCOMPARE(codigos(ruta_subcuentas(inst, externa)).size(), subcuentas.size());

    // And from a new start of the program, where the journal is kept.
    if (!externa) {
        QCOMPARE(int(transferir(inst, "01032026", "03032026")), int(FinTraspaso::Correcto));
        QCOMPARE(lineas(ruta_diario(inst)), diario);
    }
    QCOMPARE(inst.filas("fac").size(), 3);
    QCOMPARE(inst.filas("edep").size(), 1);
    QCOMPARE(inst.filas("cajj").size(), 6);
}

void TstTraspaso::marcas_de_trabajo()
{
    Instalacion inst;
    escenario_base(inst);
    QCOMPARE(int(transferir(inst, "01032026", "03032026")), int(FinTraspaso::Correcto));

    // caja: every movement of the range that was paid is marked, the one of
    // the missing invoice included; the unpaid one and the one of the 4th
    // only lost their Null.
    QStringList tur;
    for (const QVariantMap& f : inst.filas("caja", "1=1 ORDER BY CajaFec, CajaOrd"))
        tur << f["CajaFec"].toString() + "/" + f["CajaOrd"].toString() + "=" + f["CajaTur"].toString();
    QCOMPARE(tur, (QStringList{"20260301/1=1", "20260301/2=1", "20260302/1=1", "20260302/2=1", "20260302/3=1",
                               "20260302/4=", "20260303/1=1", "20260303/2=1", "20260304/1="}));

    // cajj: payments and the deposit, rounded to cents; nothing for invoice 999.
    QStringList cajj;
    for (const QVariantMap& f : inst.filas("cajj"))
        cajj << QStringList{f["CajFec"].toString(),    f["CajOrd"].toString(),   f["CajFra"].toString(),
                            euros(f["CajImp"]),        f["CajCli"].toString(),   f["CajDep"].toString(),
                            f["CajCobroc"].toString(), f["CajEstado"].toString()}
                    .join('|');
    QCOMPARE(cajj, (QStringList{"20260301|1|101|110.00|430000501||1|1", "20260301|2||100.00|438000000|000077|2|1",
                                "20260302|1|102|200.30|430000123||2|1", "20260302|2|102|100.00|430000123||3|1",
                                "20260303|1|105|100.50|430000000||1|1", "20260303|2|105|20.50|430000000||1|1"}));
    QVERIFY(!inst.filas("cajj").at(0)["CajDep"].isNull());  // the empty text, not Null

    // emi: forced closings, the invoice of an open bill left open, Null tax to 0.
    QMap<QString, QString> cie;
    for (const QVariantMap& f : inst.filas("emi")) cie[f["EmiNum"].toString()] = f["EmiCie"].toString();
    QCOMPARE(cie, (QMap<QString, QString>{{"101", "1"}, {"102", "1"}, {"103", "0"}, {"105", "1"}}));
    QCOMPARE(inst.filas("emi", "EmiNum = '105'").at(0)["TasaImporte"].toDouble(), 0.0);

    QStringList fac;
    for (const QVariantMap& f : inst.filas("fac"))
        fac << f["FacEje"].toString() + "/" + f["FacFra"].toString() + "=" + f["FacEst"].toString();
    QCOMPARE(fac, (QStringList{"2026/101=1", "2026/102=1", "2026/105=1"}));

    const QVector<QVariantMap> edep = inst.filas("edep");
    QCOMPARE(edep.size(), 1);
    QCOMPARE(edep[0]["EdepFec"].toString(), QString("20260301"));
    QCOMPARE(edep[0]["EdepCli"].toString(), QString("430000123"));
    QCOMPARE(edep[0]["EdepImp"].toDouble(), 100.0);
    QCOMPARE(edep[0]["EdepFra"].toString(), QString("102"));
    QCOMPARE(edep[0]["EdepEstado"].toString(), QString("1"));
}

void TstTraspaso::columnas()
{
    Instalacion inst;
    escenario_base(inst);
    QCOMPARE(int(transferir(inst, "01032026", "03032026")), int(FinTraspaso::Correcto));
    const TablaDbf d = leer_dbf(ruta_diario(inst));
    QCOMPARE(d.filas.size(), 24);

    // Every column the link writes but Asien, Fecha, subcta, Concepto and
    // the euro amounts, for one line of each kind, as "Columna=valor" where
    // the value is not the one every line of that kind carries.
    const QVariantMap factura{{"Contra", ""},  {"PtaDebe", 0},     {"PtaHaber", 0},   {"Factura", 0},
                              {"BaseImpo", 0}, {"iva", 0},         {"Documento", ""}, {"Auxiliar", "*"},
                              {"Serie", ""},   {"MonedaUso", "2"}, {"BaseEuro", 0}};
    QVariantMap caja = factura;
    caja["Auxiliar"] = "";
    auto diferencias = [&](int i, const QVariantMap& comunes) {
        const QVariantMap& f = d.filas[i];
        QStringList r;
        for (const char* c : {"Recequiv", "Ncasado", "Tcasado", "Trans", "Cambio", "DebeMe", "HaberMe", "ImpAuxMe"})
            if (col(f, c).toDouble() != 0) r << QString(c) + "=" + col(f, c).toString();
        for (const char* c : {"Departa", "Clave", "estado", "Sucursal", "CodDivisa"})
            if (!col(f, c).toString().isEmpty()) r << QString(c) + "=" + col(f, c).toString();
        for (auto it = comunes.begin(); it != comunes.end(); ++it)
            if (col(f, it.key()).toString() != it.value().toString()) r << it.key() + "=" + col(f, it.key()).toString();
        return r.join(' ');
    };
    // Customer debit: pesetas from the whole euros of 110.
    QCOMPARE(diferencias(0, factura), QString("PtaDebe=18302"));
    QCOMPARE(diferencias(1, factura), QString("PtaHaber=16639"));
    // VAT of 10 % on 100: the only line with a counterpart, a base and a rate.
    QCOMPARE(
        diferencias(2, factura),
        QString("BaseEuro=100 BaseImpo=16639 Contra=430000501 Documento=101 Factura=101 PtaHaber=1664 Serie=G iva=10"));
    // Tourist tax of 3.30 and the 21 % VAT line whose base carries it.
    QCOMPARE(diferencias(4, factura), QString("PtaHaber=549"));
    QCOMPARE(
        diferencias(7, factura),
        QString(
            "BaseEuro=203.3 BaseImpo=33826 Contra=430000123 Documento=102 Factura=102 PtaHaber=6988 Serie=G iva=21"));
    // Discounted deposit, day debit, payment credit, deposit collection credit.
    QCOMPARE(diferencias(11, caja), QString("Factura=102"));
    QCOMPARE(diferencias(12, caja), QString("Factura=102"));
    QCOMPARE(diferencias(13, caja), QString());
    QCOMPARE(diferencias(15, caja), QString("Documento=101"));
    QCOMPARE(diferencias(16, caja), QString());

    // The subaccounts, with the customer's name and cleaned tax number (an
    // empty name and "0" for the Nulls of the walk-in guest).
    const TablaDbf s = leer_dbf(ruta_subcuentas(inst));
    QStringList sub;
    for (const QVariantMap& f : s.filas)
        sub << QStringList{col(f, "COD").toString(), col(f, "TITULO").toString(), col(f, "NIF").toString(),
                           col(f, "TIPOIVA").toString(), col(f, "DIVISA").toString()}
                   .join('|');
    QCOMPARE(sub, (QStringList{"430000501|Juan O'Brien|12345678Z||false", "477000010|IVA REPERCUTIDO 10 %||G|false",
                               "430000123|Viajes Sol|0||false", "475300000|Tasa Turística EET||G|false",
                               "477000021|IVA REPERCUTIDO 21 %||G|false", "430000000||0||false"}));
}

void TstTraspaso::no_confirmado()
{
    Instalacion inst;
    escenario_base(inst);
    const QVector<QVariantMap> caja = inst.filas("caja"), emi = inst.filas("emi");

    Entorno c(inst);
    c.clerk.respuestas << Respuesta::No;
    QCOMPARE(int(c.correr("01032026", "03032026")), int(FinTraspaso::Cancelado));
    QCOMPARE(
        c.clerk.textos(),
        QStringList{
            "Seguridad: ¿Esta seguro/a de traspasar las facturas y las cajas a contabilidad entre estas fechas? "});
    QCOMPARE(c.clerk.mensajes[0].botones, Botones::SiNo);
    QCOMPARE(c.clerk.mensajes[0].icono, Icono::Informacion);
    QCOMPARE(c.vista.vaciados, 1);
    QVERIFY(c.vista.de.isEmpty() && c.vista.hasta.isEmpty());
    QCOMPARE(inst.logs(), QStringList());
    QCOMPARE(inst.filas("caja"), caja);
    QCOMPARE(inst.filas("emi"), emi);
    QVERIFY(inst.filas("cajj").isEmpty() && inst.filas("fac").isEmpty());
    QCOMPARE(lineas(ruta_diario(inst)), QStringList());
}

void TstTraspaso::sin_caja()
{
    Instalacion inst;
    escenario_base(inst);
    inst.ajustes({{"ccop1", 0}});
    const QVector<QVariantMap> caja = inst.filas("caja");

    Entorno c(inst);
    c.t.reloj_fijo = QDateTime(QDate(2026, 11, 30), QTime(9, 5, 1));
    QCOMPARE(int(c.correr("01032026", "03032026")), int(FinTraspaso::Correcto));
    QCOMPARE(inst.filas("caja"), caja);  // not even the Nulls of CajaTur
    QVERIFY(inst.filas("cajj").isEmpty());
    QCOMPARE(lineas(ruta_diario(inst)), diario_base().mid(0, 13));

    QFile log(inst.local("C:\\quelmira\\sp1\\tc_301126_090501.log"));
    QVERIFY(log.open(QIODevice::ReadOnly));
    const QByteArray texto = log.readAll();
    QVERIFY(!texto.contains("cajas"));
    QVERIFY(texto.contains("* Traspasando las facturas *"));
}

void TstTraspaso::sin_facturas()
{
    // Cash in the range but no invoice: the cash is staged and marked, the
    // clerk told, nothing posted; a later run over the invoices' days posts it.
    Instalacion inst;
    escenario_base(inst);

    Entorno c(inst);
    QCOMPARE(int(c.correr("04032026", "04032026")), int(FinTraspaso::SinFacturas));
    QCOMPARE(c.clerk.textos().last(),
             QString("Atención: No existen facturas para traspasar a contabilidad entre estas fechas"));
    QCOMPARE(c.clerk.mensajes.last().icono, Icono::Informacion);
    QVERIFY(!c.vista.espera);
    QVERIFY(!c.t.log.abierto());
    QCOMPARE(inst.filas("cajj").size(), 1);
    QCOMPARE(inst.filas("caja", "CajaTur = '1'").size(), 1);
    QCOMPARE(lineas(ruta_diario(inst)), QStringList());

    QCOMPARE(int(transferir(inst, "01032026", "04032026")), int(FinTraspaso::Correcto));
    const QStringList l = lineas(ruta_diario(inst));
    QCOMPARE(l.size(), 26);
    QCOMPARE(l.mid(24), (QStringList{"8 04/03/2026 570000000 7.00 0.00 Total Dia EFECTIVO",
                                     "8 04/03/2026 430000000 0.00 7.00 Cobro N/Factura"}));
}

void TstTraspaso::fin_de_ano_data()
{
    QTest::addColumn<QDate>("desde");
    QTest::addColumn<QDate>("hasta");
    QTest::newRow("2026 a 2027") << QDate(2026, 12, 28) << QDate(2027, 1, 5);
    QTest::newRow("2029 a 2030") << QDate(2029, 12, 20) << QDate(2030, 1, 10);
    QTest::newRow("2098 a enero de 2099") << QDate(2098, 12, 28) << QDate(2099, 1, 31);
}

void TstTraspaso::fin_de_ano()
{
    // Receipts of both years, invoices of the start year only, each journal
    // line dated in its own year; a second run posts nothing more.
    QFETCH(QDate, desde);
    QFETCH(QDate, hasta);
    const int y = desde.year();
    const QDate diciembre(y, 12, 29), enero(y + 1, 1, 3), tardia(y + 1, 1, 4);
    auto amd = [](const QDate& d) { return d.toString("yyyyMMdd"); };
    auto dia = [](const QDate& d) { return d.toString("dd/MM/yyyy"); };

    Instalacion inst;
    forma(inst, "1", "EFECTIVO", "570000000");
    Factura a;
    a.num = "900", a.fec = amd(diciembre), a.cli = "X", a.nom = "Diciembre";
    a.b[0] = 100, a.tipo[0] = 10, a.cuota[0] = 10, a.total = 110;
    factura(inst, a);
    Factura b = a;
    b.num = "1", b.fec = amd(QDate(y + 1, 1, 2)), b.nom = "Enero";
    factura(inst, b);
    Factura c = a;  // of the start year, dated in the next one
    c.num = "901", c.fec = amd(tardia), c.ano = QString::number(y), c.nom = "Tardia";
    factura(inst, c);
    cobro(inst, amd(diciembre), 1, "900", "1", "Cobro", 110);
    cobro(inst, amd(enero), 1, "1", "1", "Cobro", 110, "1", QString::number(y + 1));

    auto asiento = [&](int n, const QDate& d, const QString& num) {
        return QStringList{QStringLiteral("%1 %2 430000000 110.00 0.00 Factura Nº%3").arg(n).arg(dia(d), num),
                           QStringLiteral("%1 %2 700000000 0.00 100.00 Factura Nº%3").arg(n).arg(dia(d), num),
                           QStringLiteral("%1 %2 477000010 0.00 10.00 Factura N.%3").arg(n).arg(dia(d), num)};
    };
    // Both day phases number from the last invoice entry; only a day that
    // writes an entry takes a number.
    int siguiente = 2;
    auto caja = [&](const QDate& d) {
        const int n = ++siguiente;
        return QStringList{QStringLiteral("%1 %2 570000000 110.00 0.00 Total Dia EFECTIVO").arg(n).arg(dia(d)),
                           QStringLiteral("%1 %2 430000000 0.00 110.00 Cobro N/Factura").arg(n).arg(dia(d))};
    };
    const QStringList dia_diciembre = caja(diciembre), dia_enero = caja(enero);
    const QStringList esperado = asiento(1, diciembre, "900") + asiento(2, tardia, "901") + dia_diciembre + dia_enero;

    const QString de = desde.toString("ddMMyyyy"), a_ = hasta.toString("ddMMyyyy");
    QCOMPARE(int(transferir(inst, de, a_)), int(FinTraspaso::Correcto));
    QCOMPARE(lineas(ruta_diario(inst)), esperado);
    QStringList fac;
    for (const QVariantMap& f : inst.filas("fac")) fac << f["FacFra"].toString();
    QCOMPARE(fac, (QStringList{"900", "901"}));
    for (const QVariantMap& f : inst.filas("cajj")) QCOMPARE(f["CajEstado"].toString(), QString("1"));
    QCOMPARE(inst.filas("cajj").size(), 2);
    QCOMPARE(inst.filas("caja", "CajaTur = '1'").size(), 2);

    QCOMPARE(int(transferir(inst, de, a_)), int(FinTraspaso::Correcto));
    QCOMPARE(lineas(ruta_diario(inst)), esperado);
}

void TstTraspaso::huecos_de_numeracion()
{
    // The journal ends at 10 after the invoices; three days, deposits only
    // on the second: the deposits get 11, the days 12, 13, 14, no gap.
    Instalacion inst;
    QDir().mkpath(inst.local("C:\\ContaEli\\TMP"));
    QFile::copy(inst.local("C:\\quelmira\\sp1\\diario.dbf"), inst.local("C:\\ContaEli\\TMP\\Xdiario.dbf"));
    QFile::copy(inst.local("C:\\quelmira\\sp1\\subcuent.dbf"), inst.local("C:\\ContaEli\\TMP\\XSubCta.dbf"));
    {
        Conexion cx;
        cx.abrir("Driver={Microsoft dBASE Driver (*.dbf)};DriverID=277;dbq=C:\\ContaEli\\TMP;", inst.unidades());
        Recordset rs;
        rs.abrir("SELECT * FROM Xdiario", cx, Cursor::Dinamico, Bloqueo::Optimista);
        rs.nuevo();
        rs.asignar("Asien", 9.0);
        rs.asignar("Fecha", QDate(2026, 2, 1));
        rs.asignar("subcta", "570000000");
        rs.asignar("Concepto", "Anterior");
        rs.guardar();
    }
    forma(inst, "1", "EFECTIVO", "570000000");
    Factura f;
    f.num = "5", f.fec = "20260402", f.cli = "X", f.nom = "Con deposito";
    f.b[0] = 100, f.tipo[0] = 10, f.cuota[0] = 10, f.total = 110, f.dep = 50.0;
    factura(inst, f);
    cobro(inst, "20260401", 1, "5", "1", "Cobro", 10);
    cobro(inst, "20260402", 1, "5", "1", "Cobro", 20);
    cobro(inst, "20260403", 1, "5", "1", "Cobro", 30);

    QCOMPARE(int(transferir(inst, "01042026", "03042026")), int(FinTraspaso::Correcto));
    QStringList asientos;
    for (const QString& l : lineas(ruta_diario(inst))) asientos << l.section(' ', 0, 0);
    QCOMPARE(asientos, (QStringList{"9", "10", "10", "10", "11", "11", "12", "12", "13", "13", "14", "14"}));
}

void TstTraspaso::dias_ya_pasados_sin_numero()
{
    // A run over days already posted (as after a stop in the day phases)
    // numbers the new day right after the journal's last entry.
    Instalacion inst;
    forma(inst, "1", "EFECTIVO", "570000000");
    Factura f;
    f.num = "5", f.fec = "20260401", f.cli = "X", f.nom = "Cliente";
    f.b[0] = 100, f.tipo[0] = 10, f.cuota[0] = 10, f.total = 110;
    factura(inst, f);
    cobro(inst, "20260401", 1, "5", "1", "Cobro", 10);
    cobro(inst, "20260402", 1, "5", "1", "Cobro", 20);
    QCOMPARE(int(transferir(inst, "01042026", "02042026")), int(FinTraspaso::Correcto));
    cobro(inst, "20260403", 1, "5", "1", "Cobro", 30);
    QCOMPARE(int(transferir(inst, "01042026", "03042026")), int(FinTraspaso::Correcto));
    QStringList asientos;
    for (const QString& l : lineas(ruta_diario(inst))) asientos << l.section(' ', 0, 0);
    QCOMPARE(asientos, (QStringList{"1", "1", "1", "2", "2", "3", "3", "4", "4"}));
}

void TstTraspaso::factura_sin_numero()
{
    // An invoice without a number is left out with a line naming its day.
    Instalacion inst;
    Factura f;
    f.num = "7", f.fec = "20260105", f.cli = "X", f.nom = "Con numero";
    f.b[0] = 10, f.tipo[0] = 10, f.cuota[0] = 1, f.total = 11;
    factura(inst, f);
    f.num = "8";
    factura(inst, f);
    inst.sql("emi", "UPDATE emi SET EmiNum = NULL WHERE EmiNum = '8'");

    Entorno c(inst);
    c.t.reloj_fijo = QDateTime(QDate(2026, 1, 6), QTime(8, 0, 0));
    QCOMPARE(int(c.correr("05012026", "05012026")), int(FinTraspaso::Correcto));
    QCOMPARE(inst.filas("fac").size(), 1);
    QFile log(inst.local("C:\\quelmira\\sp1\\tc_060126_080000.log"));
    QVERIFY(log.open(QIODevice::ReadOnly));
    QVERIFY(log.readAll().contains("Factura sin n\xfamero del dia 20260105: no se traspasa."));
}

// A day's invoices, their bills and their customers are read together; a
// number the lookup would match otherwise than by its exact text (a
// trailing blank, another case, not digits) gets the lookup's own answer.
void TstTraspaso::lecturas_juntas_data()
{
    QTest::addColumn<bool>("sql");
    QTest::newRow("access") << false;
    QTest::newRow("sql") << true;
}

void TstTraspaso::lecturas_juntas()
{
    QFETCH(bool, sql);
    Instalacion inst(sql);
    forma(inst, "1", "EFECTIVO", "570000000");
    inst.insertar("cli", {{"CliCod", "K1"}, {"CliNom", "Con cuenta"}, {"CliCta", "430000777"}});
    Factura f;
    f.fec = "20260105", f.cie = "0", f.cli = "K1", f.nom = "Abierta";
    f.b[0] = 10, f.tipo[0] = 10, f.cuota[0] = 1, f.total = 11;
    for (const char* n : {"7", "8", "9", "A1"}) {
        f.num = n;
        factura(inst, f);
    }
    // 7 on a bill by its exact number, 9 by one with a trailing blank.
    inst.insertar("cab", {{"CabHab", "101"}, {"CabNum1", "7"}, {"CabNum2", QVariant()}});
    inst.insertar("cab", {{"CabHab", "102"}, {"CabNum1", QVariant()}, {"CabNum2", "9 "}});
    cobro(inst, "20260105", 1, "7", "1", "Cobro 7", 11);
    cobro(inst, "20260105", 2, "8 ", "1", "Cobro 8 con un blanco", 11);
    cobro(inst, "20260105", 3, "a1", "1", "Cobro a1", 11);
    // A1 is closed and staged, then refused by the journal's numeric
    // invoice column: the run stops there, after the cash pass.
    transferir(inst, "05012026", "05012026");

    QStringList cerradas;
    for (const QVariantMap& r : inst.filas("emi", "EmiCie = '1'")) cerradas << r.value("EmiNum").toString();
    cerradas.sort();
    QCOMPARE(cerradas, (QStringList{"8", "9", "A1"}));
    QStringList cajj;
    for (const QVariantMap& r : inst.filas("cajj"))
        cajj << r.value("CajFra").toString() + '>' + r.value("CajCli").toString();
    cajj.sort();
    // "8 " is no invoice to an exact comparison; "a1" is A1 to NOCASE.
    QCOMPARE(cajj, (QStringList{"7>430000777", "a1>430000777"}));
    QCOMPARE(inst.logs().size(), 1);
    QFile log(inst.local("C:\\quelmira\\sp1\\" + inst.logs().first()));
    QVERIFY(log.open(QIODevice::ReadOnly));
    QVERIFY(log.readAll().contains("la factura 8  de 2026 no existe"));
}

void TstTraspaso::modo_sql_y_series()
{
    // Access leaves out the B series; SQL mode the numbers that start with F.
    for (bool sql : {false, true}) {
        Instalacion inst(sql);
        Factura f;
        f.fec = "20260105", f.cli = "X", f.nom = "Serie";
        f.b[0] = 10, f.tipo[0] = 10, f.cuota[0] = 1, f.total = 11;
        f.num = "1";
        factura(inst, f);
        f.num = "2", f.n = "B";
        factura(inst, f);
        f.num = "F3", f.n = "A";
        factura(inst, f);
        inst.ajustes({{"ccop1", 0}});
        QCOMPARE(int(transferir(inst, "05012026", "05012026")),
                 sql ? int(FinTraspaso::Correcto) : int(FinTraspaso::Fallido));
        QStringList fac;
        for (const QVariantMap& r : inst.filas("fac")) fac << r["FacFra"].toString();
        QCOMPARE(fac, sql ? QStringList({"1", "2"}) : QStringList({"F3", "1"}));  // val("F3") is 0
    }
}

void TstTraspaso::subcuentas_de_cada_activacion()
{
    // One window, three activations and runs: the codes a run ensured are
    // ensured again by the next one, whose XSubCta may be a fresh copy
    // (externa) or another file (externa turned off).
    Instalacion inst;
    inst.subcuenta_empresa("700000000", "VENTAS");
    inst.ajustes({{"Externa", 1}, {"ccop1", 0}});
    auto una_factura = [&](const QString& num, const QString& fec) {
        Factura f;
        f.num = num, f.fec = fec, f.cli = "X", f.nom = "Pasante";
        f.b[0] = 100, f.tipo[0] = 10, f.cuota[0] = 10, f.total = 110;
        factura(inst, f);
    };
    const QStringList todas = {"430000000", "700000000", "477000010"};

    Entorno c(inst);
    una_factura("1", "20260301");
    QCOMPARE(int(c.correr("01032026", "01032026")), int(FinTraspaso::Correcto));
    QCOMPARE(codigos(ruta_subcuentas(inst, true)), todas);

    una_factura("2", "20260302");
    QCOMPARE(int(c.correr("02032026", "02032026")), int(FinTraspaso::Correcto));
    QCOMPARE(codigos(ruta_subcuentas(inst, true)), todas);
    QCOMPARE(lineas(ruta_diario(inst, true)).size(), 3);

    // ContaPlus within reach again: only what the company lacks.
    inst.ajustes({{"Externa", 0}});
    c.m.activar();
    una_factura("3", "20260303");
    QCOMPARE(int(c.correr("03032026", "03032026")), int(FinTraspaso::Correcto));
    QCOMPARE(codigos(ruta_subcuentas(inst)), (QStringList{"430000000", "477000010"}));
}

QTEST_GUILESS_MAIN(TstTraspaso)
#include "tst_traspaso.moc"
