#include "ui/picturecontrol.h"

#include <QMouseEvent>
#include <QPainter>

namespace kestrova {

PictureControl::PictureControl(QWidget* parent) : QWidget(parent) {}

void PictureControl::setPicture(const QPixmap& picture)
{
    picture_ = picture;
    update();
}

void PictureControl::clearPicture()
{
    picture_ = QPixmap();
    update();
}

void PictureControl::paintEvent(QPaintEvent*)
{
    if (!picture_.isNull())
        QPainter(this).drawPixmap(0, 0, picture_);
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

} // namespace kestrova
