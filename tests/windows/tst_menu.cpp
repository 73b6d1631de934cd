// The main menu: its look, the labels lighting up under the mouse, the modal
// windows and the reload of the settings on return; the windows' message
// boxes; and the program itself started on good and broken installations.
#include "tests/support/Entorno.h"
#include "windows/ConfigurarContaplus.h"
#include "windows/InterlocutorVentanas.h"
#include "windows/MenuContaplus.h"
#include "windows/TraspasoContaplus.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMessageBox>
#include <QProcess>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

namespace {

struct Banco : Entorno {
    std::unique_ptr<MenuContaplus> w;

    explicit Banco(QChar unidad = 'C') : Entorno({.unidad = unidad, .inicio = Inicio::Cargado})
    {
        w = std::make_unique<MenuContaplus>(m);
        w->show();
        w->activateWindow();
        if (!QTest::qWaitForWindowExposed(w.get())) qWarning("el menú no se ha mostrado");
        QTRY_COMPARE(w->activaciones(), 1);
    }
    template <class T = QLabel>
    T* hijo(const QString& nombre) const
    {
        T* h = w->findChild<T*>(nombre);
        if (!h) qFatal("no hay control %s", qPrintable(nombre));
        return h;
    }
};

bool encendida(QLabel* l)
{
    return l->palette().color(QPalette::Window) == QColor(255, 192, 128) && l->font().bold();
}

bool apagada(QLabel* l)
{
    return l->palette().color(QPalette::Window) == QColor(255, 255, 255) && !l->font().bold();
}

void clic(QWidget* w)
{
    QTest::mouseClick(w, Qt::LeftButton, {}, w->rect().center());
}

void teclear(QWidget* ventana, const QString& caja, const QString& texto)
{
    auto* c = ventana->findChild<QLineEdit*>(caja);
    c->setFocus();
    c->clear();
    QTest::keyClicks(c, texto);
    QTest::keyClick(c, Qt::Key_Return);
}

// The test build of the program, with the windows on the offscreen platform.
struct Programa {
    QProcess p;
    QByteArray salida;
    int estado = -1;

    // Killed after `espera_ms`; `estado` stays -1.
    Programa(const QString& raiz, const QStringList& entorno, const char* binario = ENLACE_PRUEBA,
             int espera_ms = 120000)
    {
        QProcessEnvironment e = QProcessEnvironment::systemEnvironment();
        e.insert("QT_QPA_PLATFORM", "offscreen");
        for (const QString& par : entorno) e.insert(par.section('=', 0, 0), par.section('=', 1));
        p.setProcessEnvironment(e);
        p.start(QString::fromUtf8(binario), {"--unidades", raiz});
        if (p.waitForFinished(espera_ms)) {
            estado = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -2;
        } else {
            p.kill();
            p.waitForFinished();
        }
        salida = p.readAllStandardOutput();
    }
};

}  // namespace

class TstMenu : public QObject {
    Q_OBJECT

private slots:
    void al_abrir_data();
    void al_abrir();
    void resaltado();
    void volver_recarga_los_ajustes();
    void traspaso_modal();
    void cajas_de_mensaje_data();
    void cajas_de_mensaje();
    void programa_instalacion_rota_data();
    void programa_instalacion_rota();
    void programa_abre_el_menu();
    void entregado_sin_capturas();
};

void TstMenu::al_abrir_data()
{
    QTest::addColumn<QChar>("unidad");
    QTest::addColumn<QString>("panel2");
    QTest::newRow("C") << QChar('C') << "Conectado: C:\\";
    QTest::newRow("D") << QChar('D') << "Conectado: D:\\";
}

void TstMenu::al_abrir()
{
    QFETCH(QChar, unidad);
    QFETCH(QString, panel2);
    Banco b(unidad);
    QCOMPARE(b.w->objectName(), QStringLiteral("menu_contaplus"));
    QCOMPARE(b.w->windowTitle(), QStringLiteral("Menu Enlace Quelmira a ContaPlus."));
    QCOMPARE(b.hijo("Label1")->text(), QStringLiteral("Configuración"));
    QCOMPARE(b.hijo("Label1")->toolTip(), QStringLiteral("Configurar los parámetros del enlace"));
    QCOMPARE(b.hijo("Label2")->text(), QStringLiteral("Traspaso"));
    QCOMPARE(b.hijo("Label2")->toolTip(), QStringLiteral("realizar el traspaso a contaplus"));
    QCOMPARE(b.hijo("Label1")->font().family(), QStringLiteral("Verdana"));
    QVERIFY(apagada(b.hijo("Label1")));
    QVERIFY(apagada(b.hijo("Label2")));
    for (const char* imagen : {"Image1", "Image3", "Image4", "Image5"}) QVERIFY(!b.hijo(imagen)->pixmap().isNull());
    QVERIFY(b.hijo<QStatusBar>("barra"));
    QCOMPARE(b.hijo("panel1")->text(), QStringLiteral("versión 5.04.001"));
    QCOMPARE(b.hijo("panel2")->text(), panel2);
    QCOMPARE(b.m.cuenta_iva, QStringLiteral("477000000"));
    QVERIFY(b.clerk.mensajes.isEmpty());
}

void TstMenu::resaltado()
{
    Banco b;
    QLabel* Label1 = b.hijo("Label1");
    QLabel* Label2 = b.hijo("Label2");
    QWidget* fondo = b.hijo<QWidget>("fondo");

    QTest::mouseMove(Label1, Label1->rect().center());
    QTRY_VERIFY(encendida(Label1));
    QVERIFY(apagada(Label2));

    // Straight from one label to the other: the first stays lit.
    QTest::mouseMove(Label2, Label2->rect().center());
    QTRY_VERIFY(encendida(Label2));
    QVERIFY(encendida(Label1));

    QTest::mouseMove(fondo, QPoint(3, 3));
    QTRY_VERIFY(apagada(Label1));
    QVERIFY(apagada(Label2));

    QTest::mouseMove(Label1, Label1->rect().center());
    QTRY_VERIFY(encendida(Label1));
    QLabel* Image1 = b.hijo("Image1");
    QTest::mouseMove(Image1, Image1->rect().center());
    QTRY_VERIFY(apagada(Label1));
}

// What the settings window saves is in memory, and the status bar rewritten,
// as soon as the clerk is back in the menu.
void TstMenu::volver_recarga_los_ajustes()
{
    Banco b;
    b.hijo("panel2")->setText(QString());
    bool abierta = false;
    b.w->al_abrir = [&](QDialog* d) {
        QTimer::singleShot(0, d, [&, d] {
            abierta = d->objectName() == "configurar_contaplus" && d->isModal() && d->isVisible();
            teclear(d, "pas", "torvi");
            teclear(d, "cven", "7001");
            clic(d->findChild<QLabel*>("Image2"));
            // Not yet in memory: only the row has changed.
            QCOMPARE(b.m.cuenta_ventas, QStringLiteral("700000000"));
            clic(d->findChild<QLabel*>("Image1"));
        });
    };
    clic(b.hijo("Label1"));
    QVERIFY(abierta);
    QCOMPARE(b.w->activaciones(), 2);
    QCOMPARE(b.m.cuenta_ventas, QStringLiteral("7001"));
    QCOMPARE(b.hijo("panel2")->text(), QStringLiteral("Conectado: C:\\"));
    QCOMPARE(b.hijo("panel1")->text(), QStringLiteral("versión 5.04.001"));
    QCOMPARE(b.clerk.textos(), QStringList{TITULO_APLICACION + ": Cambios realizados correctamente"});
}

void TstMenu::traspaso_modal()
{
    Banco b;
    QString vista;
    b.w->al_abrir = [&](QDialog* d) {
        QTimer::singleShot(0, d, [&, d] {
            auto* t = qobject_cast<TraspasoContaplus*>(d);
            if (t && t->isModal() && t->isVisible()) {
                // Activated once its own event loop runs.
                (void)QTest::qWaitFor([t] { return !t->traspaso().cuenta_ventas_defecto.isEmpty(); }, 5000);
                vista = t->traspaso().cuenta_ventas_defecto;
            }
            QTest::keyClick(d->findChild<QLineEdit*>("de"), Qt::Key_Escape);
        });
    };
    clic(b.hijo("Label2"));
    QTRY_COMPARE(vista, QStringLiteral("705999999"));
    QCOMPARE(b.w->activaciones(), 2);
    QVERIFY(b.clerk.mensajes.isEmpty());
}

void TstMenu::cajas_de_mensaje_data()
{
    QTest::addColumn<int>("icono");
    QTest::addColumn<int>("botones");
    QTest::addColumn<QString>("pulsar");
    QTest::addColumn<int>("icono_qt");
    QTest::addColumn<QStringList>("textos");
    QTest::addColumn<int>("respuesta");

    QTest::newRow("pregunta si") << int(Icono::Informacion) << int(Botones::SiNo) << "Sí"
                                 << int(QMessageBox::Information) << QStringList{"Sí", "No"} << int(Respuesta::Si);
    QTest::newRow("pregunta no") << int(Icono::Informacion) << int(Botones::SiNo) << "No"
                                 << int(QMessageBox::Information) << QStringList{"Sí", "No"} << int(Respuesta::No);
    QTest::newRow("critico") << int(Icono::Critico) << int(Botones::Aceptar) << "Aceptar" << int(QMessageBox::Critical)
                             << QStringList{"Aceptar"} << int(Respuesta::Aceptar);
    QTest::newRow("sin icono") << int(Icono::Ninguno) << int(Botones::Aceptar) << "Aceptar" << int(QMessageBox::NoIcon)
                               << QStringList{"Aceptar"} << int(Respuesta::Aceptar);
}

// The windows' clerk shows real message boxes with the icon, buttons and
// title asked for.
void TstMenu::cajas_de_mensaje()
{
    QFETCH(int, icono);
    QFETCH(int, botones);
    QFETCH(QString, pulsar);
    QFETCH(int, icono_qt);
    QFETCH(QStringList, textos);
    QFETCH(int, respuesta);

    qunsetenv("ENLACE_RESPUESTAS_AUTOMATICAS");
    InterlocutorVentanas clerk;
    QVERIFY(!clerk.automatico());

    QString titulo, texto;
    QStringList vistos;
    int icono_visto = -1;
    QTimer mirar;
    mirar.setInterval(10);
    connect(&mirar, &QTimer::timeout, this, [&] {
        auto* caja = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!caja || !caja->isVisible()) return;
        mirar.stop();
        titulo = caja->windowTitle();
        texto = caja->text();
        icono_visto = int(caja->icon());
        for (QAbstractButton* b : caja->buttons()) vistos << b->text();
        for (QAbstractButton* b : caja->buttons())
            if (b->text() == pulsar) b->click();
    });
    mirar.start();
    const Respuesta r = clerk.mensaje("¿Seguimos?", "Seguridad", Icono(icono), Botones(botones));
    QCOMPARE(int(r), respuesta);
    QCOMPARE(titulo, QStringLiteral("Seguridad"));
    QCOMPARE(texto, QStringLiteral("¿Seguimos?"));
    QCOMPARE(icono_visto, icono_qt);
    vistos.sort();
    textos.sort();
    QCOMPARE(vistos, textos);
}

void TstMenu::programa_instalacion_rota_data()
{
    QTest::addColumn<QString>("falta");
    QTest::newRow("formas.MDB") << "C:\\quelmira\\formas.MDB";
    QTest::newRow("cc.MDB") << "C:\\quelmira\\cc.MDB";
}

// The connection message, and the program ends without a window.
void TstMenu::programa_instalacion_rota()
{
    QFETCH(QString, falta);
    QVERIFY2(QFileInfo::exists(ENLACE_PRUEBA), ENLACE_PRUEBA);
    Instalacion inst;
    QVERIFY(QFile::remove(inst.local(falta)));
    Programa p(inst.raiz(), {"ENLACE_RESPUESTAS_AUTOMATICAS=1"});
    QCOMPARE(p.estado, 1);
    QCOMPARE(QString::fromUtf8(p.salida),
             QStringLiteral("Atención NO conexion BD: Ha ocurrido un fallo de conexión con las bases de datos "
                            "del programa de Hotel. La apliación no puede continuar.\n"));
}

// On a sound installation the program shows the menu and both windows, and
// the transfer window runs (an empty hotel: only the question and the
// no-invoices message). The pictures are taken from the real windows.
void TstMenu::programa_abre_el_menu()
{
    QVERIFY2(QFileInfo::exists(ENLACE_PRUEBA), ENLACE_PRUEBA);
    Instalacion inst;
    QTemporaryDir capturas;
    Programa p(inst.raiz(), {"ENLACE_RESPUESTAS_AUTOMATICAS=1", "ENLACE_CAPTURA=" + capturas.path()});
    QCOMPARE(p.estado, 0);
    QCOMPARE(QString::fromUtf8(p.salida).split('\n', Qt::SkipEmptyParts),
             (QStringList{"Seguridad: ¿Esta seguro/a de traspasar las facturas y las cajas a contabilidad entre "
                          "estas fechas? ",
                          "Atención: No existen facturas para traspasar a contabilidad entre estas fechas"}));
    for (const char* nombre : {"menu.png", "configuracion.png", "traspaso.png"}) {
        const QImage imagen(capturas.filePath(nombre));
        QVERIFY2(!imagen.isNull(), nombre);
        QVERIFY(imagen.width() > 200 && imagen.height() > 100);
    }
}

// The shipped program takes no pictures and answers nothing by itself,
// whatever the environment says: its menu waits for the clerk. In that time
// the test build has pictured the menu.
void TstMenu::entregado_sin_capturas()
{
    Instalacion inst;
    QTemporaryDir capturas;
    Programa p(inst.raiz(), {"ENLACE_RESPUESTAS_AUTOMATICAS=1", "ENLACE_CAPTURA=" + capturas.path()}, ENLACE_BINARIO,
               3000);
    QCOMPARE(p.estado, -1);
    QCOMPARE(p.salida, QByteArray());
    QCOMPARE(QDir(capturas.path()).entryList(QDir::Files), QStringList());
}

QTEST_MAIN(TstMenu)
#include "tst_menu.moc"
