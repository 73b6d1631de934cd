#include "windows/Capturas.h"

#include "windows/MenuContaplus.h"

#include <QApplication>
#include <QDialog>
#include <QDir>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPixmap>
#include <QTimer>
#include <cstdio>

namespace {

// Time for the window to be shown, activated and painted.
constexpr int PAUSA_MS = 600;

void guardar(QWidget* ventana, const QString& archivo)
{
    if (!ventana->grab().save(archivo))
        std::fprintf(stderr, "%s\n", qPrintable(QStringLiteral("No se ha podido guardar ") + archivo));
}

// Typed as the clerk does: the text, then Enter.
void teclear(QWidget* ventana, const QString& caja, const QString& texto, bool confirmar = true)
{
    auto* c = ventana->findChild<QLineEdit*>(caja);
    if (!c) return;
    c->setFocus();
    c->setText(texto);
    if (!confirmar) return;
    QKeyEvent pulsa(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier, QStringLiteral("\r"));
    QCoreApplication::sendEvent(c, &pulsa);
}

}  // namespace

void programar_capturas(MenuContaplus& menu, const QString& carpeta)
{
    QDir().mkpath(carpeta);
    const QDir dir(carpeta);

    menu.al_abrir = [dir](QDialog* ventana) {
        QTimer::singleShot(PAUSA_MS, ventana, [ventana, dir] {
            if (ventana->objectName() == QLatin1String("configurar_contaplus")) {
                teclear(ventana, QStringLiteral("pas"), QStringLiteral("torvi"));
                QCoreApplication::processEvents();
                guardar(ventana, dir.filePath(QStringLiteral("configuracion.png")));
            } else {
                teclear(ventana, QStringLiteral("de"), QStringLiteral("01032024"));
                teclear(ventana, QStringLiteral("hasta"), QStringLiteral("31032024"), false);
                QCoreApplication::processEvents();
                guardar(ventana, dir.filePath(QStringLiteral("traspaso.png")));
            }
            ventana->close();
        });
    };

    MenuContaplus* m = &menu;
    QTimer::singleShot(PAUSA_MS, m, [m, dir] {
        // The menu as the mouse leaves it over "Traspaso".
        if (auto* etiqueta = m->findChild<QLabel*>(QStringLiteral("Label2"))) {
            QEvent entra(QEvent::Enter);
            QCoreApplication::sendEvent(etiqueta, &entra);
        }
        guardar(m, dir.filePath(QStringLiteral("menu.png")));
        m->abrir_configuracion();
        m->abrir_traspaso();
        QCoreApplication::quit();
    });
}
