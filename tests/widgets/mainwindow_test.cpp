// The main window as a player meets it: menus and short-cuts, the board before
// and after a deal, a few moves by mouse and an undo by keyboard.

#include "app/mainform.h"
#include "game/card.h"
#include "game/random.h"
#include "online/highscoreform.h"
#include "support/clickcontrol.h"
#include "support/recordingsoundsink.h"
#include "ui/picturecontrol.h"

#include <QLabel>
#include <QMenuBar>
#include <QTemporaryDir>
#include <QtTest>

using namespace kestrova;

class MainWindowTest : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void menuBarHasEveryItemInOrder();
    void clientAreaKeepsTheBoardSize();
    void boardIsEmptyBeforeTheFirstDeal();
    void startGameDealsTheBoard();
    void shortGameByMouseAndUndoByKeyboard();
    void startNewGameShortcutDealsAgain();
    void helpShortcutAndMenusOpenTheSecondaryWindows();

private:
    QString labelText(const char* name) const { return main->findChild<QLabel*>(name)->text(); }
    PictureControl* control(const QString& name) const { return main->findChild<PictureControl*>(name); }
    void click(const QString& name) { QVERIFY2(testing::clickControl(main, name), qPrintable(name)); }
    int playableBaseSlot() const
    {
        const GameTable& game = main->game();
        for (int slot = 19; slot <= 28; ++slot)
            if (game.slotValue(slot) != 0 && areRankNeighbours(game.discardValue(), game.slotValue(slot)))
                return slot;
        return 0;
    }

    QTemporaryDir dataDir;
    Random random;
    RecordingSoundSink sounds;
    Tmain* main = nullptr;
};

void MainWindowTest::init()
{
    // Settings from an earlier run must not leak in.
    qputenv("KESTROVA_DATA_DIR", dataDir.path().toLocal8Bit());
    main = new Tmain(random, sounds);
    random.setState(12345);
    main->show();
    QVERIFY(QTest::qWaitForWindowActive(main));
}

void MainWindowTest::cleanup()
{
    delete main;
    main = nullptr;
    sounds.played.clear();
}

void MainWindowTest::menuBarHasEveryItemInOrder()
{
    QStringList seen;
    for (QAction* menuAction : main->menuBar()->actions()) {
        seen << menuAction->menu()->objectName() + "=" + menuAction->text();
        for (QAction* item : menuAction->menu()->actions())
            seen << (item->isSeparator() ? item->objectName() + "=-"
                                         : item->objectName() + "=" + item->text() + "|" +
                                               item->shortcut().toString(QKeySequence::PortableText));
    }
    const QStringList expected{
        "file1=Game", "StartGame1=Start New Game|Ctrl+S", "SelectDeal1=Select Deal...|", "N3=-",
        "Undo1=Undo|Ctrl+Z", "Hint1=Hint|H", "N1=-", "Exit1=Exit|",
        "Options1=Options", "PlaySounds1=Play Sounds|", "ResetScreenLocation1=Reset Screen Location|",
        "ChangeName1=Change  Name|", "updatecheck=Automatically Check for Updates|",
        "ShowWinnability1=Show Winnability|",
        "FourColourDeck1=Four-Colour Deck|", "ScaleBoardtoWindow1=Scale Board to Window|",
        "View1=View", "TallyList1=Tally List|", "ViewHighScoreList1=View High Score List|",
        "Help1=Help", "Help2=Help|F1", "N2=-", "About1=About|"};
    QCOMPARE(seen, expected);
    QVERIFY(main->findChild<QAction*>("PlaySounds1")->isChecked());
    QVERIFY(main->findChild<QAction*>("updatecheck")->isChecked());
    QVERIFY(!main->findChild<QAction*>("ShowWinnability1")->isChecked());
    QVERIFY(!main->findChild<QAction*>("FourColourDeck1")->isChecked());
    QVERIFY(!main->findChild<QAction*>("ScaleBoardtoWindow1")->isChecked());
    QVERIFY(main->findChild<QAction*>("Undo1")->isEnabled());
    QCOMPARE(main->windowTitle(), QString("Kestrova"));
}

void MainWindowTest::clientAreaKeepsTheBoardSize()
{
    main->resize(300, 200);
    QTRY_VERIFY(main->centralWidget()->width() >= 771);
    QVERIFY(main->centralWidget()->height() >= 500);
    main->resize(1000, 700);
    QTRY_COMPARE(main->width(), 1000);
    QCOMPARE(main->findChild<QWidget*>("panel_board")->geometry(), QRect(0, 0, 766, 495));
    QCOMPARE(main->findChild<QWidget*>("panel_board1")->geometry(), QRect(15, 33, 737, 448));
}

void MainWindowTest::boardIsEmptyBeforeTheFirstDeal()
{
    QCOMPARE(labelText("label_name"), QString("Welcome to Kestrova by Vorlin Software!"));
    QVERIFY(main->findChild<QWidget*>("panel_name")->isVisible());
    for (int slot = 1; slot <= 28; ++slot)
        QVERIFY(!control(QString("card_%1").arg(slot))->isVisible());
    QVERIFY(!control("image_stock")->hasPicture());
    QVERIFY(control("image_stockend")->isVisible());
    QVERIFY(!control("button_undo")->isVisible());
    QCOMPARE(control("card_19")->hint(), QString("19"));

    const std::vector<std::string> atStart = sounds.played;
    QTest::mouseClick(control("image_stock"), Qt::LeftButton);
    QTest::keyClick(main, Qt::Key_Z, Qt::ControlModifier);
    QCOMPARE(labelText("label_score"), QString());
    QCOMPARE(sounds.played, atStart);
}

void MainWindowTest::startGameDealsTheBoard()
{
    QCOMPARE(sounds.played, std::vector<std::string>{"entered"});
    click("button_start");
    QCOMPARE(labelText("label_score"), QString("Score: 0"));
    QCOMPARE(labelText("label_cardsleft"), QString("Cards Left: 23"));
    QCOMPARE(labelText("label_bonus"), QString());
    QCOMPARE(labelText("label_name"), QString("Good Luck Guest"));
    QVERIFY(!main->findChild<QWidget*>("panel_name")->isVisible());
    for (int slot = 1; slot <= 28; ++slot) {
        PictureControl* card = control(QString("card_%1").arg(slot));
        QVERIFY(card->isVisible());
        QCOMPARE(card->geometry().size(), QSize(71, 96));
        QCOMPARE(main->game().slotFaceUp(slot), slot >= 19);
    }
    QCOMPARE(control("card_18")->pos(), QPoint(622, 139));
    QVERIFY(control("image_stock")->hasPicture());
    QVERIFY(control("image_discard")->hasPicture());
    QCOMPARE(main->game().discardValue(), 4);   // the deal from state 12345
    QCOMPARE(sounds.played.back(), std::string("startgame"));
}

void MainWindowTest::shortGameByMouseAndUndoByKeyboard()
{
    click("button_start");
    const int slot = playableBaseSlot();
    QVERIFY(slot != 0);
    click(QString("card_%1").arg(slot));
    QCOMPARE(labelText("label_score"), QString("Score: 1"));
    QCOMPARE(labelText("label_bonus"), QString("+1"));
    QVERIFY(!control(QString("card_%1").arg(slot))->isVisible());
    QVERIFY(control("button_undo")->isVisible());
    QCOMPARE(sounds.played.back(), std::string("placecard"));

    click("image_stock");
    QCOMPARE(labelText("label_score"), QString("Score: 0"));
    QCOMPARE(labelText("label_bonus"), QString("-1"));
    QCOMPARE(labelText("label_cardsleft"), QString("Cards Left: 22"));

    QTest::keyClick(main, Qt::Key_Z, Qt::ControlModifier);
    QCOMPARE(labelText("label_score"), QString("Score: -2"));
    QCOMPARE(labelText("label_bonus"), QString());
    QCOMPARE(labelText("label_cardsleft"), QString("Cards Left: 23"));
    QVERIFY(control("button_undo")->isVisible());

    click("button_undo");
    QCOMPARE(labelText("label_score"), QString("Score: -3"));
    QVERIFY(control(QString("card_%1").arg(slot))->isVisible());
    QVERIFY(!control("button_undo")->isVisible());
    QVERIFY(!main->findChild<QAction*>("Undo1")->isEnabled());
    QVERIFY(!main->findChild<QWidget*>("panel_lost")->isVisible());
    QVERIFY(!main->findChild<QWidget*>("panel_cleared")->isVisible());
}

void MainWindowTest::startNewGameShortcutDealsAgain()
{
    QTest::keyClick(main, Qt::Key_S, Qt::ControlModifier);
    QCOMPARE(labelText("label_score"), QString("Score: 0"));
    click("image_stock");
    click("image_stock");
    QCOMPARE(labelText("label_score"), QString("Score: -3"));
    QTest::keyClick(main, Qt::Key_S, Qt::ControlModifier);
    QCOMPARE(labelText("label_score"), QString("Score: 0"));
    QCOMPARE(labelText("label_cardsleft"), QString("Cards Left: 23"));
    QVERIFY(!control("button_undo")->isVisible());
}

void MainWindowTest::helpShortcutAndMenusOpenTheSecondaryWindows()
{
    // The list is fetched from a port where nothing listens.
    qputenv("KESTROVA_CONNECT_TO", "localhost:80:127.0.0.1:1");
    QWidget help, about;
    Thighscore highscore({}, main->programname);
    main->setSecondaryWindows(nullptr, &about, &help, &highscore);
    QTest::keyClick(main, Qt::Key_F1);
    QVERIFY(help.isVisible());
    main->findChild<QAction*>("About1")->trigger();
    QVERIFY(about.isVisible());
    main->findChild<QAction*>("ViewHighScoreList1")->trigger();
    QVERIFY(highscore.isVisible());
    main->findChild<QAction*>("TallyList1")->trigger();   // no tally window: nothing happens
    main->setSecondaryWindows(nullptr, nullptr, nullptr, nullptr);
    qunsetenv("KESTROVA_CONNECT_TO");
}

QTEST_MAIN(MainWindowTest)
#include "mainwindow_test.moc"
