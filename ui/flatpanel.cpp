#include "ui/flatpanel.h"

#include <QEvent>
#include <QPainter>
#include <QPaintEvent>
#include <QPixmap>

#include <cmath>

namespace kestrova {

TFlatPanel::TFlatPanel(QWidget* parent) : QWidget(parent)
{
    resize(185, 41);
    color_ = parent ? parent->palette().color(QPalette::Window) : palette().color(QPalette::Window);
    updateOpacity();
}

// An opaque panel covers every pixel it has, so nothing beneath it is
// repainted when it or one of its children changes.
void TFlatPanel::updateOpacity()
{
    setAttribute(Qt::WA_OpaquePaintEvent, !transparent_ && color_.alpha() == 255);
}

void TFlatPanel::setColorHighLight(const QColor& color)
{
    colorHighLight_ = color;
    update();
}

void TFlatPanel::setColorShadow(const QColor& color)
{
    colorShadow_ = color;
    update();
}

void TFlatPanel::setFrameColor(const QColor& color)
{
    colorHighLight_ = color;
    colorShadow_ = color;
    update();
}

void TFlatPanel::setTransparent(bool transparent)
{
    transparent_ = transparent;
    updateOpacity();
    update();
}

void TFlatPanel::setColor(const QColor& color)
{
    color_ = color;
    updateOpacity();
    update();
}

void TFlatPanel::setCaption(const QString& caption)
{
    caption_ = caption;
    update();
}

void TFlatPanel::setAlignment(Qt::Alignment alignment)
{
    alignment_ = alignment;
    update();
}

void TFlatPanel::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::EnabledChange || event->type() == QEvent::FontChange)
        update();
    QWidget::changeEvent(event);
}

void TFlatPanel::paintParentBackground(QPainter& painter, const QRect& area)
{
    QWidget* parent = parentWidget();
    if (!parent)
        return;
    // The parent paints its own background and picture (not its children, this
    // panel among them) into our bitmap, shifted by our place in it.
    const QRect inParent = geometry().intersected(parent->rect()).intersected(area.translated(pos()));
    if (inParent.isEmpty())
        return;
    parent->render(&painter, inParent.topLeft() - pos(), QRegion(inParent),
                   QWidget::RenderFlags(QWidget::DrawWindowBackground));
}

// An opaque panel paints straight onto the window, clipped to the part asked
// for. A transparent one is drawn through a bitmap of that part only, since
// the parent renders into it: a card turned over on the board repaints the
// card's rectangle, not the whole panel beneath it. At a fractional pixel
// ratio a part would not fall on whole device pixels, so there the whole panel
// is drawn through the bitmap, which also places its one-pixel frame as it
// always has.
void TFlatPanel::paintEvent(QPaintEvent* event)
{
    const qreal ratio = devicePixelRatioF();
    const bool wholePixels = std::floor(ratio) == ratio;
    if (!transparent_ && wholePixels) {
        QPainter painter(this);
        painter.fillRect(rect(), color_);
        paintFrameAndCaption(painter);
        return;
    }
    const QRect area = wholePixels ? event->rect() : rect();
    QPixmap buffer(area.size() * ratio);
    buffer.setDevicePixelRatio(ratio);
    buffer.fill(Qt::transparent);
    {
        QPainter painter(&buffer);
        painter.translate(-area.topLeft());
        if (transparent_)
            paintParentBackground(painter, area);
        else
            painter.fillRect(rect(), color_);
        paintFrameAndCaption(painter);
    }
    QPainter(this).drawPixmap(area.topLeft(), buffer);
}

void TFlatPanel::paintFrameAndCaption(QPainter& painter)
{
    const int right = width() - 1;
    const int bottom = height() - 1;
    painter.setPen(colorHighLight_);
    painter.drawLine(0, 0, right, 0);
    painter.drawLine(0, 0, 0, bottom);
    painter.setPen(colorShadow_);
    painter.drawLine(0, bottom, right, bottom);
    painter.drawLine(right, 0, right, bottom);

    if (caption_.isEmpty())
        return;
    const QRect inside = rect().adjusted(1, 1, -1, -1);
    const int flags = int(alignment_ & Qt::AlignHorizontal_Mask) | Qt::AlignVCenter | Qt::TextSingleLine;
    painter.setFont(font());
    if (isEnabled()) {
        painter.setPen(palette().color(QPalette::WindowText));
        painter.drawText(inside, flags, caption_);
    } else {
        painter.setPen(palette().color(QPalette::Light));
        painter.drawText(inside.translated(1, 1), flags, caption_);
        painter.setPen(palette().color(QPalette::Dark));
        painter.drawText(inside, flags, caption_);
    }
}

} // namespace kestrova
