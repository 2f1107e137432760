// The game's side of a transfer and the transfer program itself: a program
// that is missing, dies or talks nonsense gives a failure that says why; a
// stop or a refused reply ends the program at once and leaves no process
// behind; the real program refuses requests it must not send and gives up as
// soon as the game hangs up.
#include "online/fetchprocess.h"
#include "support/guiapplicationenvironment.h"
#include "support/testhttpserver.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QProcess>
#include <QTimer>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <future>
#include <memory>
#include <optional>
#include <string>
#include <vector>
#include <thread>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>

namespace kestrova {
namespace {

using fetch::Outcome;
using fetch::Result;

// The real program, as the test environment names it.
const std::string realProgram = [] {
    const char* path = std::getenv("KESTROVA_FETCH_PROGRAM");
    return std::string(path ? path : "");
}();

bool noChildLeft()
{
    return waitpid(-1, nullptr, WNOHANG) < 0 && errno == ECHILD;
}

class FetchProcessTest : public ::testing::Test {
protected:
    void TearDown() override { ::setenv("KESTROVA_FETCH_PROGRAM", realProgram.c_str(), 1); }

    // Makes a shell script the program that transfers are made with.
    void useScript(const std::string& body)
    {
        const std::string path = folder.filePath(QStringLiteral("fake-fetch")).toStdString();
        std::ofstream(path) << "#!/bin/sh\n" << body << "\n";
        ::chmod(path.c_str(), 0755);
        ::setenv("KESTROVA_FETCH_PROGRAM", path.c_str(), 1);
    }

    static fetch::Request request()
    {
        fetch::Request request;
        request.url = "http://localhost/";
        return request;
    }

    static Outcome runTaking(FetchProcess& process, const FetchProcess::Handler& onHeader,
                             const FetchProcess::Handler& onBody)
    {
        return process.run(request(), onHeader, onBody);
    }

    static Outcome runTakingAll(FetchProcess& process)
    {
        auto take = [](std::string_view) { return true; };
        return runTaking(process, take, take);
    }

    QTemporaryDir folder;
};

TEST_F(FetchProcessTest, UnusableProgramsEndInAFailureThatSaysWhy)
{
    struct Case {
        const char* what;
        std::string script;   // empty: no program at all
        const char* says;
    };
    const std::vector<Case> cases = {
        {"missing", "", "can't be started"},
        {"ends at once", "exit 0", "ended"},
        {"dies midway", "printf 'h\\000\\000\\000\\021HTTP/1.0 200 OK\\r\\n'; kill -9 $$", "without an answer"},
        {"unknown frame", "printf 'q\\000\\000\\000\\000'; exec sleep 600", "unknown kind"},
        {"overlong frame", "printf 'd\\377\\377\\377\\377'; exec sleep 600", "longer than the protocol allows"},
        {"unreadable outcome", "printf 'x\\000\\000\\000\\002ab'; exec sleep 600", "unreadable outcome"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        if (c.script.empty())
            ::setenv("KESTROVA_FETCH_PROGRAM", folder.filePath(QStringLiteral("none")).toLocal8Bit().constData(), 1);
        else
            useScript(c.script);
        FetchProcess process;
        const Outcome outcome = runTakingAll(process);
        EXPECT_EQ(outcome.result, Result::Failed);
        EXPECT_NE(outcome.text.find(c.says), std::string::npos) << outcome.text;
        EXPECT_TRUE(noChildLeft());
    }
}

TEST_F(FetchProcessTest, AMalformedRouteSendsNothing)
{
    // Were the program started, it would leave its mark.
    const std::string mark = folder.filePath(QStringLiteral("started")).toStdString();
    useScript("touch '" + mark + "'");
    ::setenv("KESTROVA_CONNECT_TO", "localhost:80", 1);
    FetchProcess process;
    const Outcome outcome = runTakingAll(process);
    ::unsetenv("KESTROVA_CONNECT_TO");
    EXPECT_EQ(outcome.result, Result::Failed);
    EXPECT_NE(outcome.text.find("KESTROVA_CONNECT_TO"), std::string::npos) << outcome.text;
    EXPECT_FALSE(std::filesystem::exists(mark));
}

TEST_F(FetchProcessTest, AStopEndsAStalledProgramAtOnceAndLeavesNoProcess)
{
    // The program sends a header line, then stalls for longer than the test may run.
    useScript("printf 'h\\000\\000\\000\\021HTTP/1.0 200 OK\\r\\n'; exec sleep 600");
    FetchProcess process;
    std::promise<void> headerArrived;
    auto result = std::async(std::launch::async, [&] {
        return runTaking(
            process,
            [&](std::string_view line) {
                EXPECT_EQ(line, "HTTP/1.0 200 OK\r\n");
                headerArrived.set_value();
                return true;
            },
            [](std::string_view) { return true; });
    });
    headerArrived.get_future().wait();
    process.stop();
    EXPECT_EQ(result.get().result, Result::Stopped);
    EXPECT_TRUE(noChildLeft());

    // A stop before the start starts nothing.
    FetchProcess early;
    early.stop();
    EXPECT_EQ(runTakingAll(early).result, Result::Stopped);
}

TEST_F(FetchProcessTest, AHandlerThatTurnsTheReplyDownEndsTheTransfer)
{
    useScript("printf 'h\\000\\000\\000\\021HTTP/1.0 200 OK\\r\\nd\\000\\000\\000\\003abc'; exec sleep 600");
    FetchProcess process;
    std::string bodySeen;
    const Outcome outcome = runTaking(
        process, [](std::string_view) { return true; },
        [&](std::string_view piece) {
            bodySeen += piece;
            return false;
        });
    EXPECT_EQ(outcome.result, Result::Refused);
    EXPECT_EQ(bodySeen, "abc");
    EXPECT_TRUE(noChildLeft());
}

TEST_F(FetchProcessTest, TheEndComesFromTheEventLoopAndAHandlerMayDestroyItsProcess)
{
    // A program that can't be started: reported after start() has returned.
    ::setenv("KESTROVA_FETCH_PROGRAM", folder.filePath(QStringLiteral("none")).toLocal8Bit().constData(), 1);
    auto take = [](std::string_view) { return true; };
    std::optional<Outcome> ended;
    {
        FetchProcess process;
        process.start(request(), take, take, [&](const Outcome& outcome) { ended = outcome; });
        EXPECT_FALSE(ended);
        while (!ended)
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
        EXPECT_EQ(ended->result, Result::Failed);
    }

    // A handler that destroys the transfer it is called by ends the program
    // at once, and nothing of the transfer runs after it.
    useScript("printf 'h\\000\\000\\000\\021HTTP/1.0 200 OK\\r\\nd\\000\\000\\000\\003abc'; exec sleep 600");
    auto process = std::make_unique<FetchProcess>();
    int calls = 0;
    bool endReported = false;
    process->start(
        request(),
        [&](std::string_view) {
            ++calls;
            process.reset();
            return true;
        },
        [&](std::string_view) {
            ++calls;
            return true;
        },
        [&](const Outcome&) { endReported = true; });
    while (process)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    EXPECT_TRUE(noChildLeft());
    // Whatever else was still queued for it runs to nothing.
    bool drained = false;
    QTimer::singleShot(0, [&] { drained = true; });
    while (!drained)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    EXPECT_EQ(calls, 1);
    EXPECT_FALSE(endReported);
}

// The outcome a finished program reported on its standard output.
std::optional<Outcome> reportedOutcome(QProcess& program)
{
    fetch::FrameReader frames;
    frames.append(program.readAllStandardOutput().toStdString());
    std::optional<Outcome> outcome;
    while (std::optional<fetch::Frame> frame = frames.next()) {
        if (frame->tag == fetch::Tag::Outcome)
            outcome = fetch::decodeOutcome(frame->payload);
    }
    return outcome;
}

// Runs the real program with `input` as everything the game sends.
std::optional<Outcome> programOutcome(const std::string& input)
{
    QProcess program;
    program.start(QString::fromStdString(realProgram), {});
    EXPECT_TRUE(program.waitForStarted());
    program.write(input.data(), static_cast<qint64>(input.size()));
    program.closeWriteChannel();
    EXPECT_TRUE(program.waitForFinished(60000));
    return reportedOutcome(program);
}

TEST(FetchProgram, RefusesWhatItCannotReadAndSaysWhy)
{
    std::string otherVersion;
    fetch::appendFrame(otherVersion, fetch::Tag::Version, "kestrova-fetch 0");

    std::string smuggled = fetch::encodeRequest([] {
        fetch::Request request;
        request.url = "http://localhost/";
        request.agent = "Kestrova\r\nX-Injected: yes";
        return request;
    }());

    std::string cutShort = fetch::encodeRequest([] {
        fetch::Request request;
        request.url = "http://localhost/";
        return request;
    }());
    cutShort.resize(cutShort.size() - 3);

    for (const auto& [input, says] : std::vector<std::pair<std::string, std::string>>{
             {otherVersion, "another version"}, {smuggled, "line break"}, {cutShort, "hung up"}}) {
        SCOPED_TRACE(says);
        const std::optional<Outcome> outcome = programOutcome(input);
        ASSERT_TRUE(outcome);
        EXPECT_EQ(outcome->result, Result::Failed);
        EXPECT_NE(outcome->text.find(says), std::string::npos) << outcome->text;
    }
}

TEST(FetchProgram, GivesUpAsSoonAsTheGameHangsUp)
{
    testing::TestHttpServer server;
    server.setReply({"HTTP/1.0 200 OK\r\n", true});
    fetch::Request request;
    request.url = "http://localhost/";
    request.routes = {server.route()};

    QProcess program;
    program.start(QString::fromStdString(realProgram), {});
    ASSERT_TRUE(program.waitForStarted());
    const std::string bytes = fetch::encodeRequest(request);
    program.write(bytes.data(), static_cast<qint64>(bytes.size()));
    ASSERT_TRUE(program.waitForBytesWritten());
    ASSERT_TRUE(server.waitForRequests(1));

    program.closeWriteChannel();
    EXPECT_TRUE(program.waitForFinished(60000));
    EXPECT_TRUE(server.waitForHangUps(1));
    const std::optional<Outcome> outcome = reportedOutcome(program);
    ASSERT_TRUE(outcome);
    EXPECT_EQ(outcome->result, Result::Stopped);
}

// Time-outs, shortened for the test as a player's environment could.
class FetchTimeoutTest : public FetchProcessTest {
protected:
    void SetUp() override
    {
        ::setenv("KESTROVA_CONNECT_TIMEOUT_MS", "400", 1);
        ::setenv("KESTROVA_IDLE_TIMEOUT_MS", "400", 1);
    }
    void TearDown() override
    {
        ::unsetenv("KESTROVA_CONNECT_TIMEOUT_MS");
        ::unsetenv("KESTROVA_IDLE_TIMEOUT_MS");
        FetchProcessTest::TearDown();
    }

    static Outcome fetchFrom(const std::string& route, std::string* body = nullptr)
    {
        fetch::Request request;
        request.url = "http://localhost/";
        ::setenv("KESTROVA_CONNECT_TO", route.c_str(), 1);
        FetchProcess process;
        const Outcome outcome = process.run(
            request, [](std::string_view) { return true; },
            [&](std::string_view piece) {
                if (body)
                    body->append(piece);
                return true;
            });
        ::unsetenv("KESTROVA_CONNECT_TO");
        return outcome;
    }
};

TEST_F(FetchTimeoutTest, AServerThatGoesQuietEndsTheTransferAsTimedOut)
{
    // Accepts and never answers; then answers the head and stalls in the body.
    for (const std::string head : {"", "HTTP/1.0 200 OK\r\nContent-Length: 10\r\n\r\nabc"}) {
        SCOPED_TRACE(head);
        testing::TestHttpServer server;
        server.setReply({head, true});
        const Outcome outcome = fetchFrom(server.route());
        EXPECT_EQ(outcome.result, Result::TimedOut) << outcome.text;
        EXPECT_NE(outcome.text.find("No byte moved for 400 ms"), std::string::npos) << outcome.text;
        EXPECT_EQ(server.requestCount(), 1u);
        EXPECT_TRUE(server.waitForHangUps(1));
    }
    EXPECT_TRUE(noChildLeft());
}

TEST_F(FetchTimeoutTest, ASlowTransferGoesOnWhileBytesFlow)
{
    // A body in 12 pieces 150 ms apart: far longer than the idle time-out in
    // all, never that long without a byte.
    const int listener = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ASSERT_EQ(::bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    ASSERT_EQ(::listen(listener, 1), 0);
    socklen_t length = sizeof address;
    ::getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length);
    std::thread server([listener] {
        const int connection = ::accept(listener, nullptr, nullptr);
        char request[4096];
        [[maybe_unused]] const ssize_t got = ::recv(connection, request, sizeof request, 0);
        const std::string head = "HTTP/1.0 200 OK\r\nContent-Length: 12\r\n\r\n";
        [[maybe_unused]] ssize_t sent = ::send(connection, head.data(), head.size(), MSG_NOSIGNAL);
        for (int i = 0; i < 12; ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(150));
            sent = ::send(connection, "x", 1, MSG_NOSIGNAL);
        }
        ::close(connection);
    });
    std::string body;
    const Outcome outcome = fetchFrom("localhost:80:127.0.0.1:" + std::to_string(ntohs(address.sin_port)), &body);
    server.join();
    ::close(listener);
    EXPECT_EQ(outcome.result, Result::Done) << outcome.text;
    EXPECT_EQ(body, std::string(12, 'x'));
}

TEST_F(FetchTimeoutTest, AConnectionThatIsNeverMadeEndsAtTheConnectTimeOut)
{
    // A listener that accepts nothing with its queue full: further connection
    // attempts go unanswered, as with a server that is down behind a firewall.
    const int listener = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ASSERT_EQ(::bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    ASSERT_EQ(::listen(listener, 0), 0);
    socklen_t length = sizeof address;
    ::getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length);
    std::vector<int> fillers;
    for (int i = 0; i < 4; ++i) {
        const int filler = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
        ::connect(filler, reinterpret_cast<sockaddr*>(&address), sizeof address);
        fillers.push_back(filler);
    }
    const Outcome outcome = fetchFrom("localhost:80:127.0.0.1:" + std::to_string(ntohs(address.sin_port)));
    EXPECT_EQ(outcome.result, Result::TimedOut) << outcome.text;
    for (const int filler : fillers)
        ::close(filler);
    ::close(listener);
}

TEST_F(FetchTimeoutTest, AProgramThatHangsItselfIsEndedByTheGame)
{
    // Reads the request and says nothing, for longer than its time-outs allow.
    useScript("exec sleep 600");
    FetchProcess process;
    const Outcome outcome = process.run(
        [] {
            fetch::Request request;
            request.url = "http://localhost/";
            return request;
        }(),
        [](std::string_view) { return true; }, [](std::string_view) { return true; });
    EXPECT_EQ(outcome.result, Result::TimedOut);
    EXPECT_NE(outcome.text.find("stopped answering"), std::string::npos) << outcome.text;
    EXPECT_TRUE(noChildLeft());
}

} // namespace
} // namespace kestrova
