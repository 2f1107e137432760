// kestrova-server's HTTP engine over loopback, as an attacker or an unlucky
// client would meet it: oversized and bodied requests, a request trickled in,
// a client that half-closes, too many connections from one address, and a
// database that cannot be written or whose disk is full.
#include "server/httplimits.h"
#include "server/scorestore.h"
#include "support/loopbackhttp.h"
#include "support/scratchdatabase.h"
#include "support/tempfolder.h"

#include <gtest/gtest.h>

#include <chrono>
#include <poll.h>
#include <sys/resource.h>

namespace {

using namespace kestrova::testing;
namespace limits = kestrova::server;

class Server : public ServerProcess {
public:
    explicit Server(const std::vector<std::string>& options) : ServerProcess(KESTROVA_SERVER_PATH, options) {}
};

// A connection from a chosen loopback address, left open until closed.
class RawClient {
public:
    explicit RawClient(int port, const char* from = "127.0.0.1")
    {
        fd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in local{};
        local.sin_family = AF_INET;
        ::inet_pton(AF_INET, from, &local.sin_addr);
        ::bind(fd_, reinterpret_cast<sockaddr*>(&local), sizeof local);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_port = htons(static_cast<std::uint16_t>(port));
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        connected_ = ::connect(fd_, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
    }
    ~RawClient() { ::close(fd_); }
    RawClient(const RawClient&) = delete;
    RawClient& operator=(const RawClient&) = delete;

    bool connected() const { return connected_; }
    bool send(const std::string& bytes) { return ::send(fd_, bytes.data(), bytes.size(), MSG_NOSIGNAL) == ssize_t(bytes.size()); }
    void halfClose() { ::shutdown(fd_, SHUT_WR); }
    // Everything until the server closes, waiting at most `patience`.
    std::string answer(std::chrono::seconds patience = std::chrono::seconds(10))
    {
        std::string got;
        const auto giveUpAt = std::chrono::steady_clock::now() + patience;
        for (;;) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(giveUpAt - std::chrono::steady_clock::now());
            pollfd ready{fd_, POLLIN, 0};
            if (left.count() <= 0 || ::poll(&ready, 1, static_cast<int>(left.count())) <= 0)
                return got + "(still open)";
            char buffer[4096];
            const ssize_t n = ::recv(fd_, buffer, sizeof buffer, 0);
            if (n <= 0)
                return got;
            got.append(buffer, static_cast<std::size_t>(n));
        }
    }

private:
    int fd_ = -1;
    bool connected_ = false;
};

int statusOf(const std::string& answer)
{
    return answer.rfind("HTTP/1.", 0) == 0 && answer.size() > 12 ? std::stoi(answer.substr(9, 3)) : 0;
}

std::string bodyOf(const std::string& answer)
{
    const std::size_t split = answer.find("\r\n\r\n");
    return split == std::string::npos ? std::string() : answer.substr(split + 4);
}

class ServerEngine : public ::testing::Test {
protected:
    ServerEngine() : db_(Backend::Sqlite, "") {}
    std::int64_t stored() const { return kestrova::server::openScoreStore(db_.location())->count(); }
    ScratchDatabase db_;
};

TEST_F(ServerEngine, BoundsTheRequestHeadAndTakesNoBody)
{
    Server server({"--db", db_.location()});
    const auto fields = [](int count, std::size_t size) {
        std::string text;
        for (int i = 0; i < count; ++i) {
            const std::string name = "X-F" + std::to_string(i) + ": ";
            text += name + std::string(size - name.size() - 2, 'v') + "\r\n";
        }
        return text;
    };
    const std::string page = "GET /counter/kestrova.shtml HTTP/1.0\r\n";
    // At the bounds: 64 fields, 16 KiB of them, one of 8 KiB.
    EXPECT_EQ(sendRaw(server.port(), page + fields(64, 256) + "\r\n").status, 200);
    EXPECT_EQ(sendRaw(server.port(), page + fields(1, limits::kMaxHeaderField) + fields(1, 8190) + "\r\n").status, 200);
    // Past them.
    for (const std::string& head : {fields(65, 20), fields(1, limits::kMaxHeaderField + 1),
                                    fields(3, 6000), fields(200, 1024)}) {
        const Reply refused = sendRaw(server.port(), page + head + "\r\n");
        EXPECT_EQ(refused.status, 431) << head.size();
        EXPECT_EQ(refused.body, "Request header fields too large: at most 64 fields of up to 8192 bytes, 16384 bytes "
                                "in all\n");
    }
    // A request line that never ends is refused once it passes its bound.
    const Reply endless = sendRaw(server.port(), "GET /" + std::string(40000, 'x'));
    EXPECT_EQ(endless.status, 400);
    EXPECT_EQ(endless.body, "Bad request: request line is longer than 8192 bytes with its line end\n");

    for (const std::string& bodied : {std::string("GET /cgi-bin/kestrova.cgi?name=a&score=1 HTTP/1.1\r\n"
                                                  "Content-Length: 5\r\n\r\nhello"),
                                      std::string("GET /cgi-bin/kestrova.cgi?name=a&score=1 HTTP/1.1\r\n"
                                                  "Transfer-Encoding: chunked\r\n\r\n5\r\nhello\r\n0\r\n\r\n"),
                                      std::string("POST /cgi-bin/kestrova.cgi?name=a&score=1 HTTP/1.0\r\n"
                                                  "Content-Length: 1\r\n\r\nx")}) {
        const Reply refused = sendRaw(server.port(), bodied);
        EXPECT_EQ(refused.status, 400) << bodied;
        EXPECT_EQ(refused.body, "Bad request: a request body is not accepted\n");
    }
    EXPECT_EQ(sendRaw(server.port(), "GET /cgi-bin/kestrova.cgi?name=a&score=1 HTTP/1.1\r\nContent-Length: 0\r\n\r\n")
                  .status,
              200);
    EXPECT_EQ(server.terminate(), 0);
    EXPECT_EQ(stored(), 1);
}

TEST_F(ServerEngine, AnswersAClientThatClosedItsSendingSide)
{
    const std::string logFile = (db_.folder() / "access.log").string();
    Server server({"--db", db_.location(), "--access-log", logFile});
    RawClient client(server.port());
    ASSERT_TRUE(client.send("GET /cgi-bin/kestrova.cgi?name=Half&date=1.1.26&score=3 HTTP/1.0\r\n\r\n"));
    client.halfClose();
    const std::string answer = client.answer();
    EXPECT_EQ(statusOf(answer), 200) << answer;
    EXPECT_EQ(bodyOf(answer), "Score received.\n");
    EXPECT_EQ(server.terminate(), 0);
    EXPECT_EQ(stored(), 1);
    EXPECT_NE(readBytes(logFile).find("\"GET /cgi-bin/kestrova.cgi?name=Half&date=1.1.26&score=3 HTTP/1.0\" 200 16"),
              std::string::npos)
        << readBytes(logFile);
}

TEST_F(ServerEngine, StoresTheLongestNameTheGamePosts)
{
    Server server({"--db", db_.location()});
    std::string name;
    for (int i = 0; i < 85; ++i)
        name += "%E2%82%AC";   // 255 bytes of UTF-8
    EXPECT_EQ(httpGet(server.port(), "/cgi-bin/kestrova.cgi?name=" + name + "&score=5").status, 200);
    EXPECT_EQ(httpGet(server.port(), "/cgi-bin/kestrova.cgi?name=" + name + "x&score=5").status, 400);
    EXPECT_EQ(server.terminate(), 0);
    EXPECT_EQ(stored(), 1);
}

// The deadline runs from accept and is not restarted by each byte.
TEST_F(ServerEngine, ClosesARequestTrickledInPastTheDeadline)
{
    Server server({"--db", db_.location()});
    RawClient slow(server.port());
    const auto start = std::chrono::steady_clock::now();
    const std::string request = "GET /counter/kestrova.shtml HTTP/1.0\r\nX-Slow: ";
    bool open = true;
    for (std::size_t i = 0; open && i < 60; ++i) {
        open = slow.send(std::string(1, request[i % request.size()]));
        if (slow.answer(std::chrono::seconds(0)) != "(still open)")
            break;
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
    }
    const auto held = std::chrono::steady_clock::now() - start;
    EXPECT_GE(held, limits::kRequestDeadline - std::chrono::seconds(1));
    EXPECT_LT(held, limits::kRequestDeadline + std::chrono::seconds(5));
    // Meanwhile and after, everyone else is served.
    EXPECT_EQ(httpGet(server.port(), "/kestrova/kestrovaversion.txt").status, 200);
}

TEST_F(ServerEngine, CapsTheConnectionsOfOneAddressAndNotOthers)
{
    Server server({"--db", db_.location()});
    std::vector<std::unique_ptr<RawClient>> idle;
    for (std::size_t i = 0; i < limits::kMaxConnectionsPerAddress; ++i) {
        idle.push_back(std::make_unique<RawClient>(server.port(), "127.0.0.7"));
        ASSERT_TRUE(idle.back()->connected());
        ASSERT_TRUE(idle.back()->send("G"));
    }
    RawClient over(server.port(), "127.0.0.7");
    over.send("GET /kestrova/kestrovaversion.txt HTTP/1.0\r\n\r\n");
    const std::string refused = over.answer();
    EXPECT_EQ(statusOf(refused), 503) << refused;
    EXPECT_EQ(bodyOf(refused), "Service unavailable: too many connections; try again later\n");

    RawClient other(server.port(), "127.0.0.8");
    other.send("GET /kestrova/kestrovaversion.txt HTTP/1.0\r\n\r\n");
    EXPECT_EQ(bodyOf(other.answer()), "1.0.2");

    idle.pop_back();   // a slot given back is taken again
    bool served = false;
    for (int attempt = 0; attempt < 50 && !served; ++attempt) {
        RawClient retry(server.port(), "127.0.0.7");
        retry.send("GET /kestrova/kestrovaversion.txt HTTP/1.0\r\n\r\n");
        served = bodyOf(retry.answer()) == "1.0.2";
    }
    EXPECT_TRUE(served);
}

// Root may write any file: the server then runs as nobody, who may not.
TEST_F(ServerEngine, RefusesToStartOnADatabaseItCannotWrite)
{
    { kestrova::server::openScoreStore(db_.location()); }
    std::filesystem::permissions(db_.location(), std::filesystem::perms::owner_read | std::filesystem::perms::group_read |
                                                     std::filesystem::perms::others_read);
    std::filesystem::permissions(db_.folder(), std::filesystem::perms::owner_all | std::filesystem::perms::group_read |
                                                   std::filesystem::perms::group_exec | std::filesystem::perms::others_read |
                                                   std::filesystem::perms::others_exec);
    std::vector<std::string> command{KESTROVA_SERVER_PATH, "--listen", "127.0.0.1:0", "--db", db_.location()};
    if (::geteuid() == 0)
        command.insert(command.begin(), {"/usr/bin/setpriv", "--reuid=nobody", "--regid=nogroup", "--clear-groups", "--"});
    const ProgramRun run = runProgram(command);
    EXPECT_EQ(run.exitCode, 1) << run.out << run.err;
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(run.err.find('\n'), run.err.size() - 1) << run.err;
    EXPECT_NE(run.err.find(db_.location()), std::string::npos) << run.err;
    std::filesystem::permissions(db_.folder(), std::filesystem::perms::owner_all);
}

// A full disk (here, a file size limit) refuses posts with 503 while the list
// is still served; the server never dies of it.
TEST_F(ServerEngine, AnswersAFullDiskWith503AndKeepsServingTheList)
{
    { kestrova::server::openScoreStore(db_.location())->add({"Kept", "1.1.26", 7}); }
    rlimit before{};
    ::getrlimit(RLIMIT_FSIZE, &before);
    rlimit tight = before;
    tight.rlim_cur = 256 * 1024;
    ::setrlimit(RLIMIT_FSIZE, &tight);
    Server server({"--db", db_.location(), "--posts-per-minute", "0"});
    ::setrlimit(RLIMIT_FSIZE, &before);

    const std::string pad(200, 'p');
    Reply reply;
    int posts = 0;
    for (; posts < 5000; ++posts) {
        reply = httpGet(server.port(), "/cgi-bin/kestrova.cgi?name=" + pad + "&date=" + std::to_string(posts) +
                                           "&score=1");
        if (reply.status != 200)
            break;
    }
    EXPECT_EQ(reply.status, 503);
    EXPECT_EQ(reply.body, "Service unavailable: the score was not stored; try again in 10 seconds\n");
    EXPECT_NE(reply.head.find("\r\nRetry-After: 10"), std::string::npos);
    const Reply page = httpGet(server.port(), "/counter/kestrova.shtml");
    EXPECT_EQ(page.status, 200);
    EXPECT_NE(page.body.find(">Kept<"), std::string::npos);
    EXPECT_EQ(httpGet(server.port(), "/cgi-bin/kestrova.cgi?name=again&score=1").status, 503);
    EXPECT_EQ(server.terminate(), 0);
    EXPECT_EQ(stored(), posts + 1);
}

} // namespace
