#include "windows/InterlocutorVentanas.h"

#include "windows/Capturas.h"

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
#include <cstdio>

namespace {

QMessageBox::Icon icono_de(Icono icono)
{
    switch (icono) {
    case Icono::Informacion: return QMessageBox::Information;
    case Icono::Critico: return QMessageBox::Critical;
    case Icono::Exclamacion: return QMessageBox::Warning;
    case Icono::Pregunta: return QMessageBox::Question;
    case Icono::Ninguno: break;
    }
    return QMessageBox::NoIcon;
}

}  // namespace

InterlocutorVentanas::InterlocutorVentanas()
{
    const std::optional<Respuesta> r = respuesta_automatica();
    automatico_ = r.has_value();
    if (r) respuesta_automatica_ = *r;
}

Respuesta InterlocutorVentanas::mensaje(const QString& texto, const QString& titulo, Icono icono, Botones botones)
{
    if (automatico_) {
        std::fputs(qPrintable(titulo + QStringLiteral(": ") + texto + QLatin1Char('\n')), stdout);
        std::fflush(stdout);
        return botones == Botones::Aceptar ? Respuesta::Aceptar : respuesta_automatica_;
    }

    // A Windows path is not broken after its drive ("c:" / "\\quelmira..."):
    // a word joiner, which the label does not show, holds them together.
    QString mostrado = texto;
    mostrado.replace(QStringLiteral(":\\"), QStringLiteral(":\u2060\\"));
    QMessageBox caja(icono_de(icono), titulo, mostrado, QMessageBox::NoButton, QApplication::activeWindow());
    // The text keeps clear of the box's edges at every font size.
    caja.setStyleSheet(QStringLiteral("QLabel#qt_msgbox_label { margin-left: 0.5em; margin-right: 1em; "
                                      "margin-top: 0.3em; }"));
    QAbstractButton* si = nullptr;
    QAbstractButton* no = nullptr;
    if (botones == Botones::SiNo) {
        si = caja.addButton(QStringLiteral("Sí"), QMessageBox::YesRole);
        // Escape answers No: the safe answer to every confirmation of the link.
        caja.setEscapeButton(caja.addButton(QStringLiteral("No"), QMessageBox::NoRole));
        caja.setDefaultButton(static_cast<QPushButton*>(si));
    } else if (botones == Botones::SiNoCancelar) {
        // A question of fact has no safe answer: no default, Escape cancels.
        si = caja.addButton(QStringLiteral("Sí"), QMessageBox::YesRole);
        no = caja.addButton(QStringLiteral("No"), QMessageBox::NoRole);
        caja.setEscapeButton(caja.addButton(QStringLiteral("Cancelar"), QMessageBox::RejectRole));
    } else {
        caja.setDefaultButton(caja.addButton(QStringLiteral("Aceptar"), QMessageBox::AcceptRole));
    }

    // A run shows the hourglass; its messages are answered with the arrow.
    const bool en_espera = QApplication::overrideCursor() != nullptr;
    if (en_espera) QApplication::setOverrideCursor(Qt::ArrowCursor);
    caja.exec();
    if (en_espera) QApplication::restoreOverrideCursor();

    if (botones == Botones::Aceptar) return Respuesta::Aceptar;
    if (caja.clickedButton() == si) return Respuesta::Si;
    if (botones == Botones::SiNoCancelar && caja.clickedButton() != no) return Respuesta::Cancelar;
    return Respuesta::No;
}
