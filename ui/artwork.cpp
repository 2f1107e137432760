// The board, the background tile, the empty-stock marker, the picture buttons,
// the maker's logo and the about window's title.
#include "ui/artwork.h"
#include "ui/artworkcanvas.h"

#include <QFont>
#include <QFontMetricsF>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>

#include <algorithm>
#include <cmath>
#include <limits>
#include <utility>
#include <vector>

namespace kestrova {
namespace {

using artwork::hashNoise;
using artwork::newCanvas;
using artwork::toPixmap;

constexpr double kPi = 3.14159265358979323846;

// std::lround's rounding, half away from zero, without a library call per
// channel: the felt and the tile round three channels of every pixel.
int roundToInt(double value)
{
    const int whole = static_cast<int>(value);
    const double rest = value - whole;   // exact: a double less its integer part
    // Comparisons as numbers, not branches: the rest falls either way at random.
    return whole + static_cast<int>(rest >= 0.5) - static_cast<int>(rest <= -0.5);
}

int clampByte(double value)
{
    return std::clamp(roundToInt(value), 0, 255);
}

// Smooth noise on a grid of cells, bilinear between hashed corners, read along
// one row of the grid: the corners are hashed once per cell, not per point.
class ValueNoiseRow {
public:
    ValueNoiseRow(double y, std::uint32_t seed) : seed_(seed)
    {
        const double fy = std::floor(y);
        iy_ = static_cast<std::uint32_t>(static_cast<std::int64_t>(fy));
        ty_ = y - fy;
        ty_ = ty_ * ty_ * (3 - 2 * ty_);
    }

    double at(double x)
    {
        const double fx = std::floor(x);
        if (fx != cell_) {
            cell_ = fx;
            const auto ix = static_cast<std::uint32_t>(static_cast<std::int64_t>(fx));
            a_ = hashNoise(ix, iy_, seed_);
            b_ = hashNoise(ix + 1, iy_, seed_);
            c_ = hashNoise(ix, iy_ + 1, seed_);
            d_ = hashNoise(ix + 1, iy_ + 1, seed_);
        }
        double tx = x - fx;
        tx = tx * tx * (3 - 2 * tx);
        return (a_ * (1 - tx) + b_ * tx) * (1 - ty_) + (c_ * (1 - tx) + d_ * tx) * ty_;
    }

private:
    std::uint32_t seed_;
    std::uint32_t iy_;
    double ty_;
    double cell_ = std::numeric_limits<double>::quiet_NaN();   // no cell yet
    double a_ = 0, b_ = 0, c_ = 0, d_ = 0;
};

} // namespace

QPixmap drawnAtScale(const PictureDrawer& draw, qreal scale, qreal dpr)
{
    QPixmap picture = draw(scale * dpr);
    if (!picture.isNull())
        picture.setDevicePixelRatio(dpr);
    return picture;
}

QString pictureButtonCaption(PictureButton button)
{
    switch (button) {
    case PictureButton::StartGame: return QStringLiteral("START GAME");
    case PictureButton::Undo: return QStringLiteral("UNDO -3");
    case PictureButton::Done: return QStringLiteral("DONE");
    case PictureButton::SendScore: return QStringLiteral("SEND SCORE");
    case PictureButton::HighScores: return QStringLiteral("HIGH SCORES");
    case PictureButton::Cancel: return QStringLiteral("CANCEL");
    case PictureButton::ResetTally: return QStringLiteral("RESET TALLY");
    case PictureButton::UpdateYes: return QStringLiteral("YES");
    case PictureButton::UpdateNo: return QStringLiteral("NO");
    }
    return {};
}

namespace {

// A line of text as a path, its ink centred across `width`, on the baseline.
QPainterPath centredTextLine(const QFont& font, const QString& text, qreal width, qreal baseline)
{
    QPainterPath path;
    path.addText(0, 0, font, text);
    const QRectF ink = path.boundingRect();
    path.translate((width - ink.width()) / 2.0 - ink.left(), baseline);
    return path;
}

} // namespace

QPixmap stockEndMarker(qreal dpr)
{
    const QSize size(72, 97);
    QImage canvas = newCanvas(size, dpr);
    QPainter painter(&canvas);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF field(0.5, 0.5, size.width() - 1.0, size.height() - 1.0);
    QLinearGradient shade(field.topLeft(), field.bottomRight());
    shade.setColorAt(0.0, QColor(22, 38, 104));
    shade.setColorAt(1.0, QColor(10, 20, 66));
    painter.setPen(QPen(QColor(120, 140, 200), 1.0));
    painter.setBrush(shade);
    painter.drawRoundedRect(field, 4.5, 4.5);

    const QRectF cross = field.adjusted(12, 14, -12, -14);
    painter.setPen(QPen(QColor(6, 12, 40, 150), 8.0, Qt::SolidLine, Qt::RoundCap));
    painter.drawLine(cross.topLeft() + QPointF(1, 1), cross.bottomRight() + QPointF(1, 1));
    painter.drawLine(cross.topRight() + QPointF(1, 1), cross.bottomLeft() + QPointF(1, 1));
    painter.setPen(QPen(QColor(196, 208, 240), 7.0, Qt::SolidLine, Qt::RoundCap));
    painter.drawLine(cross.topLeft(), cross.bottomRight());
    painter.drawLine(cross.topRight(), cross.bottomLeft());
    painter.end();
    return toPixmap(std::move(canvas));
}

QPixmap boardPicture(qreal dpr)
{
    const QSize size(735, 446);
    QImage canvas = newCanvas(size, dpr);
    const qreal ratio = canvas.devicePixelRatio();

    // Felt: a soft pool of light in the middle and slow mottling, both smooth
    // enough to work out once per logical pixel, then a fine grain per device
    // pixel; all from fixed seeds.
    const double cx = size.width() / 2.0;
    const double cy = size.height() * 0.42;
    const double reach = std::hypot(cx, size.height() - cy);
    // One row of the smooth part at a time, worked out when the first device
    // row that falls in it comes: the whole board's worth would be megabytes.
    std::vector<double> shading(static_cast<std::size_t>(size.width()));
    // The pool is symmetric about the middle column: each row's distances are
    // worked out for the left half and read back mirrored for the right.
    std::vector<double> across(static_cast<std::size_t>(size.width()));
    auto shadeRow = [&](int y) {
        for (int x = 0; x < size.width(); ++x) {
            const int mirrored = static_cast<int>(2 * cx) - 1 - x;
            across[static_cast<std::size_t>(x)] =
                mirrored >= 0 && mirrored < x ? across[static_cast<std::size_t>(mirrored)]
                                               : std::hypot(x + 0.5 - cx, y + 0.5 - cy);
        }
        ValueNoiseRow noise((y + 0.5) / 38.0, 11);
        for (int x = 0; x < size.width(); ++x) {
            const double distance = across[static_cast<std::size_t>(x)] / reach;
            const double light = 1.0 - 0.32 * distance * distance;
            const double mottle = noise.at((x + 0.5) / 38.0) - 0.5;
            shading[static_cast<std::size_t>(x)] = light * (1.0 + 0.06 * mottle);
        }
    };
    int shadedRow = -1;
    for (int py = 0; py < canvas.height(); ++py) {
        auto* line = reinterpret_cast<QRgb*>(canvas.scanLine(py));
        const int y = std::min(size.height() - 1, static_cast<int>(py / ratio));
        if (y != shadedRow) {
            shadeRow(y);
            shadedRow = y;
        }
        for (int px = 0; px < canvas.width(); ++px) {
            const int x = std::min(size.width() - 1, static_cast<int>(px / ratio));
            const double grain = hashNoise(static_cast<std::uint32_t>(px), static_cast<std::uint32_t>(py), 7) - 0.5;
            const double shade = shading[static_cast<std::size_t>(x)] + 0.035 * grain;
            line[px] = qRgb(clampByte(28 * shade), clampByte(118 * shade), clampByte(58 * shade));
        }
    }

    QPainter painter(&canvas);
    painter.setRenderHint(QPainter::Antialiasing);
    // A faint stitched frame just inside the edge, like the rim of a card table.
    const QRectF frame(6.5, 6.5, size.width() - 13.0, size.height() - 13.0);
    painter.setBrush(Qt::NoBrush);
    painter.setPen(QPen(QColor(0, 40, 10, 90), 2.0));
    painter.drawRoundedRect(frame.translated(0.8, 0.8), 10, 10);
    painter.setPen(QPen(QColor(170, 220, 170, 60), 1.0, Qt::DashLine));
    painter.drawRoundedRect(frame, 10, 10);

    // Where the discard pile lies before the first card comes.
    painter.setPen(QPen(QColor(190, 235, 190, 55), 1.0));
    painter.drawRoundedRect(QRectF(381.5, 323.5, 70.0, 95.0), 4.5, 4.5);
    painter.end();
    return toPixmap(std::move(canvas));
}

QPixmap backgroundTile(qreal dpr)
{
    const QSize size(173, 171);
    QImage canvas = newCanvas(size, dpr);
    const qreal ratio = canvas.devicePixelRatio();
    // A plain weave: warp threads across the width, weft threads down the height.
    // Both counts are even and fit the tile exactly, so the over-under pattern
    // and the threads' shading carry on across every edge.
    constexpr int warpCount = 16;
    constexpr int weftCount = 16;
    for (int py = 0; py < canvas.height(); ++py) {
        auto* line = reinterpret_cast<QRgb*>(canvas.scanLine(py));
        const double v = (py + 0.5) / ratio / size.height() * weftCount;
        const int weft = static_cast<int>(std::floor(v)) % weftCount;
        const double fv = v - std::floor(v);
        for (int px = 0; px < canvas.width(); ++px) {
            const double u = (px + 0.5) / ratio / size.width() * warpCount;
            const int warp = static_cast<int>(std::floor(u)) % warpCount;
            const double fu = u - std::floor(u);
            const bool warpOnTop = (warp + weft) % 2 == 0;
            // Across a thread it is round (bright in the middle); along it, it
            // dips where it passes under its neighbour.
            const double across = std::sin(kPi * (warpOnTop ? fu : fv));
            const double along = std::pow(std::sin(kPi * (warpOnTop ? fv : fu)), 0.35);
            const int thread = warpOnTop ? warp : warpCount + weft;
            const double threadTone = 0.9 + 0.2 * hashNoise(static_cast<std::uint32_t>(thread), 0, 3);
            const double fibre = hashNoise(static_cast<std::uint32_t>(px), static_cast<std::uint32_t>(py), 5) - 0.5;
            const double level = (0.25 + 0.75 * std::pow(across, 0.8) * along) * threadTone + 0.08 * fibre;
            const double blueShift = warpOnTop ? 1.0 : 0.9;
            line[px] = qRgb(clampByte(4 + 22 * level), clampByte(8 + 34 * level * blueShift),
                            clampByte(38 + 82 * level));
        }
    }
    return toPixmap(std::move(canvas));
}

QPixmap pictureButton(PictureButton button, qreal dpr)
{
    const QSize size(126, 40);
    QImage canvas = newCanvas(size, dpr);
    QPainter painter(&canvas);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF face(0, 0, size.width(), size.height());

    QLinearGradient navy(face.topLeft(), face.bottomLeft());
    navy.setColorAt(0.0, QColor(44, 60, 170));
    navy.setColorAt(0.48, QColor(18, 30, 128));
    navy.setColorAt(0.52, QColor(10, 20, 110));
    navy.setColorAt(1.0, QColor(6, 12, 80));
    painter.fillRect(face, navy);

    // White frame with a thin bevel inside it: light above and left, dark below and right.
    painter.setPen(QPen(Qt::white, 2.0));
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(face.adjusted(1, 1, -1, -1));
    painter.setPen(QPen(QColor(150, 170, 255, 150), 1.0));
    painter.drawLine(QPointF(3.5, 3.5), QPointF(size.width() - 3.5, 3.5));
    painter.drawLine(QPointF(3.5, 3.5), QPointF(3.5, size.height() - 3.5));
    painter.setPen(QPen(QColor(0, 0, 30, 170), 1.0));
    painter.drawLine(QPointF(3.5, size.height() - 3.5), QPointF(size.width() - 3.5, size.height() - 3.5));
    painter.drawLine(QPointF(size.width() - 3.5, 3.5), QPointF(size.width() - 3.5, size.height() - 3.5));

    const QString caption = pictureButtonCaption(button);
    QFont font(QStringLiteral("Liberation Sans"));
    font.setBold(true);
    font.setPixelSize(15);
    font.setLetterSpacing(QFont::AbsoluteSpacing, 0.5);
    while (font.pixelSize() > 9 && QFontMetricsF(font).horizontalAdvance(caption) > size.width() - 16)
        font.setPixelSize(font.pixelSize() - 1);
    QPainterPath text;
    text.addText(0, 0, font, caption);
    const QRectF bounds = text.boundingRect();
    const QFontMetricsF metrics(font);
    const QPointF origin((size.width() - bounds.width()) / 2.0 - bounds.left(), (size.height() + metrics.capHeight()) / 2.0);
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(0, 0, 30, 200));
    painter.drawPath(text.translated(origin + QPointF(1.0, 1.0)));
    painter.setBrush(Qt::white);
    painter.drawPath(text.translated(origin));
    painter.end();
    return toPixmap(std::move(canvas));
}

QPixmap makerLogo(qreal dpr)
{
    const QSize size(214, 41);
    QImage canvas = newCanvas(size, dpr);
    QPainter painter(&canvas);
    painter.setRenderHint(QPainter::Antialiasing);

    // Emblem: two fanned cards, a gold one behind a white one marked with a V.
    const QPointF pivot(20.0, 36.0);
    const QRectF card(-8.5, -29.0, 17.0, 24.0);
    painter.save();
    painter.translate(pivot);
    painter.rotate(-14);
    painter.setPen(QPen(QColor(40, 30, 0, 200), 1.0));
    painter.setBrush(QColor(236, 184, 56));
    painter.drawRoundedRect(card, 2.5, 2.5);
    painter.rotate(26);
    painter.setBrush(Qt::white);
    painter.setPen(QPen(QColor(10, 20, 60), 1.0));
    painter.drawRoundedRect(card, 2.5, 2.5);
    QPainterPath vee;
    vee.moveTo(-5.0, -24.5);
    vee.lineTo(-1.6, -24.5);
    vee.lineTo(0.0, -15.5);
    vee.lineTo(1.6, -24.5);
    vee.lineTo(5.0, -24.5);
    vee.lineTo(1.4, -10.0);
    vee.lineTo(-1.4, -10.0);
    vee.closeSubpath();
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(200, 16, 38));
    painter.drawPath(vee);
    painter.restore();

    QFont nameFont(QStringLiteral("Liberation Serif"));
    nameFont.setPixelSize(27);
    nameFont.setBold(true);
    nameFont.setItalic(true);
    QFont tradeFont(QStringLiteral("Liberation Sans"));
    tradeFont.setPixelSize(16);
    tradeFont.setBold(true);
    tradeFont.setLetterSpacing(QFont::AbsoluteSpacing, 0.6);

    const qreal baseline = 29.0;
    QPainterPath name;
    name.addText(42.0, baseline, nameFont, QStringLiteral("Vorlin"));
    const qreal tradeLeft = name.boundingRect().right() + 7.0;
    QPainterPath trade;
    trade.addText(tradeLeft, baseline, tradeFont, QStringLiteral("Software"));

    // A dark halo keeps the letters readable on felt of any shade.
    painter.setBrush(Qt::NoBrush);
    painter.setPen(QPen(QColor(0, 20, 10, 150), 3.0, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    painter.drawPath(name);
    painter.drawPath(trade);
    painter.setPen(Qt::NoPen);
    painter.setBrush(Qt::white);
    painter.drawPath(name);
    painter.setBrush(QColor(244, 204, 96));
    painter.drawPath(trade);

    // A gold rule under the name ties the two words together.
    painter.setPen(QPen(QColor(244, 204, 96), 1.2));
    painter.drawLine(QPointF(43.0, baseline + 5.0), QPointF(std::min(trade.boundingRect().right(), size.width() - 2.0), baseline + 5.0));
    painter.end();
    return toPixmap(std::move(canvas));
}

QPixmap titlePicture(qreal dpr)
{
    const QSize size(217, 54);
    QImage canvas = newCanvas(size, dpr);
    QPainter painter(&canvas);
    painter.setRenderHint(QPainter::Antialiasing);
    const QColor gold(244, 204, 96);

    QFont nameFont(QStringLiteral("Liberation Serif"));
    nameFont.setPixelSize(36);
    nameFont.setBold(true);
    nameFont.setLetterSpacing(QFont::AbsoluteSpacing, 1.0);
    const QPainterPath name = centredTextLine(nameFont, QStringLiteral("Kestrova"), size.width(), 31.0);

    QFont makerFont(QStringLiteral("Liberation Sans"));
    makerFont.setPixelSize(12);
    makerFont.setBold(true);
    makerFont.setLetterSpacing(QFont::AbsoluteSpacing, 1.6);
    const QPainterPath maker = centredTextLine(makerFont, QStringLiteral("Vorlin Software"), size.width(), 49.0);
    const QRectF makerBounds = maker.boundingRect();

    // The name in white fading to pale gold at its foot, on a dark halo that
    // keeps it clear of the woven background.
    painter.setBrush(Qt::NoBrush);
    painter.setPen(QPen(QColor(0, 0, 30, 170), 3.5, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    painter.drawPath(name);
    painter.drawPath(maker);
    const QRectF placed = name.boundingRect();
    QLinearGradient fill(placed.topLeft(), placed.bottomLeft());
    fill.setColorAt(0.0, Qt::white);
    fill.setColorAt(0.55, QColor(255, 250, 232));
    fill.setColorAt(1.0, QColor(250, 222, 140));
    painter.setPen(Qt::NoPen);
    painter.setBrush(fill);
    painter.drawPath(name);
    painter.setBrush(gold);
    painter.drawPath(maker);

    // Gold rules either side of the maker's name, ending a little short of the edges.
    const qreal ruleY = 44.5;
    painter.setPen(QPen(gold, 1.0));
    painter.drawLine(QPointF(8.0, ruleY), QPointF(makerBounds.left() - 7.0, ruleY));
    painter.drawLine(QPointF(makerBounds.right() + 7.0, ruleY), QPointF(size.width() - 8.0, ruleY));
    painter.end();
    return toPixmap(std::move(canvas));
}

} // namespace kestrova
