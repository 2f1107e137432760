#include "ui/focusring.h"

#include <QPainter>
#include <QPen>

#include <cmath>

namespace kestrova {

namespace {

constexpr qreal kGap = 4.0;      // between the target's edge and the ring's outside
constexpr qreal kWidth = 2.5;

} // namespace

FocusRing::FocusRing(QWidget* board) : QWidget(board)
{
    setObjectName(QStringLiteral("focus_ring"));
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setFocusPolicy(Qt::NoFocus);
    hide();
}

void FocusRing::surround(QWidget* target, qreal scale)
{
    target_ = target;
    scale_ = scale;
    if (!target)
        return;
    const int gap = static_cast<int>(std::ceil(kGap * scale));
    setGeometry(target->geometry().adjusted(-gap, -gap, gap, gap));
    update();
}

void FocusRing::paint(QPainter& painter, const QRectF& ring, qreal scale)
{
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setBrush(Qt::NoBrush);
    const qreal width = kWidth * scale;
    painter.setPen(QPen(QColor(0, 0, 40), width + 1.5 * scale));
    painter.drawRoundedRect(ring, 6.0 * scale, 6.0 * scale);
    QPen dashes(QColor(255, 221, 0), width, Qt::CustomDashLine, Qt::FlatCap);
    dashes.setDashPattern({3.0, 2.0});
    painter.setPen(dashes);
    painter.drawRoundedRect(ring, 6.0 * scale, 6.0 * scale);
    painter.restore();
}

void FocusRing::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    const qreal inset = (kWidth + 1.5) * scale_ / 2.0;
    paint(painter, QRectF(rect()).adjusted(inset, inset, -inset, -inset), scale_);
}

} // namespace kestrova
