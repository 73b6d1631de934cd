#pragma once
// configurar_contaplus: the link settings window. Locked until the settings
// password is typed in `pas`; then the boxes show the settings in memory,
// each entry is checked as the clerk leaves its box with Enter or Tab, and
// the save picture writes the row of `cc`. Closing never saves; the settings
// in memory change when the menu becomes active again.
#include "startup/Module1.h"

#include <QCheckBox>
#include <QDialog>
#include <QGroupBox>
#include <QLineEdit>

class Imagen;

class ConfigurarContaplus : public QDialog {
    Q_OBJECT
public:
    explicit ConfigurarContaplus(Module1& m, QWidget* padre = nullptr);

    // The account boxes brought to a subaccount length of 8 or 9.
    void ajustar_cuentas(qint16 n);

    // What a click on Image2 and on Image1 do.
    void guardar();
    void salir();

protected:
    void showEvent(QShowEvent* e) override;
    void keyPressEvent(QKeyEvent* e) override;

private:
    QLineEdit* caja(const QString& nombre, int maximo);
    void confirmar_password();
    void desbloquear();
    void confirmar(QLineEdit* caja);
    void confirmar_ruta();
    void cambio_check2(bool marcada);
    void cambio_check3(bool marcada);
    QWidget* siguiente(QLineEdit* caja) const;
    int longitud_esperada(QLineEdit* caja) const;

    Module1& m;

    QGroupBox* Frame1;
    QGroupBox* pplus;
    QLineEdit *ce, *di, *cage, *cna, *cgru, *cpas, *cven, *civa, *ccaj, *cTasa, *dig, *ruta, *pas;
    QCheckBox *Check1, *Check2, *Check3, *Check4, *Check5, *Check6, *exter, *am;
    Imagen* Image1;
    Imagen* Image2;
    bool colocada_ = false;
};
