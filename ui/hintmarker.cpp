#include "ui/hintmarker.h"

#include <QEvent>
#include <QPainter>

namespace kestrova {

HintMarker::HintMarker(QWidget* parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("hint_marker"));
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setAttribute(Qt::WA_NoSystemBackground);
    hide();
}

void HintMarker::showOn(QWidget* target)
{
    if (target_ != target) {
        if (target_)
            target_->removeEventFilter(this);
        target_ = target;
        setParent(target);
        target->installEventFilter(this);
    }
    setGeometry(target->rect());
    raise();
    show();
}

void HintMarker::withdraw()
{
    hide();
    if (target_)
        target_->removeEventFilter(this);
    target_ = nullptr;
}

// A target that changes size takes the ring with it.
bool HintMarker::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == target_ && event->type() == QEvent::Resize)
        setGeometry(target_->rect());
    return QWidget::eventFilter(watched, event);
}

// Gold on a dark edge, inside the card's outline: it stands out on the felt, on
// white card faces and on the backs alike.
void HintMarker::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF ring = QRectF(rect()).adjusted(2.5, 2.5, -2.5, -2.5);
    painter.setPen(QPen(QColor(120, 40, 0), 5));
    painter.drawRoundedRect(ring, 5, 5);
    painter.setPen(QPen(QColor(255, 204, 0), 3));
    painter.drawRoundedRect(ring, 5, 5);
}

} // namespace kestrova
