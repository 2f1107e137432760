// The player's name panel and the sounds a game plays, as the main window
// drives them.

#include "app/mainform.h"
#include "game/random.h"
#include "support/clickcontrol.h"
#include "support/decks.h"
#include "support/recordingsoundsink.h"
#include "ui/nameedit.h"

#include <QAction>
#include <QLabel>
#include <QTemporaryDir>
#include <QtTest>

using namespace kestrova;

class NameAndSoundsTest : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void namePanelOpensAtStartAndDoneCopiesTheName();
    void startGameCancelsTheNamePanel();
    void changeNameShowsTheLastTypedText();
    void aNameIsOneLineHoweverItIsEntered();
    void hidingAPanelHandsItsFocusToTheBoard();
    void theGamesUndoKeyIsNotTheNameBoxs();
    void scriptedGamePlaysItsSoundsInOrder();

private:
    NameEdit* edit(const char* name) const { return main->findChild<NameEdit*>(name); }
    QWidget* panel(const char* name) const { return main->findChild<QWidget*>(name); }
    void click(const char* name) const { QVERIFY2(testing::clickControl(main, name), name); }

    QTemporaryDir dir;
    Random random;
    RecordingSoundSink sounds;
    Tmain* main = nullptr;
};

void NameAndSoundsTest::init()
{
    qputenv("KESTROVA_DATA_DIR", dir.path().toLocal8Bit());
    main = new Tmain(random, sounds);
    main->show();
    QVERIFY(QTest::qWaitForWindowExposed(main));
}

void NameAndSoundsTest::cleanup()
{
    delete main;
    sounds.played.clear();
    QFile::remove(dir.filePath("kestrova.ini"));
    qunsetenv("KESTROVA_DATA_DIR");
}

void NameAndSoundsTest::namePanelOpensAtStartAndDoneCopiesTheName()
{
    QVERIFY(panel("panel_name")->isVisible());
    QCOMPARE(edit("edit_aname")->text(), QString("Guest"));
    edit("edit_aname")->setText("");
    QTest::keyClicks(edit("edit_aname"), "Zoe");
    click("button_namedone");
    QVERIFY(!panel("panel_name")->isVisible());
    QCOMPARE(edit("edit_name")->text(), QString("Zoe"));

    main->findChild<QAction*>("ChangeName1")->trigger();
    edit("edit_aname")->setText("");
    click("button_namedone");
    QCOMPARE(edit("edit_name")->text(), QString());   // an empty name is taken as it is
    main->button_startClick();
    QCOMPARE(main->findChild<QLabel*>("label_name")->text(), QString("Good Luck "));
}

void NameAndSoundsTest::startGameCancelsTheNamePanel()
{
    edit("edit_aname")->setText("Nemo");
    click("button_start");
    QVERIFY(!panel("panel_name")->isVisible());
    QCOMPARE(edit("edit_name")->text(), QString("Guest"));
    QCOMPARE(main->findChild<QLabel*>("label_name")->text(), QString("Good Luck Guest"));
}

void NameAndSoundsTest::changeNameShowsTheLastTypedText()
{
    edit("edit_aname")->setText("Older");
    click("button_namedone");
    edit("edit_name")->setText("Newer");   // typed on the cleared-board panel
    main->findChild<QAction*>("ChangeName1")->trigger();
    QVERIFY(panel("panel_name")->isVisible());
    QCOMPARE(edit("edit_aname")->text(), QString("Older"));
    click("button_namedone");
    QCOMPARE(edit("edit_name")->text(), QString("Older"));
}

void NameAndSoundsTest::aNameIsOneLineHoweverItIsEntered()
{
    NameEdit* name = edit("edit_aname");
    name->setText("");
    name->insert("Ann\nBob");                  // the path a paste takes
    QCOMPARE(name->text(), QString("Ann Bob"));
    name->setText("");
    name->insert("a\tb\r\nc");
    QCOMPARE(name->text(), QString("a b  c"));
    name->setText(QString::fromUtf16(u"x\u2028y\u0001z"));
    QCOMPARE(name->text(), QString("x y z"));

    // Typing stops at ten characters; a longer stored name stays whole.
    name->setText("");
    QTest::keyClicks(name, "abcdefghijkl");
    QCOMPARE(name->text(), QString("abcdefghij"));
    name->setText("A stored name of 27 letters");
    QCOMPARE(name->text(), QString("A stored name of 27 letters"));
}

void NameAndSoundsTest::hidingAPanelHandsItsFocusToTheBoard()
{
    QWidget* board = panel("panel_board1");
    edit("edit_aname")->setFocus();
    QCOMPARE(main->focusWidget(), edit("edit_aname"));
    click("button_namedone");
    QCOMPARE(main->focusWidget(), board);

    main->findChild<QAction*>("ChangeName1")->trigger();
    QCOMPARE(main->focusWidget(), edit("edit_aname"));   // ready for typing
    main->StartGame1Click();                             // hides the panel as a cancel
    QCOMPARE(main->focusWidget(), board);

    // The cleared panel's name box, clicked into and then closed by CANCEL.
    main->game().startWithDeck(testing::clearableDeck());
    for (int slot : testing::kClearingOrder)
        main->card_19Click(slot);
    QVERIFY(panel("panel_cleared")->isVisible());
    edit("edit_name")->setFocus();
    click("button_cancel");
    QCOMPARE(main->focusWidget(), board);

    // A panel without the focus leaves it where it is.
    edit("edit_aname")->setFocus();
    panel("panel_lost")->show();
    panel("panel_lost")->hide();
    QCOMPARE(main->focusWidget(), edit("edit_aname"));
}

void NameAndSoundsTest::theGamesUndoKeyIsNotTheNameBoxs()
{
    // The short-cut machinery asks the focus widget first, with the event ignored.
    QKeyEvent ctrlZ(QEvent::ShortcutOverride, Qt::Key_Z, Qt::ControlModifier);
    ctrlZ.ignore();
    QApplication::sendEvent(edit("edit_aname"), &ctrlZ);
    QVERIFY(!ctrlZ.isAccepted());
    QKeyEvent ctrlA(QEvent::ShortcutOverride, Qt::Key_A, Qt::ControlModifier);
    ctrlA.ignore();
    QApplication::sendEvent(edit("edit_aname"), &ctrlA);
    QVERIFY(ctrlA.isAccepted());   // the box keeps its other editing keys
}

void NameAndSoundsTest::scriptedGamePlaysItsSoundsInOrder()
{
    // A board that clears in one rising chain from the discard.
    main->game().startWithDeck(testing::clearableDeck());
    main->card_19Click(10);   // covered
    main->image_stockClick();
    main->button_undoClick();
    for (int slot : testing::kClearingOrder)
        main->card_19Click(slot);

    QCOMPARE(sounds.played.front(), std::string("entered"));
    QCOMPARE(sounds.played[1], std::string("startgame"));
    QCOMPARE(sounds.played[2], std::string("invalid"));
    QCOMPARE(sounds.played[3], std::string("replace"));
    QCOMPARE(sounds.played.size(), 4u + 28u);
    for (std::size_t i = 4; i < 4 + 27; ++i)
        QCOMPARE(sounds.played[i], std::string("placecard"));
    const std::string winner = sounds.played.back();
    QVERIFY(winner == "winner" || winner == "winner1" || winner == "winner2");
    QVERIFY(panel("panel_cleared")->isVisible());
    QCOMPARE(main->findChild<QLabel*>("Label2")->text(), QString("You Cleared The Board!"));
    QVERIFY(main->findChild<QLabel*>("label_score1")->text().startsWith("Your Score: "));

    // With the option off, nothing plays.
    sounds.played.clear();
    QSignalSpy switchedOn(main, &Tmain::soundsSwitchedOn);
    QAction* option = main->findChild<QAction*>("PlaySounds1");
    option->trigger();
    main->game().startWithDeck(testing::clearableDeck());
    for (int slot : testing::kClearingOrder)
        main->card_19Click(slot);
    main->image_stockClick();
    QVERIFY(sounds.played.empty());
    // Switching it back on, not off, tells the start routine to load the sound output.
    QCOMPARE(switchedOn.count(), 0);
    option->trigger();
    QCOMPARE(switchedOn.count(), 1);
}

QTEST_MAIN(NameAndSoundsTest)
#include "namesounds_test.moc"
