// The high-score window and score posting against a loopback server: what
// is sent, what is shown, which of the page's links reach the browser, and
// the wait for a post's answer.

#include "app/programwindows.h"
#include "game/random.h"
#include "online/highscoreform.h"
#include "online/httpget.h"
#include "platform/shellopen.h"
#include "platform/url.h"
#include "platform/localdate.h"
#include "support/clearedboard.h"
#include "support/clickcontrol.h"
#include "support/decks.h"
#include "support/recordingsoundsink.h"
#include "support/testhttpserver.h"
#include "ui/flatpanel.h"
#include "ui/htmlview.h"
#include "ui/picturecontrol.h"

#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>

#include <functional>
#include <utility>

using namespace kestrova;
using testing::TestHttpServer;

namespace {

// Calls `seen` each time `watched` receives an event of the given type.
class EventWatcher : public QObject {
public:
    EventWatcher(QObject* watched, QEvent::Type type, std::function<void()> seen)
        : type_(type), seen_(std::move(seen))
    {
        watched->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject*, QEvent* event) override
    {
        if (event->type() == type_)
            seen_();
        return false;
    }

private:
    QEvent::Type type_;
    std::function<void()> seen_;
};

} // namespace

class HighScoreTest : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void theWindowHasItsControlsInPlace();
    void openingTwiceFetchesOnceAndShowsTheListWhenItArrives();
    void aFailedFetchKeepsThePreviousList();
    void theListAskedForAsTheWindowOpensIsFetchedOnceItIsPainted();
    void onlyWebAndMailLinksReachTheBrowser();
    void aPostSendsItsValuesEncodedAndTheAnswerOpensTheList();
    void anEmptyNameIsPostedAsGuest();
    void withoutAnAnswerTheDotsCycleAndTheFailureIsToldOnce();

private:
    QString shownText() const { return shownText(window.get()); }
    static QString shownText(Thighscore* list) { return list->findChild<THtmlView*>("displayhtml")->toPlainText(); }
    // The program's windows with a cleared board and its panel showing.
    std::unique_ptr<ProgramWindows> clearedBoard() { return testing::clearedBoard(random, sounds); }
    static QString firstLine(const std::string& request)
    {
        return QString::fromStdString(request.substr(0, request.find("\r\n")));
    }

    QTemporaryDir dataDir;
    Random random;
    RecordingSoundSink sounds;

    std::unique_ptr<TestHttpServer> server;
    std::unique_ptr<Thighscore> window;
    QStringList opened;
};

void HighScoreTest::init()
{
    server = std::make_unique<TestHttpServer>();
    qputenv("KESTROVA_SERVER", "scores.test");
    qputenv("KESTROVA_CONNECT_TO", QByteArray::fromStdString(server->route("scores.test")));
    setShellOpener([this](const QString& target) {
        opened << target;
        return true;
    });
    window = std::make_unique<Thighscore>(QPixmap(), "kestrova");
    qputenv("KESTROVA_DATA_DIR", dataDir.path().toLocal8Bit());
    // The main window's update check would be one more request to the server.
    QFile ini(dataDir.filePath("kestrova.ini"));
    QVERIFY(ini.open(QIODevice::WriteOnly));
    ini.write("[kestrova]\nUpdate=false\n");
}

void HighScoreTest::cleanup()
{
    window.reset();
    server.reset();
    setShellOpener({});
    opened.clear();
    qunsetenv("KESTROVA_SERVER");
    qunsetenv("KESTROVA_CONNECT_TO");
    qunsetenv("KESTROVA_DATA_DIR");
}

void HighScoreTest::theWindowHasItsControlsInPlace()
{
    QCOMPARE(window->windowTitle(), QString("Kestrova - High Scores"));
    QCOMPARE(window->size(), QSize(603, 561));
    QCOMPARE(window->minimumSize(), window->maximumSize());
    QCOMPARE(window->findChild<PictureControl*>("button_done")->geometry(), QRect(467, 518, 126, 40));
    QVERIFY(window->findChild<PictureControl*>("Image1")->hasPicture());
    QCOMPARE(window->findChild<PictureControl*>("Image1")->geometry(), QRect(8, 8, 96, 72));
    QCOMPARE(window->findChild<QLabel*>("Label1")->text(), QString("Kestrova High Score List"));
    QCOMPARE(window->findChild<QLabel*>("Label1")->pos(), QPoint(8, 520));
    QCOMPARE(window->findChild<QLabel*>("Label2")->text(), QString("Vorlin Software"));
    QCOMPARE(window->findChild<QLabel*>("Label2")->pos(), QPoint(10, 543));
    auto* panel = window->findChild<TFlatPanel*>("panel_main");
    QCOMPARE(panel->geometry(), QRect(112, 8, 481, 507));
    QCOMPARE(panel->color(), QColor(64, 36, 174));
    QCOMPARE(window->findChild<THtmlView*>("displayhtml")->parentWidget(), panel);
    QCOMPARE(window->findChild<TURL*>("URL1")->URLType(), TURL::utnone);
    QCOMPARE(window->findChild<THTTPGet*>("getit")->Agent(), QString("Kestrova HTTPGet"));
    QVERIFY(window->findChild<THTTPGet*>("sendit"));

    window->show();
    QVERIFY(testing::clickControl(window.get(), "button_done"));
    QVERIFY(window->isHidden());
}

void HighScoreTest::openingTwiceFetchesOnceAndShowsTheListWhenItArrives()
{
    server->setReply({"HTTP/1.0 200 OK\r\n\r\n<html><body>1. Ann 812", true,
                      "<br>2. Bob 640</body></html>"});
    window->loadit();
    window->show();
    QVERIFY(server->waitForRequests(1));
    window->loadit();
    QCOMPARE(shownText(), QString());
    server->release();
    QTRY_COMPARE(shownText(), QString("1. Ann 812\n2. Bob 640"));

    const std::vector<std::string> requests = server->requests();
    QCOMPARE(requests.size(), size_t(1));
    QVERIFY(requests[0].rfind("GET /counter/kestrova.shtml HTTP/1.0\r\n", 0) == 0);
    QVERIFY(requests[0].find("\r\nHost: scores.test\r\n") != std::string::npos);
}

void HighScoreTest::aFailedFetchKeepsThePreviousList()
{
    server->setReply({TestHttpServer::response("200 OK", "<p>First list</p>")});
    window->loadit();
    QTRY_COMPARE(shownText(), QString("First list"));
    auto* getit = window->findChild<THTTPGet*>("getit");
    QSignalSpy failed(getit, &THTTPGet::OnError);
    server->setReply({TestHttpServer::response("200 OK", "")});
    window->loadit();
    QVERIFY(failed.wait());
    QCOMPARE(shownText(), QString("First list"));

    // A new list replaces the old one whole.
    server->setReply({TestHttpServer::response("404 Not Found", "<p>No list today</p>")});
    window->loadit();
    QTRY_COMPARE(shownText(), QString("No list today"));
}

void HighScoreTest::theListAskedForAsTheWindowOpensIsFetchedOnceItIsPainted()
{
    server->setReply({TestHttpServer::response("200 OK", "<p>Listed</p>")});
    auto* getit = window->findChild<THTTPGet*>("getit");
    bool paintedBeforeTheFetch = false;
    EventWatcher paints(window.get(), QEvent::Paint, [&] { paintedBeforeTheFetch = !getit->isRunning(); });
    window->show();
    window->loadit();
    QVERIFY(!getit->isRunning());
    QTRY_COMPARE(shownText(), QString("Listed"));
    QVERIFY(paintedBeforeTheFetch);
    QCOMPARE(server->requests().size(), size_t(1));

    // Open and painted: a new fetch starts at once.
    window->loadit();
    QVERIFY(getit->isRunning());
}

void HighScoreTest::onlyWebAndMailLinksReachTheBrowser()
{
    const QStringList opens{"http://scores.test/a?b=1&c=2", "HTTPS://example.org/", "mailto:me@example.org",
                            "MailTo:you@example.org", "Http:relative"};
    const QStringList ignored{"www.example.org", "file:///etc/passwd", "javascript:alert(1)", "/counter/x.html",
                              "ftp://example.org/", " http://leading.blank/", "", "#top", "httpx://odd"};
    for (const QString& target : opens + ignored)
        window->displayhtmlHotSpotClick(target);
    QCOMPARE(opened, opens);

    // The same through a click in the shown page.
    opened.clear();
    server->setReply({TestHttpServer::response("200 OK", "<a href=\"http://scores.test/top\">Top ten</a>")});
    window->show();
    window->loadit();
    QTRY_COMPARE(shownText(), QString("Top ten"));
    auto* view = window->findChild<THtmlView*>("displayhtml");
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, view->cursorRect(view->document()->find("Top")).center());
    QCOMPARE(opened, QStringList{"http://scores.test/top"});
}

void HighScoreTest::aPostSendsItsValuesEncodedAndTheAnswerOpensTheList()
{
    server->queueReply({TestHttpServer::response("200 OK", "thanks")});
    server->queueReply({TestHttpServer::response("200 OK", "<p>1. J\xc3\xbcrg &amp; Co</p>")});
    const auto windows = clearedBoard();
    Tmain& main = windows->main;
    auto* cleared = main.findChild<QWidget*>("panel_cleared");
    QVERIFY(cleared->isVisible());
    main.findChild<QLineEdit*>("edit_name")->setText(QString::fromUtf8("J\xc3\xbcrg & Co"));
    QVERIFY(testing::clickControl(&main, "button_sendscore"));
    QVERIFY(main.findChild<QWidget*>("panel_wait")->isVisible());
    QVERIFY(main.findChild<QTimer*>("Timer1")->isActive());

    QTRY_VERIFY(windows->highscore().isVisible());
    QVERIFY(!cleared->isVisible());
    QVERIFY(!main.findChild<QTimer*>("Timer1")->isActive());
    QTRY_COMPARE(shownText(&windows->highscore()), QString::fromUtf8("1. J\xc3\xbcrg & Co"));

    const std::vector<std::string> requests = server->requests();
    QCOMPARE(requests.size(), size_t(2));
    const QRegularExpression post(
        "^GET /cgi-bin/kestrova\\.cgi\\?name=J%C3%BCrg%20%26%20Co"
        "&date=(\\d{1,2})(%[0-9A-F]{2}|[-._~])(\\d{1,2})\\2(\\d\\d)&score=(-?\\d+) HTTP/1\\.0$");
    const QRegularExpressionMatch match = post.match(firstLine(requests[0]));
    QVERIFY2(match.hasMatch(), qPrintable(firstLine(requests[0])));
    const QDate today = QDate::currentDate();
    QCOMPARE(match.captured(1).toInt(), today.month());
    QCOMPARE(match.captured(3).toInt(), today.day());
    QCOMPARE(match.captured(4), QStringLiteral("%1").arg(today.year() % 100, 2, 10, QLatin1Char('0')));
    QCOMPARE(QUrl::fromPercentEncoding(match.captured(2).toLatin1()), localDateSeparator());
    QCOMPARE(match.captured(5).toInt(), main.game().score());
    QCOMPARE(firstLine(requests[1]), QString("GET /counter/kestrova.shtml HTTP/1.0"));
}

void HighScoreTest::anEmptyNameIsPostedAsGuest()
{
    server->setReply({TestHttpServer::response("200 OK", "thanks")});
    const auto windows = clearedBoard();
    auto* name = windows->main.findChild<QLineEdit*>("edit_name");
    name->clear();
    windows->main.button_sendscoreClick();
    QCOMPARE(name->text(), QString("Guest"));
    QVERIFY(server->waitForRequests(1));
    QVERIFY(firstLine(server->requests()[0]).startsWith("GET /cgi-bin/kestrova.cgi?name=Guest&date="));
}

void HighScoreTest::withoutAnAnswerTheDotsCycleAndTheFailureIsToldOnce()
{
    server->setReply({"HTTP/1.0 200 OK\r\n\r\n", true, "late but taken"});
    const auto windows = clearedBoard();
    Tmain& main = windows->main;
    auto* timer = main.findChild<QTimer*>("Timer1");
    QCOMPARE(timer->interval(), 1000);
    timer->setInterval(1);
    auto* wait = main.findChild<TFlatPanel*>("panel_wait");
    QStringList captions;
    connect(timer, &QTimer::timeout, this, [&] { captions << wait->caption(); });

    // The message box stays open for a few more ticks, as a player would leave it.
    QStringList messages;
    main.setMessageReporter([&](const QString& message) {
        messages << message;
        const qsizetype shownAt = captions.size();
        QTRY_VERIFY(captions.size() >= shownAt + 3);
    });
    main.button_sendscoreClick();
    QVERIFY(server->waitForRequests(1));
    QTRY_VERIFY(!messages.isEmpty() && !timer->isActive());

    QCOMPARE(messages, QStringList{"Posting Failed."});
    const QString text = "Posting Score, Please Wait";
    QCOMPARE(captions.mid(0, 7),
             (QStringList{text + ".", text + "..", text + "...", text + "....", text + ".....", text + ".", text + ".."}));
    QVERIFY(captions.size() >= 43);
    QVERIFY(wait->isVisible());
    QVERIFY(!windows->highscore().isVisible());

    // An answer after the failure is still taken as the post's success.
    server->setReply({TestHttpServer::response("200 OK", "<p>The list</p>")});
    server->release();
    QTRY_VERIFY(windows->highscore().isVisible());
    QVERIFY(!main.findChild<QWidget*>("panel_cleared")->isVisible());
    QTRY_COMPARE(shownText(&windows->highscore()), QString("The list"));
}

QTEST_MAIN(HighScoreTest)
#include "highscore_test.moc"
