// The tally window: what it shows after start-up, how it takes the game's
// reports, the reset, and the tally file it reads and writes.

#include "app/programwindows.h"
#include "game/random.h"
#include "support/decks.h"
#include "support/recordingsoundsink.h"
#include "tally/tallylistform.h"

#include <QFile>
#include <QLabel>
#include <QTemporaryDir>
#include <QtTest>

using namespace kestrova;

class TallyWindowTest : public QObject {
    Q_OBJECT

private slots:
    void init();
    void firstStartShowsTheDefaultsAndExitWritesTheFile();
    void aPlainTextFileIsRefusedAndStartUpGoesOn();
    void updatesShowAtOnceWithTheNewestEntryHighlighted();
    void resetAsksFirst();
    void theGameReportsToTheTallyWindow();
    void theTallyIsOnDiskOnceAGameIsDealtAndOnceItEnds();

private:
    std::filesystem::path tallyPath() const { return dir->filePath("kestrovatally.tld").toStdString(); }
    QByteArray readTallyFile() const
    {
        QFile file(dir->filePath("kestrovatally.tld"));
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }
    static QString text(QWidget* window, const QString& name) { return window->findChild<QLabel*>(name)->text(); }
    static QStringList counters(QWidget* window)
    {
        QStringList shown;
        for (int column = 1; column <= 6; ++column)
            shown << text(window, QStringLiteral("mylabel_%1").arg(column));
        return shown;
    }

    std::unique_ptr<QTemporaryDir> dir;
    QStringList errors;
};

void TallyWindowTest::init()
{
    dir = std::make_unique<QTemporaryDir>();
    QVERIFY(dir->isValid());
    errors.clear();
}

void TallyWindowTest::firstStartShowsTheDefaultsAndExitWritesTheFile()
{
    {
        Ttallylist tally({}, tallyPath(), [this](const QString& message) { errors << message; });
        QVERIFY(errors.isEmpty());
        QCOMPARE(tally.windowTitle(), QString("Kestrova - Tally List"));
        QCOMPARE(counters(&tally), (QStringList{"0", "0", "0%", "0", "1000", "0"}));
        for (int rank = 1; rank <= 10; ++rank) {
            QCOMPARE(text(&tally, QStringLiteral("label_num%1").arg(rank)), QStringLiteral("%1.").arg(rank));
            QCOMPARE(text(&tally, QStringLiteral("label_high%1").arg(rank)), QString());
        }
        QVERIFY(!QFile::exists(dir->filePath("kestrovatally.tld")));
    }
    const QByteArray written = readTallyFile();
    QVERIFY(written.startsWith("WRZL"));

    // Read back unchanged, then written again byte for byte the same.
    { Ttallylist again({}, tallyPath(), [this](const QString& message) { errors << message; }); }
    QCOMPARE(readTallyFile(), written);
    QVERIFY(errors.isEmpty());
}

void TallyWindowTest::aPlainTextFileIsRefusedAndStartUpGoesOn()
{
    QFile file(dir->filePath("kestrovatally.tld"));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("9\r\n12\r\n5\r\n");
    file.close();
    Ttallylist tally({}, tallyPath(), [this](const QString& message) { errors << message; });
    QCOMPARE(errors.size(), 1);
    QVERIFY2(errors[0].endsWith(" : Lzrw1 decompression : this file has no valid header !"), qPrintable(errors[0]));
    QCOMPARE(counters(&tally), (QStringList{"0", "0", "0%", "0", "1000", "0"}));
}

void TallyWindowTest::updatesShowAtOnceWithTheNewestEntryHighlighted()
{
    Ttallylist tally({}, tallyPath(), [this](const QString& message) { errors << message; });
    tally.model().addtomineincrease(TotalGames);
    tally.model().checkforhigher(LongestChain, 7);
    QCOMPARE(counters(&tally), (QStringList{"1", "0", "0%", "7", "1000", "0"}));
    tally.model().addtomineincrease(GamesCleared);
    QVERIFY(tally.model().checkscore(250, "Ada"));
    tally.model().checkforlower(LowestWinningScore, 250);
    tally.model().addtomineadd(RunningTotal, 250);
    tally.model().addtomineincrease(TotalGames);
    QCOMPARE(counters(&tally), (QStringList{"2", "1", "50%", "7", "250", "250"}));
    QCOMPARE(text(&tally, "label_name1"), QString("Ada"));
    QCOMPARE(text(&tally, "label_high1"), QString("250"));
    QVERIFY(!text(&tally, "label_date1").isEmpty());

    QVERIFY(tally.model().checkscore(300, "Bo"));
    auto* newest = tally.findChild<QLabel*>("label_name1");
    auto* older = tally.findChild<QLabel*>("label_name2");
    QCOMPARE(newest->text(), QString("Bo"));
    QCOMPARE(older->text(), QString("Ada"));
    QCOMPARE(newest->palette().color(QPalette::WindowText), QColor(Qt::red));
    QVERIFY(newest->font().bold());
    QCOMPARE(older->palette().color(QPalette::WindowText), QColor(Qt::white));
    QVERIFY(!older->font().bold());
}

void TallyWindowTest::resetAsksFirst()
{
    Ttallylist tally({}, tallyPath(), [this](const QString& message) { errors << message; });
    tally.model().addtomineincrease(TotalGames);
    tally.model().checkscore(99, "Cy");
    QStringList asked;
    tally.setConfirmation([&](const QString& question) { asked << question; return false; });
    tally.button_resetClick();
    QCOMPARE(asked, QStringList{"Are you sure you want to reset the Tally?"});
    QCOMPARE(text(&tally, "label_high1"), QString("99"));
    QCOMPARE(tally.findChild<QLabel*>("label_high1")->palette().color(QPalette::WindowText), QColor(Qt::red));

    tally.setConfirmation([](const QString&) { return true; });
    tally.button_resetClick();
    QCOMPARE(counters(&tally), (QStringList{"0", "0", "0%", "0", "1000", "0"}));
    QCOMPARE(text(&tally, "label_high1"), QString());
    QCOMPARE(text(&tally, "label_name1"), QString());
    QCOMPARE(tally.findChild<QLabel*>("label_high1")->palette().color(QPalette::WindowText), QColor(Qt::white));
}

void TallyWindowTest::theGameReportsToTheTallyWindow()
{
    qputenv("KESTROVA_DATA_DIR", dir->path().toLocal8Bit());
    Random random;
    RecordingSoundSink sounds;
    {
        ProgramWindows windows(random, sounds);
        QVERIFY(windows.tallylist.isHidden());
        QCOMPARE(windows.about().windowTitle(), QString("Kestrova - About"));
        QCOMPARE(windows.help().windowTitle(), QString("Kestrova - Help File"));
        QCOMPARE(windows.highscore().windowTitle(), QString("Kestrova - High Scores"));
        windows.main.button_startClick();
        windows.main.StartGame1Click();
        QCOMPARE(text(&windows.tallylist, "mylabel_1"), QString("2"));
        windows.main.findChild<QAction*>("TallyList1")->trigger();
        QVERIFY(windows.tallylist.isVisible());
        windows.tallylist.button_doneClick();
        QVERIFY(windows.tallylist.isHidden());
    }
    // The tally was saved at exit and is read at the next start.
    {
        ProgramWindows windows(random, sounds);
        QCOMPARE(text(&windows.tallylist, "mylabel_1"), QString("2"));
    }
    qunsetenv("KESTROVA_DATA_DIR");
}

void TallyWindowTest::theTallyIsOnDiskOnceAGameIsDealtAndOnceItEnds()
{
    qputenv("KESTROVA_DATA_DIR", dir->path().toLocal8Bit());
    Random random;
    RecordingSoundSink sounds;
    std::unique_ptr<ProgramWindows> windows;
    // What a fresh tally window reads from the disk once the saves asked for are done.
    const auto onDisk = [this, &windows]() -> QStringList {
        windows->tallylist.waitForSaves();
        if (!QFile::exists(dir->filePath("kestrovatally.tld")))
            return {};
        Ttallylist reader({}, tallyPath(), [this](const QString& message) { errors << message; });
        return counters(&reader);
    };
    {
        windows = std::make_unique<ProgramWindows>(random, sounds);
        Tmain& main = windows->main;
        main.button_startClick();
        QCOMPARE(onDisk(), (QStringList{"1", "0", "0%", "0", "1000", "0"}));

        // Cleared: the file has the win as soon as the panel shows.
        main.button_startClick();
        main.game().startWithDeck(testing::clearableDeck());
        for (int slot : testing::kClearingOrder)
            main.card_19Click(slot);
        QVERIFY(!main.game().gameon());
        const QStringList won = onDisk();
        QCOMPARE(won.mid(0, 4), (QStringList{"3", "1", "0%", "28"}));   // the percentage follows at the next deal

        // Lost: the last stock card fits no base-row card (aces to threes).
        std::vector<std::pair<int, int>> placed{{52, testing::card(Suit::Clubs, 8)}};
        for (int position = 19; position <= 28; ++position)
            placed.emplace_back(position, testing::card(Suit((position - 19) % 4), (position - 19) / 4 + 1));
        main.button_startClick();
        main.game().startWithDeck(testing::makeDeck(placed));
        windows->tallylist.waitForSaves();
        QFile::remove(dir->filePath("kestrovatally.tld"));
        while (main.game().gameon())
            main.image_stockClick();
        QVERIFY(!main.findChild<QWidget*>("panel_lost")->isHidden());
        QCOMPARE(onDisk().mid(0, 2), (QStringList{"5", "1"}));

        // An undo is no end: nothing written.
        main.button_startClick();
        windows->tallylist.waitForSaves();
        QFile::remove(dir->filePath("kestrovatally.tld"));
        main.image_stockClick();
        main.button_undoClick();
        windows->tallylist.waitForSaves();
        QVERIFY(!QFile::exists(dir->filePath("kestrovatally.tld")));
        windows.reset();
    }
    QVERIFY(errors.isEmpty());
    qunsetenv("KESTROVA_DATA_DIR");
}

QTEST_MAIN(TallyWindowTest)
#include "tallywindow_test.moc"
