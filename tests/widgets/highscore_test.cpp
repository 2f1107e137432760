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
#include "ui/nameedit.h"
#include "ui/picturecontrol.h"

#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>

#include <QElapsedTimer>

#include <algorithm>
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
    void hostilePagesAreShownWithoutHoldingTheWindow();
    void aListNobodyAnswersEndsAndTheNextOpeningFetchesAgain();
    void aPostNobodyAnswersFailsAtTheTimeOutAndTheNextPostIsSent();
    void aPostTheServerRefusesIsAFailure();
    void namesArePostedWholeAndReadBackAsTypedByAFormDecoder();

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
    qunsetenv("KESTROVA_IDLE_TIMEOUT_MS");
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

namespace {

// Measures how late a 10 ms timer runs: the longest the UI thread was busy.
class LatenessProbe {
public:
    LatenessProbe()
    {
        clock_.start();
        timer_.setInterval(10);
        QObject::connect(&timer_, &QTimer::timeout, [this] {
            const qint64 now = clock_.elapsed();
            longestGapMs_ = std::max(longestGapMs_, now - lastTickMs_);
            lastTickMs_ = now;
            ++ticks_;
        });
        timer_.start();
    }
    qint64 longestGapMs() const { return longestGapMs_; }
    int ticks() const { return ticks_; }

private:
    QElapsedTimer clock_;
    QTimer timer_;
    qint64 lastTickMs_ = 0;
    qint64 longestGapMs_ = 0;
    int ticks_ = 0;
};

std::string repeat(const std::string& piece, int times)
{
    std::string out;
    out.reserve(piece.size() * static_cast<size_t>(times));
    for (int i = 0; i < times; ++i)
        out += piece;
    return out;
}

// The reading of application/x-www-form-urlencoded that browsers and form
// libraries share: "+" is a blank, %XX a byte, the bytes UTF-8.
QMap<QString, QString> formDecoded(const QString& query)
{
    QMap<QString, QString> fields;
    for (const QString& pair : query.split(u'&')) {
        const qsizetype equals = pair.indexOf(u'=');
        auto decode = [](QString text) {
            return QString::fromUtf8(QByteArray::fromPercentEncoding(text.replace(u'+', u' ').toLatin1()));
        };
        fields.insert(decode(pair.left(equals)), decode(equals < 0 ? QString() : pair.mid(equals + 1)));
    }
    return fields;
}

} // namespace

// A page nested beyond any list's need reaches the view cut down, so the
// window goes on answering while it is shown.
void HighScoreTest::hostilePagesAreShownWithoutHoldingTheWindow()
{
    const std::string tables = "<html><body>" + repeat("<table><tr><td>", 30) + "deep tables" +
                               repeat("</td></tr></table>", 30) + "</body></html>";
    std::string divs = repeat("<div>", 50000) + "deep divs" + repeat("</div>", 50000);
    divs += std::string(600 * 1024 - divs.size(), ' ');
    window->show();
    for (const auto& [page, marker] : {std::pair{tables, QString("deep tables")}, std::pair{divs, QString("deep divs")}}) {
        server->setReply({TestHttpServer::response("200 OK", page)});
        LatenessProbe probe;
        window->loadit();
        QTRY_VERIFY_WITH_TIMEOUT(shownText().contains(marker), 30000);
        // The shown page is laid out and painted while the timer goes on.
        window->findChild<THtmlView*>("displayhtml")->viewport()->update();
        const int ticksShown = probe.ticks();
        QTRY_VERIFY(probe.ticks() >= ticksShown + 10);
        qInfo("%s page of %zu bytes: the longest gap between ticks of a 10 ms timer was %lld ms", qPrintable(marker),
              page.size(), probe.longestGapMs());
        QVERIFY2(probe.longestGapMs() < 1000, qPrintable(QString::number(probe.longestGapMs())));
    }
}

void HighScoreTest::aListNobodyAnswersEndsAndTheNextOpeningFetchesAgain()
{
    qputenv("KESTROVA_IDLE_TIMEOUT_MS", "300");
    server->setReply({TestHttpServer::response("200 OK", "<p>First list</p>")});
    window->loadit();
    QTRY_COMPARE(shownText(), QString("First list"));

    server->setReply({"", true});
    window->loadit();
    QVERIFY(server->waitForRequests(2));
    QVERIFY(server->waitForHangUps(1));
    QTRY_VERIFY(!window->findChild<THTTPGet*>("getit")->isRunning());
    QCOMPARE(shownText(), QString("First list"));

    server->setReply({TestHttpServer::response("200 OK", "<p>Second list</p>")});
    window->loadit();
    QTRY_COMPARE(shownText(), QString("Second list"));
    QCOMPARE(server->requestCount(), size_t(3));
}

void HighScoreTest::aPostNobodyAnswersFailsAtTheTimeOutAndTheNextPostIsSent()
{
    qputenv("KESTROVA_IDLE_TIMEOUT_MS", "300");
    server->queueReply({"", true});
    const auto windows = clearedBoard();
    Tmain& main = windows->main;
    QStringList messages;
    main.setMessageReporter([&](const QString& message) { messages << message; });
    main.button_sendscoreClick();
    // Told long before the 40 ticks of the wait are over.
    QTRY_COMPARE(messages, QStringList{"Posting Failed."});
    QVERIFY(!main.findChild<QTimer*>("Timer1")->isActive());
    QVERIFY(main.findChild<QWidget*>("panel_wait")->isVisible());
    QVERIFY(!windows->highscore().isVisible());

    // The next cleared board's post goes out and is taken.
    server->queueReply({TestHttpServer::response("200 OK", "thanks")});
    server->queueReply({TestHttpServer::response("200 OK", "<p>Posted</p>")});
    main.button_sendscoreClick();
    QTRY_VERIFY(windows->highscore().isVisible());
    QTRY_COMPARE(shownText(&windows->highscore()), QString("Posted"));
    QCOMPARE(messages, QStringList{"Posting Failed."});
    QCOMPARE(server->requestCount(), size_t(3));

    // A post still pending when the next one is asked for gives way to it.
    server->queueReply({"", true});
    server->queueReply({TestHttpServer::response("200 OK", "thanks")});
    server->queueReply({TestHttpServer::response("200 OK", "<p>Newest</p>")});
    qputenv("KESTROVA_IDLE_TIMEOUT_MS", "60000");
    windows->highscore().hide();
    windows->highscore().sendscore("First", "1/2/26", "10");
    QVERIFY(server->waitForRequests(4));
    windows->highscore().sendscore("Second", "1/2/26", "20");
    QTRY_COMPARE(shownText(&windows->highscore()), QString("Newest"));
    QVERIFY(server->waitForHangUps(2));
    QVERIFY(firstLine(server->requests()[4]).contains("name=Second&"));
}

void HighScoreTest::aPostTheServerRefusesIsAFailure()
{
    for (const char* status : {"400 Bad Request", "503 Service Unavailable"}) {
        server->setReply({TestHttpServer::response(status, "name is too long")});
        const auto windows = clearedBoard();
        Tmain& main = windows->main;
        QStringList messages;
        main.setMessageReporter([&](const QString& message) { messages << message; });
        main.button_sendscoreClick();
        QTRY_COMPARE(messages, QStringList{"Posting Failed."});
        QVERIFY(!main.findChild<QTimer*>("Timer1")->isActive());
        QVERIFY(main.findChild<QWidget*>("panel_cleared")->isVisible());
        QVERIFY(!windows->highscore().isVisible());
        QCOMPARE(server->requestCount(), size_t(1));
        server = std::make_unique<TestHttpServer>();
        qputenv("KESTROVA_CONNECT_TO", QByteArray::fromStdString(server->route("scores.test")));
    }
}

void HighScoreTest::namesArePostedWholeAndReadBackAsTypedByAFormDecoder()
{
    server->setReply({TestHttpServer::response("200 OK", "thanks")});
    const QString longest = QString(127, QChar(0xe9)) + u'x';   // 255 bytes
    const QStringList names = {
        QString(65, u'n'),
        QString::fromUtf8("a+b c&d=e%f#g?h/i;j\\k\"l'm<n>o\xc3\xbc\xf0\x9f\x98\x80 ~*"),
        "+",
        longest,
    };
    const auto windows = clearedBoard();
    Tmain& main = windows->main;
    // Set as the program sets it (from the settings file): typing stops at ten characters.
    auto* edit = main.findChild<NameEdit*>("edit_name");
    auto posts = [this] {
        QStringList lines;
        for (const std::string& request : server->requests())
            if (firstLine(request).startsWith("GET /cgi-bin/"))
                lines << firstLine(request);
        return lines;
    };
    for (const QString& name : names) {
        edit->setText(name);
        QCOMPARE(edit->text(), name);
        const qsizetype before = posts().size();
        windows->highscore().sendscore(edit->text(), "12.6.26", "0");
        QTRY_COMPARE(posts().size(), before + 1);
        const QString query = posts().back().section(u' ', 1, 1).section(u'?', 1);
        QVERIFY2(!query.contains(u'+'), qPrintable(query));
        const QMap<QString, QString> fields = formDecoded(query);
        QCOMPARE(fields.value("name"), name);
        QCOMPARE(fields.value("date"), QString("12.6.26"));
        QCOMPARE(fields.value("score"), QString("0"));
    }

    // Longer ones are cut to the bound, on a character's edge.
    edit->setText(longest + QString::fromUtf8("\xf0\x9f\x98\x80"));
    QCOMPARE(edit->text(), longest);
    edit->setText(QString(126, QChar(0xe9)) + QString::fromUtf8("\xf0\x9f\x98\x80"));
    QCOMPARE(edit->text().toUtf8().size(), 252);
}

QTEST_MAIN(HighScoreTest)
#include "highscore_test.moc"
