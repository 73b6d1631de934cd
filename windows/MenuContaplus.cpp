#include "windows/MenuContaplus.h"

#include "windows/ConfigurarContaplus.h"
#include "windows/Controles.h"
#include "windows/Imagenes.h"
#include "windows/TraspasoContaplus.h"

#include "platform/sistema/Fallo.h"

#include <QBoxLayout>
#include <QEvent>
#include <QMouseEvent>
#include <QStatusBar>
#include <QTimer>

namespace {

// &H00FFFFFF and &H0080C0FF of the original colours (BGR).
const QColor BLANCO(255, 255, 255);
const QColor RESALTADO(255, 192, 128);

QLabel* opcion(const QString& texto, const QString& nombre, const QString& ayuda, QWidget* padre)
{
    auto* etiqueta = new QLabel(texto, padre);
    etiqueta->setObjectName(nombre);
    etiqueta->setToolTip(ayuda);
    QFont letra(QStringLiteral("Verdana"));
    letra.setPointSize(12);
    etiqueta->setFont(letra);
    etiqueta->setAutoFillBackground(true);
    QPalette colores = etiqueta->palette();
    colores.setColor(QPalette::Window, BLANCO);
    colores.setColor(QPalette::WindowText, QColor(20, 40, 80));
    etiqueta->setPalette(colores);
    etiqueta->setFrameStyle(QFrame::Box | QFrame::Plain);
    etiqueta->setMargin(6);
    etiqueta->setMinimumWidth(210);
    etiqueta->setCursor(Qt::PointingHandCursor);
    etiqueta->setMouseTracking(true);
    return etiqueta;
}

}  // namespace

MenuContaplus::MenuContaplus(Module1& m, QWidget* padre) : QMainWindow(padre), m(m)
{
    setObjectName(QStringLiteral("menu_contaplus"));
    setWindowTitle(QStringLiteral("Menu Enlace Quelmira a ContaPlus."));

    fondo = new QWidget(this);
    fondo->setObjectName(QStringLiteral("fondo"));
    fondo->setAutoFillBackground(true);
    QPalette colores = fondo->palette();
    colores.setColor(QPalette::Window, QColor(232, 238, 246));
    fondo->setPalette(colores);
    fondo->setMouseTracking(true);
    setCentralWidget(fondo);

    auto* Image1 = new QLabel(fondo);
    Image1->setObjectName(QStringLiteral("Image1"));
    Image1->setPixmap(imagen_cabecera());
    auto* Image3 = new QLabel(fondo);
    Image3->setObjectName(QStringLiteral("Image3"));
    Image3->setPixmap(imagen_configuracion());
    auto* Image4 = new QLabel(fondo);
    Image4->setObjectName(QStringLiteral("Image4"));
    Image4->setPixmap(imagen_traspaso());
    auto* Image5 = new QLabel(fondo);
    Image5->setObjectName(QStringLiteral("Image5"));
    Image5->setPixmap(imagen_pie());

    Label1 = opcion(QStringLiteral("Configuración"), QStringLiteral("Label1"),
                    QStringLiteral("Configurar los parámetros del enlace"), fondo);
    Label2 = opcion(QStringLiteral("Traspaso"), QStringLiteral("Label2"),
                    QStringLiteral("realizar el traspaso a contaplus"), fondo);

    auto* columna = new QVBoxLayout(fondo);
    columna->setContentsMargins(18, 14, 18, 10);
    columna->setSpacing(12);
    columna->addWidget(Image1, 0, Qt::AlignHCenter);
    for (auto [imagen, etiqueta] : {std::pair{Image3, Label1}, std::pair{Image4, Label2}}) {
        auto* fila = new QHBoxLayout;
        fila->setSpacing(12);
        fila->addStretch();
        fila->addWidget(imagen);
        fila->addWidget(etiqueta);
        fila->addStretch();
        columna->addLayout(fila);
    }
    columna->addWidget(Image5, 0, Qt::AlignHCenter);

    for (QWidget* w : {static_cast<QWidget*>(fondo), static_cast<QWidget*>(Label1), static_cast<QWidget*>(Label2),
                       static_cast<QWidget*>(Image1), static_cast<QWidget*>(Image3), static_cast<QWidget*>(Image4),
                       static_cast<QWidget*>(Image5)}) {
        w->setMouseTracking(true);
        w->installEventFilter(this);
    }

    auto* barra = statusBar();
    barra->setObjectName(QStringLiteral("barra"));
    barra->setSizeGripEnabled(false);
    panel1 = new QLabel(m.panel1.isEmpty() ? QStringLiteral("versión 5.04.001") : m.panel1, barra);
    panel1->setObjectName(QStringLiteral("panel1"));
    panel2 = new QLabel(m.panel2, barra);
    panel2->setObjectName(QStringLiteral("panel2"));
    for (QLabel* panel : {panel1, panel2}) {
        panel->setFrameStyle(QFrame::Panel | QFrame::Sunken);
        panel->setMargin(1);
    }
    barra->addWidget(panel1, 1);
    barra->addWidget(panel2, 2);

    setFixedSize(sizeHint().expandedTo(QSize(360, 0)));
}

// The window becomes active when it first comes up and whenever one of its
// modal windows closes. Those two moments are taken as they happen, not from
// the window system's activation, which some desktops never send to a new
// window and which also follows every message box and every switch from
// another program.
void MenuContaplus::showEvent(QShowEvent* e)
{
    QMainWindow::showEvent(e);
    if (!colocada_) {
        colocada_ = true;
        colocar_ventana(this);
        QTimer::singleShot(0, this, [this] { activar(); });
    }
}

// The settings are read again on every activation, so that what the
// settings window saved reaches the next transfer.
void MenuContaplus::activar()
{
    try {
        m.activar();
        ++activaciones_;
    } catch (const Fallo& f) {
        m.interlocutor.mensaje(QStringLiteral("No se han podido leer los ajustes del enlace.\n") + f.descripcion(),
                               QStringLiteral("Atención"), Icono::Critico);
    }
    panel2->setText(m.panel2);
}

void MenuContaplus::resaltar(QLabel* etiqueta, bool encendida)
{
    QPalette colores = etiqueta->palette();
    colores.setColor(QPalette::Window, encendida ? RESALTADO : BLANCO);
    etiqueta->setPalette(colores);
    QFont letra = etiqueta->font();
    letra.setBold(encendida);
    etiqueta->setFont(letra);
}

bool MenuContaplus::eventFilter(QObject* objeto, QEvent* evento)
{
    switch (evento->type()) {
    case QEvent::MouseMove:
    case QEvent::Enter:
        if (objeto == Label1 || objeto == Label2) {
            // Going straight from one label to the other leaves the first lit
            // until the mouse crosses the background or a picture.
            resaltar(static_cast<QLabel*>(objeto), true);
            return evento->type() == QEvent::MouseMove;
        }
        resaltar(Label1, false);
        resaltar(Label2, false);
        return false;
    case QEvent::MouseButtonRelease: {
        const auto* raton = static_cast<QMouseEvent*>(evento);
        if (raton->button() != Qt::LeftButton) return false;
        auto* w = static_cast<QWidget*>(objeto);
        if (!w->rect().contains(raton->position().toPoint())) return false;
        if (objeto == Label1) {
            abrir_configuracion();
            return true;
        }
        if (objeto == Label2) {
            abrir_traspaso();
            return true;
        }
        return false;
    }
    default: return false;
    }
}

void MenuContaplus::abrir(QDialog& ventana)
{
    if (al_abrir) al_abrir(&ventana);
    ventana.exec();
    activar();
}

void MenuContaplus::abrir_configuracion()
{
    ConfigurarContaplus ventana(m, this);
    abrir(ventana);
}

void MenuContaplus::abrir_traspaso()
{
    TraspasoContaplus ventana(m, this);
    abrir(ventana);
}
