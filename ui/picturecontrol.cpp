#include "ui/picturecontrol.h"

#include "ui/accessiblepicture.h"
#include "ui/focusring.h"

#include <QGuiApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>

namespace kestrova {

PictureControl::PictureControl(QWidget* parent) : QWidget(parent)
{
    AccessiblePicture::installFactory();
}

// The board sets every control after each move; only those whose picture
// changed are painted again.
void PictureControl::setPicture(const QPixmap& picture)
{
    if (!draw_ && picture.cacheKey() == picture_.cacheKey())
        return;
    draw_ = nullptr;
    drawPending_ = false;
    picture_ = picture;
    update();
}

void PictureControl::setPicture(const PictureDrawer& draw)
{
    draw_ = draw;
    drawPending_ = static_cast<bool>(draw_);
    picture_ = QPixmap();
    update();
}

const QPixmap& PictureControl::picture() const
{
    if (drawPending_) {
        drawPending_ = false;
        picture_ = drawnAtScale(draw_, scale_, qApp->devicePixelRatio());
    }
    return picture_;
}

void PictureControl::setPictureScale(qreal scale)
{
    if (scale == scale_)
        return;
    scale_ = scale;
    if (draw_)
        setPicture(PictureDrawer(draw_));
}

void PictureControl::clearPicture()
{
    if (!draw_ && picture_.isNull())
        return;
    draw_ = nullptr;
    drawPending_ = false;
    picture_ = QPixmap();
    update();
}

void PictureControl::click()
{
    emit clicked();
}

void PictureControl::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    if (const QPixmap& shown = picture(); !shown.isNull())
        painter.drawPixmap(0, 0, shown);
    // Only a control reached by Tab ever has the focus; a click never gives it.
    if (hasFocus()) {
        const qreal inset = 2.5 * scale_;
        FocusRing::paint(painter, QRectF(rect()).adjusted(inset, inset, -inset, -inset), scale_);
    }
}

void PictureControl::mousePressEvent(QMouseEvent* event)
{
    pressed_ = event->button() == Qt::LeftButton;
}

void PictureControl::mouseReleaseEvent(QMouseEvent* event)
{
    const bool click = pressed_ && event->button() == Qt::LeftButton && rect().contains(event->position().toPoint());
    pressed_ = false;
    if (click)
        emit clicked();
}

void PictureControl::keyPressEvent(QKeyEvent* event)
{
    const int key = event->key();
    if ((event->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier
        && (key == Qt::Key_Space || key == Qt::Key_Return || key == Qt::Key_Enter)) {
        if (!event->isAutoRepeat())
            click();
        return;
    }
    QWidget::keyPressEvent(event);
}

void PictureControl::focusInEvent(QFocusEvent* event)
{
    QWidget::focusInEvent(event);
    update();
}

void PictureControl::focusOutEvent(QFocusEvent* event)
{
    QWidget::focusOutEvent(event);
    update();
}

} // namespace kestrova
