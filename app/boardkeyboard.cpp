#include "app/boardkeyboard.h"

#include "game/gametable.h"
#include "ui/focusring.h"
#include "ui/picturecontrol.h"

#include <QAccessible>

#include <QApplication>
#include <QKeyEvent>
#include <QLineEdit>

#include <algorithm>

namespace kestrova {

BoardKeyboard::BoardKeyboard(QWidget* window, QWidget* board, const GameTable& game, PlayCard playCard,
                             Action turnStock)
    : QObject(window), window_(window), board_(board), game_(game), playCard_(std::move(playCard)),
      turnStock_(std::move(turnStock)), ring_(new FocusRing(board))
{
    // Keys reach the window when the control with the focus leaves them, and
    // so does every key while nothing has the focus. Clicks go to whatever
    // lies under the pointer, so they are watched application-wide.
    window_->installEventFilter(this);
    qApp->installEventFilter(this);
}

void BoardKeyboard::addPanel(QWidget* panel, Action close)
{
    panels_.emplace_back(panel, std::move(close));
}

bool BoardKeyboard::ringShown() const
{
    return ring_->isVisible();
}

bool BoardKeyboard::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::MouseButtonPress && ring_->isVisible()) {
        auto* widget = qobject_cast<QWidget*>(watched);
        if (widget && widget->window() == window_) {
            ring_->hide();
            markRinged(false);
        }
    } else if (event->type() == QEvent::KeyPress && watched == window_) {
        return keyPressed(static_cast<const QKeyEvent&>(*event));
    }
    return false;
}

bool BoardKeyboard::keyPressed(const QKeyEvent& key)
{
    // Modified keys are the menus' short-cuts.
    if ((key.modifiers() & ~Qt::KeypadModifier) != Qt::NoModifier)
        return false;
    const bool repeat = key.isAutoRepeat();
    if (key.key() == Qt::Key_Escape)
        return !repeat && closeTopPanel();
    // A name box keeps its own keys: typing "d" there types a d.
    if (qobject_cast<QLineEdit*>(QApplication::focusWidget()))
        return false;
    switch (key.key()) {
    case Qt::Key_Left:
        step(-1);
        return true;
    case Qt::Key_Right:
        step(+1);
        return true;
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_Space:
        if (!ringShown())
            return false;
        if (!repeat)
            press();
        return true;
    case Qt::Key_D:
        if (!repeat)
            turnStock_();
        return true;
    default:
        return false;
    }
}

QWidget* BoardKeyboard::controlAt(int place) const
{
    const QString name = place == kStockPlace ? QStringLiteral("image_stock") : QStringLiteral("card_%1").arg(place);
    return board_->findChild<QWidget*>(name);
}

// A card still on the board that nothing covers, or the stock, which can
// always be clicked.
bool BoardKeyboard::isStop(int place) const
{
    if (place == kStockPlace)
        return true;
    if (place < 1 || place > kSlotCount)
        return false;
    const QWidget* card = controlAt(place);
    return game_.slotValue(place) != 0 && game_.isFree(place) && card && card->isVisible();
}

// Slots are numbered in reading order, top row first and left to right, and
// the stock lies below the lowest row.
std::vector<int> BoardKeyboard::stops() const
{
    std::vector<int> places;
    for (int place = 1; place <= kStockPlace; ++place)
        if (isStop(place))
            places.push_back(place);
    return places;
}

void BoardKeyboard::step(int direction)
{
    const std::vector<int> places = stops();
    if (!ringShown()) {
        // The first arrow shows the ring where it stood last (or at the next
        // place, should that card have gone meanwhile); the very first one
        // at the arrow's end of the row of places.
        if (place_ == 0)
            showRingAt(direction > 0 ? places.front() : places.back());
        else
            showRingAt(isStop(place_) ? place_ : nextStopAfter(place_));
        return;
    }
    const auto at = std::find(places.begin(), places.end(), place_);
    const auto index = at - places.begin();
    const auto count = static_cast<std::ptrdiff_t>(places.size());
    const std::ptrdiff_t next = at == places.end() ? 0 : ((index + direction) % count + count) % count;
    showRingAt(places[static_cast<std::size_t>(next)]);
}

// A screen reader follows the ring as it follows the focus: the control
// under the ring reports itself focused, and each move is told.
void BoardKeyboard::markRinged(bool ringed)
{
    auto* control = qobject_cast<PictureControl*>(controlAt(place_));
    if (!control || control->isRinged() == ringed)
        return;
    control->setRinged(ringed);
    if (ringed) {
        QAccessibleEvent event(control, QAccessible::Focus);
        QAccessible::updateAccessibility(&event);
    }
}

void BoardKeyboard::showRingAt(int place)
{
    markRinged(false);
    place_ = place;
    markRinged(true);
    ring_->surround(controlAt(place), scale_);
    // Above the cards, under every overlay panel.
    QWidget* lowestPanel = nullptr;
    for (const auto& [panel, close] : panels_)
        if (panel && (!lowestPanel || board_->children().indexOf(panel) < board_->children().indexOf(lowestPanel)))
            lowestPanel = panel;
    if (lowestPanel)
        ring_->stackUnder(lowestPanel);
    else
        ring_->raise();
    ring_->show();
}

void BoardKeyboard::press()
{
    if (place_ == kStockPlace)
        turnStock_();
    else
        playCard_(place_);
}

// The stock, always a stop, comes last, so some place always follows.
int BoardKeyboard::nextStopAfter(int place) const
{
    for (int next = place + 1; next <= kStockPlace; ++next)
        if (isStop(next))
            return next;
    return kStockPlace;
}

void BoardKeyboard::boardChanged()
{
    if (ringShown() && !isStop(place_))
        showRingAt(nextStopAfter(place_));
}

void BoardKeyboard::setScale(qreal scale)
{
    scale_ = scale;
    if (place_ != 0)
        ring_->surround(controlAt(place_), scale_);
}

bool BoardKeyboard::closeTopPanel()
{
    QWidget* top = nullptr;
    const Action* close = nullptr;
    for (const auto& [panel, action] : panels_) {
        if (!panel || !panel->isVisible())
            continue;
        if (!top || board_->children().indexOf(panel) > board_->children().indexOf(top)) {
            top = panel;
            close = &action;
        }
    }
    if (!close)
        return false;
    (*close)();
    return true;
}

} // namespace kestrova
