#include "windows/Capturas.h"

#include "windows/MenuContaplus.h"
#include "windows/TraspasoContaplus.h"

#include <QApplication>
#include <QDialog>
#include <QDir>
#include <QFile>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPixmap>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <cstdio>

namespace {

// Time for the window to be shown, activated and painted.
constexpr int PAUSA_MS = 600;

// The month of the demonstration installation (`enlace demo`).
#define DESDE "01112026"
#define HASTA "30112026"

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

// Without automatic answers every message box the run shows is pictured
// (mensaje_1.png, mensaje_2.png, ...) and answered with its default button.
void mirar_mensajes(QObject* dueno, const QDir& dir)
{
    auto* mirar = new QTimer(dueno);
    auto* vistas = new int(0);
    QObject::connect(mirar, &QTimer::timeout, dueno, [dir, vistas] {
        auto* caja = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!caja || !caja->isVisible() || caja->property("capturada").toBool()) return;
        caja->setProperty("capturada", true);
        QTimer::singleShot(PAUSA_MS / 2, caja, [caja, dir, vistas] {
            guardar(caja, dir.filePath(QStringLiteral("mensaje_%1.png").arg(++*vistas)));
            if (QPushButton* boton = caja->defaultButton()) boton->click();
        });
    });
    mirar->start(50);
}

std::optional<Respuesta> respuesta_automatica()
{
    const QByteArray valor = qgetenv("ENLACE_RESPUESTAS_AUTOMATICAS");
    if (valor.isEmpty()) return std::nullopt;
    return valor.trimmed().toLower() == "no" ? Respuesta::No : Respuesta::Si;
}

void programar_capturas(MenuContaplus& menu)
{
    const QString carpeta = qEnvironmentVariable("ENLACE_CAPTURA");
    if (carpeta.isEmpty()) return;
    QDir().mkpath(carpeta);
    const QDir dir(carpeta);
    if (!respuesta_automatica()) mirar_mensajes(&menu, dir);

    menu.al_abrir = [dir](QDialog* ventana) {
        QTimer::singleShot(PAUSA_MS, ventana, [ventana, dir] {
            if (ventana->objectName() == QLatin1String("configurar_contaplus")) {
                teclear(ventana, QStringLiteral("pas"), QStringLiteral("torvi"));
                QCoreApplication::processEvents();
                guardar(ventana, dir.filePath(QStringLiteral("configuracion.png")));
                // Saved as it stands, for the picture of its message.
                if (!respuesta_automatica())
                    if (QObject* guardar_ajustes = ventana->findChild<QObject*>(QStringLiteral("Image2")))
                        QMetaObject::invokeMethod(guardar_ajustes, "pulsada");
            } else {
                // A real run over the demonstration's month, pictured while
                // it goes on: the run lets timers through as it shows its
                // progress.
                const QString archivo = dir.filePath(QStringLiteral("traspaso.png"));
                // The run's report, asked for, is kept beside the pictures
                // (scripts/capturas renders it) instead of opened.
                if (auto* traspaso = qobject_cast<TraspasoContaplus*>(ventana))
                    traspaso->abrir_informe = [dir](const QString& ruta) {
                        QFile::remove(dir.filePath(QStringLiteral("informe.html")));
                        QFile::copy(ruta, dir.filePath(QStringLiteral("informe.html")));
                    };
                // Best a phase half done; else the last the run showed.
                QPixmap imagen;
                bool a_medias = false;
                QTimer mirar;
                mirar.setInterval(5);
                QObject::connect(&mirar, &QTimer::timeout, ventana, [&] {
                    auto* barra = ventana->findChild<QProgressBar*>(QStringLiteral("progreso"));
                    if (a_medias || !barra || !barra->isVisible()) return;
                    const int maximo = barra->maximum();
                    a_medias = maximo > 0 && barra->value() > maximo / 5 && barra->value() < maximo * 9 / 10;
                    imagen = ventana->grab();
                });
                mirar.start();
                teclear(ventana, QStringLiteral("de"), QStringLiteral(DESDE));
                teclear(ventana, QStringLiteral("hasta"), QStringLiteral(HASTA));
                mirar.stop();
                if (!imagen.isNull()) {
                    if (!imagen.save(archivo))
                        std::fprintf(stderr, "%s\n", qPrintable(QStringLiteral("No se ha podido guardar ") + archivo));
                } else {
                    teclear(ventana, QStringLiteral("de"), QStringLiteral(DESDE));
                    teclear(ventana, QStringLiteral("hasta"), QStringLiteral(HASTA), false);
                    QCoreApplication::processEvents();
                    guardar(ventana, archivo);
                }
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
