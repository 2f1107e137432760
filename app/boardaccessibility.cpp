#include "app/boardaccessibility.h"

#include "game/cardname.h"
#include "game/gametable.h"
#include "ui/picturecontrol.h"

#include <QAccessible>
#include <QEvent>
#include <QLabel>

#include <algorithm>

namespace kestrova {

namespace {

void setNameIfChanged(QWidget* widget, const QString& name)
{
    // Setting a name tells assistive technology, so only a change is set.
    if (widget && widget->accessibleName() != name)
        widget->setAccessibleName(name);
}

void announce(QObject* object)
{
    QAccessibleEvent event(object, QAccessible::Alert);
    QAccessible::updateAccessibility(&event);
}

} // namespace

BoardAccessibility::BoardAccessibility(QWidget* board, const GameTable& game)
    : QObject(board), board_(board), game_(game)
{
    // Cards and the stock can be pressed; the discard only shows.
    for (int slot = 1; slot <= kSlotCount; ++slot)
        if (auto* card = board_->findChild<PictureControl*>(QStringLiteral("card_%1").arg(slot)))
            card->setAccessibleRole(QAccessible::Button);
    if (auto* stock = board_->findChild<PictureControl*>(QStringLiteral("image_stock")))
        stock->setAccessibleRole(QAccessible::Button);
    boardChanged();
}

QString BoardAccessibility::slotName(const GameTable& game, int slot)
{
    const int value = game.slotValue(slot);
    if (value == 0)
        return {};
    return game.slotFaceUp(slot) ? QString::fromStdString(cardName(value)) : QStringLiteral("Face-down card");
}

QString BoardAccessibility::stockName(const GameTable& game)
{
    // Before the first deal nothing lies on the stock's place.
    const int left = game.dealpos() == 0 ? 0 : std::max(0, kCardCount - game.dealpos());
    if (left == 0)
        return QStringLiteral("Stock, empty");
    return left == 1 ? QStringLiteral("Stock, 1 card") : QStringLiteral("Stock, %1 cards").arg(left);
}

QString BoardAccessibility::discardName(const GameTable& game)
{
    QString card = QString::fromStdString(cardName(game.discardValue()));
    if (card.isEmpty())
        return QStringLiteral("Discard, empty");
    card[0] = card[0].toLower();
    return QStringLiteral("Discard, ") + card;
}

void BoardAccessibility::boardChanged()
{
    for (int slot = 1; slot <= kSlotCount; ++slot)
        setNameIfChanged(board_->findChild<QWidget*>(QStringLiteral("card_%1").arg(slot)), slotName(game_, slot));
    setNameIfChanged(board_->findChild<QWidget*>(QStringLiteral("image_stock")), stockName(game_));
    setNameIfChanged(board_->findChild<QWidget*>(QStringLiteral("image_discard")), discardName(game_));
    announceIfChanged(board_->findChild<QLabel*>(QStringLiteral("label_score")), announcedScore_);
    announceIfChanged(board_->findChild<QLabel*>(QStringLiteral("label_cardsleft")), announcedCardsLeft_);
}

// A label tells of its new text by itself, but only to a reader that watches
// it; an alert is read out wherever the player's attention is.
void BoardAccessibility::announceIfChanged(QLabel* label, QString& lastText)
{
    if (!label || label->text() == lastText)
        return;
    lastText = label->text();
    if (!lastText.isEmpty())
        announce(label);
}

void BoardAccessibility::addPanel(QWidget* panel, const QLabel* title, const QLabel* detail)
{
    panels_.push_back({panel, title, detail});
    panel->installEventFilter(this);
}

bool BoardAccessibility::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() != QEvent::Show)
        return false;
    for (const Panel& entry : panels_) {
        if (entry.panel != watched)
            continue;
        // Titles can change while the panel is hidden ("You Cleared The
        // Board!" is set as it opens), so the name is taken at each showing.
        setNameIfChanged(entry.panel, entry.title ? entry.title->text() : QString());
        entry.panel->setAccessibleDescription(entry.detail ? entry.detail->text() : QString());
        announce(entry.panel);
    }
    return false;
}

} // namespace kestrova
