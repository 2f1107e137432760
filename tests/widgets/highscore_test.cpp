// The high-score window against a loopback server: what it fetches, what it
// shows, and which of the page's links reach the browser.

#include "online/highscoreform.h"
#include "online/httpget.h"
#include "platform/shellopen.h"
#include "platform/url.h"
#include "support/clickcontrol.h"
#include "support/testhttpserver.h"
#include "ui/flatpanel.h"
#include "ui/htmlview.h"
#include "ui/picturecontrol.h"

#include <QLabel>
#include <QtTest>

using namespace kestrova;
using testing::TestHttpServer;

class HighScoreTest : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void theWindowHasItsControlsInPlace();
    void openingTwiceFetchesOnceAndShowsTheListWhenItArrives();
    void aFailedFetchKeepsThePreviousList();
    void onlyWebAndMailLinksReachTheBrowser();

private:
    QString shownText() const { return window->findChild<THtmlView*>("displayhtml")->toPlainText(); }

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
}

void HighScoreTest::cleanup()
{
    window.reset();
    server.reset();
    setShellOpener({});
    opened.clear();
    qunsetenv("KESTROVA_SERVER");
    qunsetenv("KESTROVA_CONNECT_TO");
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

QTEST_MAIN(HighScoreTest)
#include "highscore_test.moc"
