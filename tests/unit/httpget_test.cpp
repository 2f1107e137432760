// THTTPGet against a real server on loopback: what reaches the server, which
// replies count as success, and stopping or destroying a fetch mid-reply.
#include "online/httpget.h"
#include "support/guiapplicationenvironment.h"
#include "support/testhttpserver.h"

#include <QEventLoop>
#include <QPointer>
#include <QStringList>
#include <QTemporaryDir>
#include <QTimer>

#include <gtest/gtest.h>

// Readable failure messages.
inline void PrintTo(const QString& text, std::ostream* out)
{
    *out << '"' << text.toStdString() << '"';
}

namespace kestrova {
namespace {

using testing::TestHttpServer;

// Every event of one component, in order of arrival.
class EventLog {
public:
    explicit EventLog(THTTPGet& get)
    {
        QObject::connect(&get, &THTTPGet::OnProgress, &context_, [this](THTTPGet*, int total, int read) {
            progress.push_back({total, read});
        });
        QObject::connect(&get, &THTTPGet::OnDoneString, &context_, [this](THTTPGet*, const QString& result) {
            ends << "done:" + result;
        });
        QObject::connect(&get, &THTTPGet::OnDoneFile, &context_,
                         [this](THTTPGet*, const QString& name, int size) {
                             ends << QStringLiteral("file:%1:%2").arg(name).arg(size);
                         });
        QObject::connect(&get, &THTTPGet::OnError, &context_, [this](THTTPGet*) { ends << "error"; });
    }

    // Runs the event loop until `count` end events have arrived.
    bool waitForEnds(int count)
    {
        QEventLoop loop;
        QTimer guard;
        guard.setSingleShot(true);
        QObject::connect(&guard, &QTimer::timeout, &loop, &QEventLoop::quit);
        guard.start(30000);
        while (ends.size() < count && guard.isActive())
            loop.processEvents(QEventLoop::WaitForMoreEvents);
        return ends.size() >= count;
    }

    QStringList ends;
    std::vector<std::pair<int, int>> progress;

private:
    QObject context_;
};

// Lets every event that is already queued run, including late worker reports.
void drainEvents()
{
    bool fired = false;
    QTimer::singleShot(0, [&] { fired = true; });
    while (!fired)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
}

class HttpGetTest : public ::testing::Test {
protected:
    void SetUp() override { qputenv("KESTROVA_CONNECT_TO", QByteArray::fromStdString(server.route())); }
    void TearDown() override { qunsetenv("KESTROVA_CONNECT_TO"); }

    void reply(const std::string& status, const std::string& body, bool withLength = true)
    {
        server.setReply({TestHttpServer::response(status, body, withLength)});
    }

    // Fetches `url` with `get` and returns its one end event.
    QString fetch(THTTPGet& get, const QString& url)
    {
        EventLog log(get);
        get.setURL(url);
        get.StartGet();
        if (!log.waitForEnds(1))
            return QStringLiteral("no end event");
        drainEvents();
        return log.ends.size() == 1 ? log.ends.front() : log.ends.join('|');
    }

    std::string onlyRequest() const
    {
        const std::vector<std::string> requests = server.requests();
        return requests.size() == 1 ? requests.front() : "requests: " + std::to_string(requests.size());
    }

    TestHttpServer server;
};

TEST_F(HttpGetTest, ABodyArrivesAsExactlyItsCharactersAfterARequestWithTheFixedHeaders)
{
    reply("200 OK", "1.0.2");
    THTTPGet get;
    EXPECT_EQ(fetch(get, "http://localhost/kestrova/kestrovaversion.txt"), "done:1.0.2");
    EXPECT_TRUE(get.succeeded());
    EXPECT_FALSE(get.isRunning());

    const std::string request = onlyRequest();
    EXPECT_EQ(request.substr(0, request.find("\r\n")), "GET /kestrova/kestrovaversion.txt HTTP/1.0");
    for (const char* header : {"\r\nHost: localhost\r\n", "\r\nUser-Agent: Kestrova HTTPGet\r\n",
                               "\r\nAccept: */*\r\n", "\r\nPragma: no-cache\r\n", "\r\nCache-Control: no-cache\r\n"})
        EXPECT_NE(request.find(header), std::string::npos) << header << " missing from\n" << request;
    EXPECT_EQ(request.find("Content-Type"), std::string::npos);
    EXPECT_EQ(request.find("Referer"), std::string::npos);
}

TEST_F(HttpGetTest, TheStatusIsNeverExaminedButAnEmptyBodyIsAFailure)
{
    THTTPGet get;
    EXPECT_EQ(get.StatusCode(), 0);
    reply("404 Not Found", "<html><body>No such page</body></html>");
    EXPECT_EQ(fetch(get, "http://localhost/counter/kestrova.shtml"), "done:<html><body>No such page</body></html>");
    // Kept for the owner that wants it (a score post refused with 400).
    EXPECT_EQ(get.StatusCode(), 404);
    server.setReply({"HTTP/1.1 100 Continue\r\n\r\nHTTP/1.1 400 Bad Request\r\nContent-Length: 3\r\n\r\nbad"});
    EXPECT_EQ(fetch(get, "http://localhost/cgi-bin/kestrova.cgi?name=x"), "done:bad");
    EXPECT_EQ(get.StatusCode(), 400);

    reply("200 OK", "");
    EXPECT_EQ(fetch(get, "http://localhost/x"), "error");
    EXPECT_FALSE(get.succeeded());
    reply("200 OK", "", false);
    EXPECT_EQ(fetch(get, "http://localhost/x"), "error");
    reply("204 No Content", "");
    EXPECT_EQ(fetch(get, "http://localhost/x"), "error");
}

TEST_F(HttpGetTest, WithoutContentLengthTheBodyRunsToTheCloseUnlessBinaryDataIsSet)
{
    reply("200 OK", "until the end", false);
    THTTPGet get;
    EXPECT_EQ(fetch(get, "http://localhost/x"), "done:until the end");
    get.setBinaryData(true);
    EXPECT_EQ(fetch(get, "http://localhost/x"), "error");
    reply("200 OK", "with a length");
    EXPECT_EQ(fetch(get, "http://localhost/x"), "done:with a length");
}

TEST_F(HttpGetTest, StartGetWhileAFetchRunsSendsNothingAndRaisesNothing)
{
    server.setReply({TestHttpServer::response("200 OK", "first"), true});
    THTTPGet get;
    EventLog log(get);
    get.setURL("http://localhost/first");
    get.StartGet();
    ASSERT_TRUE(server.waitForRequests(1));
    get.setURL("http://localhost/second");
    get.StartGet();
    // From inside its own end event the component is still busy.
    QObject::connect(&get, &THTTPGet::OnDoneString, &get, [&get] { get.StartGet(); });
    server.release();
    ASSERT_TRUE(log.waitForEnds(1));
    EXPECT_EQ(log.ends, QStringList{"done:first"});

    // Idle again: the next call fetches. A stray second request would have
    // reached the server before this one.
    QObject::disconnect(&get, &THTTPGet::OnDoneString, &get, nullptr);
    server.setReply({TestHttpServer::response("200 OK", "third")});
    get.setURL("http://localhost/third");
    get.StartGet();
    ASSERT_TRUE(log.waitForEnds(2));
    drainEvents();
    EXPECT_EQ(log.ends, (QStringList{"done:first", "done:third"}));
    const std::vector<std::string> requests = server.requests();
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_EQ(requests[1].rfind("GET /third ", 0), 0u);
}

TEST_F(HttpGetTest, TheSchemeIsMatchedInAnyCaseAndThePathAndQueryGoOutAsWritten)
{
    reply("200 OK", "taken");
    const QString path = "/cgi-bin/kestrova.cgi?name=J%C3%BCrg+O'Neil&date=12/6/26&score=-15&x=%zz#top";
    for (const QString scheme : {"HTTP://", "Http://", "http://"}) {
        THTTPGet get;
        EXPECT_EQ(fetch(get, scheme + "localhost" + path), "done:taken") << scheme.toStdString();
    }
    for (const std::string& request : server.requests())
        EXPECT_EQ(request.substr(0, request.find("\r\n")), "GET " + path.toStdString() + " HTTP/1.0");
}

TEST_F(HttpGetTest, AddressesThatCannotBeSentAsWrittenFailWithoutARequest)
{
    reply("200 OK", "should not be fetched");
    // A fetch that honoured the port would arrive here all the same.
    qputenv("KESTROVA_CONNECT_TO", QByteArray::fromStdString(server.route() + "," + server.route("localhost:8080")));
    for (const QString url : {
             "http://localhost:8080/x",   // the port stays part of the host text
             "http://localhost",          // no path, so no host either
             "xhttp://localhost/x",       // the first seven characters go, whatever they are
             "ftp://localhost/x",
             "https://localhost/x",
             "http://user@localhost/x",
             "http://localhost/a b",
             "http://localhost/x\r\nX-Injected: 1",
             "http://localhost/caf\u00e9",
             "",
         }) {
        THTTPGet get;
        EXPECT_EQ(fetch(get, url), "error") << url.toStdString();
    }
    EXPECT_EQ(server.requestCount(), 0u);
}

TEST_F(HttpGetTest, APostQueryMakesAFormPostAndThePropertiesShapeTheHeaders)
{
    reply("200 OK", "posted");
    THTTPGet get;
    get.setPostQuery("name=a%26b&score=5");
    get.setAgent(QString());
    get.setAcceptTypes("text/plain");
    get.setReferer("http://localhost/from");
    get.setUseCache(true);
    EXPECT_EQ(fetch(get, "http://localhost/cgi-bin/kestrova.cgi"), "done:posted");

    const std::string request = onlyRequest();
    EXPECT_EQ(request.substr(0, request.find("\r\n")), "POST /cgi-bin/kestrova.cgi HTTP/1.0");
    EXPECT_NE(request.find("\r\nContent-Type: application/x-www-form-urlencoded\r\n"), std::string::npos);
    EXPECT_NE(request.find("\r\nContent-Length: 18\r\n"), std::string::npos);
    EXPECT_NE(request.find("\r\nAccept: text/plain\r\n"), std::string::npos);
    EXPECT_NE(request.find("\r\nReferer: http://localhost/from\r\n"), std::string::npos);
    EXPECT_EQ(request.find("User-Agent"), std::string::npos);
    EXPECT_EQ(request.find("no-cache"), std::string::npos);
    EXPECT_EQ(request.substr(request.find("\r\n\r\n") + 4), "name=a%26b&score=5");
}

TEST_F(HttpGetTest, ProgressComesAfterEveryReadOfAtMost1025BytesAndBeforeTheEnd)
{
    const std::string body(5000, 'k');
    reply("200 OK", body);
    THTTPGet get;
    EventLog log(get);
    get.setURL("http://localhost/big");
    get.StartGet();
    ASSERT_TRUE(log.waitForEnds(1));
    ASSERT_EQ(log.ends.front(), "done:" + QString::fromStdString(body));
    ASSERT_FALSE(log.progress.empty());
    int before = 0;
    for (const auto& [total, read] : log.progress) {
        EXPECT_EQ(total, 5000);
        EXPECT_GT(read, before);
        EXPECT_LE(read - before, THTTPGet::kChunkSize);
        before = read;
    }
    EXPECT_EQ(before, 5000);
}

TEST_F(HttpGetTest, StringBodiesAreCappedAtOneMebibyte)
{
    THTTPGet get;
    const std::string atCap(THTTPGet::kMaxStringBody, 'a');
    reply("200 OK", atCap, false);
    EXPECT_EQ(fetch(get, "http://localhost/x").size(), 5 + THTTPGet::kMaxStringBody);
    reply("200 OK", atCap + "b", false);
    EXPECT_EQ(fetch(get, "http://localhost/x"), "error");
    reply("200 OK", atCap + "b", true);
    EXPECT_EQ(fetch(get, "http://localhost/x"), "error");
}

TEST_F(HttpGetTest, BrokenRepliesAndRefusedConnectionsAreFailures)
{
    THTTPGet get;
    server.setReply({"HTTP/1.0 200 OK\r\nContent-Length: 100\r\n\r\nonly ten.."});
    EXPECT_EQ(fetch(get, "http://localhost/cut"), "error");
    server.setReply({"HTTP/1.0 200 OK\r\nContent-Length: ten\r\n\r\nten bytes!"});
    EXPECT_EQ(fetch(get, "http://localhost/length"), "error");
    server.setReply({"HTTP/1.0 200 OK\r\nContent-Length: 99999999999\r\n\r\nbig"});
    EXPECT_EQ(fetch(get, "http://localhost/length"), "error");
    server.setReply({"this is not HTTP at all\r\n\r\n"});
    EXPECT_EQ(fetch(get, "http://localhost/garbage"), "error");
    server.setReply({""});
    EXPECT_EQ(fetch(get, "http://localhost/silent"), "error");

    int closedPort = 0;
    {
        TestHttpServer gone;
        closedPort = gone.port();
    }
    qputenv("KESTROVA_CONNECT_TO", "localhost:80:127.0.0.1:" + QByteArray::number(closedPort));
    EXPECT_EQ(fetch(get, "http://localhost/refused"), "error");
}

TEST_F(HttpGetTest, AMalformedRouteSendsNothingRatherThanReachTheRealServer)
{
    reply("200 OK", "reached");
    qputenv("KESTROVA_CONNECT_TO", QByteArray::fromStdString(server.route()) + ",localhost:80");
    THTTPGet get;
    EXPECT_EQ(fetch(get, "http://localhost/x"), "error");
    EXPECT_EQ(server.requestCount(), 0u);
}

TEST_F(HttpGetTest, CancelEndsASlowReplyAtOnceWithOnError)
{
    server.setReply({"HTTP/1.0 200 OK\r\nContent-Length: 100\r\n\r\nthe first bytes", true});
    THTTPGet get;
    EventLog log(get);
    get.setURL("http://localhost/slow");
    get.StartGet();
    ASSERT_TRUE(server.waitForRequests(1));
    get.Cancel();
    ASSERT_TRUE(log.waitForEnds(1));
    EXPECT_EQ(log.ends, QStringList{"error"});
    EXPECT_TRUE(server.waitForHangUps(1));
    EXPECT_FALSE(get.isRunning());
}

TEST_F(HttpGetTest, DestroyingARunningComponentHangsUpAndReportsNothing)
{
    server.setReply({"HTTP/1.0 200 OK\r\n\r\nthe first bytes", true});
    auto get = std::make_unique<THTTPGet>();
    auto log = std::make_unique<EventLog>(*get);
    int progressSeen = 0;
    QObject::connect(get.get(), &THTTPGet::OnProgress, [&progressSeen] { ++progressSeen; });
    get->setURL("http://localhost/slow");
    get->StartGet();
    ASSERT_TRUE(server.waitForRequests(1));
    // The worker is now waiting for its progress report to be taken, or about to.
    get.reset();
    EXPECT_TRUE(server.waitForHangUps(1));
    drainEvents();
    EXPECT_TRUE(log->ends.isEmpty());

    // A component that is destroyed right after starting doesn't wait for the server either.
    server.setReply({"HTTP/1.0 200 OK\r\n\r\n", true});
    get = std::make_unique<THTTPGet>();
    get->setURL("http://localhost/slow");
    get->StartGet();
    get.reset();
    drainEvents();
}

TEST_F(HttpGetTest, AProgressHandlerMayDestroyTheComponent)
{
    server.setReply({"HTTP/1.0 200 OK\r\n\r\nthe first bytes", true});
    auto* get = new THTTPGet;
    QPointer<THTTPGet> alive(get);
    auto log = std::make_unique<EventLog>(*get);
    int progressSeen = 0;
    QObject::connect(get, &THTTPGet::OnProgress, [&progressSeen, get] {
        ++progressSeen;
        delete get;
    });
    get->setURL("http://localhost/slow");
    get->StartGet();
    while (alive)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    EXPECT_TRUE(server.waitForHangUps(1));
    drainEvents();
    EXPECT_EQ(progressSeen, 1);
    EXPECT_TRUE(log->ends.isEmpty());
}

TEST_F(HttpGetTest, FileModeWritesTheBodyAndNeedsTheWholeAnnouncedLength)
{
    QTemporaryDir folder;
    const QString target = folder.filePath("kessetup.exe");
    THTTPGet get;
    get.setFileName(target);
    EventLog log(get);

    reply("200 OK", std::string("MZ\0\1binary", 10));
    get.setURL("http://localhost/kestrova/kessetup.exe");
    get.StartGetFile();
    ASSERT_TRUE(log.waitForEnds(1));
    EXPECT_EQ(log.ends.back(), QStringLiteral("file:%1:10").arg(target));
    QFile written(target);
    ASSERT_TRUE(written.open(QIODevice::ReadOnly));
    EXPECT_EQ(written.readAll(), QByteArray("MZ\0\1binary", 10));

    reply("200 OK", "no length", false);
    get.StartGetFile();
    ASSERT_TRUE(log.waitForEnds(2));
    EXPECT_EQ(log.ends.back(), "error");

    get.setFileName(folder.filePath("missing/folder/file"));
    reply("200 OK", "data");
    get.StartGetFile();
    ASSERT_TRUE(log.waitForEnds(3));
    EXPECT_EQ(log.ends.back(), "error");
}

TEST_F(HttpGetTest, ComponentsFetchSideBySide)
{
    server.queueReply({"HTTP/1.0 200 OK\r\nContent-Length: 8\r\n\r\nslow", true, " one"});
    server.queueReply({TestHttpServer::response("200 OK", "quick one")});
    THTTPGet slow;
    THTTPGet quick;
    EventLog slowLog(slow);
    EventLog quickLog(quick);
    slow.setURL("http://localhost/slow");
    slow.StartGet();
    ASSERT_TRUE(server.waitForRequests(1));
    quick.setURL("http://localhost/quick");
    quick.StartGet();
    ASSERT_TRUE(quickLog.waitForEnds(1));
    EXPECT_EQ(quickLog.ends, QStringList{"done:quick one"});
    EXPECT_TRUE(slowLog.ends.isEmpty());
    server.release();
    ASSERT_TRUE(slowLog.waitForEnds(1));
    EXPECT_EQ(slowLog.ends, QStringList{"done:slow one"});
}

} // namespace
} // namespace kestrova
