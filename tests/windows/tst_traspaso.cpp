// The transfer window driven by keys and clicks: the date boxes with their
// messages and focus moves, and whole runs started from the end box.
#include "tests/support/Dbf.h"
#include "tests/support/Entorno.h"
#include "windows/InterlocutorVentanas.h"
#include "windows/TraspasoContaplus.h"

#include <QApplication>
#include <QDate>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>
#include <QTimer>

namespace {

// The window over a Module1 that has run the menu's load and activation.
struct Ventana {
    Module1& m;
    std::unique_ptr<TraspasoContaplus> w;
    QStringList abiertos;  // reports the window opened

    explicit Ventana(Module1& modulo) : m(modulo)
    {
        w = std::make_unique<TraspasoContaplus>(m);
        w->abrir_informe = [this](const QString& ruta) { abiertos << ruta; };
        w->show();
        w->activateWindow();
        if (!QTest::qWaitForWindowActive(w.get())) qWarning("la ventana no se ha activado");
        // The working files are prepared once the window is up.
        QTRY_VERIFY_WITH_TIMEOUT(!w->traspaso().cuenta_ventas_defecto.isEmpty() || !w->isVisible(), 5000);
    }
    QLineEdit* caja(const QString& nombre) const { return w->findChild<QLineEdit*>(nombre); }
    QString foco() const { return w->focusWidget() ? w->focusWidget()->objectName() : QString(); }
    void teclear(const QString& nombre, const QString& texto, Qt::Key tecla = Qt::Key_Return)
    {
        QLineEdit* c = caja(nombre);
        c->setFocus();
        c->clear();
        QTest::keyClicks(c, texto);
        QTest::keyClick(c, tecla);
    }
};

// A hotel with invoices, receipts and deposits over four days of November 2026.
struct Hotel : Instalacion {
    Hotel() : Instalacion(Demo{16, 4, QDate(2026, 11, 1)}) {}
};

}  // namespace

class TstTraspaso : public QObject {
    Q_OBJECT

private slots:
    void al_abrir();
    void cuenta_ventas_defecto_data();
    void cuenta_ventas_defecto();
    void desde_data();
    void desde();
    void hasta_data();
    void hasta();
    void hasta_sin_desde();
    void escape();
    void clic_en_desde();
    void traspaso_completo();
    void traspaso_cancelado();
    void progreso_a_la_vista();
    void escape_durante_el_traspaso();
    void vista_previa();
    void ficheros_que_no_se_preparan();
};

void TstTraspaso::al_abrir()
{
    Entorno b;
    Ventana v(b.m);
    QCOMPARE(v.w->objectName(), QStringLiteral("traspaso_contaplus"));
    QCOMPARE(v.w->windowTitle(), QStringLiteral("Traspaso de facturas a ContaPlus."));
    QCOMPARE(v.w->findChild<QLabel*>("Label1")->text(), QStringLiteral("Version: 5.05.001"));
    QCOMPARE(v.w->findChild<QLabel*>("SSPanel2")->text(), QStringLiteral("Desde"));
    QCOMPARE(v.w->findChild<QLabel*>("SSPanel3")->text(), QStringLiteral("Hasta"));
    QVERIFY(v.w->findChild<QLabel*>("Image3"));
    QCOMPARE(v.foco(), QStringLiteral("de"));
    QVERIFY(b.clerk.mensajes.isEmpty());
    QVERIFY(!v.w->findChild<QProgressBar*>("progreso")->isVisible());
}

void TstTraspaso::cuenta_ventas_defecto_data()
{
    QTest::addColumn<int>("digitos");
    QTest::addColumn<QString>("cuenta");
    QTest::newRow("9") << 9 << "705999999";
    QTest::newRow("8") << 8 << "70599999";
}

void TstTraspaso::cuenta_ventas_defecto()
{
    QFETCH(int, digitos);
    QFETCH(QString, cuenta);
    Entorno b({.ajustes = {{"ccdigitos", digitos}}});
    Ventana v(b.m);
    QCOMPARE(v.w->traspaso().cuenta_ventas_defecto, cuenta);
}

void TstTraspaso::desde_data()
{
    QTest::addColumn<QString>("tecleado");
    QTest::addColumn<int>("tecla");
    QTest::addColumn<QString>("caja");
    QTest::addColumn<QString>("fecha_desde");
    QTest::addColumn<QString>("foco");
    QTest::newRow("intro") << "01022024" << int(Qt::Key_Return) << "01/02/2024"
                           << "20240201"
                           << "hasta";
    QTest::newRow("tabulador") << "01022024" << int(Qt::Key_Tab) << "01/02/2024"
                               << "20240201"
                               << "hasta";
    QTest::newRow("intro del teclado numerico") << "15032024" << int(Qt::Key_Enter) << "15/03/2024"
                                                << "20240315"
                                                << "hasta";
    QTest::newRow("31 de febrero") << "31022024" << int(Qt::Key_Return) << ""
                                   << ""
                                   << "de";
    QTest::newRow("vacia") << "" << int(Qt::Key_Tab) << ""
                           << ""
                           << "de";
}

void TstTraspaso::desde()
{
    QFETCH(QString, tecleado);
    QFETCH(int, tecla);
    QFETCH(QString, caja);
    QFETCH(QString, fecha_desde);
    QFETCH(QString, foco);
    Entorno b;
    Ventana v(b.m);
    v.teclear("de", tecleado, Qt::Key(tecla));
    QCOMPARE(v.caja("de")->text(), caja);
    QCOMPARE(v.w->traspaso().fecha_desde, fecha_desde);
    QCOMPARE(v.foco(), foco);
    if (fecha_desde.isEmpty())
        QCOMPARE(b.clerk.textos(), QStringList{"Error usuario: Fecha incorrecta"});
    else
        QVERIFY(b.clerk.mensajes.isEmpty());
}

void TstTraspaso::hasta_data()
{
    QTest::addColumn<QString>("tecleado");
    QTest::addColumn<QString>("mensaje");
    QTest::addColumn<QString>("durante");  // the box while the message is up
    // The start date is 10/03/2024; these end dates are refused, so no run.
    QTest::newRow("un dia antes") << "09032024"
                                  << TITULO_APLICACION + ": La fecha final no puede ser inferior a la inicial"
                                  << "09/03/2024";
    QTest::newRow("31 de febrero") << "31022024"
                                   << "Error usuario: Fecha incorrecta"
                                   << "31/02/2024";
    QTest::newRow("vacia") << ""
                           << "Error usuario: Fecha incorrecta"
                           << "";
}

void TstTraspaso::hasta()
{
    QFETCH(QString, tecleado);
    QFETCH(QString, mensaje);
    QFETCH(QString, durante);
    Entorno b;
    Ventana v(b.m);
    v.teclear("de", "10032024");
    QCOMPARE(v.foco(), QStringLiteral("hasta"));
    QString visto;
    b.clerk.al_mensaje = [&] { visto = v.caja("hasta")->text(); };
    v.teclear("hasta", tecleado);
    QCOMPARE(b.clerk.textos(), QStringList{mensaje});
    QCOMPARE(visto, durante);
    QVERIFY(v.caja("hasta")->text().isEmpty());
    QCOMPARE(v.caja("de")->text(), QStringLiteral("10/03/2024"));
    QCOMPARE(v.foco(), QStringLiteral("hasta"));
    QVERIFY(b.inst.logs().isEmpty());
}

// No start date accepted in this window: the end date is refused and the
// clerk is sent to the start box.
void TstTraspaso::hasta_sin_desde()
{
    Entorno b;
    Ventana v(b.m);
    v.teclear("de", "31022024");
    b.clerk.mensajes.clear();
    v.teclear("hasta", "15032024");
    QCOMPARE(b.clerk.textos(), QStringList{"Error usuario: Fecha incorrecta"});
    QCOMPARE(b.clerk.mensajes[0].icono, Icono::Informacion);
    QCOMPARE(v.foco(), QStringLiteral("de"));
}

void TstTraspaso::escape()
{
    Entorno b;
    Ventana v(b.m);
    v.teclear("de", "01022024");
    QTest::keyClicks(v.caja("hasta"), "0502");
    QTest::keyClick(v.caja("hasta"), Qt::Key_Escape);
    QCOMPARE(v.foco(), QStringLiteral("de"));
    QCOMPARE(v.caja("de")->text(), QStringLiteral("01/02/2024"));
    QCOMPARE(v.caja("hasta")->text(), QStringLiteral("0502"));
    QVERIFY(v.w->isVisible());

    QTest::keyClick(v.caja("de"), Qt::Key_Escape);
    QTRY_VERIFY(!v.w->isVisible());
    QVERIFY(b.clerk.mensajes.isEmpty());
}

void TstTraspaso::clic_en_desde()
{
    Entorno b;
    Ventana v(b.m);
    v.teclear("de", "01022024");
    QTest::keyClicks(v.caja("hasta"), "05022024");
    QTest::mouseClick(v.caja("de"), Qt::LeftButton);
    QVERIFY(v.caja("de")->text().isEmpty());
    QVERIFY(v.caja("hasta")->text().isEmpty());
}

void TstTraspaso::traspaso_completo()
{
    Hotel h;
    Entorno b(h);
    Ventana v(b.m);
    QVERIFY(b.clerk.mensajes.isEmpty());

    v.teclear("de", "01112026");
    v.teclear("hasta", "04112026");

    // The demo's receipt of the missing invoice 990001 is told after the
    // final message; then the clerk is offered the report, and sees it.
    QCOMPARE(b.clerk.mensajes.size(), 4);
    QCOMPARE(b.clerk.mensajes[0].titulo, QStringLiteral("Seguridad"));
    QCOMPARE(b.clerk.mensajes[0].botones, Botones::SiNo);
    QCOMPARE(b.clerk.mensajes[1].titulo, QStringLiteral("Traspaso a CONTAPLUS"));
    QCOMPARE(b.clerk.mensajes[1].texto, QStringLiteral("El proceso se ha realizado correctamente. "));
    QVERIFY(b.clerk.mensajes[2].texto.contains("1 cobro cuya factura no se encuentra"));
    QCOMPARE(b.clerk.mensajes[3].texto, QStringLiteral("¿Desea ver el informe del traspaso?"));
    QCOMPARE(b.clerk.mensajes[3].titulo, QStringLiteral("Traspaso a CONTAPLUS"));
    QCOMPARE(b.clerk.mensajes[3].botones, Botones::SiNo);
    QCOMPARE(v.abiertos, QStringList{v.w->traspaso().informe});
    QVERIFY(QFile::exists(v.abiertos[0]));

    const TablaDbf diario = leer_dbf(h.local("C:\\ContaEli\\TMP\\Xdiario.dbf"));
    QVERIFY(diario.filas.size() >= 16 * 3);
    QVERIFY(!leer_dbf(h.local("C:\\ContaEli\\TMP\\XSubCta.dbf")).filas.isEmpty());
    QCOMPARE(h.logs().size(), 1);

    // The run empties both boxes and leaves the clerk in the start box,
    // with the normal pointer back.
    QVERIFY(v.caja("de")->text().isEmpty());
    QVERIFY(v.caja("hasta")->text().isEmpty());
    QCOMPARE(v.foco(), QStringLiteral("de"));
    QVERIFY(!QApplication::overrideCursor());
    QVERIFY(v.w->isVisible());
    QVERIFY(!v.w->en_curso());

    // A second run over the same range finds everything posted; its
    // report is not wanted.
    b.clerk.mensajes.clear();
    b.clerk.respuestas = {Respuesta::Si, Respuesta::No};
    v.teclear("de", "01112026");
    v.teclear("hasta", "04112026");
    QCOMPARE(leer_dbf(h.local("C:\\ContaEli\\TMP\\Xdiario.dbf")).filas.size(), diario.filas.size());
}

void TstTraspaso::traspaso_cancelado()
{
    Hotel h;
    Entorno b(h);
    Ventana v(b.m);
    b.clerk.respuestas = {Respuesta::No};
    v.teclear("de", "01112026");
    v.teclear("hasta", "04112026");
    QCOMPARE(b.clerk.mensajes.size(), 1);
    QVERIFY(v.caja("de")->text().isEmpty());
    QVERIFY(v.caja("hasta")->text().isEmpty());
    QCOMPARE(v.foco(), QStringLiteral("de"));
    QCOMPARE(h.logs().size(), 0);
    QVERIFY(leer_dbf(h.local("C:\\ContaEli\\TMP\\Xdiario.dbf")).filas.isEmpty());
    QVERIFY(!QApplication::overrideCursor());
}

// With the windows' own clerk (answering by itself here) the run shows its
// phases in the window while it goes on, and hides them at its end.
void TstTraspaso::progreso_a_la_vista()
{
    Hotel h;
    qputenv("ENLACE_RESPUESTAS_AUTOMATICAS", "1");
    InterlocutorVentanas clerk;
    qunsetenv("ENLACE_RESPUESTAS_AUTOMATICAS");
    QVERIFY(clerk.automatico());
    Module1 m(h.unidades(), clerk);
    m.cargar();
    m.activar();
    Ventana v(m);

    auto* barra = v.w->findChild<QProgressBar*>("progreso");
    auto* fase = v.w->findChild<QLabel*>("fase");
    QStringList fases;
    int vista = 0;
    // Watch the window from inside the run: each progress report it shows
    // lets the pending events through, this timer's included.
    QTimer mirar;
    QObject::connect(&mirar, &QTimer::timeout, [&] {
        if (!barra->isVisible()) return;
        ++vista;
        if (fases.isEmpty() || fases.last() != fase->text().section(':', 0, 0))
            fases << fase->text().section(':', 0, 0);
    });
    mirar.start(0);
    v.teclear("de", "01112026");
    v.teclear("hasta", "04112026");

    QVERIFY(vista > 0);
    QVERIFY2(fases.size() >= 2, qPrintable(fases.join(" | ")));
    QVERIFY(!barra->isVisible());
    QVERIFY(!fase->isVisible());
    QVERIFY(!leer_dbf(h.local("C:\\ContaEli\\TMP\\Xdiario.dbf")).filas.isEmpty());
}

// Escape during a run asks whether to stop; Yes stops it after a group, the
// window stays, and the next run leaves what one unbroken run leaves.
void TstTraspaso::escape_durante_el_traspaso()
{
    Hotel h, entera;
    {
        Entorno b(entera);
        QCOMPARE(int(b.correr("01112026", "04112026")), int(FinTraspaso::Correcto));
    }
    Entorno b(h);
    Ventana v(b.m);
    auto* barra = v.w->findChild<QProgressBar*>("progreso");
    int escapes = 0;
    QTimer pulsar;
    QObject::connect(&pulsar, &QTimer::timeout, [&] {
        if (barra->isVisible() && escapes++ == 0) QTest::keyClick(v.caja("hasta"), Qt::Key_Escape);
    });
    pulsar.start(0);
    v.teclear("de", "01112026");
    v.teclear("hasta", "04112026");
    pulsar.stop();

    QVERIFY(escapes > 0);
    const QStringList textos = b.clerk.textos();
    QVERIFY2(textos.contains("Traspaso a CONTAPLUS: ¿Desea detener el traspaso?"), qPrintable(textos.join('\n')));
    QVERIFY(v.w->traspaso().detenido.startsWith("Traspaso detenido por el usuario en "));
    QVERIFY(textos.contains("Traspaso a CONTAPLUS: " + v.w->traspaso().detenido));
    QVERIFY(v.w->isVisible());
    QVERIFY(!v.w->en_curso());

    v.teclear("de", "01112026");
    v.teclear("hasta", "04112026");
    // Every journal line and every staged invoice, as the unbroken run left them.
    auto lineas = [](const Instalacion& i) {
        QStringList r;
        for (const QVariantMap& f : leer_dbf(i.local("C:\\ContaEli\\TMP\\Xdiario.dbf")).filas) {
            QStringList partes;
            for (auto c = f.begin(); c != f.end(); ++c) partes << c.key() + '=' + c.value().toString();
            r << partes.join('|');
        }
        for (const QVariantMap& f : i.filas("fac"))
            r << f.value("FacFra").toString() + ' ' + f.value("FacEst").toString();
        r.sort();
        return r;
    };
    QCOMPARE(lineas(h), lineas(entera));
}

// "Vista previa" and F5 run a dry run of the range in the boxes: the journal
// and the logs stay as they were, the boxes keep their dates, and the clerk
// is told where the report is.
void TstTraspaso::vista_previa()
{
    Hotel h;
    Entorno b(h);
    Ventana v(b.m);
    auto* previa = v.w->findChild<QPushButton*>("previa");
    QVERIFY(previa);
    QCOMPARE(previa->text(), QStringLiteral("Vista previa"));
    QCOMPARE(previa->focusPolicy(), Qt::NoFocus);

    v.teclear("de", "01112026");
    QTest::keyClicks(v.caja("hasta"), "04112026");
    QTest::mouseClick(previa, Qt::LeftButton);
    QTest::keyClick(v.caja("hasta"), Qt::Key_F5);

    const QStringList textos = b.clerk.textos();
    QCOMPARE(textos.filter("Vista previa: Simulación: no se ha escrito nada. El informe está en ").size(), 2);
    QCOMPARE(textos.filter("El proceso se ha realizado correctamente.").size(), 2);
    QVERIFY(leer_dbf(h.local("C:\\ContaEli\\TMP\\Xdiario.dbf")).filas.isEmpty());
    QCOMPARE(h.logs().size(), 0);
    QCOMPARE(v.caja("de")->text(), QStringLiteral("01/11/2026"));
    QCOMPARE(v.caja("hasta")->text(), QStringLiteral("04/11/2026"));
    QVERIFY(!QApplication::overrideCursor());
}

// The ContaPlus folder cannot take the files (externa with a missing
// folder): the clerk is told and the window closes.
void TstTraspaso::ficheros_que_no_se_preparan()
{
    Entorno b({.ajustes = {{"Externa", 1}, {"ccruta", "C:\\NoExiste"}}});
    Ventana v(b.m);
    QTRY_VERIFY(!v.w->isVisible());
    QCOMPARE(b.clerk.mensajes.size(), 1);

    // TMP holds a journal that is not a dBASE file: the window stays open,
    // and Enter in the end box tells the clerk again and does nothing else.
    Entorno d({.antes = [](Instalacion& i) {
        QFile f(i.local("C:\\ContaEli\\TMP\\Xdiario.dbf"));
        QVERIFY(f.open(QIODevice::WriteOnly));
    }});
    Ventana w(d.m);
    QVERIFY(w.w->isVisible());
    QCOMPARE(d.clerk.mensajes.size(), 1);
    w.teclear("de", "01032026");
    w.teclear("hasta", "03032026");
    QCOMPARE(d.clerk.mensajes.size(), 2);
    QCOMPARE(d.clerk.mensajes[1].texto, d.clerk.mensajes[0].texto);
    QCOMPARE(d.clerk.mensajes[1].botones, Botones::Aceptar);
    QCOMPARE(d.inst.logs().size(), 0);
    QCOMPARE(QFileInfo(d.inst.local("C:\\ContaEli\\TMP\\Xdiario.dbf")).size(), 0);
    QVERIFY(w.w->isVisible());
}

QTEST_MAIN(TstTraspaso)
#include "tst_traspaso.moc"
