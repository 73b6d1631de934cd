#include "windows/ConfigurarContaplus.h"

#include "windows/Controles.h"
#include "windows/Imagenes.h"

#include "platform/sistema/Fallo.h"
#include "platform/valores/Vb.h"
#include "startup/RutinasComunes.h"

#include <QBoxLayout>
#include <QFontDatabase>
#include <QGridLayout>
#include <QKeyEvent>

namespace {

const QString CLAVE = QStringLiteral("TORVI");

QString pregunta_longitud(int n)
{
    return QStringLiteral("la lagitud de esta Subcuenta es de %1 dígitos. Ud ha introducido una "
                          "longitud incorrecta. ¿Desea seguir?")
        .arg(n);
}

// A text from the settings goes into its box whole, even when it is longer
// than the clerk may type there: a save must not cut what it did not show.
void poner(QLineEdit* caja, const QString& texto, int maximo)
{
    caja->setMaxLength(qMax(maximo, int(texto.size())));
    caja->setText(texto);
}

}  // namespace

QLineEdit* ConfigurarContaplus::caja(const QString& nombre, int maximo)
{
    auto* c = new QLineEdit(this);
    c->setObjectName(nombre);
    c->setMaxLength(maximo);
    c->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    const QFontMetrics medida(c->font());
    c->setFixedWidth(medida.horizontalAdvance(QString(qMax(maximo, 4) + 1, QLatin1Char('0'))) + 14);
    return c;
}

ConfigurarContaplus::ConfigurarContaplus(Module1& m, QWidget* padre) : QDialog(padre), m(m)
{
    setObjectName(QStringLiteral("configurar_contaplus"));
    setWindowTitle(QStringLiteral("Configuración enlace a contabilidad ContaPlus") + QString(32, QLatin1Char(' ')) +
                   QStringLiteral("v.5.05.001"));
    setModal(true);

    ce = caja(QStringLiteral("ce"), 4);
    di = caja(QStringLiteral("di"), 1);
    cage = caja(QStringLiteral("cage"), 4);
    cna = caja(QStringLiteral("cna"), 4);
    cgru = caja(QStringLiteral("cgru"), 9);
    cpas = caja(QStringLiteral("cpas"), 9);
    cven = caja(QStringLiteral("cven"), 9);
    civa = caja(QStringLiteral("civa"), 9);
    ccaj = caja(QStringLiteral("ccaj"), 9);
    cTasa = caja(QStringLiteral("cTasa"), 9);
    dig = caja(QStringLiteral("dig"), 1);
    ruta = caja(QStringLiteral("ruta"), 30);
    pas = caja(QStringLiteral("pas"), 5);

    auto check = [this](const QString& nombre, const QString& texto) {
        auto* c = new QCheckBox(texto, this);
        c->setObjectName(nombre);
        return c;
    };
    Check1 = check(QStringLiteral("Check1"), QStringLiteral("Traspasar también movimientos de caja."));
    Check2 = check(QStringLiteral("Check2"), QStringLiteral("Separar en distintas cuentas el IVA por su tipo."));
    Check3 = check(QStringLiteral("Check3"), QStringLiteral("Enlace con ContaPlus "));
    Check4 = check(QStringLiteral("Check4"), QStringLiteral("Vincular todos los clientes sobre la cta. pasantes"));
    Check5 = check(QStringLiteral("Check5"), QStringLiteral("Separar ventas por Servicios de Producción."));
    Check6 = check(QStringLiteral("Check6"), QStringLiteral("Separar Asientos de Cobro de Depósitos."));
    exter = check(QStringLiteral("exter"), QStringLiteral("El Programa ContaPlus no se encuentra en nuestra Red."));
    am = check(QStringLiteral("am"), QStringLiteral("Crear Cuenta Pasantes por Año y Mes"));

    // Frame of the link's accounts: two columns of label and box.
    Frame1 = new QGroupBox(QStringLiteral(" Datos del enlace contable "), this);
    Frame1->setObjectName(QStringLiteral("Frame1"));
    auto* datos = new QGridLayout(Frame1);
    datos->setHorizontalSpacing(8);
    datos->setVerticalSpacing(6);
    const struct {
        const char* panel;
        const char* texto;
        QLineEdit* caja;
    } filas[] = {
        {"SSPanel1", "Cod.Empresa", ce},
        {"SSPanel2", "Diario", di},
        {"SSPanel3", " SubCuenta de Agencias", cage},
        {"SSPanel4", " SubCuenta de Empresas /NA", cna},
        {"SSPanel5", " Cuenta de Depósitos", cgru},
        {"SSPanel6", " Cuenta de Clientes Pasantes", cpas},
        {"SSPanel7", " Cuenta de Ventas", cven},
        {"SSPanel8", " Cuenta de IVA Repercutido", civa},
        {"SSPanel9", " Cuenta de Caja Recepción", ccaj},
        {"SSPanel10", " Cuenta Tasa Turística", cTasa},
    };
    for (int i = 0; i < 10; ++i) {
        const int fila = i % 5, columna = (i / 5) * 3;
        QLabel* panel = panel_3d(QString::fromUtf8(filas[i].texto), QString::fromLatin1(filas[i].panel), Frame1);
        panel->setMinimumWidth(200);
        filas[i].caja->setParent(Frame1);
        datos->addWidget(panel, fila, columna);
        datos->addWidget(filas[i].caja, fila, columna + 1, Qt::AlignLeft);
    }
    datos->setColumnMinimumWidth(2, 14);
    datos->setColumnStretch(1, 1);
    datos->setColumnStretch(4, 1);

    // Frame of the ContaPlus options.
    pplus = new QGroupBox(QStringLiteral(" Opciones de ContaPlus "), this);
    pplus->setObjectName(QStringLiteral("pplus"));
    auto* opciones = new QGridLayout(pplus);
    opciones->setVerticalSpacing(6);
    Check4->setParent(pplus);
    dig->setParent(pplus);
    ruta->setParent(pplus);
    QLabel* SSPanel11 = panel_3d(QStringLiteral("Dígitos SubCuentas"), QStringLiteral("SSPanel11"), pplus);
    QLabel* SSPanel12 = panel_3d(QStringLiteral(" Ruta de Contaplus"), QStringLiteral("SSPanel12"), pplus);
    SSPanel11->setMinimumWidth(200);
    opciones->addWidget(Check4, 0, 0, 1, 3);
    opciones->addWidget(SSPanel11, 1, 0);
    opciones->addWidget(dig, 1, 1, Qt::AlignLeft);
    opciones->addWidget(SSPanel12, 2, 0);
    opciones->addWidget(ruta, 2, 1, 1, 2, Qt::AlignLeft);
    opciones->setColumnStretch(2, 1);

    auto* Line1 = new QFrame(this);
    Line1->setObjectName(QStringLiteral("Line1"));
    Line1->setFrameShape(QFrame::HLine);
    Line1->setFrameShadow(QFrame::Sunken);

    QLabel* SSPanel13 = panel_3d(QStringLiteral("Password"), QStringLiteral("SSPanel13"), this);
    SSPanel13->setMinimumWidth(120);
    SSPanel13->setFixedHeight(pas->sizeHint().height());

    Image2 = new Imagen(imagen_guardar(), QStringLiteral("Image2"), this);
    Image2->setToolTip(QStringLiteral("Guardar los cambios"));
    Image1 = new Imagen(imagen_salir(), QStringLiteral("Image1"), this);
    Image1->setToolTip(QStringLiteral("Salir"));

    auto* columna = new QVBoxLayout(this);
    columna->setContentsMargins(12, 12, 12, 10);
    columna->setSpacing(8);
    columna->addWidget(Frame1);
    auto* medio = new QHBoxLayout;
    auto* sueltas = new QVBoxLayout;
    sueltas->setSpacing(4);
    for (QCheckBox* c : {Check1, Check2, Check5, Check6, exter, am}) sueltas->addWidget(c);
    sueltas->addWidget(Check3);
    sueltas->addStretch();
    medio->addLayout(sueltas, 1);
    medio->addWidget(pplus, 1);
    columna->addLayout(medio);
    columna->addWidget(Line1);
    auto* pie = new QHBoxLayout;
    pie->addWidget(SSPanel13, 0, Qt::AlignVCenter);
    pie->addWidget(pas, 0, Qt::AlignVCenter);
    pie->addStretch();
    pie->addWidget(Image2);
    pie->addSpacing(10);
    pie->addWidget(Image1);
    columna->addLayout(pie);

    // Load: everything but the password locked; the invisible Check3 stays
    // enabled, the password step ticks it.
    Frame1->setEnabled(false);
    pplus->setEnabled(false);
    Image2->setEnabled(false);
    Check3->setEnabled(true);
    Check3->setVisible(false);
    exter->setChecked(false);
    am->setChecked(false);

    // Setting a box's state by code runs its handler as a click would.
    connect(Check2, &QCheckBox::toggled, this, &ConfigurarContaplus::cambio_check2);
    connect(Check3, &QCheckBox::toggled, this, &ConfigurarContaplus::cambio_check3);
    connect(Image2, &Imagen::pulsada, this, &ConfigurarContaplus::guardar);
    connect(Image1, &Imagen::pulsada, this, &ConfigurarContaplus::salir);

    new TeclasCaja(
        pas, [this] { confirmar_password(); }, {}, false);
    for (QLineEdit* c : {ce, di, cage, cna, cgru, cpas, cven, civa, ccaj, cTasa, dig})
        new TeclasCaja(c, [this, c] { confirmar(c); });
    new TeclasCaja(ruta, [this] { confirmar_ruta(); });

    // pas first in the tab order.
    QWidget* orden[] = {pas,   ce,     di,     cage,   cna,    cgru,  cpas, cven,   civa, ccaj,
                        cTasa, Check1, Check2, Check5, Check6, exter, am,   Check4, dig,  ruta};
    for (size_t i = 0; i + 1 < std::size(orden); ++i) setTabOrder(orden[i], orden[i + 1]);
    pas->setFocus();

    setFixedSize(sizeHint());
}

void ConfigurarContaplus::showEvent(QShowEvent* e)
{
    QDialog::showEvent(e);
    if (!colocada_) {
        colocada_ = true;
        colocar_ventana(this);
        pas->setFocus();
    }
}

// Escape does not close this window: only the exit picture does, so that
// unsaved edits are not dropped by a stray key.
void ConfigurarContaplus::keyPressEvent(QKeyEvent* e)
{
    if (e->key() == Qt::Key_Escape) {
        e->accept();
        return;
    }
    QDialog::keyPressEvent(e);
}

void ConfigurarContaplus::confirmar_password()
{
    pas->setText(pas->text().toUpper());
    if (pas->text() != CLAVE) {
        m.interlocutor.mensaje(QStringLiteral("Password incorrecta. Ud. no tiene acceso a este programa"),
                               QStringLiteral("Seguridad quelmira"), Icono::Informacion);
        pas->clear();
        pas->setFocus();
        return;
    }
    desbloquear();
}

// The boxes refilled from the settings in memory: a second correct entry
// drops whatever was edited and not saved.
void ConfigurarContaplus::desbloquear()
{
    Frame1->setEnabled(true);
    Image2->setEnabled(true);

    const AjustesEnlace& a = m;
    poner(ce, a.empresa, 4);
    poner(di, a.diario, 1);
    poner(cage, a.subcuenta_agencias, 4);
    poner(cna, a.subcuenta_empresas, 4);
    poner(cgru, a.cuenta_depositos, 9);
    poner(cpas, a.cuenta_pasantes, 9);
    poner(cven, a.cuenta_ventas, 9);
    poner(civa, a.cuenta_iva, 9);
    poner(ccaj, a.cuenta_caja, 9);
    poner(cTasa, a.cuenta_tasa, 9);
    poner(dig, QString::number(a.digitos), 1);
    poner(ruta, a.ruta_contaplus, 30);

    Check3->setChecked(true);
    pplus->setEnabled(true);
    Check1->setChecked(!a.sin_caja);
    Check2->setChecked(a.separar_iva);
    Check4->setChecked(a.todos_pasantes);
    Check5->setChecked(a.separar_ventas);
    Check6->setChecked(a.separar_depositos);
    exter->setChecked(a.externa);
    am->setChecked(a.pasantes_aaaamm);
}

int ConfigurarContaplus::longitud_esperada(QLineEdit* c) const
{
    if (c == cage || c == cna || c == cven) return 4;
    if (c == civa) return Check2->isChecked() ? 8 : 9;
    return 9;  // cgru, cpas, ccaj, cTasa
}

QWidget* ConfigurarContaplus::siguiente(QLineEdit* c) const
{
    if (c == cage) return cna;
    if (c == cna) return cgru;
    if (c == cgru) return cpas;
    if (c == cpas) return cven;
    if (c == cven) return civa;
    if (c == civa) return ccaj;
    if (c == ccaj) return cTasa;
    return Check1;  // cTasa
}

void ConfigurarContaplus::confirmar(QLineEdit* c)
{
    const QString texto = c->text();
    if (!vb::IsNumeric(texto)) {
        m.interlocutor.mensaje(QStringLiteral("Tiene que ser numérico"),
                               c == ce ? QStringLiteral("atención") : QStringLiteral("Atención"), Icono::Informacion);
        c->clear();
        c->setFocus();
        return;
    }
    if (c == ce) {
        ce->setText(vb::Format(vb::Val(texto), QStringLiteral("000")));
        di->setFocus();
        return;
    }
    if (c == di) {
        pas->setFocus();
        return;
    }
    if (c == dig) {
        if (texto == QLatin1String("9") || texto == QLatin1String("8"))
            ajustar_cuentas(texto == QLatin1String("9") ? 9 : 8);
        ruta->setFocus();
        return;
    }

    const int n = longitud_esperada(c);
    if (texto.size() != n) {
        const QString pregunta =
            c == civa ? QStringLiteral("la longitud de esta Subcuenta es de ") + QString::number(n) +
                            QStringLiteral(" dígitos. Ud ha introducido una longitud incorrecta. ¿Desea seguir?")
                      : pregunta_longitud(n);
        if (m.interlocutor.mensaje(pregunta, QStringLiteral("Atención"), Icono::Informacion, Botones::SiNo) !=
            Respuesta::Si) {
            c->setFocus();
            return;
        }
    }
    siguiente(c)->setFocus();
}

// An account that already has the length asked for is left alone: the
// 9-digit rule would put a zero in its fourth place (475300000 would become
// 475000000), and the clerk who only passes through the digits box with
// Enter must not change the accounts.
void ConfigurarContaplus::ajustar_cuentas(qint16 n)
{
    for (QLineEdit* c : {cgru, cpas, cven, civa, ccaj, cTasa})
        if (c->text().size() != n) c->setText(ajustar_subcuenta(c->text(), n));
}

void ConfigurarContaplus::confirmar_ruta()
{
    if (ruta->text().isEmpty()) ruta->setText(QStringLiteral("C:\\ContaEli"));
    if (ruta->text().endsWith(QLatin1Char('\\'))) ruta->setText(ruta->text().chopped(1));
}

void ConfigurarContaplus::cambio_check2(bool marcada)
{
    const QString texto = civa->text();
    if (marcada) {
        if (texto.size() > 8) civa->setText(texto.left(8));
    } else if (texto.size() < 9) {
        // A text longer than 9 is left as it is: padding only lengthens.
        civa->setText(texto + QString(9 - texto.size(), QLatin1Char('0')));
    }
}

void ConfigurarContaplus::cambio_check3(bool marcada)
{
    pplus->setEnabled(marcada);
    if (marcada) dig->setFocus();
}

void ConfigurarContaplus::guardar()
{
    // The row is written from the boxes as they stand; the settings in memory
    // stay as they are until the next load.
    AjustesEnlace a;
    a.subcuenta_agencias = cage->text();
    a.subcuenta_empresas = cna->text();
    a.cuenta_depositos = cgru->text();
    a.cuenta_iva = civa->text();
    a.cuenta_ventas = cven->text();
    a.cuenta_caja = ccaj->text();
    a.empresa = ce->text();
    a.diario = di->text();
    a.sin_caja = !Check1->isChecked();
    a.separar_iva = Check2->isChecked();
    a.ruta_contaplus = ruta->text();
    a.todos_pasantes = Check4->isChecked();
    a.separar_ventas = Check5->isChecked();
    a.separar_depositos = Check6->isChecked();
    a.externa = exter->isChecked();
    a.pasantes_aaaamm = am->isChecked();
    a.cuenta_tasa = cTasa->text();
    a.cuenta_pasantes = cpas->text();
    try {
        a.digitos = digitos_del_texto(dig->text());
        m.guardar_cc(a);
    } catch (const Fallo& f) {
        m.interlocutor.mensaje(QStringLiteral("No se han podido guardar los cambios.\n") + f.descripcion(),
                               QStringLiteral("Atención"), Icono::Critico);
        return;
    }
    m.interlocutor.mensaje(QStringLiteral("Cambios realizados correctamente"));
}

void ConfigurarContaplus::salir()
{
    reject();
}
