// The two peseta rules of the journal: the customer debit from whole euros,
// every other amount from the euros with their cents.
#include "contaplus/Pesetas.h"
#include "platform/sistema/Fallo.h"
#include "platform/valores/Vb.h"
#include <QTest>

class TstPesetas : public QObject {
    Q_OBJECT
private slots:
    void euros_enteros_data();
    void euros_enteros();
    void con_centimos_data();
    void con_centimos();
    void fuera_de_rango_data();
    void fuera_de_rango();
    void nulo_data();
    void nulo();
};

void TstPesetas::euros_enteros_data()
{
    QTest::addColumn<double>("euros");
    QTest::addColumn<qint32>("pesetas");
    QTest::newRow("100") << 100.0 << 16639;                        // 16638.6
    QTest::newRow("los centimos no cuentan") << 100.40 << 16639;   // not 16705
    QTest::newRow("100.60 son 101 euros") << 100.60 << 16805;      // 16804.986
    QTest::newRow("2.5 son 2 euros, mitad al par") << 2.5 << 333;  // 332.772
    QTest::newRow("3.5 son 4 euros, mitad al par") << 3.5 << 666;  // 665.544
    QTest::newRow("101.5 son 102 euros") << 101.5 << 16971;        // 16971.372
    QTest::newRow("0.49 son 0") << 0.49 << 0;
    // 250 and 1250 euros are exactly 41596.5 and 207982.5 pesetas: the
    // halves go away from zero.
    QTest::newRow("250, mitad hacia arriba") << 250.0 << 41597;
    QTest::newRow("1250, mitad hacia arriba") << 1250.0 << 207983;
    QTest::newRow("abono de 250") << -250.0 << -41597;
    QTest::newRow("abono") << -100.40 << -16639;
    QTest::newRow("limite") << 12906636.0 << 2147483537;  // 2147483537.496
}

void TstPesetas::euros_enteros()
{
    QFETCH(double, euros);
    QFETCH(qint32, pesetas);
    QCOMPARE(pesetas_euros_enteros(QVariant(euros)), pesetas);
}

void TstPesetas::con_centimos_data()
{
    QTest::addColumn<double>("euros");
    QTest::addColumn<qint32>("pesetas");
    QTest::newRow("10") << 10.0 << 1664;   // 1663.86
    QTest::newRow("3.30") << 3.30 << 549;  // 549.0738
    QTest::newRow("21") << 21.0 << 3494;   // 3494.106
    QTest::newRow("100") << 100.0 << 16639;
    QTest::newRow("100.40 con sus centimos") << 100.40 << 16705;  // 16705.1544
    QTest::newRow("0.01") << 0.01 << 2;                           // 1.66386
    QTest::newRow("0") << 0.0 << 0;
    // The same halves go to the even number here.
    QTest::newRow("250, mitad al par") << 250.0 << 41596;
    QTest::newRow("750, mitad al par") << 750.0 << 124790;
    QTest::newRow("abono") << -3.30 << -549;
    QTest::newRow("limite") << 12906636.0 << 2147483537;
}

void TstPesetas::con_centimos()
{
    QFETCH(double, euros);
    QFETCH(qint32, pesetas);
    QCOMPARE(::pesetas(euros), pesetas);
    QCOMPARE(::pesetas(QVariant(euros)), pesetas);
}

void TstPesetas::fuera_de_rango_data()
{
    QTest::addColumn<bool>("enteros");
    QTest::addColumn<double>("euros");
    // 12906637 euros are 2147483703.8 pesetas: just beyond 32 bits.
    QTest::newRow("deudor, por encima") << true << 12906637.0;
    QTest::newRow("deudor, por debajo") << true << -12906637.0;
    QTest::newRow("deudor, euros fuera de 32 bits") << true << 3.0e9;
    QTest::newRow("acreedor, por encima") << false << 12906637.0;
    QTest::newRow("acreedor, por debajo") << false << -12906637.0;
}

void TstPesetas::fuera_de_rango()
{
    QFETCH(bool, enteros);
    QFETCH(double, euros);
    try {
        enteros ? pesetas_euros_enteros(QVariant(euros)) : pesetas(euros);
        QFAIL("an amount beyond 32-bit pesetas was converted");
    } catch (const Fallo& f) {
        QCOMPARE(f.numero(), codigo_error::DESBORDAMIENTO);
        // Told in the euros the clerk typed, not in pesetas.
        QCOMPARE(f.descripcion(), QStringLiteral("Desbordamiento: %1 euros pasan de las 2147483647 pesetas que "
                                                 "admite el diario")
                                      .arg(vb::CStr(euros)));
    }
}

void TstPesetas::nulo_data()
{
    QTest::addColumn<bool>("enteros");
    QTest::newRow("deudor") << true;
    QTest::newRow("acreedor") << false;
}

void TstPesetas::nulo()
{
    QFETCH(bool, enteros);
    try {
        enteros ? pesetas_euros_enteros(QVariant()) : pesetas(QVariant());
        QFAIL("a Null amount was converted");
    } catch (const Fallo& f) {
        QCOMPARE(f.numero(), codigo_error::USO_NO_VALIDO_DE_NULL);
    }
}

QTEST_GUILESS_MAIN(TstPesetas)
#include "tst_pesetas.moc"
