// Kestrova's icon: two face-down cards fanned behind a face-up diamond on a
// rounded square of card-table felt.
#include "tools/iconsheet/programicon.h"

#include <QBrush>
#include <QLinearGradient>
#include <QPainter>
#include <QPen>
#include <QRegularExpression>
#include <QTransform>

namespace kestrova {

namespace {

constexpr QRectF kCard(78, 62, 100, 140);
constexpr qreal kCardCorner = 11;
// The fan turns about a point below the cards, as a hand holds them.
constexpr QPointF kFanPivot(128, 250);
constexpr qreal kFanAngle = 19;

QPainterPath roundedRect(const QRectF& rect, qreal radius)
{
    QPainterPath path;
    path.addRoundedRect(rect, radius, radius);
    return path;
}

QPainterPath turned(const QPainterPath& path, qreal degrees)
{
    QTransform turn;
    turn.translate(kFanPivot.x(), kFanPivot.y());
    turn.rotate(degrees);
    turn.translate(-kFanPivot.x(), -kFanPivot.y());
    return turn.map(path);
}

QPainterPath diamond(const QPointF& centre, qreal halfWidth, qreal halfHeight)
{
    // Slightly hollow sides, as the suit is printed on cards.
    QPainterPath path;
    const QPointF top = centre - QPointF(0, halfHeight);
    const QPointF right = centre + QPointF(halfWidth, 0);
    const QPointF bottom = centre + QPointF(0, halfHeight);
    const QPointF left = centre - QPointF(halfWidth, 0);
    const qreal pull = 0.2;
    path.moveTo(top);
    path.quadTo(centre + (top + right - 2 * centre) * pull, right);
    path.quadTo(centre + (right + bottom - 2 * centre) * pull, bottom);
    path.quadTo(centre + (bottom + left - 2 * centre) * pull, left);
    path.quadTo(centre + (left + top - 2 * centre) * pull, top);
    path.closeSubpath();
    return path;
}

QString number(qreal value)
{
    return QString::number(value, 'f', 2).remove(QRegularExpression(QStringLiteral("\\.?0+$")));
}

QString colour(const QColor& c)
{
    return c.name(QColor::HexRgb);
}

// SVG path data; Qt keeps quadratic segments as cubic ones, so M, L, C and Z suffice.
QString pathData(const QPainterPath& path)
{
    QString data;
    for (int i = 0; i < path.elementCount(); ++i) {
        const QPainterPath::Element e = path.elementAt(i);
        const QString point = number(e.x) + QLatin1Char(',') + number(e.y);
        switch (e.type) {
        case QPainterPath::MoveToElement:
            if (!data.isEmpty())
                data += QLatin1String("Z ");
            data += QLatin1Char('M') + point + QLatin1Char(' ');
            break;
        case QPainterPath::LineToElement:
            data += QLatin1Char('L') + point + QLatin1Char(' ');
            break;
        case QPainterPath::CurveToElement:
            data += QLatin1Char('C') + point;
            break;
        case QPainterPath::CurveToDataElement:
            data += QLatin1Char(' ') + point;
            if (i + 1 >= path.elementCount() || path.elementAt(i + 1).type != QPainterPath::CurveToDataElement)
                data += QLatin1Char(' ');
            break;
        }
    }
    return data + QLatin1Char('Z');
}

} // namespace

ProgramIcon::ProgramIcon()
{
    const QColor cardEdge(40, 40, 48);
    const QColor backNavy(22, 38, 104);
    const QColor backLine(150, 170, 230);

    // The felt, a little lighter at the top.
    shapes_.push_back({roundedRect(QRectF(8, 8, 240, 240), 44), QColor(40, 146, 76), QColor(20, 96, 48),
                       QColor(12, 64, 30), 4});

    for (const qreal angle : {-kFanAngle, kFanAngle}) {
        shapes_.push_back({turned(roundedRect(kCard, kCardCorner), angle), backNavy, {}, cardEdge, 4});
        shapes_.push_back({turned(roundedRect(kCard.adjusted(12, 12, -12, -12), 5), angle), QColor(Qt::transparent), {}, backLine, 5});
    }

    shapes_.push_back({roundedRect(kCard.translated(0, -14), kCardCorner), QColor(253, 252, 246), {}, cardEdge, 4});
    shapes_.push_back({diamond(kCard.translated(0, -14).center(), 32, 46), QColor(200, 16, 38), {}, {}, 0});
}

QImage ProgramIcon::render(int size) const
{
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.scale(qreal(size) / kCanvas, qreal(size) / kCanvas);
    for (const Shape& shape : shapes_) {
        if (shape.fillBottom.isValid()) {
            QLinearGradient shade(0, 0, 0, 1);
            shade.setCoordinateMode(QGradient::ObjectBoundingMode);
            shade.setColorAt(0, shape.fill);
            shade.setColorAt(1, shape.fillBottom);
            painter.setBrush(shade);
        } else {
            painter.setBrush(shape.fill);
        }
        painter.setPen(shape.stroke.isValid() ? QPen(shape.stroke, shape.strokeWidth) : QPen(Qt::NoPen));
        painter.drawPath(shape.outline);
    }
    painter.end();
    return image;
}

QString ProgramIcon::svg() const
{
    QString text = QStringLiteral("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                                  "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"%1\" height=\"%1\" viewBox=\"0 0 %1 %1\">\n")
                       .arg(kCanvas);
    QString gradients;
    QString paths;
    for (std::size_t k = 0; k < shapes_.size(); ++k) {
        const Shape& shape = shapes_[k];
        QString fill = shape.fill.alpha() == 0 ? QStringLiteral("none") : colour(shape.fill);
        if (shape.fillBottom.isValid()) {
            const QString id = QStringLiteral("shade%1").arg(k);
            gradients += QStringLiteral("    <linearGradient id=\"%1\" x1=\"0\" y1=\"0\" x2=\"0\" y2=\"1\">"
                                        "<stop offset=\"0\" stop-color=\"%2\"/><stop offset=\"1\" stop-color=\"%3\"/>"
                                        "</linearGradient>\n")
                             .arg(id, colour(shape.fill), colour(shape.fillBottom));
            fill = QStringLiteral("url(#%1)").arg(id);
        }
        paths += QStringLiteral("  <path fill=\"%1\"").arg(fill);
        if (shape.stroke.isValid())
            paths += QStringLiteral(" stroke=\"%1\" stroke-width=\"%2\"").arg(colour(shape.stroke), number(shape.strokeWidth));
        paths += QStringLiteral(" d=\"%1\"/>\n").arg(pathData(shape.outline));
    }
    if (!gradients.isEmpty())
        text += QStringLiteral("  <defs>\n") + gradients + QStringLiteral("  </defs>\n");
    return text + paths + QStringLiteral("</svg>\n");
}

} // namespace kestrova
