// The game and the real score server together: a cleared board's score,
// posted with a name that needs encoding, comes back on the list page exactly
// as typed, the longest names the game keeps whole; with the server gone, the
// wait ends in "Posting Failed." once.

#include "app/programwindows.h"
#include "game/random.h"
#include "online/highscoreform.h"
#include "support/clearedboard.h"
#include "support/clickcontrol.h"
#include "support/decks.h"
#include "support/loopbackhttp.h"
#include "support/recordingsoundsink.h"
#include "ui/htmlview.h"
#include "ui/nameedit.h"

#include <QLineEdit>
#include <QTemporaryDir>
#include <QtTest>

using namespace kestrova;

class PostingEndToEndTest : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void aPostedScoreIsOnTheListAsTyped();
    void withTheServerGoneTheWaitEndsInOneFailure();
    void theLongestNamesAreStoredWhole_data();
    void theLongestNamesAreStoredWhole();

private:
    // The program's windows with a cleared board, its panel showing.
    std::unique_ptr<ProgramWindows> clearedBoard() { return testing::clearedBoard(random, sounds); }
    QString shownList(ProgramWindows& windows) const
    {
        return windows.highscore().findChild<THtmlView*>("displayhtml")->toPlainText();
    }

    QTemporaryDir dataDir;
    Random random;
    RecordingSoundSink sounds;
    std::unique_ptr<testing::ServerProcess> server;
};

void PostingEndToEndTest::init()
{
    server = std::make_unique<testing::ServerProcess>(
        KESTROVA_SERVER_PATH, std::vector<std::string>{"--db", dataDir.filePath("scores.db").toStdString()});
    // The game builds its URLs for port 80 of the host; the route takes them to the server.
    qputenv("KESTROVA_SERVER", "localhost");
    qputenv("KESTROVA_CONNECT_TO", QByteArray("localhost:80:127.0.0.1:") + QByteArray::number(server->port()));
    qputenv("KESTROVA_DATA_DIR", dataDir.path().toLocal8Bit());
}

void PostingEndToEndTest::cleanup()
{
    server.reset();
    qunsetenv("KESTROVA_SERVER");
    qunsetenv("KESTROVA_CONNECT_TO");
    qunsetenv("KESTROVA_DATA_DIR");
}

void PostingEndToEndTest::aPostedScoreIsOnTheListAsTyped()
{
    const auto windows = clearedBoard();
    Tmain& main = windows->main;
    const QString name = QString::fromUtf8("Ann & B\xc3\xb8#1");   // ten characters, as typing allows
    main.findChild<QLineEdit*>("edit_name")->setText(name);
    const QString score = QString::number(main.game().score());
    QVERIFY(testing::clickControl(&main, "button_sendscore"));

    // The answer closes the panel and opens the list, which the server builds
    // from what it stored.
    QTRY_VERIFY_WITH_TIMEOUT(windows->highscore().isVisible(), 20000);
    QVERIFY(!main.findChild<QWidget*>("panel_cleared")->isVisible());
    QTRY_VERIFY2_WITH_TIMEOUT(shownList(*windows).contains(name), qPrintable(shownList(*windows)), 20000);
    const QString list = shownList(*windows);
    const qsizetype at = list.indexOf(name);
    QVERIFY2(list.indexOf(score, at) > at, qPrintable(list));
}

void PostingEndToEndTest::withTheServerGoneTheWaitEndsInOneFailure()
{
    QCOMPARE(server->terminate(), 0);
    const auto windows = clearedBoard();
    Tmain& main = windows->main;
    QStringList messages;
    main.setMessageReporter([&](const QString& message) { messages << message; });
    auto* timer = main.findChild<QTimer*>("Timer1");
    timer->setInterval(5);   // the product's second, shortened for the test
    main.button_sendscoreClick();
    QTRY_VERIFY_WITH_TIMEOUT(!timer->isActive(), 20000);
    QCOMPARE(messages, QStringList{"Posting Failed."});
    QVERIFY(main.findChild<QWidget*>("panel_wait")->isVisible());
    QVERIFY(!windows->highscore().isVisible());
}

void PostingEndToEndTest::theLongestNamesAreStoredWhole_data()
{
    QTest::addColumn<QString>("name");
    QTest::newRow("65 bytes") << QString(65, u'n');
    // 127 two-byte letters and a plus: the name box's bound, on a letter's edge.
    QTest::newRow("255 bytes with a plus") << QString(127, QChar(0xf8)) + u'+';
}

// The server takes every name the game lets a player keep: none is refused
// (which would show "Posting Failed.") or cut.
void PostingEndToEndTest::theLongestNamesAreStoredWhole()
{
    QFETCH(QString, name);
    const auto windows = clearedBoard();
    Tmain& main = windows->main;
    QStringList messages;
    main.setMessageReporter([&](const QString& message) { messages << message; });
    // As the settings file gives it: typing stops at ten characters.
    main.findChild<NameEdit*>("edit_name")->setText(name);
    QCOMPARE(main.findChild<NameEdit*>("edit_name")->text(), name);
    QVERIFY(testing::clickControl(&main, "button_sendscore"));

    QTRY_VERIFY_WITH_TIMEOUT(windows->highscore().isVisible(), 20000);
    QTRY_VERIFY2_WITH_TIMEOUT(shownList(*windows).contains(name), qPrintable(shownList(*windows)), 20000);
    QVERIFY2(messages.isEmpty(), qPrintable(messages.join(u'|')));
}

QTEST_MAIN(PostingEndToEndTest)
#include "posting_e2e_test.moc"
