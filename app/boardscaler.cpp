#include "app/boardscaler.h"

#include "ui/picturecontrol.h"

#include <QEvent>
#include <QLabel>
#include <QWidget>

#include <algorithm>
#include <cmath>

namespace kestrova {

namespace {

QFont scaledFont(QFont font, qreal scale)
{
    if (font.pixelSize() > 0)
        font.setPixelSize(std::max(1, static_cast<int>(std::lround(font.pixelSize() * scale))));
    else if (font.pointSizeF() > 0)
        font.setPointSizeF(font.pointSizeF() * scale);
    return font;
}

} // namespace

namespace {

// Long enough to span the gaps between the resizes of a drag.
constexpr int kRestMilliseconds = 80;

} // namespace

BoardScaler::BoardScaler(QWidget* area, QWidget* board) : QObject(board), area_(area), board_(board)
{
    area_->installEventFilter(this);
    restTimer_.setSingleShot(true);
    restTimer_.setInterval(kRestMilliseconds);
    connect(&restTimer_, &QTimer::timeout, this, &BoardScaler::drawPictures);
}

qreal BoardScaler::fittingScale(const QSize& area, const QSize& boardSize)
{
    if (boardSize.isEmpty())
        return 1.0;
    const qreal scale = std::min(qreal(area.width()) / boardSize.width(), qreal(area.height()) / boardSize.height());
    return std::max<qreal>(1.0, scale);
}

QRect BoardScaler::scaled(const QRect& rect, qreal scale)
{
    const auto edge = [scale](int value) { return static_cast<int>(std::lround(value * scale)); };
    return QRect(QPoint(edge(rect.left()), edge(rect.top())),
                 QPoint(edge(rect.left() + rect.width()) - 1, edge(rect.top() + rect.height()) - 1));
}

// Everything on the board as it was made; taken once, before the first
// scaling, while every control still stands at scale 1.
void BoardScaler::recordBase()
{
    if (!base_.empty())
        return;
    inheritedFont_ = board_->font();
    std::vector<QWidget*> widgets{board_};
    for (QWidget* child : board_->findChildren<QWidget*>())
        widgets.push_back(child);
    for (QWidget* widget : widgets) {
        auto* label = qobject_cast<QLabel*>(widget);
        const bool sizedToText = label && !label->wordWrap() && label->size() == label->sizeHint();
        base_.push_back({widget, widget->geometry(), widget->font(), widget->testAttribute(Qt::WA_SetFont),
                         sizedToText});
    }
}

void BoardScaler::setEnabled(bool enabled)
{
    if (enabled == enabled_)
        return;
    enabled_ = enabled;
    recordBase();
    if (enabled_)
        layOut();
    else
        apply(1.0, QPoint(0, 0));
    restTimer_.stop();
    drawPictures();
}

bool BoardScaler::eventFilter(QObject* watched, QEvent* event)
{
    if (enabled_ && watched == area_ && event->type() == QEvent::Resize) {
        layOut();
        if (pictureScale_ != scale_)
            restTimer_.start();
    }
    return false;
}

void BoardScaler::layOut()
{
    const QSize boardSize = base_.front().geometry.size();
    const qreal scale = fittingScale(area_->size(), boardSize);
    const QSize shown = scaled(QRect(QPoint(0, 0), boardSize), scale).size();
    apply(scale, QPoint((area_->width() - shown.width()) / 2, (area_->height() - shown.height()) / 2));
}

void BoardScaler::apply(qreal scale, const QPoint& origin)
{
    const bool rescaled = scale != scale_;
    scale_ = scale;
    // At scale 1 fonts go back to exactly what they were: inherited ones are
    // inherited again.
    const bool atBase = scale == 1.0;
    board_->setFont(atBase ? QFont() : scaledFont(inheritedFont_, scale));
    for (const Base& base : base_) {
        QWidget* widget = base.widget;
        if (!widget)
            continue;
        if (base.ownFont)
            widget->setFont(atBase ? base.font : scaledFont(base.font, scale));
        QRect geometry = scaled(base.geometry, scale);
        if (widget == board_)
            geometry.moveTopLeft(origin);
        if (base.sizedToText) {
            widget->move(geometry.topLeft());
            widget->adjustSize();
        } else {
            widget->setGeometry(geometry);
        }
    }
    if (rescaled)
        emit laidOut(scale);
}

void BoardScaler::drawPictures()
{
    if (pictureScale_ == scale_)
        return;
    pictureScale_ = scale_;
    for (PictureControl* picture : board_->findChildren<PictureControl*>())
        picture->setPictureScale(pictureScale_);
    emit picturesScaled(pictureScale_);
}

} // namespace kestrova
