// The runtime's text, number and date services, with the cases the link
// depends on: rounding of amounts, zero-filled codes, Spanish number texts
// and day-first dates.
#include "platform/sistema/Fallo.h"
#include "platform/valores/Vb.h"

#include <QDate>
#include <QTest>

#include <bit>

class TstVb : public QObject {
    Q_OBJECT

private slots:
    void format_data()
    {
        QTest::addColumn<double>("valor");
        QTest::addColumn<QString>("patron");
        QTest::addColumn<QString>("esperado");
        // Decimal text of the value, halves away from zero.
        QTest::newRow("1.005 sube") << 1.005 << "0.00"
                                    << "1.01";
        QTest::newRow("2.675 sube") << 2.675 << "0.00"
                                    << "2.68";
        QTest::newRow("150.5") << 150.5 << "#0.00"
                               << "150.50";
        QTest::newRow("negativo") << -3.456 << "#0.00"
                                  << "-3.46";
        QTest::newRow("media negativa") << -2.5 << "0"
                                        << "-3";
        QTest::newRow("menos de un céntimo") << -0.001 << "0.00"
                                             << "0.00";
        QTest::newRow("0.05 con #0.00") << 0.05 << "#0.00"
                                        << "0.05";
        QTest::newRow("cero #0") << 0.0 << "#0"
                                 << "0";
        QTest::newRow("0.4 #0") << 0.4 << "#0"
                                << "0";
        QTest::newRow("9.995 lleva") << 9.995 << "0.00"
                                     << "10.00";
        QTest::newRow("99.5 lleva") << 99.5 << "#0"
                                    << "100";
        QTest::newRow("7 con 00") << 7.0 << "00"
                                  << "07";
        QTest::newRow("21 con 00") << 21.0 << "00"
                                   << "21";
        QTest::newRow("6.5 con 00") << 6.5 << "00"
                                    << "07";
        QTest::newRow("7 con 000") << 7.0 << "000"
                                   << "007";
        QTest::newRow("7 con 0000") << 7.0 << "0000"
                                    << "0007";
        QTest::newRow("12345 con 0000") << 12345.0 << "0000"
                                        << "12345";
        QTest::newRow("pesetas") << 100.0 * 166.386 << "#0"
                                 << "16639";
        QTest::newRow("suma inexacta") << 0.1 + 0.2 << "0.00"
                                       << "0.30";
        QTest::newRow("grande") << 123456789.125 << "0.00"
                                << "123456789.13";
        // The 15-digit form: an exact half in the 16th digit goes up, a
        // carry adds a digit, values past 15 digits keep their zeros.
        QTest::newRow("media en la cifra 16") << 100000000000000.5 << "#0"
                                              << "100000000000001";
        QTest::newRow("media en la cifra 16, par") << 100000000000002.5 << "0.00"
                                                   << "100000000000003.00";
        QTest::newRow("media pasado 1E+15") << 1000000000000005.0 << "#0"
                                            << "1000000000000010";
        QTest::newRow("acarreo a 1E+15") << 999999999999999.5 << "#0"
                                         << "1000000000000000";
        QTest::newRow("acarreo a 10") << 9.999999999999999 << "0000"
                                      << "0010";
        QTest::newRow("muy grande") << 1e300 / 3 << "#0"
                                    << "333333333333333" + QString(285, QLatin1Char('0'));
        QTest::newRow("subnormal") << 5e-324 << "0.00"
                                   << "0.00";
        QTest::newRow("-0") << -0.0 << "0.00"
                            << "0.00";
        QTest::newRow("-0.005") << -0.005 << "#0.00"
                                << "-0.01";
        QTest::newRow("patrón vacío") << 0.4 << ""
                                      << "";
        QTest::newRow("patrón largo") << 0.125 << "0.0000000000000000000"
                                      << "0.1250000000000000000";
        // Non-finite values keep the text they have always had.
        QTest::newRow("NaN") << qQNaN() << "#0.00"
                             << "n.an";
        QTest::newRow("-Inf") << -qInf() << "0000"
                              << "000j";
    }
    void format()
    {
        QFETCH(double, valor);
        QFETCH(QString, patron);
        QFETCH(QString, esperado);
        QCOMPARE(vb::Format(valor, patron), esperado);
    }

    void enteros_data()
    {
        QTest::addColumn<double>("valor");
        QTest::addColumn<int>("entero");
        QTest::newRow("2.5 al par") << 2.5 << 2;
        QTest::newRow("3.5 al par") << 3.5 << 4;
        QTest::newRow("-2.5 al par") << -2.5 << -2;
        QTest::newRow("0.5") << 0.5 << 0;
        QTest::newRow("1.5") << 1.5 << 2;
        QTest::newRow("2.51") << 2.51 << 3;
        QTest::newRow("-0.4") << -0.4 << 0;
        QTest::newRow("32767") << 32767.0 << 32767;
        QTest::newRow("-32768.5 al par") << -32768.5 << -32768;
    }
    void enteros()
    {
        QFETCH(double, valor);
        QFETCH(int, entero);
        QCOMPARE(int(vb::CInt(valor)), entero);
        QCOMPARE(int(vb::CLng(valor)), entero);
    }

    void desbordamiento_data()
    {
        QTest::addColumn<double>("valor");
        QTest::addColumn<bool>("cabe_en_long");
        QTest::newRow("32768") << 32768.0 << true;
        QTest::newRow("32767.5 redondea fuera") << 32767.5 << true;
        QTest::newRow("-32769") << -32769.0 << true;
        QTest::newRow("2147483648") << 2147483648.0 << false;
        QTest::newRow("-2147483649") << -2147483649.0 << false;
    }
    void desbordamiento()
    {
        QFETCH(double, valor);
        QFETCH(bool, cabe_en_long);
        try {
            vb::CInt(valor);
            QFAIL("CInt no ha desbordado");
        } catch (const Fallo& f) {
            QCOMPARE(f.numero(), codigo_error::DESBORDAMIENTO);
        }
        if (cabe_en_long) {
            QCOMPARE(double(vb::CLng(valor)), std::nearbyint(valor));
        } else {
            try {
                vb::CLng(valor);
                QFAIL("CLng no ha desbordado");
            } catch (const Fallo& f) {
                QCOMPARE(f.numero(), codigo_error::DESBORDAMIENTO);
            }
        }
    }

    void enteros_de_variantes()
    {
        QCOMPARE(int(vb::CInt(QVariant(QStringLiteral("9")))), 9);
        QCOMPARE(int(vb::CInt(QVariant(QStringLiteral("8,5")))), 8);
        QCOMPARE(int(vb::CLng(QVariant(true))), -1);
        try {
            vb::CInt(QVariant());
            QFAIL("CInt(Null) no ha fallado");
        } catch (const Fallo& f) {
            QCOMPARE(f.numero(), codigo_error::USO_NO_VALIDO_DE_NULL);
        }
        try {
            vb::CInt(QVariant(QStringLiteral("abc")));
            QFAIL("CInt('abc') no ha fallado");
        } catch (const Fallo& f) {
            QCOMPARE(f.numero(), codigo_error::TIPOS_NO_COINCIDEN);
        }
    }

    void cstr_data()
    {
        QTest::addColumn<double>("valor");
        QTest::addColumn<QString>("esperado");
        QTest::newRow("150.5") << 150.5 << "150,5";
        QTest::newRow("150.50") << 150.50 << "150,5";
        QTest::newRow("21") << 21.0 << "21";
        QTest::newRow("0") << 0.0 << "0";
        QTest::newRow("-3.3") << -3.3 << "-3,3";
        QTest::newRow("0.1+0.2") << 0.1 + 0.2 << "0,3";
        QTest::newRow("0.25") << 0.25 << "0,25";
        QTest::newRow("sin miles") << 1234567.89 << "1234567,89";
        QTest::newRow("15 cifras") << 123456789012345.0 << "123456789012345";
        QTest::newRow("1E+15") << 1e15 << "1E+15";
        QTest::newRow("0.0001") << 0.0001 << "0,0001";
        QTest::newRow("1E-05") << 0.00001 << "1E-05";
        QTest::newRow("media en la cifra 16") << 100000000000000.5 << "100000000000001";
        QTest::newRow("media pasado 1E+15") << 1000000000000005.0 << "1,00000000000001E+15";
        QTest::newRow("acarreo a 1E+15") << 999999999999999.5 << "1E+15";
        QTest::newRow("acarreo a 10") << 9.999999999999999 << "10";
        QTest::newRow("1E-13") << 1e-13 << "1E-13";
        QTest::newRow("bajo 1E-13") << 9.99999999999995e-14 << "9,99999999999995E-14";
        QTest::newRow("E+299") << 1e300 / 3 << "3,33333333333333E+299";
        QTest::newRow("subnormal") << 5e-324 << "4,94065645841247E-324";
        QTest::newRow("-0") << -0.0 << "0";
        QTest::newRow("NaN") << qQNaN() << "NaN";
        QTest::newRow("-Inf") << -qInf() << "-Inf";
    }
    void cstr()
    {
        QFETCH(double, valor);
        QFETCH(QString, esperado);
        QCOMPARE(vb::CStr(valor), esperado);
    }

    void isnumeric_data()
    {
        QTest::addColumn<QString>("texto");
        QTest::addColumn<bool>("numerico");
        QTest::newRow("vacío") << "" << false;
        QTest::newRow("blancos") << "   " << false;
        QTest::newRow("12") << "12" << true;
        QTest::newRow("blancos alrededor") << "  12 " << true;
        QTest::newRow("12a") << "12a" << false;
        QTest::newRow("coma") << "12,5" << true;
        QTest::newRow("punto") << "12.5" << true;
        QTest::newRow("dos separadores") << "1.2.3" << false;
        QTest::newRow("signo") << "-7" << true;
        QTest::newRow("más") << "+7" << true;
        QTest::newRow("exponente") << "1E3" << true;
        QTest::newRow("solo signo") << "-" << false;
        QTest::newRow("solo punto") << "." << false;
        QTest::newRow("A1") << "A1" << false;
        QTest::newRow("0007") << "0007" << true;
    }
    void isnumeric()
    {
        QFETCH(QString, texto);
        QFETCH(bool, numerico);
        QCOMPARE(vb::IsNumeric(texto), numerico);
        QCOMPARE(vb::IsNumeric(QVariant(texto)), numerico);
    }

    void isnumeric_variantes()
    {
        QVERIFY(vb::IsNumeric(QVariant(3.5)));
        QVERIFY(vb::IsNumeric(QVariant(qlonglong(4))));
        QVERIFY(!vb::IsNumeric(QVariant()));
    }

    // A text as IsNumeric and CDbl read it whole and as Val reads its start.
    void lectura_de_numeros_data()
    {
        QTest::addColumn<QString>("texto");
        QTest::addColumn<bool>("numerico");
        QTest::addColumn<double>("numero");  // when numerico
        QTest::addColumn<double>("val");
        const double inf = qInf();
        QTest::newRow("tab y salto") << "\t12\n" << true << 12.0 << 12.0;
        QTest::newRow("VT y FF") << "\v12\f" << true << 12.0 << 0.0;
        QTest::newRow("exponente d") << "1d3" << true << 1000.0 << 1000.0;
        QTest::newRow("signo suelto y coma") << " - ,5 " << true << -0.5 << 0.0;
        QTest::newRow("+.5") << "+.5" << true << 0.5 << 0.5;
        QTest::newRow("punto final") << "5." << true << 5.0 << 5.0;
        QTest::newRow("punto y exponente") << "5.e2" << true << 500.0 << 500.0;
        QTest::newRow("exponente sin cifras") << "1e+" << false << 0.0 << 1.0;
        QTest::newRow("exponente y letra") << "1.5e+3x" << false << 0.0 << 1500.0;
        QTest::newRow("punto y blanco") << ". 5" << false << 0.0 << 0.5;
        QTest::newRow("desborda") << "-1e999" << false << 0.0 << -inf;
        QTest::newRow("se pierde") << "1e-999" << false << 0.0 << 0.0;
        QTest::newRow("cero con exponente") << "0e999" << true << 0.0 << 0.0;
        QTest::newRow("menos cero") << "-0" << true << -0.0 << -0.0;
        QTest::newRow("subnormal") << "4.9e-324" << true << 5e-324 << 5e-324;
        QTest::newRow("cifras largas") << QString(70, QLatin1Char('0')) + "1,5" << true << 1.5 << 1.0;
        QTest::newRow("cifra árabe") << "1\u0663" << false << 0.0 << 1.0;
        QTest::newRow("cifra ancha") << "\uFF11" << false << 0.0 << 0.0;
        QTest::newRow("blanco duro") << "12\u00A0" << false << 0.0 << 12.0;
        QTest::newRow("&H y cifra árabe") << "&H\u0663" << false << 0.0 << 3.0;
        QTest::newRow("&O y 9") << "&O19" << false << 0.0 << 1.0;
        QTest::newRow("&h minúscula") << "&h1F" << false << 0.0 << 31.0;
        QTest::newRow("& solo") << "&" << false << 0.0 << 0.0;
    }
    void lectura_de_numeros()
    {
        QFETCH(QString, texto);
        QFETCH(bool, numerico);
        QFETCH(double, numero);
        QFETCH(double, val);
        // Exact doubles, sign of zero included.
        const auto bits = [](double d) { return std::bit_cast<quint64>(d); };
        QCOMPARE(vb::IsNumeric(texto), numerico);
        QCOMPARE(bits(vb::Val(texto)), bits(val));
        if (numerico) {
            QCOMPARE(bits(vb::numero(QVariant(texto))), bits(numero));
        } else {
            try {
                vb::numero(QVariant(texto));
                QFAIL("numero() ha aceptado un texto no numérico");
            } catch (const Fallo& f) {
                QCOMPARE(f.numero(), codigo_error::TIPOS_NO_COINCIDEN);
                QCOMPARE(f.descripcion(), QStringLiteral("No coinciden los tipos: '%1' no es un número").arg(texto));
            }
        }
    }

    void numero_de_textos()
    {
        QCOMPARE(vb::numero(QVariant(QStringLiteral("12,5"))), 12.5);
        QCOMPARE(vb::numero(QVariant(QStringLiteral("12.5"))), 12.5);
        QCOMPARE(vb::numero(QVariant(QStringLiteral(" 9 "))), 9.0);
        QCOMPARE(vb::numero(QVariant(false)), 0.0);
        for (const QVariant& malo : {QVariant(QStringLiteral("")), QVariant(QStringLiteral("9x"))}) {
            try {
                vb::numero(malo);
                QFAIL("numero() ha aceptado un texto no numérico");
            } catch (const Fallo& f) {
                QCOMPARE(f.numero(), codigo_error::TIPOS_NO_COINCIDEN);
            }
        }
    }

    void fechas_data()
    {
        QTest::addColumn<QString>("texto");
        QTest::addColumn<QDate>("fecha");  // invalid: not a date
        QTest::newRow("normal") << "15/03/2024" << QDate(2024, 3, 15);
        QTest::newRow("31 de febrero") << "31/02/2024" << QDate();
        QTest::newRow("29 de febrero bisiesto") << "29/02/2024" << QDate(2024, 2, 29);
        QTest::newRow("29 de febrero no bisiesto") << "29/02/2023" << QDate();
        QTest::newRow("mes 13") << "01/13/2024" << QDate();
        QTest::newRow("d/m/aa") << "1/2/24" << QDate(2024, 2, 1);
        QTest::newRow("aa 29") << "15/01/29" << QDate(2029, 1, 15);
        QTest::newRow("aa 30") << "15/01/30" << QDate(1930, 1, 15);
        QTest::newRow("aa 99") << "31/12/99" << QDate(1999, 12, 31);
        QTest::newRow("posiciones revueltas") << "2024/21/" << QDate();
        QTest::newRow("vacío") << "" << QDate();
        QTest::newRow("día cero") << "00/01/2024" << QDate();
        QTest::newRow("año de tres cifras") << "01/01/202" << QDate();
        QTest::newRow("año de cinco cifras") << "1/1/20200" << QDate();
        QTest::newRow("año cero") << "1/1/0000" << QDate();
        QTest::newRow("día de tres cifras") << "001/1/2020" << QDate();
        QTest::newRow("blancos de todas clases") << "\v1/1/29\t" << QDate(2029, 1, 1);
        QTest::newRow("letra detrás") << "1/1/20 x" << QDate();
        QTest::newRow("cifras árabes") << "01/01/\u0660\u0660" << QDate();
    }
    void fechas()
    {
        QFETCH(QString, texto);
        QFETCH(QDate, fecha);
        QCOMPARE(vb::IsDate(texto), fecha.isValid());
        if (fecha.isValid()) {
            QCOMPARE(vb::CDate(texto), fecha);
        } else {
            try {
                vb::CDate(texto);
                QFAIL("CDate ha aceptado un texto que no es una fecha");
            } catch (const Fallo& f) {
                QCOMPARE(f.numero(), codigo_error::TIPOS_NO_COINCIDEN);
            }
        }
    }

    void fecha_corta()
    {
        QCOMPARE(vb::FechaCorta(QDate(2024, 1, 5)), QStringLiteral("05/01/2024"));
        QCOMPARE(vb::FechaCorta(QDate(1930, 12, 31)), QStringLiteral("31/12/1930"));
    }

    void val_data()
    {
        QTest::addColumn<QString>("texto");
        QTest::addColumn<double>("valor");
        QTest::newRow("12abc") << "12abc" << 12.0;
        QTest::newRow("abc") << "abc" << 0.0;
        QTest::newRow("blancos dentro") << " 1 2" << 12.0;
        QTest::newRow("coma corta") << "1,5" << 1.0;
        QTest::newRow("punto") << "1.5x" << 1.5;
        QTest::newRow("negativo") << "-4.25" << -4.25;
        QTest::newRow("exponente") << "2E2" << 200.0;
        QTest::newRow("vacío") << "" << 0.0;
        QTest::newRow("F12") << "F12" << 0.0;
        QTest::newRow("hexadecimal") << "&HFF" << 255.0;
        QTest::newRow("ceros") << "0009" << 9.0;
    }
    void val()
    {
        QFETCH(QString, texto);
        QFETCH(double, valor);
        QCOMPARE(vb::Val(texto), valor);
    }

    void textos_por_posicion()
    {
        const QString s = QStringLiteral("20240315");
        QCOMPARE(vb::Left(s, 4), QStringLiteral("2024"));
        QCOMPARE(vb::Right(s, 2), QStringLiteral("15"));
        QCOMPARE(vb::Mid(s, 5, 2), QStringLiteral("03"));
        QCOMPARE(vb::Mid(s, 7), QStringLiteral("15"));
        QCOMPARE(vb::Left(s, 20), s);
        QCOMPARE(vb::Right(s, 20), s);
        QCOMPARE(vb::Mid(QStringLiteral("Deposito 000123 x"), 13, 6), QStringLiteral("123 x"));
        // Past the end: the empty text, never a null one (which would be
        // written to a table as Null).
        QVERIFY(!vb::Mid(s, 20, 2).isNull());
        QVERIFY(vb::Mid(s, 20, 2).isEmpty());
        QVERIFY(!vb::Left(s, 0).isNull());
        QCOMPARE(vb::Trim(QStringLiteral("  a b  ")), QStringLiteral("a b"));
        QCOMPARE(vb::Trim(QStringLiteral("\tx ")), QStringLiteral("\tx"));
        QVERIFY(!vb::Trim(QStringLiteral("   ")).isNull());
    }

    void textos_de_variantes()
    {
        QCOMPARE(vb::texto(QVariant(150.5)), QStringLiteral("150,5"));
        QCOMPARE(vb::texto(QVariant(qlonglong(430000123))), QStringLiteral("430000123"));
        QCOMPARE(vb::texto(QVariant(true)), QStringLiteral("Verdadero"));
        QCOMPARE(vb::texto(QVariant(false)), QStringLiteral("Falso"));
        // The empty text, and a null QString in a Variant (which is not
        // Null), read as the empty text, never as a null QString.
        for (const QVariant& v : {QVariant(QStringLiteral("")), QVariant(QString())}) {
            const QString t = vb::texto(v);
            QVERIFY(t.isEmpty());
            QVERIFY(!t.isNull());
        }
        try {
            vb::texto(QVariant());
            QFAIL("texto(Null) no ha fallado");
        } catch (const Fallo& f) {
            QCOMPARE(f.numero(), codigo_error::USO_NO_VALIDO_DE_NULL);
            QCOMPARE(f.descripcion(), QStringLiteral("Uso no válido de Null"));
        }
    }

    void igual_data()
    {
        QTest::addColumn<QVariant>("valor");
        QTest::addColumn<QString>("texto");
        QTest::addColumn<bool>("esperado");
        QTest::newRow("Null") << QVariant() << "0" << false;
        QTest::newRow("número 0") << QVariant(0.0) << "0" << true;
        QTest::newRow("entero 0") << QVariant(qlonglong(0)) << "0" << true;
        QTest::newRow("número 1") << QVariant(1.0) << "0" << false;
        QTest::newRow("texto 0") << QVariant(QStringLiteral("0")) << "0" << true;
        QTest::newRow("texto vacío") << QVariant(QStringLiteral("")) << "0" << false;
        QTest::newRow("texto 00") << QVariant(QStringLiteral("00")) << "0" << false;
        QTest::newRow("número contra texto no numérico") << QVariant(0.0) << "B" << false;
        QTest::newRow("falso es 0") << QVariant(false) << "0" << true;
        QTest::newRow("texto exacto") << QVariant(QStringLiteral("BIRO4")) << "BIRO4" << true;
        QTest::newRow("mayúsculas cuentan") << QVariant(QStringLiteral("biro4")) << "BIRO4" << false;
    }
    void igual()
    {
        QFETCH(QVariant, valor);
        QFETCH(QString, texto);
        QFETCH(bool, esperado);
        QCOMPARE(vb::igual(valor, texto), esperado);
    }

    void texto_o_vacio_data()
    {
        QTest::addColumn<QVariant>("valor");
        QTest::addColumn<QString>("esperado");
        QTest::newRow("Null") << QVariant() << "";
        QTest::newRow("texto vacío") << QVariant(QStringLiteral("")) << "";
        QTest::newRow("número") << QVariant(150.5) << "150,5";
        QTest::newRow("texto") << QVariant(QStringLiteral("430")) << "430";
    }
    void texto_o_vacio()
    {
        QFETCH(QVariant, valor);
        QFETCH(QString, esperado);
        const QString t = vb::texto_o_vacio(valor);
        QCOMPARE(t, esperado);
        QVERIFY(!t.isNull());
    }

    void es_numero_data()
    {
        QTest::addColumn<QVariant>("valor");
        QTest::addColumn<bool>("numero");
        QTest::newRow("int") << QVariant(int(1)) << true;
        QTest::newRow("uint") << QVariant(uint(1)) << true;
        QTest::newRow("qlonglong") << QVariant(qlonglong(1)) << true;
        QTest::newRow("qulonglong") << QVariant(qulonglong(1)) << true;
        QTest::newRow("double") << QVariant(1.5) << true;
        QTest::newRow("float") << QVariant(1.5f) << true;
        QTest::newRow("short") << QVariant::fromValue(short(1)) << true;
        QTest::newRow("ushort") << QVariant::fromValue(ushort(1)) << true;
        QTest::newRow("long") << QVariant::fromValue(long(1)) << true;
        QTest::newRow("ulong") << QVariant::fromValue(ulong(1)) << true;
        QTest::newRow("char") << QVariant::fromValue(char(1)) << true;
        QTest::newRow("signed char") << QVariant::fromValue((signed char)(1)) << true;
        QTest::newRow("uchar") << QVariant::fromValue(uchar(1)) << true;
        QTest::newRow("bool") << QVariant(true) << false;
        QTest::newRow("texto numérico") << QVariant(QStringLiteral("1")) << false;
        QTest::newRow("QChar") << QVariant(QChar(u'1')) << false;
        QTest::newRow("fecha") << QVariant(QDate(2026, 11, 1)) << false;
        QTest::newRow("Null") << QVariant() << false;
    }
    void es_numero()
    {
        QFETCH(QVariant, valor);
        QFETCH(bool, numero);
        QCOMPARE(vb::es_numero(valor), numero);
    }

    // Empty or Null exactly as Qt's own isValid() and isNull() have it,
    // typed nulls and null pointers included.
    void es_nulo()
    {
        QObject objeto;
        const QVariant valores[] = {QVariant(),
                                    QVariant(QMetaType::fromType<QString>()),
                                    QVariant(QMetaType::fromType<double>()),
                                    QVariant(QMetaType::fromType<int>()),
                                    QVariant(QString()),
                                    QVariant(QStringLiteral("")),
                                    QVariant(0.0),
                                    QVariant(0),
                                    QVariant(false),
                                    QVariant(QDate()),
                                    QVariant(QByteArray()),
                                    QVariant::fromValue<QObject*>(nullptr),
                                    QVariant::fromValue<QObject*>(&objeto),
                                    QVariant::fromValue(std::nullptr_t{}),
                                    QVariant(QStringList{QStringLiteral("a")})};
        for (const QVariant& v : valores) QCOMPARE(vb::esNulo(v), !v.isValid() || v.isNull());
    }

    void logico_de_texto_data()
    {
        // -1: not a Boolean.
        QTest::addColumn<QString>("texto");
        QTest::addColumn<int>("esperado");
        QTest::newRow("True") << "True" << 1;
        QTest::newRow("TRUE con blancos") << "  TRUE " << 1;
        QTest::newRow("verdadero") << "verdadero" << 1;
        QTest::newRow("False") << "False" << 0;
        QTest::newRow("FALSO") << "FALSO" << 0;
        QTest::newRow("-1") << "-1" << 1;
        QTest::newRow("1") << "1" << 1;
        QTest::newRow("2") << "2" << 1;
        QTest::newRow("0,5") << "0,5" << 1;
        QTest::newRow("0") << "0" << 0;
        QTest::newRow("0.0") << "0.0" << 0;
        QTest::newRow("vacío") << "" << -1;
        QTest::newRow("letra S") << "S" << -1;
        QTest::newRow("letra T") << "T" << -1;
        QTest::newRow("Sí") << "Sí" << -1;
        QTest::newRow("1a") << "1a" << -1;
    }
    void logico_de_texto()
    {
        QFETCH(QString, texto);
        QFETCH(int, esperado);
        const std::optional<bool> l = vb::logico_de_texto(texto);
        QCOMPARE(l.has_value(), esperado >= 0);
        if (l) QCOMPARE(*l, esperado == 1);
        // CBool of the text says the same, or fails.
        if (l) {
            QCOMPARE(vb::logico(QVariant(texto)), *l);
        } else {
            try {
                vb::logico(QVariant(texto));
                QFAIL("logico no ha fallado");
            } catch (const Fallo& f) {
                QCOMPARE(f.numero(), codigo_error::TIPOS_NO_COINCIDEN);
            }
        }
    }

    void logicos()
    {
        QVERIFY(vb::logico(QVariant(qlonglong(-1))));
        QVERIFY(vb::logico(QVariant(1)));
        QVERIFY(!vb::logico(QVariant(0.0)));
        QVERIFY(vb::logico(QVariant(QStringLiteral("True"))));
        QVERIFY(!vb::logico(QVariant(QStringLiteral("0"))));
        QVERIFY(vb::esNulo(QVariant()));
        QVERIFY(!vb::esNulo(QVariant(QStringLiteral(""))));
    }
};

QTEST_GUILESS_MAIN(TstVb)
#include "tst_vb.moc"
