// THttpClient against a real server on loopback: the body in the stream, the
// window's events during the wait, and every way a download can fail.
#include "online/httpclient.h"
#include "support/guiapplicationenvironment.h"
#include "support/testhttpserver.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QTimer>

#include <gtest/gtest.h>

namespace kestrova {
namespace {

using testing::TestHttpServer;

class HttpClientTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        qputenv("KESTROVA_CONNECT_TO", QByteArray::fromStdString(server.route("updates.test")));
        client.setURL("http://updates.test/kestrova/kessetup.exe");
        ASSERT_TRUE(received.open(QIODevice::WriteOnly));
        client.setRcvdStream(&received);
    }
    void TearDown() override { qunsetenv("KESTROVA_CONNECT_TO"); }

    // Get()'s error text, or "returned" when it did not throw.
    std::string failureOfGet()
    {
        try {
            client.Get();
        } catch (const EHttpError& error) {
            return error.what();
        }
        return "returned";
    }

    // Calls `action` from the wait loop once the server has the request.
    void onceRequested(std::function<void()> action)
    {
        auto* poll = new QTimer(&client);
        QObject::connect(poll, &QTimer::timeout, poll, [this, poll, action] {
            if (server.requestCount() == 0)
                return;
            poll->deleteLater();
            poll->stop();
            action();
        });
        poll->start(1);
    }

    TestHttpServer server;
    THttpClient client;
    QBuffer received;
};

TEST_F(HttpClientTest, TheBodyGoesIntoTheStreamAfterAnHttp10Request)
{
    std::string body(70000, '\0');
    for (size_t i = 0; i < body.size(); ++i)
        body[i] = static_cast<char>(i * 7);
    server.setReply({TestHttpServer::response("200 OK", body)});
    client.Get();
    EXPECT_EQ(received.data(), QByteArray::fromStdString(body));
    EXPECT_EQ(client.StatusCode(), 200);
    EXPECT_FALSE(client.isRunning());

    const std::string request = server.requests().at(0);
    EXPECT_EQ(request.substr(0, request.find("\r\n")), "GET /kestrova/kessetup.exe HTTP/1.0");
    for (const char* header : {"\r\nHost: updates.test\r\n", "\r\nUser-Agent: Mozilla/3.0 (compatible)\r\n",
                               "\r\nAccept: image/gif, image/x-xbitmap, image/jpeg, image/pjpeg, */*\r\n"})
        EXPECT_NE(request.find(header), std::string::npos) << header << " missing from\n" << request;
    EXPECT_EQ(request.find("no-cache"), std::string::npos);
}

TEST_F(HttpClientTest, TheWindowsEventsRunWhileGetWaits)
{
    server.setReply({"HTTP/1.0 200 OK\r\n\r\nfirst half, ", true, "second half"});
    int ticks = 0;
    QTimer timer;
    QObject::connect(&timer, &QTimer::timeout, [&] {
        if (++ticks == 3)
            server.release();
    });
    timer.start(1);
    client.Get();
    EXPECT_GE(ticks, 3);
    EXPECT_EQ(received.data(), "first half, second half");
}

TEST_F(HttpClientTest, AStatusOf400OrMoreThrowsItsReasonAndWritesNothing)
{
    server.setReply({TestHttpServer::response("404 Not Found", "<html>no such file</html>")});
    EXPECT_EQ(failureOfGet(), "Not Found");
    EXPECT_EQ(client.StatusCode(), 404);
    EXPECT_TRUE(received.data().isEmpty());

    server.setReply({TestHttpServer::response("503 Server Busy Today", "")});
    EXPECT_EQ(failureOfGet(), "Server Busy Today");
    server.setReply({"HTTP/1.0 400\r\n\r\n"});
    EXPECT_EQ(failureOfGet(), "HTTP error 400");
    server.setReply({TestHttpServer::response("302 Found", "moved")});
    EXPECT_EQ(failureOfGet(), "returned");
    EXPECT_EQ(received.data(), "moved");
}

TEST_F(HttpClientTest, FailedAndBrokenConnectionsThrow)
{
    server.setReply({"HTTP/1.0 200 OK\r\nContent-Length: 100\r\n\r\nonly part"});
    EXPECT_NE(failureOfGet(), "returned");
    server.setReply({"not HTTP\r\n\r\n"});
    EXPECT_NE(failureOfGet(), "returned");

    int closedPort = 0;
    {
        TestHttpServer gone;
        closedPort = gone.port();
    }
    qputenv("KESTROVA_CONNECT_TO", "updates.test:80:127.0.0.1:" + QByteArray::number(closedPort));
    EXPECT_EQ(failureOfGet(), "Connection refused");
    client.setURL("ftp://updates.test/kessetup.exe");
    EXPECT_NE(failureOfGet(), "returned");
}

TEST_F(HttpClientTest, AbortEndsASlowDownloadAndKeepsWhatArrived)
{
    server.setReply({"HTTP/1.0 200 OK\r\nContent-Length: 1000000\r\n\r\nthe start", true});
    onceRequested([this] { client.abort(); });
    EXPECT_EQ(failureOfGet(), "Connection aborted");
    EXPECT_TRUE(server.waitForHangUps(1));
    // What arrived before the abort may or may not have been written; nothing else was.
    EXPECT_TRUE(QByteArray("the start").startsWith(received.data()));
    EXPECT_FALSE(client.isRunning());

    // The client works again afterwards.
    server.setReply({TestHttpServer::response("200 OK", "again")});
    received.buffer().clear();
    received.seek(0);
    client.Get();
    EXPECT_EQ(received.data(), "again");
}

// The installer download's failure, which the update reports as "Download Aborted".
TEST_F(HttpClientTest, ADownloadThatStallsEndsAtTheIdleTimeOut)
{
    qputenv("KESTROVA_IDLE_TIMEOUT_MS", "300");
    server.setReply({"HTTP/1.0 200 OK\r\nContent-Length: 1000000\r\n\r\nthe start", true});
    EXPECT_EQ(failureOfGet(), "Connection timed out");
    EXPECT_TRUE(server.waitForHangUps(1));
    EXPECT_FALSE(client.isRunning());
    qunsetenv("KESTROVA_IDLE_TIMEOUT_MS");
}

TEST_F(HttpClientTest, TheApplicationQuittingEndsTheWait)
{
    server.setReply({"HTTP/1.0 200 OK\r\n\r\nslow", true});
    onceRequested([] { QCoreApplication::exit(0); });
    EXPECT_EQ(failureOfGet(), "Connection aborted");
    EXPECT_TRUE(server.waitForHangUps(1));
    // Let later event loops run again.
    QTimer::singleShot(0, [] { QCoreApplication::exit(0); });
    QCoreApplication::exec();
}

TEST_F(HttpClientTest, AStreamThatRefusesTheDataIsNotAnHttpError)
{
    server.setReply({TestHttpServer::response("200 OK", "data")});
    QBuffer readOnly;
    ASSERT_TRUE(readOnly.open(QIODevice::ReadOnly));
    client.setRcvdStream(&readOnly);
    EXPECT_THROW(
        {
            try {
                client.Get();
            } catch (const EHttpError&) {
                ADD_FAILURE() << "an HTTP error";
            }
        },
        std::runtime_error);
}

} // namespace
} // namespace kestrova
