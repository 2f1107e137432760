#include "ui/tiledwindow.h"

#include "ui/lbbackground.h"
#include "ui/textlabels.h"

#include <QShowEvent>

namespace kestrova {

TiledWindow::TiledWindow(const QString& objectName, const QString& caption, const QSize& clientSize,
                         const QPixmap& backgroundPicture, QWidget* parent)
    : QWidget(parent, Qt::Window), background_(new TLbBackground(this))
{
    setObjectName(objectName);
    setWindowTitle(caption);
    setFont(houseFont(11));
    QPalette palette = this->palette();
    palette.setColor(QPalette::Window, kNavy);
    setPalette(palette);
    setAutoFillBackground(true);
    resize(clientSize);
    background_->setImage(backgroundPicture);
}

void TiledWindow::showEvent(QShowEvent* event)
{
    if (!placed_ && anchor_ && !event->spontaneous()) {
        placed_ = true;
        move(anchor_->frameGeometry().center() - rect().center());
    }
    QWidget::showEvent(event);
}

} // namespace kestrova
