#pragma once
// menu_contaplus: the first window. The start-up has already run
// (Module1::cargar); when the window comes up, and again each time the clerk
// returns to it from one of its windows, the link settings are read again and
// the connection is shown in the status bar. Two labels that light up under
// the mouse open the settings and the transfer windows, each modal.
#include "startup/Module1.h"

#include <QDialog>
#include <QLabel>
#include <QMainWindow>
#include <functional>

class MenuContaplus : public QMainWindow {
    Q_OBJECT
public:
    explicit MenuContaplus(Module1& m, QWidget* padre = nullptr);

    // The two choices, as a click on Label1 / Label2 makes them. Each returns
    // when its window has been closed.
    void abrir_configuracion();
    void abrir_traspaso();

    // How many times the settings have been loaded (one per activation).
    int activaciones() const { return activaciones_; }

    // Before the modal window is shown: lets the screenshots and the tests
    // drive it while it runs its own event loop.
    std::function<void(QDialog*)> al_abrir;

protected:
    bool eventFilter(QObject* objeto, QEvent* evento) override;
    void showEvent(QShowEvent* e) override;

private:
    void activar();
    void resaltar(QLabel* etiqueta, bool encendida);
    void abrir(QDialog& ventana);

    Module1& m;
    QLabel* Label1;
    QLabel* Label2;
    QLabel* panel1;
    QLabel* panel2;
    QWidget* fondo;
    bool colocada_ = false;
    int activaciones_ = 0;
};
