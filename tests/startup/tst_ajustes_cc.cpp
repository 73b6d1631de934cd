// The settings row BIRO4 of cc: schema check, load and save.
#include "tests/support/Entorno.h"
#include "tests/support/Fallos.h"

#include <QTest>

namespace {

QStringList columnas_cc(const Instalacion& inst)
{
    const auto filas = inst.filas("cc");
    return filas.isEmpty() ? QStringList() : QStringList(filas[0].keys());
}

// A column that keeps what it is given: text stays text, numbers numbers.
void columna_sin_tipo(Instalacion& inst, const QString& columna, const QVariant& valor)
{
    inst.sql("cc", "ALTER TABLE cc DROP COLUMN " + columna);
    inst.sql("cc", "ALTER TABLE cc ADD " + columna);
    inst.sql("cc", "UPDATE cc SET " + columna + " = ?", {valor});
}

AjustesEnlace ajustes_de_prueba()
{
    AjustesEnlace f;
    f.subcuenta_agencias = "4301";
    f.subcuenta_empresas = "4311";
    f.cuenta_depositos = "438000009";
    f.cuenta_iva = "47700000";
    f.cuenta_ventas = "7050";
    f.cuenta_caja = "570000009";
    f.empresa = "012";
    f.diario = "2";
    f.sin_caja = true;
    f.separar_iva = true;
    f.digitos = 8;
    f.ruta_contaplus = "C:\\Conta O'Neill";
    f.todos_pasantes = true;
    f.separar_ventas = true;
    f.separar_depositos = true;
    f.externa = true;
    f.pasantes_aaaamm = true;
    f.cuenta_tasa = "47530000";
    f.cuenta_pasantes = "43000000";
    return f;
}

}  // namespace

class TstAjustesCc : public QObject {
    Q_OBJECT

private slots:
    void interruptores_data()
    {
        QTest::addColumn<QVariant>("valor");
        QTest::addColumn<bool>("encendido");
        QTest::newRow("Null") << QVariant() << false;
        QTest::newRow("texto vacío") << QVariant(QString("")) << false;
        QTest::newRow("texto 0") << QVariant(QString("0")) << false;
        QTest::newRow("número 0") << QVariant(0.0) << false;
        QTest::newRow("número 1") << QVariant(1.0) << true;
        QTest::newRow("texto 1") << QVariant(QString("1")) << true;
        QTest::newRow("entero 1") << QVariant(1) << true;
        QTest::newRow("número 2") << QVariant(2) << true;
        QTest::newRow("texto S") << QVariant(QString("S")) << true;
    }
    void interruptores()
    {
        QFETCH(QVariant, valor);
        QFETCH(bool, encendido);
        Instalacion inst;
        for (const char* c : {"cctodos", "ccventas", "ccdep", "ccop2", "ccop1"}) columna_sin_tipo(inst, c, valor);
        Entorno a(inst, Inicio::Cargado);
        a.m.activar();
        QCOMPARE(a.m.todos_pasantes, encendido);
        QCOMPARE(a.m.separar_ventas, encendido);
        QCOMPARE(a.m.separar_depositos, encendido);
        QCOMPARE(a.m.separar_iva, encendido);
        // ccop1 says "transfer the cash too": sin_caja is its opposite.
        QCOMPARE(a.m.sin_caja, !encendido);
    }

    void externa_y_aaaamm_data()
    {
        QTest::addColumn<QVariant>("valor");
        QTest::addColumn<bool>("esperado");
        QTest::newRow("Null") << QVariant() << false;
        QTest::newRow("0") << QVariant(0) << false;
        QTest::newRow("1") << QVariant(1) << true;
        QTest::newRow("-1") << QVariant(-1) << true;
    }
    void externa_y_aaaamm()
    {
        QFETCH(QVariant, valor);
        QFETCH(bool, esperado);
        Instalacion inst;
        inst.ajustes({{"Externa", valor}, {"AAAAMM", valor}});
        Entorno a(inst, Inicio::Cargado);
        a.m.activar();
        QCOMPARE(a.m.externa, esperado);
        QCOMPARE(a.m.pasantes_aaaamm, esperado);
    }

    void carga_todos_los_campos()
    {
        Instalacion inst;
        Entorno a(inst, Inicio::Cargado);
        a.m.activar();
        QCOMPARE(a.m.empresa, QString("1"));
        QCOMPARE(a.m.diario, QString("1"));
        QCOMPARE(a.m.ruta_contaplus, QString("C:\\ContaEli"));
        QCOMPARE(a.m.digitos, qint16(9));
        QCOMPARE(a.m.cuenta_pasantes, QString("430000000"));
        QCOMPARE(a.m.subcuenta_agencias, QString("4300"));
        QCOMPARE(a.m.subcuenta_empresas, QString("4310"));
        QCOMPARE(a.m.cuenta_depositos, QString("438000000"));
        QCOMPARE(a.m.cuenta_iva, QString("477000000"));
        QCOMPARE(a.m.cuenta_ventas, QString("700000000"));
        QCOMPARE(a.m.cuenta_caja, QString("570000000"));
        QCOMPARE(a.m.cuenta_tasa, QString("475300000"));
        QVERIFY(!a.m.sin_caja);
        QVERIFY(!a.m.todos_pasantes);
        QVERIFY(!a.m.externa);
        // Other rows are ignored.
        inst.insertar("cc", {{"ccc", "OTRA"}, {"ccEmp", "99"}});
        a.m.activar();
        QCOMPARE(a.m.empresa, QString("1"));
    }

    void digitos_guardados_data()
    {
        QTest::addColumn<QString>("texto");
        QTest::addColumn<double>("guardado");
        QTest::newRow("9") << "9" << 9.0;
        QTest::newRow("8") << "8" << 8.0;
        QTest::newRow("número y letras") << "8x" << 8.0;
        QTest::newRow("no numérico") << "x" << 0.0;
        QTest::newRow("vacío") << "" << 0.0;
        QTest::newRow("decimales") << "8.5" << 8.0;
    }
    void digitos_guardados()
    {
        QFETCH(QString, texto);
        QFETCH(double, guardado);
        Instalacion inst;
        Entorno a(inst, Inicio::Cargado);
        AjustesEnlace f = ajustes_de_prueba();
        f.digitos = digitos_del_texto(texto);
        a.m.guardar_cc(f);
        const auto filas = inst.filas("cc", "ccc = 'BIRO4'");
        QCOMPARE(filas.size(), 1);
        QCOMPARE(filas[0]["ccdigitos"].toDouble(), guardado);
        a.m.activar();
        QCOMPARE(a.m.digitos, qint16(guardado));
    }

    void guardar_y_cargar()
    {
        Instalacion inst;
        Entorno a(inst, Inicio::Cargado);
        a.m.activar();
        const AjustesEnlace f = ajustes_de_prueba();
        a.m.guardar_cc(f);
        // The settings in memory change only at the next load.
        QCOMPARE(a.m.empresa, QString("1"));

        const auto filas = inst.filas("cc");
        QCOMPARE(filas.size(), 1);
        const QVariantMap& r = filas[0];
        QCOMPARE(r["ccAge"].toString(), f.subcuenta_agencias);
        QCOMPARE(r["ccNa"].toString(), f.subcuenta_empresas);
        QCOMPARE(r["ccGru"].toString(), f.cuenta_depositos);
        QCOMPARE(r["ccIva"].toString(), f.cuenta_iva);
        QCOMPARE(r["ccVta"].toString(), f.cuenta_ventas);
        QCOMPARE(r["ccCaja"].toString(), f.cuenta_caja);
        QCOMPARE(r["ccEmp"].toString(), f.empresa);
        QCOMPARE(r["ccDia"].toString(), f.diario);
        QCOMPARE(r["ccop1"].toDouble(), 0.0);
        QCOMPARE(r["ccop2"].toDouble(), 1.0);
        QCOMPARE(r["ccdigitos"].toDouble(), 8.0);
        QCOMPARE(r["ccruta"].toString(), f.ruta_contaplus);
        QCOMPARE(r["cctodos"].toDouble(), 1.0);
        QCOMPARE(r["ccventas"].toDouble(), 1.0);
        QCOMPARE(r["ccdep"].toDouble(), 1.0);
        QVERIFY(r["Externa"].toBool());
        QVERIFY(r["AAAAMM"].toBool());
        QCOMPARE(r["Tasa"].toString(), f.cuenta_tasa);
        QCOMPARE(r["ccPas"].toString(), f.cuenta_pasantes);

        a.m.activar();
        QCOMPARE(a.m.empresa, QString("012"));
        QCOMPARE(a.m.diario, QString("2"));
        QCOMPARE(a.m.ruta_contaplus, f.ruta_contaplus);
        QCOMPARE(a.m.digitos, qint16(8));
        QCOMPARE(a.m.cuenta_pasantes, f.cuenta_pasantes);
        QCOMPARE(a.m.cuenta_iva, f.cuenta_iva);
        QVERIFY(a.m.sin_caja);
        QVERIFY(a.m.separar_iva);
        QVERIFY(a.m.todos_pasantes);
        QVERIFY(a.m.separar_ventas);
        QVERIFY(a.m.separar_depositos);
        QVERIFY(a.m.externa);
        QVERIFY(a.m.pasantes_aaaamm);
        QCOMPARE(a.m.cuenta_tasa, f.cuenta_tasa);
        // The other accounts come back as saved.
        const AjustesEnlace& leidos = a.m;
        QCOMPARE(leidos.subcuenta_agencias, f.subcuenta_agencias);
        QCOMPARE(leidos.subcuenta_empresas, f.subcuenta_empresas);
        QCOMPARE(leidos.cuenta_depositos, f.cuenta_depositos);
        QCOMPARE(leidos.cuenta_ventas, f.cuenta_ventas);
        QCOMPARE(leidos.cuenta_caja, f.cuenta_caja);
    }

    void sin_fila_biro4_data()
    {
        QTest::addColumn<bool>("modo_sql");
        QTest::newRow("Access") << false;
        QTest::newRow("SQL Server") << true;
    }
    void sin_fila_biro4()
    {
        QFETCH(bool, modo_sql);
        Instalacion inst(modo_sql);
        inst.sql("cc", "DELETE FROM cc");
        Entorno a(inst, Inicio::Cargado);
        a.m.empresa = "sin tocar";
        a.m.digitos = 5;
        a.m.activar();
        QCOMPARE(a.m.empresa, QString("sin tocar"));
        QCOMPARE(a.m.digitos, qint16(5));

        // The first save creates the row, the next one rewrites it.
        a.m.guardar_cc(ajustes_de_prueba());
        AjustesEnlace f = ajustes_de_prueba();
        f.empresa = "3";
        a.m.guardar_cc(f);
        const auto filas = inst.filas("cc");
        QCOMPARE(filas.size(), 1);
        QCOMPARE(filas[0]["ccc"].toString(), QString("BIRO4"));
        QCOMPARE(filas[0]["ccEmp"].toString(), QString("3"));
        a.m.activar();
        QCOMPARE(a.m.empresa, QString("3"));
        QCOMPARE(a.m.digitos, qint16(8));
    }

    void catalogo_sin_externa_ni_tasa()
    {
        Instalacion inst(true);
        inst.cc_antigua(true);
        inst.insertar("cc", {{"ccc", "OTRA"}, {"ccEmp", "2"}});
        QVERIFY(!columnas_cc(inst).contains("Externa"));
        Entorno a(inst, Inicio::Cargado);
        a.m.activar();
        // Every row gains the three columns in one load.
        const auto filas = inst.filas("cc");
        QCOMPARE(filas.size(), 2);
        for (const QVariantMap& r : filas) {
            QVERIFY(r.contains("Externa") && r.contains("AAAAMM") && r.contains("Tasa"));
            QCOMPARE(r["Externa"].toInt(), 0);
            QCOMPARE(r["AAAAMM"].toInt(), 0);
            QCOMPARE(r["Tasa"].toString(), QString("475300000"));
        }
        QVERIFY(!a.m.externa);
        QVERIFY(!a.m.pasantes_aaaamm);
        QCOMPARE(a.m.cuenta_tasa, QString("475300000"));
        // A second load finds nothing to do.
        a.m.activar();
        QCOMPARE(inst.filas("cc").size(), 2);
    }

    void catalogo_sin_tasa()
    {
        Instalacion inst(true);
        inst.cc_antigua(false);
        inst.ajustes({{"Externa", 1}, {"AAAAMM", 1}});
        Entorno a(inst, Inicio::Cargado);
        a.m.activar();
        const auto filas = inst.filas("cc");
        QCOMPARE(filas[0]["Tasa"].toString(), QString("475300000"));
        // Only Tasa was added: the switches keep their values.
        QCOMPARE(filas[0]["Externa"].toInt(), 1);
        QCOMPARE(filas[0]["AAAAMM"].toInt(), 1);
        QVERIFY(a.m.externa);
        QVERIFY(a.m.pasantes_aaaamm);
        QCOMPARE(a.m.cuenta_tasa, QString("475300000"));
    }

    void catalogo_cuya_reparacion_falla()
    {
        // cc is a view that lacks Externa: the column cannot be added, and the
        // load reports it instead of trying again.
        Instalacion inst(true);
        inst.sql("cc", "ALTER TABLE cc RENAME TO cc_datos");
        inst.sql("cc", "CREATE VIEW cc AS SELECT ccc, ccEmp FROM cc_datos");
        Entorno a(inst, Inicio::Cargado);
        ESPERAR_FALLO_TEXTO(a.m.activar(), "ALTER TABLE cc ADD Externa BIT");
    }

    void access_nunca_altera_cc()
    {
        Instalacion inst;
        inst.cc_antigua(true);
        const QStringList antes = columnas_cc(inst);
        Entorno a(inst, Inicio::Cargado);
        a.m.empresa = "sin tocar";
        // The row lacks a column the load reads: it fails, naming it, and
        // leaves the settings as they were.
        ESPERAR_FALLO_TEXTO(a.m.activar(), "externa");
        QCOMPARE(columnas_cc(inst), antes);
        QCOMPARE(a.m.empresa, QString("sin tocar"));
        a.m.actualizar_cc();
        QCOMPARE(columnas_cc(inst), antes);
    }

    void campo_de_texto_nulo()
    {
        Instalacion inst;
        inst.ajustes({{"ccEmp", QVariant()}, {"ccdigitos", 8.0}});
        Entorno a(inst, Inicio::Cargado);
        a.m.digitos = 9;
        ESPERAR_FALLO_TEXTO(a.m.activar(), "ccEmp");
        QCOMPARE(a.m.digitos, qint16(9));
    }
};

QTEST_GUILESS_MAIN(TstAjustesCc)
#include "tst_ajustes_cc.moc"
