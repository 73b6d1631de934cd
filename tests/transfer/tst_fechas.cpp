// The date boxes of the transfer without widgets: what Enter or Tab does to
// the box text, to fecha_desde / fecha_hasta, and the messages.
#include "startup/RutinasComunes.h"
#include "tests/support/Entorno.h"
#include "transfer/FechasTraspaso.h"

#include <QTest>

class TstFechas : public QObject {
    Q_OBJECT

    Instalacion inst;  // never started: the boxes need no database

private slots:
    void desde_data();
    void desde();
    void hasta_data();
    void hasta();
    void hasta_sin_inicio();
    void fecha_desde_se_conserva();
};

void TstFechas::desde_data()
{
    QTest::addColumn<QString>("tecleado");
    QTest::addColumn<int>("resultado");
    QTest::addColumn<QString>("caja");
    QTest::addColumn<QString>("fecha_desde");

    QTest::newRow("correcta") << "01022024" << int(ResultadoFecha::Aceptada) << "01/02/2024"
                              << "20240201";
    QTest::newRow("bisiesto") << "29022024" << int(ResultadoFecha::Aceptada) << "29/02/2024"
                              << "20240229";
    QTest::newRow("31 de febrero") << "31022024" << int(ResultadoFecha::Incorrecta) << ""
                                   << "";
    QTest::newRow("29 de febrero sin bisiesto") << "29022023" << int(ResultadoFecha::Incorrecta) << ""
                                                << "";
    QTest::newRow("mes 13") << "01132024" << int(ResultadoFecha::Incorrecta) << ""
                            << "";
    QTest::newRow("vacia") << "" << int(ResultadoFecha::Incorrecta) << ""
                           << "";
    QTest::newRow("letras") << "abcdefgh" << int(ResultadoFecha::Incorrecta) << ""
                            << "";
    QTest::newRow("ya con barras") << "01/02/2024" << int(ResultadoFecha::Incorrecta) << ""
                                   << "";
    QTest::newRow("siete cifras") << "1022024" << int(ResultadoFecha::Incorrecta) << ""
                                  << "";
}

void TstFechas::desde()
{
    QFETCH(QString, tecleado);
    QFETCH(int, resultado);
    QFETCH(QString, caja);
    QFETCH(QString, fecha_desde);

    Entorno e(inst, Inicio::Nada);

    QString texto = tecleado;
    QCOMPARE(int(confirmar_desde(e.t, texto)), resultado);
    QCOMPARE(texto, caja);
    QCOMPARE(e.t.fecha_desde, fecha_desde);
    QVERIFY(e.t.fecha_hasta.isEmpty());
    if (resultado == int(ResultadoFecha::Aceptada)) {
        QVERIFY(e.clerk.mensajes.isEmpty());
    } else {
        QCOMPARE(e.clerk.mensajes.size(), 1);
        QCOMPARE(e.clerk.mensajes[0].texto, QStringLiteral("Fecha incorrecta"));
        QCOMPARE(e.clerk.mensajes[0].titulo, QStringLiteral("Error usuario"));
        QCOMPARE(e.clerk.mensajes[0].icono, Icono::Informacion);
        QCOMPARE(e.clerk.mensajes[0].botones, Botones::Aceptar);
    }
}

void TstFechas::hasta_data()
{
    QTest::addColumn<QString>("tecleado");
    QTest::addColumn<int>("resultado");
    QTest::addColumn<QString>("caja");
    QTest::addColumn<QString>("mensaje");
    QTest::addColumn<QString>("titulo");

    // The start date accepted beforehand is 01/02/2024.
    QTest::newRow("igual a la inicial") << "01022024" << int(ResultadoFecha::Aceptada) << "01/02/2024"
                                        << ""
                                        << "";
    QTest::newRow("posterior") << "29022024" << int(ResultadoFecha::Aceptada) << "29/02/2024"
                               << ""
                               << "";
    QTest::newRow("otro año") << "05012025" << int(ResultadoFecha::Aceptada) << "05/01/2025"
                              << ""
                              << "";
    QTest::newRow("un dia antes") << "31012024" << int(ResultadoFecha::AnteriorALaInicial) << ""
                                  << "La fecha final no puede ser inferior a la inicial" << TITULO_APLICACION;
    QTest::newRow("año anterior") << "15122023" << int(ResultadoFecha::AnteriorALaInicial) << ""
                                  << "La fecha final no puede ser inferior a la inicial" << TITULO_APLICACION;
    QTest::newRow("31 de febrero") << "31022024" << int(ResultadoFecha::Incorrecta) << ""
                                   << "Fecha incorrecta"
                                   << "Error usuario";
    QTest::newRow("vacia") << "" << int(ResultadoFecha::Incorrecta) << ""
                           << "Fecha incorrecta"
                           << "Error usuario";
}

void TstFechas::hasta()
{
    QFETCH(QString, tecleado);
    QFETCH(int, resultado);
    QFETCH(QString, caja);
    QFETCH(QString, mensaje);
    QFETCH(QString, titulo);

    Entorno e(inst, Inicio::Nada);

    QString de = "01022024";
    QCOMPARE(confirmar_desde(e.t, de), ResultadoFecha::Aceptada);

    QString texto = tecleado;
    QCOMPARE(int(confirmar_hasta(e.t, texto)), resultado);
    QCOMPARE(texto, caja);
    QCOMPARE(e.t.fecha_desde, QStringLiteral("20240201"));
    if (resultado == int(ResultadoFecha::Aceptada)) {
        QVERIFY(e.clerk.mensajes.isEmpty());
        QCOMPARE(e.t.fecha_hasta, convertir_fecha(tecleado, 1, 0));
    } else {
        QCOMPARE(e.clerk.mensajes.size(), 1);
        QCOMPARE(e.clerk.mensajes[0].texto, mensaje);
        QCOMPARE(e.clerk.mensajes[0].titulo, titulo);
        QCOMPARE(e.clerk.mensajes[0].icono,
                 resultado == int(ResultadoFecha::Incorrecta) ? Icono::Informacion : Icono::Ninguno);
        QCOMPARE(e.clerk.mensajes[0].botones, Botones::Aceptar);
    }
}

// Without an accepted start date the end date is refused: the driver would
// run on an empty range start.
void TstFechas::hasta_sin_inicio()
{
    Entorno e(inst, Inicio::Nada);

    QString malo = "31022024";
    QCOMPARE(confirmar_desde(e.t, malo), ResultadoFecha::Incorrecta);
    e.clerk.mensajes.clear();

    QString texto = "15032024";
    QCOMPARE(confirmar_hasta(e.t, texto), ResultadoFecha::SinInicio);
    QCOMPARE(e.clerk.textos(), QStringList{"Error usuario: Fecha incorrecta"});
    QVERIFY(e.t.fecha_desde.isEmpty());
}

// fecha_desde lives as long as the window: a later refused start entry
// leaves the one accepted before.
void TstFechas::fecha_desde_se_conserva()
{
    Entorno e(inst, Inicio::Nada);

    QString de = "10032024";
    QCOMPARE(confirmar_desde(e.t, de), ResultadoFecha::Aceptada);
    QString otra = "99999999";
    QCOMPARE(confirmar_desde(e.t, otra), ResultadoFecha::Incorrecta);
    QCOMPARE(e.t.fecha_desde, QStringLiteral("20240310"));

    QString hasta = "10032024";
    QCOMPARE(confirmar_hasta(e.t, hasta), ResultadoFecha::Aceptada);
    QCOMPARE(e.t.fecha_hasta, QStringLiteral("20240310"));
}

QTEST_GUILESS_MAIN(TstFechas)
#include "tst_fechas.moc"
