#include "windows/Controles.h"

#include <QEvent>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QScreen>
#include <QTimer>

QLabel* panel_3d(const QString& texto, const QString& nombre, QWidget* padre)
{
    auto* panel = new QLabel(texto, padre);
    panel->setObjectName(nombre);
    panel->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    panel->setLineWidth(1);
    panel->setMargin(2);
    panel->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    return panel;
}

Imagen::Imagen(const QPixmap& dibujo, const QString& nombre, QWidget* padre) : QLabel(padre)
{
    setObjectName(nombre);
    setPixmap(dibujo);
    setAlignment(Qt::AlignCenter);
    setCursor(Qt::PointingHandCursor);
}

void Imagen::mouseReleaseEvent(QMouseEvent* e)
{
    QLabel::mouseReleaseEvent(e);
    if (e->button() == Qt::LeftButton && rect().contains(e->position().toPoint())) emit pulsada();
}

TeclasCaja::TeclasCaja(QLineEdit* caja, std::function<void()> confirmar, std::function<void()> escapar,
                       bool seleccionar)
    : QObject(caja), caja_(caja), confirmar_(std::move(confirmar)), escapar_(std::move(escapar)),
      seleccionar_(seleccionar)
{
    caja->installEventFilter(this);
}

bool TeclasCaja::eventFilter(QObject* objeto, QEvent* evento)
{
    if (objeto != caja_) return false;
    switch (evento->type()) {
    case QEvent::KeyPress: {
        const auto* tecla = static_cast<QKeyEvent*>(evento);
        switch (tecla->key()) {
        case Qt::Key_Return:
        case Qt::Key_Enter:
        case Qt::Key_Tab:
            if (confirmar_) confirmar_();
            return true;
        case Qt::Key_Escape:
            if (!escapar_) return false;
            escapar_();
            return true;
        default: return false;
        }
    }
    case QEvent::FocusIn:
        if (seleccionar_ && !caja_->text().isEmpty()) {
            caja_->selectAll();
            // A click places the caret after the focus arrives: select again
            // once the click is done with.
            if (static_cast<QFocusEvent*>(evento)->reason() == Qt::MouseFocusReason) {
                QLineEdit* caja = caja_;
                QTimer::singleShot(0, caja, [caja] {
                    if (caja->hasFocus()) caja->selectAll();
                });
            }
        }
        return false;
    default: return false;
    }
}

void colocar_ventana(QWidget* ventana)
{
    QScreen* pantalla = ventana->screen() ? ventana->screen() : QGuiApplication::primaryScreen();
    if (!pantalla) return;
    const QRect zona = pantalla->geometry();
    const QSize tamano = ventana->frameGeometry().size();
    ventana->move(zona.x() + (zona.width() - tamano.width()) / 2, zona.y() + (zona.height() - tamano.height()) / 3);
}
