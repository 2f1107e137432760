// Deal numbers, "Select Deal...", hints, the winnability verdict and the best
// possible score, as the main window shows them.

#include "app/dealinsight.h"
#include "app/programwindows.h"
#include "game/position.h"
#include "game/random.h"
#include "game/solver.h"
#include "support/decks.h"
#include "support/recordingsoundsink.h"
#include "ui/dealnumberdialog.h"
#include "ui/hintmarker.h"
#include "ui/picturecontrol.h"

#include <QAction>
#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

using namespace kestrova;

namespace {

// The first generator state from `from` on whose deal the board can (or
// cannot) be cleared.
std::uint32_t firstDeal(bool winnable, std::uint32_t from = 0)
{
    for (std::uint32_t state = from;; ++state) {
        const Position deal = Position::dealtFromState(state);
        if (Solver(deal.deck).decide(deal)->winnable == winnable)
            return state;
    }
}

} // namespace

class DealInsightTest : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void dealNumberParsing_data();
    void dealNumberParsing();
    void dialogRefusesWhatIsNoDealAndTakesWhatIs();
    void selectDealPlaysThatDealAndLeavesTheRunsSequence();
    void followingTheHintsKeepsWhatTheDealPromised_data();
    void followingTheHintsKeepsWhatTheDealPromised();
    void hintIsFreeAndLastsUntilTheNextChange();
    void anAnswerForAnOldPositionShowsNothing();
    void verdictFollowsTheMovesWhileTheOptionIsOn();
    void optionOffLeavesEverySpecifiedThingAsItWas();
    void solverRunsOnlyForWhatIsWatchedOrAskedFor();

private:
    Tmain& main() const { return windows->main; }
    QLabel* label(const char* name) const { return main().findChild<QLabel*>(name); }
    QWidget* widget(const char* name) const { return main().findChild<QWidget*>(name); }
    HintMarker* marker() const { return main().findChild<HintMarker*>("hint_marker"); }
    QAction* action(const char* name) const { return main().findChild<QAction*>(name); }
    QString totalGames() const { return QString::fromStdString(windows->tallylist.model().grid().cell(1, 0)); }
    void selectDeal(std::uint32_t number)
    {
        main().setDealAsker([number] { return number; });
        action("SelectDeal1")->trigger();
    }
    // The control the hint rings, once it shows.
    QWidget* awaitHint()
    {
        if (!QTest::qWaitFor([this] { return marker() && marker()->isVisible(); }))
            return nullptr;
        return marker()->target();
    }
    // Presses H and clicks what it rings, and checks that the move keeps what
    // the position promised: a board that could be cleared still can, and
    // otherwise the best score stays within reach.
    void playHintedMove()
    {
        const Position before = *Position::of(main().game());
        const Solution promised = *Solver(before.deck).solve(before);
        QTest::keyClick(&main(), Qt::Key_H);
        QWidget* target = awaitHint();
        QVERIFY2(target, "no hint arrived");
        // Through the window, as a player's click comes: whatever lies on top
        // at that point takes it.
        QTest::mouseClick(main().windowHandle(), Qt::LeftButton, {}, target->mapTo(&main(), target->rect().center()));
        QVERIFY(!marker()->isVisible());
        const std::optional<Position> after = Position::of(main().game());
        QVERIFY2(after != before, "the hinted click was refused");
        if (!after) {
            QCOMPARE(main().game().score(), promised.bestScore);
            return;
        }
        const Solution kept = *Solver(after->deck).solve(*after);
        if (promised.winnable)
            QVERIFY(kept.winnable);
        else
            QCOMPARE(kept.bestScore, promised.bestScore);
    }
    void showWinnability()
    {
        if (!action("ShowWinnability1")->isChecked())
            action("ShowWinnability1")->trigger();
    }
    // Every other visible child of the panel that `label` would overlap.
    static QStringList overlapped(QWidget* label)
    {
        QStringList names;
        for (QWidget* other : label->parentWidget()->findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
            if (other != label && !other->isHidden() && other->geometry().intersects(label->geometry()))
                names << other->objectName();
        return names;
    }

    QTemporaryDir dataDir;
    Random random;
    RecordingSoundSink sounds;
    std::unique_ptr<ProgramWindows> windows;
};

void DealInsightTest::init()
{
    qputenv("KESTROVA_DATA_DIR", dataDir.path().toLocal8Bit());
    qputenv("KESTROVA_CONNECT_TO", "localhost:80:127.0.0.1:1");   // no update check reaches anything
    windows = std::make_unique<ProgramWindows>(random, sounds);
    main().show();
    QVERIFY(QTest::qWaitForWindowActive(&main()));
}

void DealInsightTest::cleanup()
{
    windows.reset();
    sounds.played.clear();
    QFile::remove(dataDir.filePath("kestrova.ini"));
    QFile::remove(dataDir.filePath("kestrovatally.tld"));
    qunsetenv("KESTROVA_CONNECT_TO");
}

void DealInsightTest::dealNumberParsing_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<qlonglong>("number");   // -1: refused
    QTest::newRow("zero") << "0" << 0LL;
    QTest::newRow("largest, blanks around") << " \t4294967295  " << 4294967295LL;
    QTest::newRow("leading zeros") << "007" << 7LL;
    QTest::newRow("one past 32 bits") << "4294967296" << -1LL;
    QTest::newRow("past 64 bits") << "184467440737095516160" << -1LL;
    QTest::newRow("negative") << "-1" << -1LL;
    QTest::newRow("plus sign") << "+5" << -1LL;
    QTest::newRow("blanks only") << "   " << -1LL;
    QTest::newRow("letters, hexadecimal, inner blank") << "0x1 2" << -1LL;
    QTest::newRow("decimal point") << "1.0" << -1LL;
    QTest::newRow("other script's digits") << QString::fromUtf8("\u0661\u0662") << -1LL;
}

void DealInsightTest::dealNumberParsing()
{
    QFETCH(QString, text);
    QFETCH(qlonglong, number);
    const std::optional<std::uint32_t> parsed = DealNumberDialog::parse(text);
    if (number < 0)
        QVERIFY2(!parsed, qPrintable(QString::number(parsed.value_or(0))));
    else
        QVERIFY(parsed == std::optional<std::uint32_t>(std::uint32_t(number)));
}

void DealInsightTest::dialogRefusesWhatIsNoDealAndTakesWhatIs()
{
    DealNumberDialog dialog(42, &main());
    auto* edit = dialog.findChild<QLineEdit*>("edit_dealnumber");
    auto* message = dialog.findChild<QLabel*>("label_dealmessage");
    QPushButton* ok = dialog.findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok);
    dialog.show();
    QCOMPARE(edit->text(), QString("42"));   // the deal in play, selected to be typed over
    QVERIFY(message->isHidden());

    QTest::keyClicks(edit, "-3");
    ok->click();
    QVERIFY(dialog.isVisible());
    QCOMPARE(message->text(), QString("Please enter a deal number from 0 to 4294967295."));
    QVERIFY(message->isVisible());

    edit->setText(" 4294967295 ");
    ok->click();
    QCOMPARE(dialog.result(), int(QDialog::Accepted));
    QVERIFY(dialog.number() == std::optional<std::uint32_t>(4294967295u));
}

void DealInsightTest::selectDealPlaysThatDealAndLeavesTheRunsSequence()
{
    random.setState(777);
    selectDeal(1404447408);
    QVERIFY(Position::of(main().game()) == Position::dealtFromState(1404447408));   // kestrova-sim's deal
    QCOMPARE(label("label_deal")->text(), QString("Deal 1404447408"));
    QCOMPARE(label("label_deal")->geometry().right() + 1, 15 + 737);   // where the board ends
    QCOMPARE(label("label_name")->text(), QString("Good Luck Guest"));
    QCOMPARE(sounds.played.back(), std::string("startgame"));
    QCOMPARE(totalGames(), QString("1"));

    // The run's own sequence goes on where it was.
    QCOMPARE(random.state(), 777u);
    action("StartGame1")->trigger();
    QCOMPARE(label("label_deal")->text(), QString("Deal 777"));
    QVERIFY(Position::of(main().game()) == Position::dealtFromState(777));

    // Cancelled: nothing dealt, nothing counted.
    main().image_stockClick();
    main().setDealAsker([] { return std::nullopt; });
    action("SelectDeal1")->trigger();
    QCOMPARE(main().game().dealpos(), 30);
    QCOMPARE(totalGames(), QString("2"));

    // A game dealt from a given deck has no number to show.
    main().game().startWithDeck(testing::clearableDeck());
    main().card_19Click(19);
    QCOMPARE(label("label_deal")->text(), QString());
}

void DealInsightTest::followingTheHintsKeepsWhatTheDealPromised_data()
{
    QTest::addColumn<bool>("winnable");
    QTest::newRow("the board can be cleared") << true;
    QTest::newRow("it can't") << false;
}

// Press H, click what it rings, again and again: the board clears, or the game
// ends with the best score the deal allowed. The end panel says what that was,
// in a place that moves none of its controls.
void DealInsightTest::followingTheHintsKeepsWhatTheDealPromised()
{
    QFETCH(bool, winnable);
    showWinnability();
    const std::uint32_t number = firstDeal(winnable);
    const Position deal = Position::dealtFromState(number);
    const int best = Solver(deal.deck).solve(deal)->bestScore;
    selectDeal(number);
    for (int moves = 0; main().game().gameon() && moves < 100; ++moves) {
        playHintedMove();
        if (QTest::currentTestFailed())
            return;
    }
    QCOMPARE(label("label_verdict")->text(), QString());   // no game in play

    QWidget* panel = widget(winnable ? "panel_cleared" : "panel_lost");
    QLabel* bestLine = label(winnable ? "label_bestcleared" : "label_bestlost");
    QVERIFY(panel->isVisible());
    QTRY_COMPARE(bestLine->text(), QString("Best possible: %1").arg(best));
    QVERIFY(bestLine->isVisible());
    QVERIFY(bestLine->fontMetrics().horizontalAdvance("Best possible: -888") <= bestLine->width());
    QCOMPARE(overlapped(bestLine), QStringList());
    if (winnable) {
        QCOMPARE(widget("button_sendscore")->geometry(), QRect(27, 132, 126, 40));
        QCOMPARE(widget("button_cancel")->geometry(), QRect(99, 183, 126, 40));
    } else {
        QCOMPARE(main().game().score(), best);
        QCOMPARE(widget("button_start2")->geometry(), QRect(171, 52, 126, 40));
    }
}

void DealInsightTest::hintIsFreeAndLastsUntilTheNextChange()
{
    QTest::keyClick(&main(), Qt::Key_H);   // no game yet
    QVERIFY(!marker()->isVisible());

    selectDeal(firstDeal(true));
    main().image_stockClick();
    const std::string before = main().game().currentRecord();
    const std::size_t journal = main().game().journalSize();
    action("Hint1")->trigger();
    QWidget* target = awaitHint();
    QVERIFY(target);
    QCOMPARE(main().game().currentRecord(), before);
    QCOMPARE(main().game().journalSize(), journal);

    // A refused click is no change; asking again rings the same control.
    main().card_19Click(1);
    action("Hint1")->trigger();
    QCOMPARE(marker()->target(), target);
    QVERIFY(marker()->isVisible());

    main().button_undoClick();
    QVERIFY(!marker()->isVisible());
    action("Hint1")->trigger();
    QVERIFY(awaitHint());
    main().StartGame1Click();
    QVERIFY(!marker()->isVisible());
}

// Asked for, and the position changed, before any answer could arrive: what
// comes for the old position is not shown for the new one.
void DealInsightTest::anAnswerForAnOldPositionShowsNothing()
{
    showWinnability();
    selectDeal(firstDeal(true));
    action("Hint1")->trigger();
    main().image_stockClick();
    QTRY_VERIFY(!label("label_verdict")->text().isEmpty());
    const Position now = *Position::of(main().game());
    QCOMPARE(label("label_verdict")->text() == "Winnable", Solver(now.deck).decide(now)->winnable);
    QTRY_VERIFY(main().dealInsight().settled());
    QVERIFY(!marker()->isVisible());   // asked for the old position only
    playHintedMove();                  // asked again: the new position's
}

void DealInsightTest::verdictFollowsTheMovesWhileTheOptionIsOn()
{
    selectDeal(firstDeal(true));
    QVERIFY(label("label_verdict")->isHidden());
    showWinnability();
    QTRY_COMPARE(label("label_verdict")->text(), QString("Winnable"));
    QVERIFY(label("label_verdict")->isVisible());
    QVERIFY(label("label_verdict")->x() > label("label_cardsleft")->geometry().right());

    // Draws without a play: the verdict follows every position.
    QStringList seen;
    while (main().game().gameon() && main().game().dealpos() < 52) {
        main().image_stockClick();
        const std::optional<Position> now = Position::of(main().game());
        if (!now)
            break;
        const QString expected = Solver(now->deck).decide(*now)->winnable ? "Winnable" : "Not winnable";
        QTRY_COMPARE(label("label_verdict")->text(), expected);
        seen << expected;
    }
    QVERIFY(seen.contains("Not winnable"));
    if (main().game().gameon()) {
        while (main().game().journalSize() > 0)
            main().button_undoClick();
        QTRY_COMPARE(label("label_verdict")->text(), QString("Winnable"));
    }

    action("ShowWinnability1")->trigger();
    QVERIFY(label("label_verdict")->isHidden());
}

void DealInsightTest::optionOffLeavesEverySpecifiedThingAsItWas()
{
    main().game().startWithDeck(testing::clearableDeck());
    for (int slot : testing::kClearingOrder)
        main().card_19Click(slot);
    QTRY_VERIFY(main().dealInsight().settled());   // every answer arrived and drawn
    QVERIFY(label("label_bestcleared")->isHidden());
    QVERIFY(label("label_verdict")->isHidden());
    QCOMPARE(main().game().score(), 406 + 60 + 120);   // one chain of 28 with three peak tops, then the bonus

    // Kept for the run only: the settings file holds its own keys and no other.
    showWinnability();
    main().saveinifile();
    QFile ini(dataDir.filePath("kestrova.ini"));
    QVERIFY(ini.open(QIODevice::ReadOnly));
    QStringList keys;
    for (const QByteArray& line : ini.readAll().split('\n'))
        if (line.contains('='))
            keys << QString::fromUtf8(line.left(line.indexOf('=')));
    QCOMPARE(keys, (QStringList{"Top", "Left", "Width", "Height", "Name", "Sounds", "Update"}));
}

// Unwatched, positions pass without a search; a hint searches the position in
// play, and watching searches what is on show at once.
void DealInsightTest::solverRunsOnlyForWhatIsWatchedOrAskedFor()
{
    windows.reset();   // the insight on its own
    const Position deal = Position::dealtFromState(firstDeal(true));
    Position drawn = deal;
    ++drawn.dealpos;
    drawn.discard = drawn.deck[drawn.dealpos];
    drawn.drawcount = 1;

    DealInsight insight;
    QSignalSpy verdicts(&insight, &DealInsight::verdictChanged);
    QSignalSpy hints(&insight, &DealInsight::hintFound);
    QSignalSpy bestScores(&insight, &DealInsight::dealBestScoreFound);
    insight.setPosition(deal);
    insight.setPosition(drawn);
    QTRY_VERIFY(insight.settled());
    QVERIFY(!insight.winnable());
    QCOMPARE(verdicts.count(), 0);

    insight.requestHint();
    QTRY_COMPARE(hints.count(), 1);
    QCOMPARE(insight.winnable(), std::optional<bool>(Solver(drawn.deck).decide(drawn)->winnable));
    insight.setPosition(deal);   // an undo: what was known is gone with its position
    QVERIFY(!insight.winnable());

    insight.setWatched(true);
    QTRY_VERIFY(insight.winnable() == std::optional<bool>(true));
    insight.setPosition(std::nullopt);   // the game ends: the deal's best score follows
    QTRY_COMPARE(bestScores.count(), 1);
    QCOMPARE(bestScores.at(0).at(0).toInt(), Solver(deal.deck).solve(deal)->bestScore);

    // Another deal ends unwatched: its best score is searched once it is watched.
    insight.setWatched(false);
    const Position other = Position::dealtFromState(firstDeal(true, firstDeal(true) + 1));
    insight.setPosition(other);
    insight.setPosition(std::nullopt);
    QTRY_VERIFY(insight.settled());
    QCOMPARE(bestScores.count(), 1);
    insight.setWatched(true);
    QTRY_COMPARE(bestScores.count(), 2);
    QCOMPARE(insight.dealBestScore(), Solver(other.deck).solve(other)->bestScore);
}

QTEST_MAIN(DealInsightTest)
#include "dealinsight_test.moc"
