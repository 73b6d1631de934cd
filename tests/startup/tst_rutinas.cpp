// Date layouts, tax numbers and subaccount lengths.
#include "startup/RutinasComunes.h"

#include <QDate>
#include <QTest>

class TstRutinas : public QObject {
    Q_OBJECT

private slots:
    void convertir_fecha_data()
    {
        QTest::addColumn<QString>("fecha");
        QTest::addColumn<int>("origen");
        QTest::addColumn<int>("destino");
        QTest::addColumn<QString>("esperado");

        QTest::newRow("0-1") << "20240315" << 0 << 1 << "15032024";
        QTest::newRow("0-2") << "20240315" << 0 << 2 << "15/03/2024";
        QTest::newRow("0-3") << "20240315" << 0 << 3 << "15/03/24";
        QTest::newRow("1-0") << "15032024" << 1 << 0 << "20240315";
        QTest::newRow("1-2") << "15032024" << 1 << 2 << "15/03/2024";
        QTest::newRow("1-3") << "15032024" << 1 << 3 << "15/03/24";
        QTest::newRow("2-0") << "15/03/2024" << 2 << 0 << "20240315";
        QTest::newRow("2-1") << "15/03/2024" << 2 << 1 << "15032024";
        QTest::newRow("2-3") << "15/03/2024" << 2 << 3 << "15/03/24";
        QTest::newRow("3-0") << "15/03/24" << 3 << 0 << "20240315";
        QTest::newRow("3-1") << "15/03/24" << 3 << 1 << "15032024";
        QTest::newRow("3-2") << "15/03/24" << 3 << 2 << "15/03/2024";
        // The century added to a two-digit year is always 20.
        QTest::newRow("3-0 siglo") << "31/12/99" << 3 << 0 << "20991231";
        QTest::newRow("mismo formato") << "20240315" << 0 << 0 << "";
        QTest::newRow("1-1") << "15032024" << 1 << 1 << "";
        QTest::newRow("formato inexistente") << "20240315" << 0 << 4 << "";
        QTest::newRow("origen negativo") << "20240315" << -1 << 2 << "";
        // Pairs of codes out of range that would look like a valid pair.
        QTest::newRow("destino 12") << "15032024" << 0 << 12 << "";
        QTest::newRow("origen 1, destino -8") << "20240315" << 1 << -8 << "";
        QTest::newRow("origen 4, destino -10") << "15032024" << 4 << -10 << "";
        // Positions are taken blindly: a short day and month give nonsense
        // that no later date check accepts.
        QTest::newRow("corta 2-0") << "1/3/2024" << 2 << 0 << "2024/21/";
        QTest::newRow("vacia") << "" << 1 << 2 << "//";
        QTest::newRow("larga 1-0") << "150320245" << 1 << 0 << "02450315";
    }
    void convertir_fecha()
    {
        QFETCH(QString, fecha);
        QFETCH(int, origen);
        QFETCH(int, destino);
        QFETCH(QString, esperado);
        const QString antes = fecha;
        QCOMPARE(::convertir_fecha(fecha, qint16(origen), qint16(destino)), esperado);
        QCOMPARE(fecha, antes);
    }

    void limpiar_nif_data()
    {
        QTest::addColumn<QString>("texto");
        QTest::addColumn<QString>("esperado");
        QTest::newRow("separadores") << "b-12.345 678/x"
                                     << "B12345678X";
        QTest::newRow("blancos alrededor") << " b-12.345/678 "
                                           << "B12345678";
        QTest::newRow("repetidos") << "//--..  12"
                                   << "12";
        QTest::newRow("limpio") << "12345678Z"
                                << "12345678Z";
        QTest::newRow("vacio") << ""
                               << "";
        QTest::newRow("acentos") << "ñ-1"
                                 << "Ñ1";
        QTest::newRow("largo") << "pa-1234567890"
                               << "PA1234567890";
    }
    void limpiar_nif()
    {
        QFETCH(QString, texto);
        QFETCH(QString, esperado);
        QCOMPARE(::limpiar_nif(texto), esperado);
        // The caller's variable holds the cleaned text too.
        QCOMPARE(texto, esperado);
    }

    void ajustar_subcuenta_data()
    {
        QTest::addColumn<QString>("cuenta");
        QTest::addColumn<int>("longitud");
        QTest::addColumn<QString>("esperado");
        QTest::newRow("9 a 8") << "430000123" << 8 << "43000123";
        QTest::newRow("8 a 9") << "43000123" << 9 << "430000123";
        QTest::newRow("9 a 9") << "430000123" << 9 << "430000123";
        QTest::newRow("8 a 8") << "43000123" << 8 << "43000123";
        QTest::newRow("corta se solapa") << "4300" << 8 << "4304300";
        QTest::newRow("corta a 9") << "4300" << 9 << "43004300";
        QTest::newRow("10 a 8") << "4300001234" << 8 << "43001234";
        QTest::newRow("longitud 10") << "430000123" << 10 << "";
        QTest::newRow("longitud 0") << "430000123" << 0 << "";
        QTest::newRow("vacia") << "" << 8 << "";
    }
    void ajustar_subcuenta()
    {
        QFETCH(QString, cuenta);
        QFETCH(int, longitud);
        QFETCH(QString, esperado);
        QCOMPARE(::ajustar_subcuenta(cuenta, qint16(longitud)), esperado);
    }

    void dma_amd_data()
    {
        QTest::addColumn<QString>("texto");
        QTest::addColumn<QDate>("fecha");
        QTest::addColumn<QString>("vuelta");
        QTest::newRow("2024") << "20240115" << QDate(2024, 1, 15) << "20240115";
        QTest::newRow("fin de año") << "20091231" << QDate(2009, 12, 31) << "20091231";
        QTest::newRow("bisiesto") << "20240229" << QDate(2024, 2, 29) << "20240229";
        QTest::newRow("29 es 2029") << "20291231" << QDate(2029, 12, 31) << "20291231";
        // The year is the text's four digits: no two-digit window.
        QTest::newRow("2030") << "20300115" << QDate(2030, 1, 15) << "20300115";
        QTest::newRow("1 de enero de 2030") << "20300101" << QDate(2030, 1, 1) << "20300101";
        QTest::newRow("2099") << "20990131" << QDate(2099, 1, 31) << "20990131";
        QTest::newRow("1999") << "19991231" << QDate(1999, 12, 31) << "19991231";
        QTest::newRow("1980") << "19800101" << QDate(1980, 1, 1) << "19800101";
        QTest::newRow("1930") << "19300115" << QDate(1930, 1, 15) << "19300115";
    }
    void dma_amd()
    {
        QFETCH(QString, texto);
        QFETCH(QDate, fecha);
        QFETCH(QString, vuelta);
        QCOMPARE(dma(texto), fecha);
        QCOMPARE(amd(fecha), vuelta);
    }

    void dma_rechaza_un_dia_que_no_existe() { QVERIFY_THROWS_EXCEPTION(std::exception, dma("20240230")); }
};

QTEST_GUILESS_MAIN(TstRutinas)
#include "tst_rutinas.moc"
