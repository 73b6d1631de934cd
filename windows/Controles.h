#pragma once
// Small pieces shared by the three windows: the 3-D label panel, a picture
// that can be clicked, the Enter/Tab handling of the text boxes and the
// placement of a window on the screen.
#include <QLabel>
#include <QLineEdit>
#include <QObject>
#include <functional>

// A label drawn sunken, as the forms' 3-D panels.
QLabel* panel_3d(const QString& texto, const QString& nombre, QWidget* padre);

// A picture; a click on it emits pulsada(). Disabled, it is drawn greyed
// and takes no clicks.
class Imagen : public QLabel {
    Q_OBJECT
public:
    Imagen(const QPixmap& dibujo, const QString& nombre, QWidget* padre);

signals:
    void pulsada();

protected:
    void mouseReleaseEvent(QMouseEvent* e) override;
};

// The key handling of a text box: Enter, Return and Tab go to `confirmar`
// and the key is discarded (Tab does not move the focus by itself); Escape
// goes to `escapar` when one is given. Gaining the focus selects the whole
// text when there is any.
class TeclasCaja : public QObject {
    Q_OBJECT
public:
    TeclasCaja(QLineEdit* caja, std::function<void()> confirmar, std::function<void()> escapar = {},
               bool seleccionar = true);

    bool eventFilter(QObject* objeto, QEvent* evento) override;

private:
    QLineEdit* caja_;
    std::function<void()> confirmar_, escapar_;
    bool seleccionar_;
};

// Centred across the screen, one third of the spare height down.
void colocar_ventana(QWidget* ventana);
