// The link settings window driven as the clerk drives it: keys and clicks on
// an installation of its own, the messages answered by a recording clerk.
#include "tests/support/Entorno.h"
#include "windows/ConfigurarContaplus.h"

#include <QApplication>
#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QTest>

namespace {

struct Banco : Entorno {
    std::unique_ptr<ConfigurarContaplus> w;

    explicit Banco(const QVariantMap& ajustes = {}) : Entorno({.ajustes = ajustes}) { abrir(); }
    void abrir()
    {
        w = std::make_unique<ConfigurarContaplus>(m);
        w->show();
        w->activateWindow();
        if (!QTest::qWaitForWindowActive(w.get())) qWarning("la ventana no se ha activado");
    }
    template <class T = QLineEdit>
    T* hijo(const QString& nombre) const
    {
        T* h = w->findChild<T*>(nombre);
        if (!h) qFatal("no hay control %s", qPrintable(nombre));
        return h;
    }
    QString foco() const { return w->focusWidget() ? w->focusWidget()->objectName() : QString(); }
    // Types the text into an emptied box and leaves it with the key.
    void teclear(const QString& caja, const QString& texto, Qt::Key tecla = Qt::Key_Return)
    {
        QLineEdit* c = hijo(caja);
        c->setFocus();
        c->clear();
        QTest::keyClicks(c, texto);
        QTest::keyClick(c, tecla);
    }
    void desbloquear(const QString& clave = QStringLiteral("torvi")) { teclear(QStringLiteral("pas"), clave); }
};

}  // namespace

class TstConfiguracion : public QObject {
    Q_OBJECT

private slots:
    void al_abrir();
    void password_data();
    void password();
    void segunda_password();
    void iva_separado_al_cargar();
    void no_numerico_data();
    void no_numerico();
    void longitud_data();
    void longitud();
    void empresa_data();
    void empresa();
    void digitos();
    void digitos_sin_cambio();
    void check2();
    void ruta_data();
    void ruta();
    void seleccion_al_entrar();
    void guardar_sin_fila();
    void guardar_no_corta_lo_cargado();
    void salir_sin_guardar();
};

void TstConfiguracion::al_abrir()
{
    Banco b;
    QCOMPARE(b.w->windowTitle(),
             QStringLiteral("Configuración enlace a contabilidad ContaPlus") + QString(32, ' ') + "v.5.05.001");
    QCOMPARE(b.hijo<QGroupBox>("Frame1")->title(), QStringLiteral(" Datos del enlace contable "));
    QCOMPARE(b.hijo<QGroupBox>("pplus")->title(), QStringLiteral(" Opciones de ContaPlus "));
    QVERIFY(!b.hijo<QGroupBox>("Frame1")->isEnabled());
    QVERIFY(!b.hijo<QGroupBox>("pplus")->isEnabled());
    QVERIFY(!b.hijo<QLabel>("Image2")->isEnabled());
    QCOMPARE(b.hijo<QLabel>("Image2")->toolTip(), QStringLiteral("Guardar los cambios"));
    QCOMPARE(b.hijo<QLabel>("Image1")->toolTip(), QStringLiteral("Salir"));
    QVERIFY(!b.hijo<QCheckBox>("Check3")->isVisible());
    QVERIFY(b.hijo<QCheckBox>("Check3")->isEnabled());
    QCOMPARE(b.foco(), QStringLiteral("pas"));
    QVERIFY(b.hijo("ce")->text().isEmpty());

    const QList<std::pair<const char*, int>> maximos{{"ce", 4},   {"di", 1},    {"cage", 4}, {"cna", 4},  {"cgru", 9},
                                                     {"cpas", 9}, {"cven", 9},  {"civa", 9}, {"ccaj", 9}, {"cTasa", 9},
                                                     {"dig", 1},  {"ruta", 30}, {"pas", 5}};
    for (auto [caja, maximo] : maximos) QCOMPARE(b.hijo(caja)->maxLength(), maximo);
    QVERIFY(QFontInfo(b.hijo("cgru")->font()).fixedPitch());
    QCOMPARE(b.hijo<QLabel>("SSPanel3")->text(), QStringLiteral(" SubCuenta de Agencias"));
}

void TstConfiguracion::password_data()
{
    QTest::addColumn<QString>("tecleada");
    QTest::addColumn<bool>("aceptada");
    QTest::newRow("minusculas") << "torvi" << true;
    QTest::newRow("mayusculas") << "TORVI" << true;
    QTest::newRow("mezcla") << "ToRvI" << true;
    QTest::newRow("otra") << "torvo" << false;
    QTest::newRow("corta") << "torv" << false;
    QTest::newRow("vacia") << "" << false;
}

void TstConfiguracion::password()
{
    QFETCH(QString, tecleada);
    QFETCH(bool, aceptada);
    Banco b;
    b.desbloquear(tecleada);

    QCOMPARE(b.hijo<QGroupBox>("Frame1")->isEnabled(), aceptada);
    QCOMPARE(b.hijo<QGroupBox>("pplus")->isEnabled(), aceptada);
    QCOMPARE(b.hijo<QLabel>("Image2")->isEnabled(), aceptada);
    if (aceptada) {
        QVERIFY(b.clerk.mensajes.isEmpty());
        QCOMPARE(b.hijo("pas")->text(), QStringLiteral("TORVI"));
        // Filled from the settings in memory (the fixture's defaults).
        QCOMPARE(b.hijo("ce")->text(), QStringLiteral("1"));
        QCOMPARE(b.hijo("cage")->text(), QStringLiteral("4300"));
        QCOMPARE(b.hijo("cna")->text(), QStringLiteral("4310"));
        QCOMPARE(b.hijo("cgru")->text(), QStringLiteral("438000000"));
        QCOMPARE(b.hijo("cpas")->text(), QStringLiteral("430000000"));
        QCOMPARE(b.hijo("cven")->text(), QStringLiteral("700000000"));
        QCOMPARE(b.hijo("civa")->text(), QStringLiteral("477000000"));
        QCOMPARE(b.hijo("ccaj")->text(), QStringLiteral("570000000"));
        QCOMPARE(b.hijo("cTasa")->text(), QStringLiteral("475300000"));
        QCOMPARE(b.hijo("dig")->text(), QStringLiteral("9"));
        QCOMPARE(b.hijo("ruta")->text(), QStringLiteral("C:\\ContaEli"));
        QVERIFY(b.hijo<QCheckBox>("Check1")->isChecked());
        QVERIFY(b.hijo<QCheckBox>("Check3")->isChecked());
        QVERIFY(!b.hijo<QCheckBox>("Check2")->isChecked());
        QVERIFY(!b.hijo<QCheckBox>("exter")->isChecked());
        // Ticking Check3 sends the clerk to the digits.
        QCOMPARE(b.foco(), QStringLiteral("dig"));
    } else {
        QCOMPARE(b.clerk.mensajes.size(), 1);
        QCOMPARE(b.clerk.mensajes[0].texto, QStringLiteral("Password incorrecta. Ud. no tiene acceso a este programa"));
        QCOMPARE(b.clerk.mensajes[0].titulo, QStringLiteral("Seguridad quelmira"));
        QCOMPARE(b.clerk.mensajes[0].icono, Icono::Informacion);
        QVERIFY(b.hijo("pas")->text().isEmpty());
        QVERIFY(b.hijo("ce")->text().isEmpty());
        QCOMPARE(b.foco(), QStringLiteral("pas"));
    }
}

void TstConfiguracion::segunda_password()
{
    Banco b({{"ccop2", 1}, {"cctodos", 1}});
    b.desbloquear();
    QVERIFY(b.hijo<QCheckBox>("Check4")->isChecked());
    b.hijo("cage")->setText("9999");
    b.hijo<QCheckBox>("Check4")->setChecked(false);
    b.desbloquear();
    QCOMPARE(b.hijo("cage")->text(), QStringLiteral("4300"));
    QVERIFY(b.hijo<QCheckBox>("Check4")->isChecked());
    // Check3 was ticked already: nothing moves the focus from the password.
    QCOMPARE(b.foco(), QStringLiteral("pas"));
    // Check2 was ticked already too: the reloaded account is not cut again.
    QCOMPARE(b.hijo("civa")->text(), QStringLiteral("477000000"));
}

void TstConfiguracion::iva_separado_al_cargar()
{
    Banco b({{"ccop2", 1}, {"ccIva", "477000001"}});
    b.desbloquear();
    QVERIFY(b.hijo<QCheckBox>("Check2")->isChecked());
    QCOMPARE(b.hijo("civa")->text(), QStringLiteral("47700000"));
}

void TstConfiguracion::no_numerico_data()
{
    QTest::addColumn<QString>("caja");
    QTest::addColumn<QString>("texto");
    QTest::addColumn<QString>("titulo");
    QTest::newRow("cage vacia") << "cage"
                                << ""
                                << "Atención";
    QTest::newRow("ce letras") << "ce"
                               << "abc"
                               << "atención";
    QTest::newRow("di letra") << "di"
                              << "x"
                              << "Atención";
    QTest::newRow("cgru mezcla") << "cgru"
                                 << "4380a0000"
                                 << "Atención";
    QTest::newRow("civa vacia") << "civa"
                                << ""
                                << "Atención";
    QTest::newRow("dig letra") << "dig"
                               << "n"
                               << "Atención";
    QTest::newRow("cTasa blancos") << "cTasa"
                                   << "   "
                                   << "Atención";
}

void TstConfiguracion::no_numerico()
{
    QFETCH(QString, caja);
    QFETCH(QString, texto);
    QFETCH(QString, titulo);
    Banco b;
    b.desbloquear();
    b.teclear(caja, texto);
    QCOMPARE(b.clerk.textos(), QStringList{titulo + ": Tiene que ser numérico"});
    QCOMPARE(b.clerk.mensajes[0].icono, Icono::Informacion);
    QVERIFY(b.hijo(caja)->text().isEmpty());
    QCOMPARE(b.foco(), caja);
}

void TstConfiguracion::longitud_data()
{
    QTest::addColumn<QString>("caja");
    QTest::addColumn<QString>("texto");
    QTest::addColumn<bool>("iva_separado");
    QTest::addColumn<QString>("pregunta");  // empty: none
    QTest::addColumn<bool>("seguir");
    QTest::addColumn<QString>("siguiente");

    const QString p4 = "la lagitud de esta Subcuenta es de 4 dígitos. Ud ha introducido una longitud "
                       "incorrecta. ¿Desea seguir?";
    const QString p9 = "la lagitud de esta Subcuenta es de 9 dígitos. Ud ha introducido una longitud "
                       "incorrecta. ¿Desea seguir?";
    const QString iva8 = "la longitud de esta Subcuenta es de 8 dígitos. Ud ha introducido una longitud "
                         "incorrecta. ¿Desea seguir?";
    const QString iva9 = "la longitud de esta Subcuenta es de 9 dígitos. Ud ha introducido una longitud "
                         "incorrecta. ¿Desea seguir?";

    QTest::newRow("cage 4") << "cage"
                            << "4300" << false << "" << true << "cna";
    QTest::newRow("cage 3 si") << "cage"
                               << "430" << false << p4 << true << "cna";
    QTest::newRow("cage 3 no") << "cage"
                               << "430" << false << p4 << false << "cage";
    QTest::newRow("cna 4") << "cna"
                           << "4310" << false << "" << true << "cgru";
    QTest::newRow("cna 2 no") << "cna"
                              << "43" << false << p4 << false << "cna";
    QTest::newRow("cgru 9") << "cgru"
                            << "438000000" << false << "" << true << "cpas";
    QTest::newRow("cgru 8 si") << "cgru"
                               << "43800000" << false << p9 << true << "cpas";
    QTest::newRow("cgru 8 no") << "cgru"
                               << "43800000" << false << p9 << false << "cgru";
    QTest::newRow("cpas 9") << "cpas"
                            << "430000000" << false << "" << true << "cven";
    QTest::newRow("cpas 5 no") << "cpas"
                               << "43000" << false << p9 << false << "cpas";
    QTest::newRow("cven 4") << "cven"
                            << "7000" << false << "" << true << "civa";
    QTest::newRow("cven 8 si") << "cven"
                               << "70000000" << false << p4 << true << "civa";
    QTest::newRow("cven 9 no") << "cven"
                               << "700000000" << false << p4 << false << "cven";
    QTest::newRow("civa 9") << "civa"
                            << "477000000" << false << "" << true << "ccaj";
    QTest::newRow("civa 8 no") << "civa"
                               << "47700000" << false << iva9 << false << "civa";
    QTest::newRow("civa 8 separado") << "civa"
                                     << "47700000" << true << "" << true << "ccaj";
    QTest::newRow("civa 9 separado si") << "civa"
                                        << "477000000" << true << iva8 << true << "ccaj";
    QTest::newRow("ccaj 9") << "ccaj"
                            << "570000000" << false << "" << true << "cTasa";
    QTest::newRow("ccaj 1 si") << "ccaj"
                               << "5" << false << p9 << true << "cTasa";
    QTest::newRow("cTasa 9") << "cTasa"
                             << "475300000" << false << "" << true << "Check1";
    QTest::newRow("cTasa 7 si") << "cTasa"
                                << "4753000" << false << p9 << true << "Check1";
    QTest::newRow("cTasa 7 no") << "cTasa"
                                << "4753000" << false << p9 << false << "cTasa";
}

void TstConfiguracion::longitud()
{
    QFETCH(QString, caja);
    QFETCH(QString, texto);
    QFETCH(bool, iva_separado);
    QFETCH(QString, pregunta);
    QFETCH(bool, seguir);
    QFETCH(QString, siguiente);

    Banco b;
    b.desbloquear();
    b.hijo<QCheckBox>("Check2")->setChecked(iva_separado);
    b.clerk.respuestas = {seguir ? Respuesta::Si : Respuesta::No};
    // Tab is taken as Enter: it checks the box and does not move the focus
    // by itself.
    b.teclear(caja, texto, Qt::Key_Tab);

    if (pregunta.isEmpty()) {
        QVERIFY2(b.clerk.mensajes.isEmpty(), qPrintable(b.clerk.textos().join('\n')));
    } else {
        QCOMPARE(b.clerk.mensajes.size(), 1);
        QCOMPARE(b.clerk.mensajes[0].texto, pregunta);
        QCOMPARE(b.clerk.mensajes[0].titulo, QStringLiteral("Atención"));
        QCOMPARE(b.clerk.mensajes[0].icono, Icono::Informacion);
        QCOMPARE(b.clerk.mensajes[0].botones, Botones::SiNo);
    }
    QCOMPARE(b.hijo(caja)->text(), texto);
    QCOMPARE(b.foco(), siguiente);
}

void TstConfiguracion::empresa_data()
{
    QTest::addColumn<QString>("texto");
    QTest::addColumn<QString>("resultado");
    QTest::newRow("12") << "12"
                        << "012";
    QTest::newRow("7") << "7"
                       << "007";
    QTest::newRow("1234") << "1234"
                          << "1234";
    QTest::newRow("0012") << "0012"
                          << "012";
}

void TstConfiguracion::empresa()
{
    QFETCH(QString, texto);
    QFETCH(QString, resultado);
    Banco b;
    b.desbloquear();
    b.teclear("ce", texto);
    QVERIFY(b.clerk.mensajes.isEmpty());
    QCOMPARE(b.hijo("ce")->text(), resultado);
    QCOMPARE(b.foco(), QStringLiteral("di"));
    // The journal box sends the clerk back to the password.
    b.teclear("di", "2");
    QCOMPARE(b.foco(), QStringLiteral("pas"));
}

void TstConfiguracion::digitos()
{
    Banco b({{"ccGru", "572000001"}});
    b.desbloquear();
    b.teclear("dig", "8");
    QCOMPARE(b.foco(), QStringLiteral("ruta"));
    QCOMPARE(b.hijo("cgru")->text(), QStringLiteral("57200001"));
    QCOMPARE(b.hijo("cpas")->text(), QStringLiteral("43000000"));
    QCOMPARE(b.hijo("cven")->text(), QStringLiteral("70000000"));
    QCOMPARE(b.hijo("civa")->text(), QStringLiteral("47700000"));
    QCOMPARE(b.hijo("ccaj")->text(), QStringLiteral("57000000"));
    QCOMPARE(b.hijo("cTasa")->text(), QStringLiteral("47500000"));
    // The roots of agencies and companies are not subaccounts.
    QCOMPARE(b.hijo("cage")->text(), QStringLiteral("4300"));
    QCOMPARE(b.hijo("cna")->text(), QStringLiteral("4310"));

    b.teclear("dig", "9");
    QCOMPARE(b.hijo("cgru")->text(), QStringLiteral("572000001"));
    QCOMPARE(b.hijo("cTasa")->text(), QStringLiteral("475000000"));

    // Another digit count is taken as it is and converts nothing.
    b.teclear("dig", "7");
    QCOMPARE(b.hijo("cgru")->text(), QStringLiteral("572000001"));
    QCOMPARE(b.foco(), QStringLiteral("ruta"));
    QVERIFY(b.clerk.mensajes.isEmpty());
}

// Passing through the digits box with the count it already shows changes
// no account: 475300000 keeps its fourth digit.
void TstConfiguracion::digitos_sin_cambio()
{
    Banco b({{"ccVta", "70000001"}});
    b.desbloquear();
    b.teclear("dig", "9");
    QCOMPARE(b.hijo("cTasa")->text(), QStringLiteral("475300000"));
    QCOMPARE(b.hijo("cgru")->text(), QStringLiteral("438000000"));
    // A shorter one is still brought to nine.
    QCOMPARE(b.hijo("cven")->text(), QStringLiteral("700000001"));
}

void TstConfiguracion::check2()
{
    Banco b;
    b.desbloquear();
    auto* civa = b.hijo("civa");
    auto* check2 = b.hijo<QCheckBox>("Check2");

    civa->setText("477000001");
    QTest::mouseClick(check2, Qt::LeftButton, {}, QPoint(8, check2->height() / 2));
    QVERIFY(check2->isChecked());
    QCOMPARE(civa->text(), QStringLiteral("47700000"));

    civa->setText("4770000");
    QTest::mouseClick(check2, Qt::LeftButton, {}, QPoint(8, check2->height() / 2));
    QVERIFY(!check2->isChecked());
    QCOMPARE(civa->text(), QStringLiteral("477000000"));

    // Short texts are not padded while ticking, long ones are not cut while
    // unticking.
    civa->setText("477");
    check2->setChecked(true);
    QCOMPARE(civa->text(), QStringLiteral("477"));
    civa->setText("477000001");
    check2->setChecked(false);
    QCOMPARE(civa->text(), QStringLiteral("477000001"));
}

void TstConfiguracion::ruta_data()
{
    QTest::addColumn<QString>("texto");
    QTest::addColumn<QString>("resultado");
    QTest::newRow("barra final") << "C:\\ContaEli\\"
                                 << "C:\\ContaEli";
    QTest::newRow("vacia") << ""
                           << "C:\\ContaEli";
    QTest::newRow("sin barra") << "D:\\CONTA"
                               << "D:\\CONTA";
    QTest::newRow("dos barras") << "D:\\CONTA\\\\"
                                << "D:\\CONTA\\";
}

void TstConfiguracion::ruta()
{
    QFETCH(QString, texto);
    QFETCH(QString, resultado);
    Banco b;
    b.desbloquear();
    b.teclear("ruta", texto, Qt::Key_Enter);
    QCOMPARE(b.hijo("ruta")->text(), resultado);
    QCOMPARE(b.foco(), QStringLiteral("ruta"));
    QVERIFY(b.clerk.mensajes.isEmpty());
}

void TstConfiguracion::seleccion_al_entrar()
{
    Banco b;
    b.desbloquear();
    b.teclear("cage", "4300");
    QCOMPARE(b.foco(), QStringLiteral("cna"));
    QCOMPARE(b.hijo("cna")->selectedText(), QStringLiteral("4310"));
    // Typing over the selection replaces the whole account.
    QTest::keyClicks(b.hijo("cna"), "4320");
    QCOMPARE(b.hijo("cna")->text(), QStringLiteral("4320"));
}

void TstConfiguracion::guardar_sin_fila()
{
    Banco b;
    b.inst.sql("cc", "DELETE FROM cc");
    // The settings in memory still hold the row loaded before; the save
    // finds none and adds it.
    b.desbloquear();
    b.teclear("ce", "2");
    b.teclear("cpas", "430000099");
    b.teclear("civa", "477000021");
    b.teclear("dig", "9");
    b.hijo<QCheckBox>("Check5")->setChecked(true);
    b.hijo<QCheckBox>("exter")->setChecked(true);
    b.hijo<QCheckBox>("Check1")->setChecked(false);
    QVERIFY(b.clerk.mensajes.isEmpty());

    auto* Image2 = b.hijo<QLabel>("Image2");
    QTest::mouseClick(Image2, Qt::LeftButton, {}, Image2->rect().center());

    QCOMPARE(b.clerk.textos(), QStringList{TITULO_APLICACION + ": Cambios realizados correctamente"});
    QCOMPARE(b.clerk.mensajes[0].icono, Icono::Ninguno);
    QCOMPARE(b.clerk.mensajes[0].botones, Botones::Aceptar);
    QVERIFY(b.w->isVisible());

    const auto filas = b.inst.filas("cc");
    QCOMPARE(filas.size(), 1);
    const QVariantMap& f = filas[0];
    auto campo = [&f](const QString& nombre) {
        for (auto i = f.begin(); i != f.end(); ++i)
            if (i.key().compare(nombre, Qt::CaseInsensitive) == 0) return i.value();
        return QVariant();
    };
    QCOMPARE(campo("ccc").toString(), QStringLiteral("BIRO4"));
    QCOMPARE(campo("ccEmp").toString(), QStringLiteral("002"));
    QCOMPARE(campo("ccPas").toString(), QStringLiteral("430000099"));
    QCOMPARE(campo("ccIva").toString(), QStringLiteral("477000021"));
    QCOMPARE(campo("ccAge").toString(), QStringLiteral("4300"));
    QCOMPARE(campo("ccruta").toString(), QStringLiteral("C:\\ContaEli"));
    QCOMPARE(campo("ccdigitos").toDouble(), 9.0);
    QCOMPARE(campo("ccventas").toInt(), 1);
    QCOMPARE(campo("ccop1").toInt(), 0);
    QCOMPARE(campo("ccop2").toInt(), 0);
    QVERIFY(campo("Externa").toBool());
    QVERIFY(!campo("AAAAMM").toBool());
    QCOMPARE(campo("Tasa").toString(), QStringLiteral("475300000"));

    // What was saved is what the next load reads.
    b.m.cargar_cc();
    QCOMPARE(b.m.empresa, QStringLiteral("002"));
    QCOMPARE(b.m.cuenta_pasantes, QStringLiteral("430000099"));
    QVERIFY(b.m.sin_caja);
    QVERIFY(b.m.externa);
}

// A setting longer than its box allows is shown and saved whole.
void TstConfiguracion::guardar_no_corta_lo_cargado()
{
    const QString larga = "C:\\Archivos de programa\\ContaPlus\\Elite";
    Banco b({{"ccruta", larga}});
    QCOMPARE(b.m.ruta_contaplus, larga);
    b.desbloquear();
    QCOMPARE(b.hijo("ruta")->text(), larga);
    auto* Image2 = b.hijo<QLabel>("Image2");
    QTest::mouseClick(Image2, Qt::LeftButton, {}, Image2->rect().center());
    b.m.cargar_cc();
    QCOMPARE(b.m.ruta_contaplus, larga);
}

void TstConfiguracion::salir_sin_guardar()
{
    Banco b;
    b.desbloquear();
    b.teclear("cage", "4399");
    // Escape does not close the window; the exit picture does, saving nothing.
    QTest::keyClick(b.hijo("cgru"), Qt::Key_Escape);
    QVERIFY(b.w->isVisible());
    auto* Image1 = b.hijo<QLabel>("Image1");
    QTest::mouseClick(Image1, Qt::LeftButton, {}, Image1->rect().center());
    QVERIFY(!b.w->isVisible());
    QCOMPARE(b.w->result(), int(QDialog::Rejected));
    b.m.cargar_cc();
    QCOMPARE(b.m.subcuenta_agencias, QStringLiteral("4300"));
    QVERIFY(b.clerk.mensajes.isEmpty());
}

QTEST_MAIN(TstConfiguracion)
#include "tst_configuracion.moc"
