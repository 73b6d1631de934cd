#pragma once
// traspaso_contaplus: the transfer window. It owns the transfer's state (one
// Traspaso), prepares the ContaPlus working files when it becomes active,
// checks the two dates as the clerk leaves each box and starts the run from
// the end box. While the run goes on the window shows what it is doing, and
// Escape asks whether to stop it (the only key it takes then). "Vista previa"
// (or F5) makes a dry run of the range typed, which changes nothing.
#include "startup/Module1.h"
#include "transfer/Traspaso.h"
#include "transfer/VistaTraspaso.h"

#include <QDialog>
#include <QElapsedTimer>
#include <QLineEdit>
#include <functional>

class QLabel;
class QProgressBar;
class QPushButton;

class TraspasoContaplus : public QDialog, public VistaTraspaso {
    Q_OBJECT
public:
    explicit TraspasoContaplus(Module1& m, QWidget* padre = nullptr);
    ~TraspasoContaplus() override;

    Traspaso& traspaso() { return t; }
    // Opens the run's report when the clerk asks to see it (the desktop's
    // browser; tests put their own).
    std::function<void(const QString& ruta_local)> abrir_informe;
    bool en_curso() const { return en_curso_; }

    // VistaTraspaso.
    void vaciar_fechas() override;
    void mostrar_fecha(bool hasta, const QString& texto) override;
    void puntero_espera(bool espera) override;
    void cerrar() override;
    // The run's phase and how far it has got (total 0: not known).
    void progreso(const QString& fase, qint64 hecho, qint64 total) override;

protected:
    bool eventFilter(QObject* objeto, QEvent* evento) override;
    void showEvent(QShowEvent* e) override;

private:
    void activar();
    void confirmar_de();
    void confirmar_hasta_caja();
    void ejecutar();
    void vista_previa();
    void ofrecer_informe(const QString& ruta);
    // Around a run: input kept out but Escape, which asks for a stop.
    void empezar_run();
    void terminar_run();
    bool preguntar_detencion();

    Module1& m;
    Traspaso t;
    QLineEdit* de;
    QLineEdit* hasta;
    QLabel* fase_;
    QProgressBar* barra_;
    QPushButton* previa_;
    QElapsedTimer reloj_;
    QString ultima_fase_;
    bool colocada_ = false;
    bool en_curso_ = false;
    bool esperando_ = false;  // the hourglass is up
    bool filtrando_ = false;  // user input kept out (a run goes on)
    bool escape_ = false;     // Escape pressed during the run
};
