// Playing by keyboard: whole games played with the arrows, Return, Space and
// D end exactly as the same moves by mouse; the ring only ever stands on a
// card that can be played or on the stock; names are typed into name boxes,
// never played; Escape closes the panel on top as its own button would.

#include "app/boardkeyboard.h"
#include "app/programwindows.h"
#include "game/random.h"
#include "support/clickcontrol.h"
#include "support/decks.h"
#include "support/recordingsoundsink.h"
#include "ui/nameedit.h"
#include "ui/picturecontrol.h"

#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>
#include <optional>

using namespace kestrova;

namespace {

constexpr int kStock = BoardKeyboard::kStockPlace;

// A move: a slot 1..28, or kStock for a stock turn.
using Moves = std::vector<int>;

// The first free card in reading order that fits the discard, else the stock.
int greedyMove(const GameTable& game)
{
    for (int slot = 1; slot <= kSlotCount; ++slot)
        if (game.slotValue(slot) != 0 && game.isFree(slot) && areRankNeighbours(game.discardValue(), game.slotValue(slot)))
            return slot;
    return kStock;
}

// One run of the program's windows in a data folder of its own.
struct Run {
    QTemporaryDir dir;
    Random random;
    RecordingSoundSink sounds;
    std::unique_ptr<ProgramWindows> windows;

    Run()
    {
        qputenv("KESTROVA_DATA_DIR", dir.path().toLocal8Bit());
        windows = std::make_unique<ProgramWindows>(random, sounds);
        main().show();
        main().activateWindow();
    }
    Tmain& main() { return windows->main; }
    BoardKeyboard* keyboard() { return main().findChild<BoardKeyboard*>(); }
    QString label(const char* name) { return main().findChild<QLabel*>(name)->text(); }
};

} // namespace

class KeyboardPlayTest : public QObject {
    Q_OBJECT

private slots:
    void cleanup();
    void wholeGameByKeyboardEndsAsTheSameMovesByMouse_data();
    void wholeGameByKeyboardEndsAsTheSameMovesByMouse();
    void ringStopsOnlyAtPlayableCardsAndTheStock();
    void ringHidesOnAClickAndComesBackWhereItWas();
    void keysTypedIntoANameBoxStayThere();
    void escapeClosesTheTopPanelAsItsOwnButton();
    void tabReachesThePictureButtonsAndSpacePressesThem();

private:
    // Keys go where a player's would: to the widget with the focus, from
    // which what it leaves travels up to the window.
    void key(Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
    {
        QWidget* target = QApplication::focusWidget();
        QTest::keyClick(target ? target : &run->main(), key, modifiers);
        verifyRingOnAStop();
    }
    void verifyRingOnAStop()
    {
        BoardKeyboard* keyboard = run->keyboard();
        if (!keyboard->ringShown())
            return;
        const int place = keyboard->ringPlace();
        if (place == kStock)
            return;
        const GameTable& game = run->main().game();
        QVERIFY2(game.slotValue(place) != 0 && game.isFree(place),
                 qPrintable(QString("the ring stands on slot %1, which is covered or gone").arg(place)));
    }
    // Moves the ring with Right to `place` and presses it, with Return or Space.
    void playByKeyboard(int move, bool withSpace);
    Moves playToTheEndByKeyboard();
    void replayByMouse(const Moves& moves);
    void startRun() { run = std::make_unique<Run>(); QVERIFY(QTest::qWaitForWindowActive(&run->main())); }

    std::unique_ptr<Run> run;
};

void KeyboardPlayTest::cleanup()
{
    run.reset();
    qunsetenv("KESTROVA_DATA_DIR");
}

void KeyboardPlayTest::playByKeyboard(int move, bool withSpace)
{
    BoardKeyboard* keyboard = run->keyboard();
    if (!keyboard->ringShown())
        key(Qt::Key_Right);
    for (int steps = 0; keyboard->ringPlace() != move; ++steps) {
        QVERIFY2(steps <= kStock, qPrintable(QString("Right never reached %1").arg(move)));
        key(Qt::Key_Right);
    }
    key(withSpace ? Qt::Key_Space : Qt::Key_Return);
}

// Greedy play to the end of the game; stock turns alternate between D and
// the ring on the stock, plays between Return and Space.
Moves KeyboardPlayTest::playToTheEndByKeyboard()
{
    Moves moves;
    const GameTable& game = run->main().game();
    while (game.gameon()) {
        const int move = greedyMove(game);
        const bool alternate = moves.size() % 2 == 1;
        if (move == kStock && alternate)
            key(Qt::Key_D);
        else
            playByKeyboard(move, alternate);
        moves.push_back(move);
        if (QTest::currentTestFailed() || moves.size() > 200)
            break;
    }
    return moves;
}

void KeyboardPlayTest::replayByMouse(const Moves& moves)
{
    for (int move : moves) {
        const QString name = move == kStock ? QStringLiteral("image_stock") : QStringLiteral("card_%1").arg(move);
        QVERIFY2(testing::clickControl(&run->main(), name), qPrintable(name));
    }
}

void KeyboardPlayTest::wholeGameByKeyboardEndsAsTheSameMovesByMouse_data()
{
    QTest::addColumn<std::optional<Deck>>("deck");
    QTest::addColumn<quint32>("seed");
    QTest::addColumn<bool>("cleared");
    // One chain of all 28 cards, then the bonus for the untouched stock.
    QTest::newRow("cleared board") << std::optional<Deck>(testing::clearableDeck()) << 0u << true;
    // Shuffled deals played out, with stock turns on the way: one cleared
    // with 20 turns, one lost with 5 cards left.
    QTest::newRow("shuffled deal cleared") << std::optional<Deck>() << 20240611u << true;
    QTest::newRow("shuffled deal lost") << std::optional<Deck>() << 20240614u << false;
}

void KeyboardPlayTest::wholeGameByKeyboardEndsAsTheSameMovesByMouse()
{
    QFETCH(std::optional<Deck>, deck);
    QFETCH(quint32, seed);
    QFETCH(bool, cleared);

    const auto deal = [&] {
        if (deck) {
            run->main().dealDeck(*deck);
        } else {
            run->random.setState(seed);
            key(Qt::Key_S, Qt::ControlModifier);
        }
    };

    startRun();
    deal();
    const Moves moves = playToTheEndByKeyboard();
    QVERIFY(!run->main().game().gameon());
    QCOMPARE(run->main().findChild<QWidget*>("panel_cleared")->isVisible(), cleared);
    QCOMPARE(run->main().findChild<QWidget*>("panel_lost")->isVisible(), !cleared);
    QVERIFY(std::count(moves.begin(), moves.end(), kStock) >= (cleared ? 0 : 2));
    const std::string keyboardRecord = run->main().game().currentRecord();
    const QString keyboardScore = run->label("label_score");
    const StringGrid keyboardTally = run->windows->tallylist.model().grid();
    const std::vector<std::string> keyboardSounds = run->sounds.played;

    startRun();
    deal();
    replayByMouse(moves);
    QCOMPARE(run->label("label_score"), keyboardScore);
    QCOMPARE(run->main().game().currentRecord(), keyboardRecord);
    QVERIFY(run->windows->tallylist.model().grid() == keyboardTally);
    // The same sounds, apart from the random choice among the winning ones.
    QCOMPARE(run->sounds.played.size(), keyboardSounds.size());
}

void KeyboardPlayTest::ringStopsOnlyAtPlayableCardsAndTheStock()
{
    startRun();
    BoardKeyboard* keyboard = run->keyboard();
    key(Qt::Key_Escape);   // the name panel, whose box has the arrows
    key(Qt::Key_Right);
    QCOMPARE(keyboard->ringPlace(), kStock);   // before a deal only the stock takes a press
    QVERIFY(run->main().findChild<QWidget*>("focus_ring")->isVisible());

    // Slots 19 and 20 go first; slot 10 is then free.
    run->main().dealDeck(testing::makeDeck({{29, testing::card(Suit::Clubs, 5)},
                                            {19, testing::card(Suit::Hearts, 6)},
                                            {20, testing::card(Suit::Spades, 7)},
                                            {10, testing::card(Suit::Clubs, 8)}}));
    QCOMPARE(keyboard->ringPlace(), kStock);
    Moves visited;
    for (int k = 0; k < 11; ++k) {
        key(Qt::Key_Right);
        visited.push_back(keyboard->ringPlace());
    }
    QCOMPARE(visited, (Moves{19, 20, 21, 22, 23, 24, 25, 26, 27, 28, kStock}));
    key(Qt::Key_Left);
    QCOMPARE(keyboard->ringPlace(), 28);

    // Playing the card under the ring moves the ring on in reading order,
    // onto the card it uncovered when that comes first.
    playByKeyboard(19, false);
    QCOMPARE(run->main().game().slotValue(19), 0);
    QCOMPARE(keyboard->ringPlace(), 20);
    key(Qt::Key_Return);
    QCOMPARE(run->main().game().slotValue(20), 0);
    QCOMPARE(keyboard->ringPlace(), 21);
    key(Qt::Key_Left);
    QCOMPARE(keyboard->ringPlace(), 10);
    key(Qt::Key_Return);
    QCOMPARE(run->main().game().slotValue(10), 0);
    QCOMPARE(run->label("label_score"), QString("Score: 6"));

    // An undo that covers the card under the ring sends the ring on.
    QCOMPARE(keyboard->ringPlace(), 21);
    key(Qt::Key_Z, Qt::ControlModifier);   // the eight of clubs is back in slot 10
    key(Qt::Key_Left);
    QCOMPARE(keyboard->ringPlace(), 10);
    key(Qt::Key_Z, Qt::ControlModifier);   // the seven of spades is back and covers it
    QCOMPARE(keyboard->ringPlace(), 20);
    // D turns the stock wherever the ring is; Return on the stock does too.
    key(Qt::Key_D);
    QCOMPARE(run->label("label_cardsleft"), QString("Cards Left: 22"));
    while (keyboard->ringPlace() != kStock)
        key(Qt::Key_Right);
    key(Qt::Key_Return);
    QCOMPARE(run->label("label_cardsleft"), QString("Cards Left: 21"));
}

void KeyboardPlayTest::ringHidesOnAClickAndComesBackWhereItWas()
{
    startRun();
    run->main().dealDeck(testing::makeDeck({}));
    BoardKeyboard* keyboard = run->keyboard();
    key(Qt::Key_Return);
    key(Qt::Key_Space);
    QVERIFY(!keyboard->ringShown());   // no ring, nothing pressed
    QCOMPARE(run->main().game().journalSize(), std::size_t(0));

    key(Qt::Key_Left);
    key(Qt::Key_Left);
    QCOMPARE(keyboard->ringPlace(), 28);
    QVERIFY(testing::clickControl(&run->main(), "image_discard"));
    QVERIFY(!keyboard->ringShown());
    key(Qt::Key_Right);   // the first arrow only shows the ring again
    QVERIFY(keyboard->ringShown());
    QCOMPARE(keyboard->ringPlace(), 28);

    // A click that plays the card under the ring (the two of hearts on the
    // three): the next arrow shows the ring at the following place.
    QVERIFY(testing::clickControl(&run->main(), "card_28"));
    QCOMPARE(run->main().game().slotValue(28), 0);
    key(Qt::Key_Left);
    QCOMPARE(keyboard->ringPlace(), kStock);
}

void KeyboardPlayTest::keysTypedIntoANameBoxStayThere()
{
    startRun();
    auto* box = run->main().findChild<NameEdit*>("edit_aname");
    QTRY_COMPARE(QApplication::focusWidget(), box);   // the window opens with the name box in focus
    run->main().findChild<QAction*>("StartGame1")->trigger();
    run->main().findChild<QAction*>("ChangeName1")->trigger();
    QCOMPARE(QApplication::focusWidget(), box);
    box->clear();
    for (Qt::Key letter : {Qt::Key_D, Qt::Key_Space, Qt::Key_D})
        QTest::keyClick(box, letter);
    QTest::keyClick(box, Qt::Key_Left);
    QTest::keyClick(box, Qt::Key_Return);
    QCOMPARE(box->text(), QString("d d"));
    QCOMPARE(run->label("label_cardsleft"), QString("Cards Left: 23"));
    QVERIFY(!run->keyboard()->ringShown());
    QVERIFY(run->main().findChild<QWidget*>("panel_name")->isVisible());
}

void KeyboardPlayTest::escapeClosesTheTopPanelAsItsOwnButton()
{
    startRun();
    Tmain& main = run->main();
    auto* namePanel = main.findChild<QWidget*>("panel_name");
    auto* box = main.findChild<NameEdit*>("edit_aname");
    // Escape from the name box cancels: what was typed is not taken.
    QTest::keyClicks(box, "Zed");
    key(Qt::Key_Escape);
    QVERIFY(!namePanel->isVisible());
    QCOMPARE(main.playerName(), std::string("Guest"));
    QCOMPARE(QApplication::focusWidget(), main.findChild<QWidget*>("panel_board1"));

    // The lost panel over the name panel: DONE first, then the name panel.
    // The last stock card is a five; every four and six lies face down.
    using testing::card;
    main.dealDeck(testing::makeDeck({{52, card(Suit::Clubs, 5)}, {1, card(Suit::Clubs, 4)},
                                     {2, card(Suit::Diamonds, 4)}, {3, card(Suit::Hearts, 4)},
                                     {4, card(Suit::Spades, 4)}, {5, card(Suit::Clubs, 6)},
                                     {6, card(Suit::Diamonds, 6)}, {7, card(Suit::Hearts, 6)},
                                     {8, card(Suit::Spades, 6)}}));
    for (int turn = 0; turn < 23; ++turn)
        key(Qt::Key_D);
    auto* lostPanel = main.findChild<QWidget*>("panel_lost");
    QVERIFY(lostPanel->isVisible());
    main.ChangeName1Click();
    lostPanel->raise();
    key(Qt::Key_Escape);
    QVERIFY(!lostPanel->isVisible());
    QVERIFY(namePanel->isVisible());
    QCOMPARE(main.game().slotFaceUp(1), true);   // DONE leaves the board as it was
    key(Qt::Key_Escape);
    QVERIFY(!namePanel->isVisible());
    key(Qt::Key_Escape);   // nothing left to close
    QCOMPARE(main.game().slotFaceUp(1), true);

    // The cleared panel closes as CANCEL does, and the update offer as NO.
    main.dealDeck(testing::clearableDeck());
    for (int slot : testing::kClearingOrder)
        main.card_19Click(slot);
    auto* clearedPanel = main.findChild<QWidget*>("panel_cleared");
    QVERIFY(clearedPanel->isVisible());
    key(Qt::Key_Escape);
    QVERIFY(!clearedPanel->isVisible());

    auto* updatePanel = main.findChild<QWidget*>("panel_update");
    auto* no = updatePanel->findChild<PictureControl*>("button_updatecancel");
    QSignalSpy noPressed(no, &PictureControl::clicked);
    updatePanel->show();
    key(Qt::Key_Escape);
    QCOMPARE(noPressed.count(), 1);
}

void KeyboardPlayTest::tabReachesThePictureButtonsAndSpacePressesThem()
{
    startRun();
    Tmain& main = run->main();
    key(Qt::Key_Escape);   // the name panel
    const auto tabTo = [this](const char* name) {
        for (int presses = 0; presses < 20; ++presses) {
            key(Qt::Key_Tab);
            if (QApplication::focusWidget() && QApplication::focusWidget()->objectName() == name)
                return true;
        }
        return false;
    };
    QVERIFY(tabTo("button_start"));
    key(Qt::Key_Space);
    QCOMPARE(run->label("label_cardsleft"), QString("Cards Left: 23"));
    QVERIFY(main.game().gameon());
    QVERIFY(!tabTo("button_namedone"));   // a hidden panel's button is out of reach

    main.ChangeName1Click();
    QVERIFY(tabTo("button_namedone"));
    key(Qt::Key_Space);
    QVERIFY(!main.findChild<QWidget*>("panel_name")->isVisible());
}

QTEST_MAIN(KeyboardPlayTest)
#include "keyboardplay_test.moc"
