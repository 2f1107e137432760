// The high-score window's emblem: a gold cup in front of two fanned aces.
#include "ui/artwork.h"
#include "ui/artworkcanvas.h"

#include <QFont>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>

#include <cmath>
#include <numbers>
#include <utility>

namespace kestrova {

using artwork::newCanvas;
using artwork::toPixmap;

QPixmap highScoreTrophy(qreal dpr)
{
    const QSize size(96, 72);
    QImage canvas = newCanvas(size, dpr);
    QPainter painter(&canvas);
    painter.setRenderHint(QPainter::Antialiasing);

    // Two cards fanned out behind the cup, a red ace and a black one.
    const QPointF pivot(48.0, 70.0);
    const QRectF card(-12.0, -58.0, 24.0, 34.0);
    QFont rank(QStringLiteral("Liberation Serif"));
    rank.setBold(true);
    rank.setPixelSize(12);
    for (const int side : {-1, 1}) {
        painter.save();
        painter.translate(pivot);
        painter.rotate(34.0 * side);
        painter.setPen(QPen(QColor(10, 20, 60), 1.0));
        painter.setBrush(Qt::white);
        painter.drawRoundedRect(card, 3.0, 3.0);
        const QColor ink = side < 0 ? QColor(200, 16, 38) : QColor(20, 20, 30);
        QPainterPath letter;
        letter.addText(card.left() + 3.0, card.top() + 12.0, rank, QStringLiteral("A"));
        painter.setPen(Qt::NoPen);
        painter.setBrush(ink);
        painter.drawPath(letter);
        QPainterPath pip;
        const QPointF mark(card.center().x(), card.top() + 19.0);
        pip.moveTo(mark + QPointF(0.0, -6.0));
        pip.lineTo(mark + QPointF(4.5, 0.0));
        pip.lineTo(mark + QPointF(0.0, 6.0));
        pip.lineTo(mark + QPointF(-4.5, 0.0));
        pip.closeSubpath();
        painter.drawPath(pip);
        painter.restore();
    }

    QLinearGradient gold(QPointF(30.0, 0.0), QPointF(66.0, 0.0));
    gold.setColorAt(0.0, QColor(150, 100, 20));
    gold.setColorAt(0.35, QColor(255, 226, 120));
    gold.setColorAt(0.6, QColor(236, 184, 56));
    gold.setColorAt(1.0, QColor(130, 84, 14));
    const QPen outline(QColor(60, 36, 0), 1.2);

    // Handles first, so the bowl covers their inner ends.
    painter.setPen(QPen(QColor(60, 36, 0), 5.0, Qt::SolidLine, Qt::RoundCap));
    painter.setBrush(Qt::NoBrush);
    painter.drawArc(QRectF(22.0, 12.0, 18.0, 20.0), 90 * 16, 180 * 16);
    painter.drawArc(QRectF(56.0, 12.0, 18.0, 20.0), -90 * 16, 180 * 16);
    painter.setPen(QPen(QColor(244, 204, 96), 3.0, Qt::SolidLine, Qt::RoundCap));
    painter.drawArc(QRectF(22.0, 12.0, 18.0, 20.0), 90 * 16, 180 * 16);
    painter.drawArc(QRectF(56.0, 12.0, 18.0, 20.0), -90 * 16, 180 * 16);

    QPainterPath bowl;
    bowl.moveTo(30.0, 8.0);
    bowl.lineTo(66.0, 8.0);
    bowl.cubicTo(66.0, 30.0, 58.0, 40.0, 50.5, 42.0);
    bowl.lineTo(45.5, 42.0);
    bowl.cubicTo(38.0, 40.0, 30.0, 30.0, 30.0, 8.0);
    bowl.closeSubpath();
    painter.setPen(outline);
    painter.setBrush(gold);
    painter.drawPath(bowl);
    painter.drawRect(QRectF(44.5, 42.0, 7.0, 9.0));
    painter.drawRoundedRect(QRectF(35.0, 51.0, 26.0, 6.0), 1.5, 1.5);
    painter.setBrush(QColor(10, 20, 110));
    painter.drawRoundedRect(QRectF(31.0, 57.0, 34.0, 9.0), 1.5, 1.5);

    // A white star on the bowl and a light rim along its top.
    QPainterPath star;
    const QPointF centre(48.0, 21.0);
    for (int point = 0; point < 10; ++point) {
        const qreal radius = point % 2 == 0 ? 7.0 : 3.0;
        const QPointF at = centre + radius * QPointF(std::sin(point * std::numbers::pi / 5.0), -std::cos(point * std::numbers::pi / 5.0));
        point == 0 ? star.moveTo(at) : star.lineTo(at);
    }
    star.closeSubpath();
    painter.setPen(Qt::NoPen);
    painter.setBrush(Qt::white);
    painter.drawPath(star);
    painter.setPen(QPen(QColor(255, 244, 200), 1.2));
    painter.drawLine(QPointF(31.5, 9.5), QPointF(64.5, 9.5));
    painter.end();
    return toPixmap(std::move(canvas));
}

} // namespace kestrova
