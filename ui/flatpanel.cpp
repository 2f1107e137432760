#include "ui/flatpanel.h"

#include <QEvent>
#include <QPainter>
#include <QPixmap>

namespace kestrova {

TFlatPanel::TFlatPanel(QWidget* parent) : QWidget(parent)
{
    resize(185, 41);
    color_ = parent ? parent->palette().color(QPalette::Window) : palette().color(QPalette::Window);
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
    update();
}

void TFlatPanel::setColor(const QColor& color)
{
    color_ = color;
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

void TFlatPanel::paintParentBackground(QPainter& painter)
{
    QWidget* parent = parentWidget();
    if (!parent)
        return;
    // The parent paints its own background and picture (not its children, this
    // panel among them) into our bitmap, shifted by our place in it.
    const QRect inParent = geometry().intersected(parent->rect());
    if (inParent.isEmpty())
        return;
    parent->render(&painter, inParent.topLeft() - pos(), QRegion(inParent),
                   QWidget::RenderFlags(QWidget::DrawWindowBackground));
}

void TFlatPanel::paintEvent(QPaintEvent*)
{
    const qreal ratio = devicePixelRatioF();
    QPixmap buffer(size() * ratio);
    buffer.setDevicePixelRatio(ratio);
    buffer.fill(Qt::transparent);
    {
        QPainter painter(&buffer);
        if (transparent_)
            paintParentBackground(painter);
        else
            painter.fillRect(rect(), color_);

        const int right = width() - 1;
        const int bottom = height() - 1;
        painter.setPen(colorHighLight_);
        painter.drawLine(0, 0, right, 0);
        painter.drawLine(0, 0, 0, bottom);
        painter.setPen(colorShadow_);
        painter.drawLine(0, bottom, right, bottom);
        painter.drawLine(right, 0, right, bottom);

        if (!caption_.isEmpty()) {
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
    }
    QPainter(this).drawPixmap(0, 0, buffer);
}

} // namespace kestrova
