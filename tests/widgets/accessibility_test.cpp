// The board as assistive technology reads it: the name and role of every
// card, the stock, the discard, the labels and the picture buttons before and
// after moves, the announcements of score and cards-left changes and of the
// overlay panels, and the press action of what can be pressed.

#include "app/boardaccessibility.h"
#include "app/mainform.h"
#include "game/cardname.h"
#include "game/random.h"
#include "support/clickcontrol.h"
#include "support/decks.h"
#include "support/recordingsoundsink.h"

#include <QAccessible>
#include <QAccessibleActionInterface>
#include <QLabel>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QtTest>
#include <qpa/qplatformaccessibility.h>
#include <qpa/qplatformintegration.h>
#include <private/qguiapplication_p.h>

using namespace kestrova;
using testing::card;

namespace {

struct Heard {
    QAccessible::Event type;
    QObject* object;
};
std::vector<Heard> heard;

void recordEvent(QAccessibleEvent* event)
{
    heard.push_back({event->type(), event->object()});
}

} // namespace

class AccessibilityTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();
    void namesAndRolesFollowTheBoard();
    void cardNamesCoverTheWholeDeck();
    void scoreAndCardsLeftAreAnnouncedWhenTheyChange();
    void overlayPanelsAreAnnouncedWhenShown();
    void cardsStockAndButtonsCanBePressed();

private:
    QAccessibleInterface* accessible(const QString& name) const
    {
        QObject* object = main->findChild<QWidget*>(name);
        return object ? QAccessible::queryAccessibleInterface(object) : nullptr;
    }
    QString nameOf(const QString& name) const { return accessible(name)->text(QAccessible::Name); }
    QAccessible::Role roleOf(const QString& name) const { return accessible(name)->role(); }
    int alertsFor(const char* name) const
    {
        QObject* object = main->findChild<QObject*>(name);
        return int(std::count_if(heard.begin(), heard.end(), [object](const Heard& event) {
            return event.object == object && event.type == QAccessible::Alert;
        }));
    }

    QTemporaryDir dir;
    Random random;
    RecordingSoundSink sounds;
    Tmain* main = nullptr;
};

void AccessibilityTest::initTestCase()
{
    // No screen reader runs here: the platform's accessibility is switched on
    // by hand, and what it would be told is recorded instead.
    QPlatformAccessibility* platform = QGuiApplicationPrivate::platformIntegration()->accessibility();
    QVERIFY(platform);
    QAccessible::installUpdateHandler(recordEvent);
    platform->setActive(true);
    QVERIFY(QAccessible::isActive());
}

void AccessibilityTest::init()
{
    qputenv("KESTROVA_DATA_DIR", dir.path().toLocal8Bit());
    main = new Tmain(random, sounds);
    main->show();
    QVERIFY(QTest::qWaitForWindowExposed(main));
    heard.clear();
}

void AccessibilityTest::cleanup()
{
    delete main;
    main = nullptr;
    heard.clear();
    qunsetenv("KESTROVA_DATA_DIR");
}

void AccessibilityTest::namesAndRolesFollowTheBoard()
{
    // Before the first deal.
    QCOMPARE(nameOf("image_stock"), QString("Stock, empty"));
    QCOMPARE(nameOf("image_discard"), QString("Discard, empty"));
    QCOMPARE(roleOf("image_stock"), QAccessible::Button);
    QCOMPARE(roleOf("image_discard"), QAccessible::Graphic);
    QCOMPARE(nameOf("button_start"), QString("START GAME"));
    QCOMPARE(roleOf("button_start"), QAccessible::Button);
    QCOMPARE(nameOf("button_namedone"), QString("DONE"));
    QCOMPARE(nameOf("button_cancel"), QString("CANCEL"));
    QCOMPARE(roleOf("image_logo"), QAccessible::Link);

    // Slot 19 the seven of hearts on a six; slot 20 the eight of spades.
    main->dealDeck(testing::makeDeck({{29, card(Suit::Clubs, 6)}, {19, card(Suit::Hearts, 7)},
                                      {20, card(Suit::Spades, 8)}, {10, card(Suit::Diamonds, 12)},
                                      {30, card(Suit::Clubs, 13)}}));
    for (int slot = 1; slot <= 28; ++slot) {
        const QString name = QString("card_%1").arg(slot);
        QCOMPARE(roleOf(name), QAccessible::Button);
        const QString expected = slot >= 19 ? QString::fromStdString(cardName(main->game().slotValue(slot)))
                                            : QString("Face-down card");
        QCOMPARE(nameOf(name), expected);
    }
    QCOMPARE(nameOf("card_19"), QString("Seven of hearts"));
    QCOMPARE(nameOf("image_stock"), QString("Stock, 23 cards"));
    QCOMPARE(nameOf("image_discard"), QString("Discard, six of clubs"));
    QCOMPARE(roleOf("label_score"), QAccessible::StaticText);
    QCOMPARE(nameOf("label_score"), QString("Score: 0"));
    QCOMPARE(nameOf("label_cardsleft"), QString("Cards Left: 23"));

    // Two plays uncover slot 10, which then reads as its card.
    QVERIFY(testing::clickControl(main, "card_19"));
    QVERIFY(testing::clickControl(main, "card_20"));
    QCOMPARE(nameOf("image_discard"), QString("Discard, eight of spades"));
    QCOMPARE(nameOf("card_10"), QString("Queen of diamonds"));
    QVERIFY(accessible("card_19")->state().invisible);
    QCOMPARE(nameOf("label_score"), QString("Score: 3"));
    QCOMPARE(nameOf("label_bonus"), QString("+2"));

    // A stock turn, then undoing it and the last play.
    QVERIFY(testing::clickControl(main, "image_stock"));
    QCOMPARE(nameOf("image_stock"), QString("Stock, 22 cards"));
    QCOMPARE(nameOf("image_discard"), QString("Discard, king of clubs"));
    QCOMPARE(nameOf("label_cardsleft"), QString("Cards Left: 22"));
    main->button_undoClick();
    main->button_undoClick();
    QCOMPARE(nameOf("image_stock"), QString("Stock, 23 cards"));
    QCOMPARE(nameOf("card_10"), QString("Face-down card"));
    QCOMPARE(nameOf("card_20"), QString("Eight of spades"));
    QCOMPARE(nameOf("image_discard"), QString("Discard, seven of hearts"));

    // Down to the last stock card, and past it.
    for (int turn = 0; turn < 23; ++turn)
        main->image_stockClick();
    if (main->game().gameon()) {
        QCOMPARE(nameOf("image_stock"), QString("Stock, empty"));
    } else {
        // Lost: every card left is shown face up, and named so.
        QCOMPARE(nameOf("card_1"), QString::fromStdString(cardName(main->game().slotValue(1))));
    }
}

void AccessibilityTest::cardNamesCoverTheWholeDeck()
{
    QStringList names;
    for (int value = 1; value <= 52; ++value)
        names << QString::fromStdString(cardName(value));
    QCOMPARE(names.front(), QString("Ace of clubs"));
    QCOMPARE(names[13 + 9], QString("Ten of diamonds"));
    QCOMPARE(names[26 + 10], QString("Jack of hearts"));
    QCOMPARE(names.back(), QString("King of spades"));
    names.removeDuplicates();
    QCOMPARE(names.size(), 52);
    QCOMPARE(cardName(0), std::string());
    QCOMPARE(cardName(53), std::string());
}

void AccessibilityTest::scoreAndCardsLeftAreAnnouncedWhenTheyChange()
{
    main->dealDeck(testing::makeDeck({{29, card(Suit::Clubs, 6)}, {19, card(Suit::Hearts, 7)},
                                      {20, card(Suit::Spades, 10)}}));
    QCOMPARE(alertsFor("label_score"), 1);   // "Score: 0"
    QCOMPARE(alertsFor("label_cardsleft"), 1);
    heard.clear();

    QVERIFY(testing::clickControl(main, "card_19"));
    QCOMPARE(alertsFor("label_score"), 1);
    QCOMPARE(alertsFor("label_cardsleft"), 0);
    heard.clear();

    // A refused card changes nothing and says nothing.
    QVERIFY(testing::clickControl(main, "card_20"));
    QCOMPARE(alertsFor("label_score"), 0);
    QCOMPARE(alertsFor("label_cardsleft"), 0);

    QVERIFY(testing::clickControl(main, "image_stock"));
    QCOMPARE(alertsFor("label_score"), 1);
    QCOMPARE(alertsFor("label_cardsleft"), 1);
    // Each heard alert comes after the label already holds its new text.
    QCOMPARE(nameOf("label_score"), QString("Score: 0"));
    heard.clear();

    main->button_undoClick();
    QCOMPARE(alertsFor("label_score"), 1);   // 1 - 3
    QCOMPARE(alertsFor("label_cardsleft"), 1);
    QCOMPARE(nameOf("label_score"), QString("Score: -2"));
}

void AccessibilityTest::overlayPanelsAreAnnouncedWhenShown()
{
    main->ChangeName1Click();   // already shown from the start: no new announcement
    QCOMPARE(alertsFor("panel_name"), 0);
    main->button_namedoneClick();
    main->ChangeName1Click();
    QCOMPARE(alertsFor("panel_name"), 1);
    QCOMPARE(nameOf("panel_name"), QString("ENTER YOUR NAME"));

    main->dealDeck(testing::clearableDeck());
    for (int slot : testing::kClearingOrder)
        main->card_19Click(slot);
    QCOMPARE(alertsFor("panel_cleared"), 1);
    QCOMPARE(nameOf("panel_cleared"), QString("You Cleared The Board!"));
    QVERIFY(accessible("panel_cleared")->text(QAccessible::Description).startsWith("Your Score: "));

    using testing::card;
    main->dealDeck(testing::makeDeck({{52, card(Suit::Clubs, 5)}, {1, card(Suit::Clubs, 4)},
                                      {2, card(Suit::Diamonds, 4)}, {3, card(Suit::Hearts, 4)},
                                      {4, card(Suit::Spades, 4)}, {5, card(Suit::Clubs, 6)},
                                      {6, card(Suit::Diamonds, 6)}, {7, card(Suit::Hearts, 6)},
                                      {8, card(Suit::Spades, 6)}}));
    for (int turn = 0; turn < 23; ++turn)
        main->image_stockClick();
    QCOMPARE(alertsFor("panel_lost"), 1);
    QCOMPARE(nameOf("panel_lost"), QString("SORRY, YOU LOST!"));
}

void AccessibilityTest::cardsStockAndButtonsCanBePressed()
{
    QAccessibleInterface* start = accessible("button_start");
    QVERIFY(start->actionInterface());
    QVERIFY(start->actionInterface()->actionNames().contains(QAccessibleActionInterface::pressAction()));
    start->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
    QVERIFY(main->game().gameon());

    main->dealDeck(testing::makeDeck({{29, card(Suit::Clubs, 6)}, {19, card(Suit::Hearts, 7)}}));
    accessible("card_19")->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
    QCOMPARE(main->game().slotValue(19), 0);
    accessible("image_stock")->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
    QCOMPARE(main->game().dealpos(), 30);
    // The discard is only shown: it offers nothing to press.
    QVERIFY(!accessible("image_discard")->actionInterface()->actionNames().contains(
        QAccessibleActionInterface::pressAction()));
    // A hidden button cannot be pressed through its interface either.
    main->findChild<QLineEdit*>("edit_aname")->setText("Zed");
    accessible("button_namedone")->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
    QCOMPARE(main->playerName(), std::string("Guest"));
}

QTEST_MAIN(AccessibilityTest)
#include "accessibility_test.moc"
