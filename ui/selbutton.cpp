#include "ui/selbutton.h"

#include <QEnterEvent>
#include <QFontMetrics>
#include <QMouseEvent>
#include <QPainter>

#include <algorithm>

namespace kestrova {

TSelButton::TSelButton(QWidget* parent) : QWidget(parent)
{
    resize(105, 20);
    color_ = palette().color(QPalette::Button);
    captionColor_ = fontColor_;
    QFont font(QStringLiteral("Arial"));
    font.setPointSize(8);
    setFont(font);
    // Mouse moves are reported even with no button held.
    setMouseTracking(true);
}

TSelButton::TSelButton(const QString& name, QWidget* parent) : TSelButton(parent)
{
    setObjectName(name);
    caption_ = name;
}

void TSelButton::setCaption(const QString& caption)
{
    caption_ = caption;
    update();
}

void TSelButton::setColor(const QColor& color)
{
    color_ = color;
    update();
}

void TSelButton::setColorBorder(const QColor& color)
{
    colorBorder_ = color;
    update();
}

void TSelButton::setColorOverCaption(const QColor& color)
{
    colorOverCaption_ = color;
    if (look_ == Look::Over)
        captionColor_ = color;
    update();
}

void TSelButton::setColorOver(const QColor& color)
{
    colorOver_ = color;
    update();
}

void TSelButton::setColorDown(const QColor& color)
{
    colorDown_ = color;
    update();
}

void TSelButton::setAlignment(Qt::Alignment alignment)
{
    alignment_ = alignment & Qt::AlignHorizontal_Mask;
    update();
}

void TSelButton::setBorderWidth(int width)
{
    borderWidth_ = std::max(0, width);
    update();
}

void TSelButton::setFontColor(const QColor& color)
{
    fontColor_ = color;
    if (look_ == Look::Normal)
        captionColor_ = color;
    update();
}

void TSelButton::setShowHint(bool show)
{
    showHint_ = show;
}

void TSelButton::setParentShowHint(bool follow)
{
    parentShowHint_ = follow;
}

bool TSelButton::hintShown() const
{
    if (parentShowHint_ && parentWidget()) {
        const QVariant parentShows = parentWidget()->property("ShowHint");
        if (parentShows.isValid())
            return parentShows.toBool();
    }
    return showHint_;
}

QPoint TSelButton::captionPosition(Look look) const
{
    const QFontMetrics metrics(font());
    const int textWidth = metrics.horizontalAdvance(caption_);
    const int down = look == Look::Down ? 1 : 0;
    int x = 5 + down;
    if (alignment_ & Qt::AlignHCenter)
        x = width() / 2 - textWidth / 2 + down;
    else if (alignment_ & Qt::AlignRight)
        x = width() - textWidth - 6 - down;
    return {x, height() / 2 - metrics.height() / 2 + down};
}

void TSelButton::setLook(Look look)
{
    look_ = look;
    if (look == Look::Normal)
        captionColor_ = fontColor_;
    else if (look == Look::Over)
        captionColor_ = colorOverCaption_;
    update();
}

void TSelButton::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    const QColor face = look_ == Look::Over ? colorOver_ : look_ == Look::Down ? colorDown_ : color_;
    painter.fillRect(rect().adjusted(1, 1, -1, -1), face);

    // Lines as filled one-pixel strips, so they stay whole pixels at any scale.
    for (int line = 0; line < borderWidth_; ++line) {
        const QRect ring = rect().adjusted(line, line, -line, -line);
        if (ring.width() < 1 || ring.height() < 1)
            break;
        painter.fillRect(ring.left(), ring.top(), ring.width(), 1, colorBorder_);
        painter.fillRect(ring.left(), ring.bottom(), ring.width(), 1, colorBorder_);
        painter.fillRect(ring.left(), ring.top(), 1, ring.height(), colorBorder_);
        painter.fillRect(ring.right(), ring.top(), 1, ring.height(), colorBorder_);
    }

    painter.setFont(font());
    painter.setPen(captionColor_);
    const QPoint at = captionPosition(look_);
    painter.drawText(at.x(), at.y() + QFontMetrics(font()).ascent(), caption_);
}

bool TSelButton::event(QEvent* event)
{
    if (event->type() == QEvent::ToolTip && !hintShown()) {
        event->ignore();
        return true;
    }
    if (event->type() == QEvent::Hide) {
        // A window hidden from this button's own click must not come back
        // showing it pressed or hovered.
        pressed_ = false;
        look_ = Look::Normal;
        captionColor_ = fontColor_;
    }
    return QWidget::event(event);
}

// Qt delivers no mouse events to a disabled widget; the checks below keep the
// enter and leave events, which it does deliver, equally silent.

void TSelButton::enterEvent(QEnterEvent* event)
{
    QWidget::enterEvent(event);
    if (!isEnabled())
        return;
    emit mouseEntered();
    setLook(pressed_ ? Look::Down : Look::Over);
}

void TSelButton::leaveEvent(QEvent* event)
{
    QWidget::leaveEvent(event);
    if (!isEnabled())
        return;
    emit mouseLeft();
    setLook(Look::Normal);
}

void TSelButton::mousePressEvent(QMouseEvent* event)
{
    if (!isEnabled())
        return;
    emit mousePressed(event->button(), event->position().toPoint());
    if (event->button() == Qt::LeftButton) {
        pressed_ = true;
        setLook(Look::Down);
    }
}

void TSelButton::mouseMoveEvent(QMouseEvent* event)
{
    if (!isEnabled())
        return;
    emit mouseMoved(event->position().toPoint());
    // While the button is held the mouse is grabbed, so leaving and coming
    // back show up here rather than as leave and enter events.
    if (pressed_) {
        const Look wanted = rect().contains(event->position().toPoint()) ? Look::Down : Look::Normal;
        if (wanted != look_)
            setLook(wanted);
    }
}

void TSelButton::mouseReleaseEvent(QMouseEvent* event)
{
    if (!isEnabled())
        return;
    const QPoint position = event->position().toPoint();
    const bool inside = rect().contains(position);
    if (event->button() == Qt::LeftButton) {
        // A click is a press and a release both on the button.
        const bool click = pressed_ && inside;
        pressed_ = false;
        if (click) {
            setLook(Look::Normal);
            emit clicked();
        }
    }
    emit mouseReleased(event->button(), position);
    if (event->button() == Qt::LeftButton && isEnabled() && isVisible())
        setLook(inside ? Look::Over : Look::Normal);
}

void TSelButton::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::EnabledChange && !isEnabled()) {
        pressed_ = false;
        setLook(Look::Normal);
    }
    if (event->type() == QEvent::FontChange)
        update();
    QWidget::changeEvent(event);
}

void setWindowButtonLook(TSelButton& button, const QString& caption, Qt::Alignment alignment)
{
    const QColor darkBlue(0, 0, 170);
    button.setCaption(caption);
    button.setColor(darkBlue);
    button.setColorOver(darkBlue);
    button.setColorDown(darkBlue);
    button.setColorBorder(Qt::white);
    button.setColorOverCaption(Qt::white);
    button.setFontColor(QColor(192, 192, 192));
    QFont font;
    font.setFamilies({QStringLiteral("Arial"), QStringLiteral("Liberation Sans")});
    font.setStyleHint(QFont::SansSerif);
    font.setPixelSize(13);
    font.setBold(true);
    button.setFont(font);
    button.setAlignment(alignment);
}

} // namespace kestrova
