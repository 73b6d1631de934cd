#include "windows/TraspasoContaplus.h"

#include "windows/Controles.h"
#include "windows/Imagenes.h"

#include "platform/sistema/Fallo.h"
#include "transfer/FechasTraspaso.h"
#include "transfer/Simulacion.h"

#include <QApplication>
#include <QBoxLayout>
#include <QDesktopServices>
#include <QDir>
#include <QEvent>
#include <QGridLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QProgressBar>
#include <QPushButton>
#include <QShortcut>
#include <QTimer>
#include <QUrl>
#include <QWindow>

TraspasoContaplus::TraspasoContaplus(Module1& m, QWidget* padre) : QDialog(padre), m(m), t(m, *this)
{
    abrir_informe = [](const QString& ruta) { QDesktopServices::openUrl(QUrl::fromLocalFile(ruta)); };
    setObjectName(QStringLiteral("traspaso_contaplus"));
    setWindowTitle(QStringLiteral("Traspaso de facturas a ContaPlus."));
    setModal(true);

    auto fecha = [this](const QString& nombre) {
        auto* caja = new QLineEdit(this);
        caja->setObjectName(nombre);
        QFont letra = caja->font();
        letra.setPointSize(letra.pointSize() + 2);
        caja->setFont(letra);
        caja->setFixedWidth(QFontMetrics(letra).horizontalAdvance(QStringLiteral("00/00/00000")) + 16);
        caja->setToolTip(QStringLiteral("ddmmaaaa"));
        return caja;
    };
    de = fecha(QStringLiteral("de"));
    hasta = fecha(QStringLiteral("hasta"));

    auto* SSPanel2 = panel_3d(QStringLiteral("Desde"), QStringLiteral("SSPanel2"), this);
    auto* SSPanel3 = panel_3d(QStringLiteral("Hasta"), QStringLiteral("SSPanel3"), this);
    for (QLabel* panel : {SSPanel2, SSPanel3}) {
        panel->setMinimumWidth(80);
        panel->setAlignment(Qt::AlignCenter);
    }
    auto* Image3 = new QLabel(this);
    Image3->setObjectName(QStringLiteral("Image3"));
    Image3->setPixmap(imagen_calendario());
    auto* Label1 = new QLabel(QStringLiteral("Version: 5.05.001"), this);
    Label1->setObjectName(QStringLiteral("Label1"));
    QFont pequena = Label1->font();
    pequena.setPointSize(qMax(6, pequena.pointSize() - 1));
    Label1->setFont(pequena);

    // What the run is doing; shown only while it runs, its room kept.
    fase_ = new QLabel(this);
    fase_->setObjectName(QStringLiteral("fase"));
    barra_ = new QProgressBar(this);
    barra_->setObjectName(QStringLiteral("progreso"));
    barra_->setTextVisible(true);
    for (QWidget* w : {static_cast<QWidget*>(fase_), static_cast<QWidget*>(barra_)}) {
        QSizePolicy p = w->sizePolicy();
        p.setRetainSizeWhenHidden(true);
        w->setSizePolicy(p);
        w->hide();
    }

    // A dry run of the range; it takes no focus, so Tab still goes from
    // one date box to the other.
    previa_ = new QPushButton(QStringLiteral("Vista previa"), this);
    previa_->setObjectName(QStringLiteral("previa"));
    previa_->setFocusPolicy(Qt::NoFocus);
    previa_->setAutoDefault(false);
    previa_->setToolTip(QStringLiteral("F5: simula el traspaso sin escribir nada"));
    connect(previa_, &QPushButton::clicked, this, [this] { vista_previa(); });
    auto* f5 = new QShortcut(QKeySequence(Qt::Key_F5), this);
    connect(f5, &QShortcut::activated, this, [this] { vista_previa(); });
    t.pedir_detencion = [this] { return preguntar_detencion(); };

    auto* rejilla = new QGridLayout;
    rejilla->setHorizontalSpacing(10);
    rejilla->setVerticalSpacing(8);
    rejilla->addWidget(Image3, 0, 0, 2, 1, Qt::AlignCenter);
    rejilla->addWidget(SSPanel2, 0, 1);
    rejilla->addWidget(de, 0, 2);
    rejilla->addWidget(SSPanel3, 1, 1);
    rejilla->addWidget(hasta, 1, 2);
    rejilla->addWidget(previa_, 0, 3, 2, 1, Qt::AlignVCenter);
    rejilla->setColumnMinimumWidth(0, 70);

    auto* columna = new QVBoxLayout(this);
    columna->setContentsMargins(16, 16, 16, 8);
    columna->setSpacing(8);
    columna->addLayout(rejilla);
    columna->addSpacing(4);
    columna->addWidget(fase_);
    columna->addWidget(barra_);
    columna->addWidget(Label1, 0, Qt::AlignRight);

    new TeclasCaja(
        de, [this] { confirmar_de(); }, [this] { cerrar(); }, false);
    new TeclasCaja(
        hasta, [this] { confirmar_hasta_caja(); }, [this] { de->setFocus(); }, false);
    de->installEventFilter(this);

    setTabOrder(de, hasta);
    setFixedSize(sizeHint().expandedTo(QSize(340, 0)));
}

TraspasoContaplus::~TraspasoContaplus()
{
    if (esperando_) QApplication::restoreOverrideCursor();
}

void TraspasoContaplus::mostrar_fecha(bool en_hasta, const QString& texto)
{
    (en_hasta ? hasta : de)->setText(texto);
}

void TraspasoContaplus::vaciar_fechas()
{
    de->clear();
    hasta->clear();
    de->setFocus();
}

void TraspasoContaplus::puntero_espera(bool espera)
{
    if (espera == esperando_) return;
    esperando_ = espera;
    if (espera)
        QApplication::setOverrideCursor(Qt::WaitCursor);
    else
        QApplication::restoreOverrideCursor();
}

void TraspasoContaplus::cerrar()
{
    // From inside an event of the window: close once it has returned.
    QTimer::singleShot(0, this, [this] { reject(); });
}

// The window becomes active once, when it comes up over the menu: it is
// modal, so no other window of the program can take its place. The working
// files are not prepared again when it gets the focus back from one of its
// own message boxes or from another program: with `externa` that would copy
// empty templates over the journal that the last run has just written.
void TraspasoContaplus::showEvent(QShowEvent* e)
{
    QDialog::showEvent(e);
    if (!colocada_) {
        colocada_ = true;
        colocar_ventana(this);
        // Once the window is on screen and its event loop runs, so that a
        // failure can close it.
        QTimer::singleShot(0, this, [this] { activar(); });
    }
}

void TraspasoContaplus::activar()
{
    bool lista = false;
    try {
        lista = t.activar();
    } catch (const Fallo& f) {
        m.interlocutor.mensaje(QStringLiteral("No se han podido preparar los ficheros de ContaPlus.\n") +
                                   f.descripcion(),
                               QStringLiteral("Atención"), Icono::Critico);
    }
    if (!lista) {
        cerrar();
        return;
    }
    de->setFocus();
}

bool TraspasoContaplus::eventFilter(QObject* objeto, QEvent* evento)
{
    // During a run every key and click on this window is dropped but Escape,
    // which is remembered and asked about right after the next commit. The
    // message boxes of the run are windows of their own and take input.
    auto* widget = qobject_cast<QWidget*>(objeto);
    const bool aqui =
        objeto == static_cast<QObject*>(windowHandle()) || (widget && (widget == this || isAncestorOf(widget)));
    if (filtrando_ && aqui && dynamic_cast<QInputEvent*>(evento)) {
        if (evento->type() == QEvent::KeyPress && static_cast<QKeyEvent*>(evento)->key() == Qt::Key_Escape)
            escape_ = true;
        return true;
    }
    // A click in the start box begins a new range: both boxes emptied.
    if (objeto == de && evento->type() == QEvent::MouseButtonPress) {
        de->clear();
        hasta->clear();
    }
    return QDialog::eventFilter(objeto, evento);
}

void TraspasoContaplus::confirmar_de()
{
    QString texto = de->text();
    const ResultadoFecha r = confirmar_desde(t, texto);
    de->setText(texto);
    if (r == ResultadoFecha::Aceptada)
        hasta->setFocus();
    else
        de->setFocus();
}

void TraspasoContaplus::confirmar_hasta_caja()
{
    QString texto = hasta->text();
    const ResultadoFecha r = confirmar_hasta(t, texto);
    hasta->setText(texto);
    switch (r) {
    case ResultadoFecha::Aceptada: ejecutar(); break;
    case ResultadoFecha::SinInicio: de->setFocus(); break;
    case ResultadoFecha::Incorrecta:
    case ResultadoFecha::AnteriorALaInicial: hasta->setFocus(); break;
    }
}

void TraspasoContaplus::empezar_run()
{
    en_curso_ = true;
    ultima_fase_.clear();
    reloj_.invalidate();
    escape_ = false;
    filtrando_ = true;
    qApp->installEventFilter(this);
}

void TraspasoContaplus::terminar_run()
{
    qApp->removeEventFilter(this);
    filtrando_ = false;
    escape_ = false;
    puntero_espera(false);
    fase_->hide();
    barra_->hide();
    en_curso_ = false;
}

bool TraspasoContaplus::preguntar_detencion()
{
    if (!escape_) return false;
    escape_ = false;
    return m.interlocutor.mensaje(QStringLiteral("¿Desea detener el traspaso?"), QStringLiteral("Traspaso a CONTAPLUS"),
                                  Icono::Pregunta, Botones::SiNo) == Respuesta::Si;
}

void TraspasoContaplus::ejecutar()
{
    empezar_run();
    FinTraspaso fin = FinTraspaso::Fallido;
    try {
        fin = t.iniciar2();
    } catch (const Fallo& f) {
        puntero_espera(false);
        m.interlocutor.mensaje(QStringLiteral("El traspaso se ha interrumpido.\n") + f.descripcion(),
                               QStringLiteral("Traspaso a CONTAPLUS"), Icono::Critico);
    }
    terminar_run();
    // The report is offered after a run that posted; the one with no
    // invoices has said all there was to say.
    if (!t.informe.isEmpty() &&
        (fin == FinTraspaso::Correcto || fin == FinTraspaso::Fallido || fin == FinTraspaso::Detenido))
        ofrecer_informe(t.informe);
}

// "¿Desea ver el informe del traspaso?", and on Yes the report in the
// system's browser.
void TraspasoContaplus::ofrecer_informe(const QString& ruta)
{
    if (m.interlocutor.mensaje(QStringLiteral("¿Desea ver el informe del traspaso?"),
                               QStringLiteral("Traspaso a CONTAPLUS"), Icono::Pregunta, Botones::SiNo) == Respuesta::Si)
        abrir_informe(ruta);
}

void TraspasoContaplus::vista_previa()
{
    if (en_curso_) return;
    // Both boxes checked as Enter checks them (a box already accepted shows
    // dd/mm/aaaa: read back as typed); the dry run starts only from a valid
    // range.
    QString texto = de->text().remove(QLatin1Char('/'));
    ResultadoFecha r = confirmar_desde(t, texto);
    de->setText(texto);
    if (r != ResultadoFecha::Aceptada) {
        de->setFocus();
        return;
    }
    texto = hasta->text().remove(QLatin1Char('/'));
    r = confirmar_hasta(t, texto);
    hasta->setText(texto);
    if (r != ResultadoFecha::Aceptada) {
        (r == ResultadoFecha::SinInicio ? de : hasta)->setFocus();
        return;
    }
    empezar_run();
    Simulacion s;
    try {
        OpcionesSimulacion o;
        o.activar = false;
        s = simular(t, o);
    } catch (const Fallo& f) {
        m.interlocutor.mensaje(QStringLiteral("La simulación se ha interrumpido.\n") + f.descripcion(),
                               QStringLiteral("Traspaso a CONTAPLUS"), Icono::Critico);
    }
    terminar_run();
    if (!s.informe.isEmpty()) {
        m.interlocutor.mensaje(QStringLiteral("Simulación: no se ha escrito nada. El informe está en ") +
                                   QDir::toNativeSeparators(s.informe) + QStringLiteral("."),
                               QStringLiteral("Vista previa"), Icono::Informacion);
        ofrecer_informe(s.informe);
    }
}

void TraspasoContaplus::progreso(const QString& fase, qint64 hecho, qint64 total)
{
    // Repainting costs more than a row: at most every tenth of a second,
    // and at each new phase and at its end.
    const bool nueva = fase != ultima_fase_;
    if (!nueva && reloj_.isValid() && reloj_.elapsed() < 100 && !(total > 0 && hecho >= total)) return;
    reloj_.start();
    ultima_fase_ = fase;

    fase_->setText(total > 0 ? QStringLiteral("%1: %2 de %3").arg(fase).arg(hecho).arg(total) : fase);
    if (total > 0) {
        barra_->setRange(0, 1000);
        barra_->setValue(int(qBound(qint64(0), hecho * 1000 / total, qint64(1000))));
        barra_->setFormat(QStringLiteral("%p%"));
    } else {
        barra_->setRange(0, 0);  // busy: how far is not known
    }
    fase_->show();
    barra_->show();
    // Input reaches the filter, which lets only Escape count.
    QCoreApplication::processEvents(filtrando_ ? QEventLoop::AllEvents : QEventLoop::ExcludeUserInputEvents);
}
