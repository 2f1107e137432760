#include "ui/lbbackground.h"

#include <QEvent>
#include <QPainter>
#include <QWidget>

namespace kestrova {

TLbBackground::TLbBackground(QWidget* owner) : QObject(owner), owner_(owner)
{
    owner_->installEventFilter(this);
}

TLbBackground::~TLbBackground()
{
    owner_->removeEventFilter(this);
}

void TLbBackground::setImage(const QPixmap& image)
{
    image_ = image;
    owner_->update();
}

void TLbBackground::setEnabled(bool enabled)
{
    enabled_ = enabled;
    owner_->update();
}

bool TLbBackground::eventFilter(QObject* watched, QEvent* event)
{
    // Tiles first; returning false lets the owner's own painting run on top.
    if (watched == owner_ && event->type() == QEvent::Paint)
        paintTiles();
    return false;
}

void TLbBackground::paintTiles()
{
    if (!enabled_ || image_.isNull())
        return;
    const QSize tile = image_.deviceIndependentSize().toSize();
    if (tile.isEmpty())
        return;
    // The window's outer size, so the tiles reach past the client area; they
    // always start at the owner's top-left corner and never move on a resize.
    const QSize outer = owner_->window()->frameGeometry().size().expandedTo(owner_->size());
    QPainter painter(owner_);
    for (int column = 0; column <= outer.width() / tile.width() + 1; ++column)
        for (int row = 0; row <= outer.height() / tile.height() + 1; ++row)
            painter.drawPixmap(column * tile.width(), row * tile.height(), image_);
}

} // namespace kestrova
