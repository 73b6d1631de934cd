#include "windows/Imagenes.h"

#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QtMath>

namespace {

const QColor AZUL(31, 78, 140);
const QColor AZUL_CLARO(120, 160, 215);
const QColor NARANJA(255, 192, 128);
const QColor NARANJA_OSCURO(220, 120, 40);
const QColor GRIS(90, 90, 90);

QPixmap lienzo(int ancho, int alto)
{
    QPixmap p(ancho, alto);
    p.fill(Qt::transparent);
    return p;
}

void flecha(QPainter& p, QPointF desde, QPointF hasta, const QColor& color, qreal grosor)
{
    p.setPen(QPen(color, grosor, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(desde, QPointF(hasta.x() - grosor * 1.5, hasta.y()));
    QPainterPath punta;
    punta.moveTo(hasta);
    punta.lineTo(hasta.x() - grosor * 3, hasta.y() - grosor * 2);
    punta.lineTo(hasta.x() - grosor * 3, hasta.y() + grosor * 2);
    punta.closeSubpath();
    p.setPen(Qt::NoPen);
    p.setBrush(color);
    p.drawPath(punta);
}

// A hotel front with rows of windows.
void hotel(QPainter& p, QRectF r)
{
    p.setPen(QPen(GRIS, 1));
    p.setBrush(QColor(235, 225, 200));
    p.drawRect(r);
    p.setBrush(AZUL);
    p.drawRect(QRectF(r.x() - 3, r.y() - 6, r.width() + 6, 6));
    const int columnas = 4, filas = 4;
    const qreal aw = r.width() / (columnas * 2 + 1), ah = r.height() / (filas * 2 + 2);
    p.setPen(Qt::NoPen);
    for (int f = 0; f < filas; ++f)
        for (int c = 0; c < columnas; ++c) {
            p.setBrush((f + c) % 3 == 0 ? QColor(255, 230, 140) : AZUL_CLARO);
            p.drawRect(QRectF(r.x() + aw * (1 + 2 * c), r.y() + ah * (1 + 2 * f), aw, ah));
        }
    p.setBrush(QColor(120, 70, 30));
    p.drawRect(QRectF(r.center().x() - aw, r.bottom() - ah * 1.6, aw * 2, ah * 1.6));
}

// An open ledger with ruled lines.
void libro(QPainter& p, QRectF r)
{
    p.setPen(QPen(GRIS, 1));
    p.setBrush(QColor(140, 40, 40));
    p.drawRoundedRect(r.adjusted(-3, -3, 3, 3), 3, 3);
    p.setBrush(Qt::white);
    const QRectF izq(r.x(), r.y(), r.width() / 2 - 1, r.height());
    const QRectF der(r.center().x() + 1, r.y(), r.width() / 2 - 1, r.height());
    p.drawRect(izq);
    p.drawRect(der);
    p.setPen(QPen(AZUL_CLARO, 1));
    for (qreal y = r.y() + 6; y < r.bottom() - 3; y += 5) {
        p.drawLine(QPointF(izq.x() + 3, y), QPointF(izq.right() - 3, y));
        p.drawLine(QPointF(der.x() + 3, y), QPointF(der.right() - 3, y));
    }
    p.setPen(QPen(QColor(200, 60, 60), 1));
    p.drawLine(QPointF(izq.right() - 10, r.y() + 2), QPointF(izq.right() - 10, r.bottom() - 2));
    p.drawLine(QPointF(der.right() - 10, r.y() + 2), QPointF(der.right() - 10, r.bottom() - 2));
}

void hoja(QPainter& p, QRectF r, const QColor& fondo)
{
    p.setPen(QPen(GRIS, 1));
    p.setBrush(fondo);
    QPainterPath h;
    h.moveTo(r.topLeft());
    h.lineTo(r.right() - 6, r.top());
    h.lineTo(r.right(), r.top() + 6);
    h.lineTo(r.bottomRight());
    h.lineTo(r.bottomLeft());
    h.closeSubpath();
    p.drawPath(h);
    p.setPen(QPen(GRIS.lighter(150), 1));
    for (qreal y = r.top() + 8; y < r.bottom() - 3; y += 4)
        p.drawLine(QPointF(r.left() + 3, y), QPointF(r.right() - 4, y));
}

}  // namespace

QPixmap imagen_cabecera()
{
    QPixmap px = lienzo(300, 80);
    QPainter p(&px);
    p.setRenderHint(QPainter::Antialiasing);
    hotel(p, QRectF(14, 14, 64, 60));
    flecha(p, QPointF(100, 44), QPointF(196, 44), NARANJA_OSCURO, 6);
    libro(p, QRectF(218, 22, 72, 46));
    return px;
}

QPixmap imagen_configuracion()
{
    QPixmap px = lienzo(40, 40);
    QPainter p(&px);
    p.setRenderHint(QPainter::Antialiasing);
    p.translate(20, 20);
    QPainterPath rueda;
    const int dientes = 8;
    for (int i = 0; i < dientes * 2; ++i) {
        const qreal a = M_PI * i / dientes;
        const qreal r1 = (i % 2 == 0) ? 17 : 12;
        const qreal a1 = a - M_PI / (dientes * 2.6), a2 = a + M_PI / (dientes * 2.6);
        const QPointF p1(r1 * qCos(a1), r1 * qSin(a1)), p2(r1 * qCos(a2), r1 * qSin(a2));
        if (i == 0)
            rueda.moveTo(p1);
        else
            rueda.lineTo(p1);
        rueda.lineTo(p2);
    }
    rueda.closeSubpath();
    QPainterPath hueco;
    hueco.addEllipse(QPointF(0, 0), 5, 5);
    p.setPen(QPen(GRIS, 1));
    p.setBrush(AZUL_CLARO);
    p.drawPath(rueda.subtracted(hueco));
    return px;
}

QPixmap imagen_traspaso()
{
    QPixmap px = lienzo(40, 40);
    QPainter p(&px);
    p.setRenderHint(QPainter::Antialiasing);
    hoja(p, QRectF(2, 4, 16, 22), Qt::white);
    hoja(p, QRectF(6, 12, 16, 22), QColor(255, 250, 230));
    flecha(p, QPointF(22, 22), QPointF(38, 22), NARANJA_OSCURO, 3);
    return px;
}

QPixmap imagen_pie()
{
    QPixmap px = lienzo(300, 14);
    QPainter p(&px);
    QLinearGradient g(0, 0, 300, 0);
    g.setColorAt(0, AZUL);
    g.setColorAt(0.6, AZUL_CLARO);
    g.setColorAt(1, NARANJA);
    p.fillRect(QRect(0, 5, 300, 4), g);
    return px;
}

QPixmap imagen_guardar()
{
    QPixmap px = lienzo(36, 36);
    QPainter p(&px);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(QColor(20, 40, 80), 1));
    p.setBrush(AZUL);
    QPainterPath disco;
    disco.moveTo(4, 4);
    disco.lineTo(27, 4);
    disco.lineTo(32, 9);
    disco.lineTo(32, 32);
    disco.lineTo(4, 32);
    disco.closeSubpath();
    p.drawPath(disco);
    p.setBrush(QColor(220, 220, 220));
    p.drawRect(QRectF(10, 4, 15, 10));
    p.setBrush(AZUL);
    p.drawRect(QRectF(20, 6, 3, 6));
    p.setBrush(Qt::white);
    p.drawRect(QRectF(8, 18, 20, 14));
    p.setPen(QPen(AZUL_CLARO, 1));
    for (int y = 22; y < 31; y += 3) p.drawLine(10, y, 26, y);
    return px;
}

QPixmap imagen_salir()
{
    QPixmap px = lienzo(36, 36);
    QPainter p(&px);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(GRIS, 1));
    p.setBrush(QColor(230, 230, 230));
    p.drawRect(QRectF(6, 3, 20, 30));
    p.setBrush(QColor(150, 95, 45));
    QPainterPath puerta;
    puerta.moveTo(6, 3);
    puerta.lineTo(18, 7);
    puerta.lineTo(18, 35);
    puerta.lineTo(6, 33);
    puerta.closeSubpath();
    p.drawPath(puerta);
    p.setBrush(NARANJA);
    p.drawEllipse(QPointF(15, 20), 1.5, 1.5);
    flecha(p, QPointF(20, 18), QPointF(35, 18), QColor(200, 50, 50), 2.5);
    return px;
}

QPixmap imagen_calendario()
{
    QPixmap px = lienzo(56, 56);
    QPainter p(&px);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(GRIS, 1));
    p.setBrush(Qt::white);
    p.drawRoundedRect(QRectF(4, 8, 48, 44), 4, 4);
    p.setBrush(QColor(200, 50, 50));
    p.drawRoundedRect(QRectF(4, 8, 48, 12), 4, 4);
    p.setBrush(GRIS);
    p.drawRect(QRectF(14, 4, 3, 9));
    p.drawRect(QRectF(39, 4, 3, 9));
    p.setPen(Qt::NoPen);
    for (int f = 0; f < 4; ++f)
        for (int c = 0; c < 6; ++c) {
            p.setBrush((f == 1 && c >= 2) || (f == 2 && c <= 3) ? NARANJA : QColor(215, 220, 230));
            p.drawRect(QRectF(8 + c * 7, 24 + f * 7, 5, 5));
        }
    return px;
}
