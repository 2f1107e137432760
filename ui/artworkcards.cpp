// The card faces and the card back.
#include "ui/artwork.h"

#include "game/card.h"
#include "ui/artworkcanvas.h"

#include <QFont>
#include <QFontMetricsF>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>

#include <algorithm>
#include <cmath>
#include <utility>
#include <vector>

namespace kestrova {
namespace {

using artwork::newCanvas;
using artwork::toPixmap;

constexpr QSize kCardSize(71, 96);
constexpr qreal kCentreX = 35.5;

// Faces of the court cards, as faceOf() gives them.
constexpr int kJack = 11;
constexpr int kQueen = 12;
constexpr int kKing = 13;

const QColor kRed(200, 16, 38);
const QColor kBlack(22, 22, 26);
const QColor kGold(214, 165, 40);
const QColor kEdge(60, 60, 66);

// A suit and the colours it is drawn in: its symbols, indices and frames in
// `colour`, its court figures dressed in `robe`.
struct SuitInk {
    Suit suit;
    QColor colour;
    QColor robe;
};

SuitInk suitInk(Suit suit, CardColours colours)
{
    const QColor redRobe(178, 24, 42);
    if (colours == CardColours::FourColour) {
        switch (suit) {
        case Suit::Clubs: return {suit, QColor(12, 128, 48), QColor(22, 108, 50)};
        case Suit::Diamonds: return {suit, QColor(22, 78, 206), QColor(28, 66, 168)};
        case Suit::Hearts: return {suit, kRed, redRobe};
        case Suit::Spades: return {suit, kBlack, QColor(48, 48, 56)};
        }
    }
    const bool red = suit == Suit::Diamonds || suit == Suit::Hearts;
    return {suit, red ? kRed : kBlack, red ? redRobe : QColor(30, 44, 110)};
}

// Suit symbols as outlines in a 100 x 100 box, so that no font needs to carry them.
QPainterPath suitOutline(Suit suit)
{
    QPainterPath path;
    path.setFillRule(Qt::WindingFill);
    switch (suit) {
    case Suit::Hearts:
        path.moveTo(50, 100);
        path.cubicTo(36, 82, 0, 62, 0, 30);
        path.cubicTo(0, 12, 13, 0, 27, 0);
        path.cubicTo(39, 0, 47, 8, 50, 19);
        path.cubicTo(53, 8, 61, 0, 73, 0);
        path.cubicTo(87, 0, 100, 12, 100, 30);
        path.cubicTo(100, 62, 64, 82, 50, 100);
        path.closeSubpath();
        break;
    case Suit::Diamonds:
        path.moveTo(50, 0);
        path.quadTo(66, 28, 88, 50);
        path.quadTo(66, 72, 50, 100);
        path.quadTo(34, 72, 12, 50);
        path.quadTo(34, 28, 50, 0);
        path.closeSubpath();
        break;
    case Suit::Spades:
        path.moveTo(50, 0);
        path.cubicTo(62, 20, 100, 38, 100, 60);
        path.cubicTo(100, 76, 88, 84, 76, 84);
        path.cubicTo(65, 84, 57, 78, 53, 70);
        path.cubicTo(54, 84, 58, 94, 68, 100);
        path.lineTo(32, 100);
        path.cubicTo(42, 94, 46, 84, 47, 70);
        path.cubicTo(43, 78, 35, 84, 24, 84);
        path.cubicTo(12, 84, 0, 76, 0, 60);
        path.cubicTo(0, 38, 38, 20, 50, 0);
        path.closeSubpath();
        break;
    default: // clubs
        path.addEllipse(QPointF(50, 25), 24, 24);
        path.addEllipse(QPointF(24, 60), 24, 24);
        path.addEllipse(QPointF(76, 60), 24, 24);
        path.addEllipse(QPointF(50, 52), 12, 12);
        path.moveTo(47, 56);
        path.cubicTo(46, 82, 42, 93, 32, 100);
        path.lineTo(68, 100);
        path.cubicTo(58, 93, 54, 82, 53, 56);
        path.closeSubpath();
        break;
    }
    return path;
}

// Draws a suit symbol of the given height centred on a point, upside down when
// it belongs to the far end of the card.
void drawPip(QPainter& painter, const SuitInk& suit, QPointF centre, qreal height, bool upsideDown = false)
{
    const qreal scale = height / 100.0;
    painter.save();
    painter.translate(centre);
    if (upsideDown)
        painter.rotate(180);
    painter.scale(scale, scale);
    painter.translate(-50, -50);
    painter.setPen(Qt::NoPen);
    painter.setBrush(suit.colour);
    painter.drawPath(suitOutline(suit.suit));
    painter.restore();
}

QString rankText(int face)
{
    switch (face) {
    case 1: return QStringLiteral("A");
    case kJack: return QStringLiteral("J");
    case kQueen: return QStringLiteral("Q");
    case kKing: return QStringLiteral("K");
    default: return QString::number(face);
    }
}

QFont indexFont()
{
    QFont font(QStringLiteral("Liberation Sans"));
    font.setPixelSize(40);
    font.setBold(true);
    return font;
}

QFont letterFont()
{
    QFont font(QStringLiteral("Liberation Serif"));
    font.setPixelSize(40);
    font.setBold(true);
    return font;
}

// The text as an outline, scaled so that its capitals stand capHeight high,
// squeezed if it would be wider than maxWidth, with its baseline centre at the origin.
QPainterPath textOutline(const QString& text, const QFont& font, qreal capHeight, qreal maxWidth)
{
    QPainterPath path;
    path.addText(0, 0, font, text);
    const qreal scale = capHeight / QFontMetricsF(font).capHeight();
    const QRectF bounds = path.boundingRect();
    const qreal xScale = std::min(scale, maxWidth / bounds.width());
    QTransform transform;
    transform.scale(xScale, scale);
    transform.translate(-bounds.center().x(), 0);
    return transform.map(path);
}

// The rank and a small suit symbol, in the top-left corner and turned round in
// the bottom-right one.
void drawIndices(QPainter& painter, const SuitInk& suit, int face)
{
    const QPainterPath rank = textOutline(rankText(face), indexFont(), 9.5, face == 10 ? 11.0 : 9.5);
    for (int end = 0; end < 2; ++end) {
        painter.save();
        if (end == 1) {
            painter.translate(kCardSize.width(), kCardSize.height());
            painter.rotate(180);
        }
        painter.save();
        painter.translate(8.0, 13.5);
        painter.setPen(Qt::NoPen);
        painter.setBrush(suit.colour);
        painter.drawPath(rank);
        painter.restore();
        drawPip(painter, suit, QPointF(8.0, 20.5), 8.0);
        painter.restore();
    }
}

// Where the pips of a 2 .. 10 sit, as (column, row): columns -1, 0, 1 are left,
// middle, right; rows run from 0 (top) to 1 (bottom).
struct PipPlace {
    int column;
    qreal row;
};

std::vector<PipPlace> pipPlaces(int face)
{
    const qreal third = 1.0 / 3.0;
    std::vector<PipPlace> sides;
    auto addSides = [&sides](std::initializer_list<qreal> rows) {
        for (qreal row : rows) {
            sides.push_back({-1, row});
            sides.push_back({1, row});
        }
    };
    switch (face) {
    case 2: return {{0, 0.0}, {0, 1.0}};
    case 3: return {{0, 0.0}, {0, 0.5}, {0, 1.0}};
    case 4: addSides({0.0, 1.0}); break;
    case 5: addSides({0.0, 1.0}); sides.push_back({0, 0.5}); break;
    case 6: addSides({0.0, 0.5, 1.0}); break;
    case 7: addSides({0.0, 0.5, 1.0}); sides.push_back({0, 0.25}); break;
    case 8: addSides({0.0, 0.5, 1.0}); sides.push_back({0, 0.25}); sides.push_back({0, 0.75}); break;
    case 9: addSides({0.0, third, 2 * third, 1.0}); sides.push_back({0, 0.5}); break;
    case 10: addSides({0.0, third, 2 * third, 1.0}); sides.push_back({0, 1.0 / 6}); sides.push_back({0, 5.0 / 6}); break;
    default: break;
    }
    return sides;
}

void drawPipFace(QPainter& painter, const SuitInk& suit, int face)
{
    constexpr qreal top = 17.5;
    constexpr qreal bottom = 78.5;
    constexpr qreal columnStep = 13.5;
    const qreal pipHeight = suit.suit == Suit::Diamonds ? 12.5 : 12.0;
    for (const PipPlace& place : pipPlaces(face)) {
        const QPointF centre(kCentreX + place.column * columnStep, top + place.row * (bottom - top));
        drawPip(painter, suit, centre, pipHeight, place.row > 0.5 + 1e-9);
    }
}

void drawAce(QPainter& painter, const SuitInk& suit)
{
    const QPointF centre(kCentreX, 48.0);
    if (suit.suit == Suit::Spades) {
        // The ace of spades carries the traditional larger, ringed symbol.
        painter.setPen(QPen(QColor(kGold.darker(120)), 0.8));
        painter.setBrush(Qt::NoBrush);
        painter.drawEllipse(centre, 22.0, 22.0);
        painter.setPen(QPen(kBlack, 0.6));
        painter.drawEllipse(centre, 20.0, 20.0);
        drawPip(painter, suit, centre, 30.0);
        return;
    }
    drawPip(painter, suit, centre, 28.0);
}

const QColor kSkin(247, 214, 176);

QPen figureOutline()
{
    return QPen(QColor(40, 30, 30), 0.6);
}

// The measures and colours that every part of a court figure is drawn from.
struct CourtFigure {
    SuitInk suit;
    int face;
    QRectF frame;
    qreal cx;    // the figure's middle
    qreal headY; // the centre of the head
    qreal waist; // where the half ends
    QColor robe;
    QColor hair;
};

CourtFigure courtFigure(const SuitInk& suit, int face, const QRectF& frame)
{
    const QColor hair = face == kKing ? QColor(236, 236, 236) : face == kQueen ? QColor(232, 186, 60) : QColor(120, 72, 30);
    return {suit, face, frame, frame.center().x(), frame.top() + 18.5, frame.center().y(), suit.robe, hair};
}

// What each court holds, standing behind the shoulder: the king a sword, the
// queen a flower, the jack a halberd.
void drawCourtEmblem(QPainter& painter, const CourtFigure& figure)
{
    const qreal cx = figure.cx;
    const qreal headY = figure.headY;
    const qreal waist = figure.waist;
    const QRectF& frame = figure.frame;
    if (figure.face == kKing) {
        painter.setPen(QPen(QColor(70, 70, 80), 0.6));
        painter.setBrush(QColor(215, 220, 230));
        painter.drawRect(QRectF(cx + 14.2, headY - 12, 2.2, waist - headY + 12));
        painter.setBrush(kGold);
        painter.drawRect(QRectF(cx + 11.5, headY - 1, 7.6, 1.8));
    } else if (figure.face == kQueen) {
        painter.setPen(QPen(QColor(40, 120, 50), 1.0));
        painter.drawLine(QPointF(cx + 15, waist), QPointF(cx + 15, headY - 6));
        painter.setPen(QPen(QColor(120, 30, 40), 0.5));
        painter.setBrush(figure.suit.colour == kRed ? QColor(70, 110, 200) : kRed);
        for (int petal = 0; petal < 5; ++petal) {
            const qreal angle = petal * 2 * M_PI / 5;
            painter.drawEllipse(QPointF(cx + 15 + 2.2 * std::cos(angle), headY - 8 + 2.2 * std::sin(angle)), 1.6, 1.6);
        }
        painter.setBrush(kGold);
        painter.drawEllipse(QPointF(cx + 15, headY - 8), 1.1, 1.1);
    } else {
        painter.setPen(QPen(QColor(110, 70, 30), 1.2));
        painter.drawLine(QPointF(cx + 15, waist), QPointF(cx + 15, frame.top() + 3));
        QPainterPath blade;
        blade.moveTo(cx + 15, frame.top() + 4);
        blade.quadTo(cx + 21, frame.top() + 6, cx + 20, frame.top() + 12);
        blade.quadTo(cx + 17, frame.top() + 10, cx + 15, frame.top() + 11);
        blade.closeSubpath();
        painter.setPen(QPen(QColor(70, 70, 80), 0.5));
        painter.setBrush(QColor(215, 220, 230));
        painter.drawPath(blade);
    }
}

// Robe and shoulders, with a gold band down the front, a white collar, sleeves
// with a line of trim and a hand resting on the chest.
void drawCourtRobe(QPainter& painter, const CourtFigure& figure)
{
    const qreal cx = figure.cx;
    const qreal headY = figure.headY;
    const qreal waist = figure.waist;
    QPainterPath shoulders;
    shoulders.moveTo(cx - 19, waist);
    shoulders.cubicTo(cx - 19, headY + 9, cx - 11, headY + 6, cx, headY + 6);
    shoulders.cubicTo(cx + 11, headY + 6, cx + 19, headY + 9, cx + 19, waist);
    shoulders.closeSubpath();
    painter.setPen(figureOutline());
    painter.setBrush(figure.robe);
    painter.drawPath(shoulders);

    painter.setBrush(kGold);
    painter.drawRect(QRectF(cx - 2.5, headY + 7, 5, waist - headY - 7));
    painter.setBrush(Qt::white);
    QPainterPath collar;
    collar.moveTo(cx - 9, headY + 6.5);
    collar.quadTo(cx, headY + 12.5, cx + 9, headY + 6.5);
    collar.quadTo(cx, headY + 9, cx - 9, headY + 6.5);
    painter.drawPath(collar);

    painter.setPen(QPen(kGold, 1.1));
    painter.drawLine(QPointF(cx - 13.5, headY + 11), QPointF(cx - 16, waist - 1));
    painter.drawLine(QPointF(cx + 13.5, headY + 11), QPointF(cx + 16, waist - 1));

    painter.setPen(figureOutline());
    painter.setBrush(kSkin);
    painter.drawEllipse(QPointF(cx + 8.5, headY + 15.5), 2.0, 1.7);
}

// Hair behind the head; the king's shows only as his beard.
void drawCourtHair(QPainter& painter, const CourtFigure& figure)
{
    painter.setPen(figureOutline());
    painter.setBrush(figure.hair);
    if (figure.face == kQueen) {
        QPainterPath locks;
        locks.addRoundedRect(QRectF(figure.cx - 8, figure.headY - 6, 16, 15), 6, 6);
        painter.drawPath(locks);
    } else if (figure.face == kJack) {
        painter.drawEllipse(QPointF(figure.cx, figure.headY - 1.5), 6.8, 6.0);
    }
}

// The head with eyes and mouth, and the king's beard.
void drawCourtHead(QPainter& painter, const CourtFigure& figure)
{
    const qreal cx = figure.cx;
    const qreal headY = figure.headY;
    painter.setPen(figureOutline());
    painter.setBrush(kSkin);
    painter.drawEllipse(QPointF(cx, headY), 5.6, 6.4);
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(40, 40, 60));
    painter.drawEllipse(QPointF(cx - 2.1, headY - 0.6), 0.7, 0.7);
    painter.drawEllipse(QPointF(cx + 2.1, headY - 0.6), 0.7, 0.7);
    painter.setBrush(QColor(190, 50, 50));
    painter.drawEllipse(QPointF(cx, headY + 3.2), 1.4, 0.6);
    if (figure.face != kKing)
        return;

    painter.setPen(figureOutline());
    painter.setBrush(figure.hair);
    QPainterPath beard;
    beard.moveTo(cx - 5.4, headY + 1.0);
    beard.quadTo(cx - 5, headY + 9.5, cx, headY + 10.5);
    beard.quadTo(cx + 5, headY + 9.5, cx + 5.4, headY + 1.0);
    beard.quadTo(cx, headY + 5.5, cx - 5.4, headY + 1.0);
    painter.drawPath(beard);
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(190, 50, 50));
    painter.drawEllipse(QPointF(cx, headY + 3.0), 1.4, 0.55);
}

// Headwear sits on a brim above the head; each draws with the figure's outline.

void drawCrown(QPainter& painter, qreal cx, qreal brim)
{
    QPainterPath crown;
    crown.moveTo(cx - 7, brim);
    crown.lineTo(cx - 8, brim - 8);
    crown.lineTo(cx - 4, brim - 4);
    crown.lineTo(cx, brim - 10);
    crown.lineTo(cx + 4, brim - 4);
    crown.lineTo(cx + 8, brim - 8);
    crown.lineTo(cx + 7, brim);
    crown.closeSubpath();
    painter.setBrush(kGold);
    painter.drawPath(crown);
    painter.setBrush(kRed);
    painter.drawEllipse(QPointF(cx, brim - 3), 1.3, 1.3);
    painter.setBrush(Qt::white);
    for (qreal x : {-8.0, 0.0, 8.0})
        painter.drawEllipse(QPointF(cx + x, brim - (x == 0.0 ? 10.0 : 8.0)), 1.0, 1.0);
}

void drawTiara(QPainter& painter, qreal cx, qreal brim)
{
    QPainterPath tiara;
    tiara.moveTo(cx - 6.5, brim + 0.5);
    tiara.quadTo(cx - 6, brim - 5, cx - 3, brim - 4);
    tiara.quadTo(cx, brim - 9, cx + 3, brim - 4);
    tiara.quadTo(cx + 6, brim - 5, cx + 6.5, brim + 0.5);
    tiara.closeSubpath();
    painter.setBrush(kGold);
    painter.drawPath(tiara);
    painter.setBrush(QColor(60, 120, 200));
    painter.drawEllipse(QPointF(cx, brim - 3.5), 1.3, 1.3);
    painter.setBrush(Qt::white);
    painter.drawEllipse(QPointF(cx - 4, brim - 1.5), 0.8, 0.8);
    painter.drawEllipse(QPointF(cx + 4, brim - 1.5), 0.8, 0.8);
}

void drawFeatheredCap(QPainter& painter, qreal cx, qreal brim, const QColor& cloth)
{
    QPainterPath cap;
    cap.moveTo(cx - 7, brim + 1.5);
    cap.quadTo(cx - 6, brim - 6, cx + 1, brim - 5.5);
    cap.quadTo(cx + 8, brim - 5, cx + 7.5, brim + 1.5);
    cap.closeSubpath();
    painter.setBrush(cloth);
    painter.drawPath(cap);
    painter.setBrush(kGold);
    painter.drawRect(QRectF(cx - 7, brim, 14.5, 1.8));
    QPainterPath feather;
    feather.moveTo(cx + 3, brim - 4);
    feather.quadTo(cx + 12, brim - 12, cx + 14, brim - 5);
    feather.quadTo(cx + 10, brim - 8, cx + 4, brim - 3);
    feather.closeSubpath();
    painter.setBrush(Qt::white);
    painter.drawPath(feather);
}

// A tall crown for the king, a tiara for the queen, a feathered cap for the jack.
void drawCourtHeadwear(QPainter& painter, const CourtFigure& figure)
{
    painter.setPen(figureOutline());
    const qreal brim = figure.headY - 5.0;
    if (figure.face == kKing)
        drawCrown(painter, figure.cx, brim);
    else if (figure.face == kQueen)
        drawTiara(painter, figure.cx, brim);
    else
        drawFeatheredCap(painter, figure.cx, brim, figure.robe);
}

// A crowned head and shoulders in the top half of the court frame; the bottom
// half is the same figure turned round, as on a double-headed card.
void drawCourtFigure(QPainter& painter, const SuitInk& suit, int face, const QRectF& frame)
{
    const CourtFigure figure = courtFigure(suit, face, frame);
    drawCourtEmblem(painter, figure);
    drawCourtRobe(painter, figure);
    drawCourtHair(painter, figure);
    drawCourtHead(painter, figure);
    drawCourtHeadwear(painter, figure);
    // The suit beside the figure's shoulder.
    drawPip(painter, suit, QPointF(frame.left() + 5.5, frame.top() + 6.5), 7.0);
}

void drawCourtFace(QPainter& painter, const SuitInk& suit, int face)
{
    const QRectF frame(13.5, 8.5, 44.0, 79.0);
    painter.setPen(Qt::NoPen);
    QLinearGradient ground(frame.topLeft(), frame.bottomLeft());
    ground.setColorAt(0.0, QColor(255, 248, 226));
    ground.setColorAt(0.5, QColor(250, 236, 196));
    ground.setColorAt(1.0, QColor(255, 248, 226));
    painter.setBrush(ground);
    painter.drawRect(frame);
    // A faint gold trellis behind the figures.
    painter.save();
    painter.setClipRect(frame);
    painter.setPen(QPen(QColor(214, 165, 40, 70), 0.6));
    for (qreal d = -frame.height(); d < frame.width(); d += 5.0) {
        painter.drawLine(QPointF(frame.left() + d, frame.top()), QPointF(frame.left() + d + frame.height(), frame.bottom()));
        painter.drawLine(QPointF(frame.right() - d, frame.top()), QPointF(frame.right() - d - frame.height(), frame.bottom()));
    }
    painter.restore();

    for (int half = 0; half < 2; ++half) {
        painter.save();
        if (half == 1) {
            painter.translate(frame.center());
            painter.rotate(180);
            painter.translate(-frame.center());
        }
        painter.setClipRect(QRectF(frame.left(), frame.top(), frame.width(), frame.height() / 2));
        drawCourtFigure(painter, suit, face, frame);
        painter.restore();
    }

    // The dividing line and the medallion with the court's letter.
    painter.setPen(QPen(kGold.darker(110), 0.8));
    painter.drawLine(QPointF(frame.left(), frame.center().y()), QPointF(frame.right(), frame.center().y()));
    painter.setPen(QPen(suit.colour, 1.2));
    painter.setBrush(Qt::white);
    painter.drawEllipse(frame.center(), 9.0, 9.0);
    painter.setPen(QPen(kGold, 0.8));
    painter.setBrush(Qt::NoBrush);
    painter.drawEllipse(frame.center(), 7.6, 7.6);
    const QPainterPath letter = textOutline(rankText(face), letterFont(), 10.0, 11.0);
    painter.save();
    painter.translate(frame.center().x(), frame.center().y() + 5.0);
    painter.setPen(Qt::NoPen);
    painter.setBrush(suit.colour);
    painter.drawPath(letter);
    painter.restore();

    // Frame: a suit-coloured line with gold inside it.
    painter.setBrush(Qt::NoBrush);
    painter.setPen(QPen(suit.colour, 1.0));
    painter.drawRect(frame);
    painter.setPen(QPen(kGold, 0.8));
    painter.drawRect(frame.adjusted(1.4, 1.4, -1.4, -1.4));
}

void drawCardBlank(QPainter& painter)
{
    const QRectF outer(0.5, 0.5, kCardSize.width() - 1.0, kCardSize.height() - 1.0);
    painter.setPen(QPen(kEdge, 1.0));
    painter.setBrush(Qt::white);
    painter.drawRoundedRect(outer, 4.5, 4.5);
}

void drawBack(QPainter& painter)
{
    const QRectF field(4.0, 4.0, kCardSize.width() - 8.0, kCardSize.height() - 8.0);
    QPainterPath fieldPath;
    fieldPath.addRoundedRect(field, 2.5, 2.5);

    painter.save();
    painter.setClipPath(fieldPath);
    QRadialGradient shade(field.center(), field.height() * 0.7);
    shade.setColorAt(0.0, QColor(34, 52, 128));
    shade.setColorAt(1.0, QColor(16, 26, 78));
    painter.fillRect(field, shade);

    // A crimson lattice with small bright knots where the lines cross.
    const qreal step = 7.0;
    painter.setPen(QPen(QColor(176, 26, 52), 1.3));
    for (qreal d = -field.height(); d < field.width() + field.height(); d += step) {
        painter.drawLine(QPointF(field.left() + d, field.top()), QPointF(field.left() + d - field.height(), field.bottom()));
        painter.drawLine(QPointF(field.left() + d, field.top()), QPointF(field.left() + d + field.height(), field.bottom()));
    }
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(232, 96, 112));
    for (qreal d = -field.height(); d < field.width() + field.height(); d += step) {
        for (qreal y = 0; y <= field.height(); y += step) {
            const int lane = static_cast<int>(std::lround(y / step));
            const qreal x = d + (lane % 2 ? step / 2 : 0.0);
            painter.drawEllipse(QPointF(field.left() + x, field.top() + y), 0.9, 0.9);
        }
    }

    // A medallion in the middle.
    const QPointF centre = field.center();
    painter.setPen(QPen(Qt::white, 1.2));
    painter.setBrush(QColor(150, 18, 44));
    painter.drawEllipse(centre, 13.0, 17.0);
    painter.setPen(QPen(QColor(255, 255, 255, 170), 0.7));
    painter.setBrush(QColor(24, 38, 104));
    painter.drawEllipse(centre, 9.0, 12.5);
    QPainterPath star;
    for (int k = 0; k < 8; ++k) {
        const qreal radius = k % 2 == 0 ? 8.5 : 2.6;
        const qreal angle = k * M_PI / 4.0 - M_PI / 2.0;
        const QPointF point(centre.x() + radius * 0.78 * std::cos(angle), centre.y() + radius * std::sin(angle));
        if (k == 0)
            star.moveTo(point);
        else
            star.lineTo(point);
    }
    star.closeSubpath();
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(246, 222, 150));
    painter.drawPath(star);
    painter.restore();

    // A fine white line just inside the field's edge.
    painter.setBrush(Qt::NoBrush);
    painter.setPen(QPen(QColor(255, 255, 255, 200), 0.8));
    painter.drawRoundedRect(field.adjusted(1.8, 1.8, -1.8, -1.8), 1.8, 1.8);
    painter.setPen(QPen(QColor(12, 18, 56), 0.8));
    painter.drawPath(fieldPath);
}

} // namespace

QPixmap cardPicture(int value, qreal dpr, CardColours colours)
{
    if (value < 0 || value > 52)
        return {};
    QImage canvas = newCanvas(kCardSize, dpr);
    QPainter painter(&canvas);
    painter.setRenderHint(QPainter::Antialiasing);
    drawCardBlank(painter);
    if (value == 0) {
        drawBack(painter);
    } else {
        const SuitInk suit = suitInk(suitOf(value), colours);
        const int face = faceOf(value);
        if (face == 1)
            drawAce(painter, suit);
        else if (face <= 10)
            drawPipFace(painter, suit, face);
        else
            drawCourtFace(painter, suit, face);
        drawIndices(painter, suit, face);
    }
    painter.end();
    return toPixmap(std::move(canvas));
}

} // namespace kestrova
