// kestrova-server over loopback: the game's requests, every refused post, the
// installer files, the command line and a clean stop.
#include "server/sqlitescorestore.h"
#include "support/loopbackhttp.h"
#include "unit/tempfolder.h"

#include <gtest/gtest.h>

#include <thread>

namespace {

using namespace kestrova::testing;
using kestrova::server::SqliteScoreStore;

ProgramRun runServer(const std::vector<std::string>& options, const std::filesystem::path& cwd = {})
{
    std::vector<std::string> arguments{KESTROVA_SERVER_PATH};
    arguments.insert(arguments.end(), options.begin(), options.end());
    return runProgram(arguments, cwd);
}

// A server on a free loopback port for the length of a test.
class Server : public ServerProcess {
public:
    explicit Server(const std::vector<std::string>& options) : ServerProcess(KESTROVA_SERVER_PATH, options) {}
};

class ServerProgram : public ::testing::Test {
protected:
    std::string database() const { return (folder_ / "scores.db").string(); }
    std::int64_t stored() { return SqliteScoreStore(database()).count(); }

    TempFolder folder_;
};

TEST_F(ServerProgram, AnswersTheGamesRequests)
{
    Server server({"--db", database()});
    EXPECT_EQ(server.announcement(), "listening on 127.0.0.1:" + std::to_string(server.port()));

    const Reply posted =
        httpGet(server.port(), "/cgi-bin/kestrova.cgi?name=Zo%C3%AB%20%26%20%3Cb%3E&date=12.6.26&score=1500");
    EXPECT_EQ(posted.status, 200);
    EXPECT_FALSE(posted.body.empty());
    EXPECT_EQ(httpGet(server.port(), "/cgi-bin/kestrova.cgi?name=Guest&date=12%2F6%2F26&score=0").status, 200);

    const Reply page = httpGet(server.port(), "/counter/kestrova.shtml", "Host: localhost\r\n");
    EXPECT_EQ(page.status, 200);
    EXPECT_NE(page.head.find("Content-Type: text/html; charset=utf-8"), std::string::npos);
    const std::size_t first = page.body.find("Zo\xC3\xAB &amp; &lt;b&gt;</td><td align=\"right\">1500</td><td>12.6.26<");
    const std::size_t second = page.body.find("Guest</td><td align=\"right\">0</td><td>12/6/26<");
    EXPECT_NE(first, std::string::npos) << page.body;
    EXPECT_NE(second, std::string::npos);
    EXPECT_LT(first, second);
    EXPECT_NE(page.body.find("href=\"http://localhost/counter/kestrova.shtml\""), std::string::npos);

    const Reply version = httpGet(server.port(), "/kestrova/kestrovaversion.txt");
    EXPECT_EQ(version.status, 200);
    EXPECT_EQ(version.body, "1.0.2");
    EXPECT_EQ(httpGet(server.port(), "/kestrova/kessetup.exe").status, 404);
    EXPECT_EQ(httpGet(server.port(), "/kestrova/kessetup.exe.minisig").status, 404);
    EXPECT_EQ(httpGet(server.port(), "/counter/kestrovaXshtml").status, 404);   // routes match exactly
    EXPECT_EQ(httpGet(server.port(), "/nothing").body, "Not found\n");

    EXPECT_EQ(server.terminate(), 0);
    EXPECT_EQ(stored(), 2);
}

TEST_F(ServerProgram, RefusesEveryBadPostAndStoresNothing)
{
    Server server({"--db", database()});
    const std::string post = "/cgi-bin/kestrova.cgi?";
    const std::vector<std::string> badQueries{
        "name=Ann&date=12.6.26",                           // no score
        "name=Ann&date=12.6.26&score=",                    // empty score
        "name=Ann&score=12x",
        "name=Ann&score=1.5",
        "name=Ann&score=%2B7",
        "name=Ann&score=1000001",
        "name=Ann&score=-1000001",
        "name=Ann&score=99999999999999999999999",
        "name=" + std::string(65, 'a') + "&score=1",
        "name=%FF%FE&score=1",
        "name=%C0%AF&score=1",
        "name=%ED%A0%80&score=1",
        "name=Ann%ZZ&score=1",
        "date=%E2%82&score=1",
        "name=a&score=1&pad=" + std::string(8200, 'p'),   // query, and so request line, over 8 KiB
    };
    for (const std::string& query : badQueries) {
        const Reply reply = httpGet(server.port(), post + query);
        EXPECT_EQ(reply.status, 400) << query;
        EXPECT_EQ(reply.body.rfind("Bad request: ", 0), 0u) << reply.body;
        EXPECT_EQ(reply.body.find('\n'), reply.body.size() - 1) << "one line: " << reply.body;
    }
    // Requests the HTTP layer refuses before any route sees them.
    for (const std::string& request : {std::string("GET /cgi-bin/kestrova.cgi?name=A B&score=1 HTTP/1.0\r\n\r\n"),
                                       std::string("GET /cgi-bin/kestrova.cgi?score=1&") + std::string(9000, 'x') +
                                           " HTTP/1.0\r\n\r\n",
                                       std::string("garbage\r\n\r\n")}) {
        const Reply reply = sendRaw(server.port(), request);
        EXPECT_EQ(reply.status, 400) << request.substr(0, 60);
        EXPECT_EQ(reply.body.rfind("Bad request", 0), 0u) << reply.body;
    }
    EXPECT_NE(httpGet(server.port(), "/counter/kestrova.shtml").body.find("No scores yet"), std::string::npos);
    EXPECT_EQ(server.terminate(), 0);
    EXPECT_EQ(stored(), 0);
}

TEST_F(ServerProgram, TakesRequestLinesUpTo8KiBWithTheirLineEnd)
{
    Server server({"--db", database()});
    const auto requestLine = [](std::size_t length) {
        const std::string start = "GET /cgi-bin/kestrova.cgi?score=1&name=n&pad=", end = " HTTP/1.0";
        return start + std::string(length - start.size() - end.size(), 'p') + end + "\r\n\r\n";
    };
    EXPECT_EQ(sendRaw(server.port(), requestLine(8190)).status, 200);
    const Reply refused = sendRaw(server.port(), requestLine(8191));
    EXPECT_EQ(refused.status, 400);
    EXPECT_EQ(refused.body, "Bad request: request line is longer than 8192 bytes with its line end\n");
    EXPECT_EQ(server.terminate(), 0);
    EXPECT_EQ(stored(), 1);
}

TEST_F(ServerProgram, ServesTheInstallerAndItsSignatureFromTheFolder)
{
    std::filesystem::create_directory(folder_ / "dl");
    std::string installer;
    for (int i = 0; i < 300'000; ++i)   // several chunks, every byte value, NULs included
        installer += static_cast<char>((i * 7) & 0xFF);
    writeBytes(folder_ / "dl" / "kessetup.exe", installer);

    Server server({"--db", database(), "--installer-dir", (folder_ / "dl").string(), "--version", "1.0.3\r\n"});
    const Reply file = httpGet(server.port(), "/kestrova/kessetup.exe");
    EXPECT_EQ(file.status, 200);
    EXPECT_NE(file.head.find("Content-Length: 300000"), std::string::npos);
    EXPECT_TRUE(file.body == installer);
    EXPECT_EQ(httpGet(server.port(), "/kestrova/kessetup.exe.minisig").status, 404);
    EXPECT_EQ(httpGet(server.port(), "/kestrova/kestrovaversion.txt").body, "1.0.3\r\n");

    const std::string signature = "untrusted comment: signature\nRWQ...\ntrusted comment: t\nabc\n";
    writeBytes(folder_ / "dl" / "kessetup.exe.minisig", signature);
    EXPECT_EQ(httpGet(server.port(), "/kestrova/kessetup.exe.minisig").body, signature);

    // Without a Host header the page's links fall back to the bound address;
    // a Host header that is not a plain host name never reaches the page.
    const std::string base = "http://127.0.0.1:" + std::to_string(server.port());
    EXPECT_NE(httpGet(server.port(), "/counter/kestrova.shtml").body.find("href=\"" + base + "/kestrova/kessetup.exe\""),
              std::string::npos);
    const Reply hostile = httpGet(server.port(), "/counter/kestrova.shtml", "Host: x\"><script>y</script>\r\n");
    EXPECT_EQ(hostile.body.find("<script>"), std::string::npos);
    EXPECT_NE(hostile.body.find("href=\"" + base + "/counter/kestrova.shtml\""), std::string::npos);

    std::filesystem::remove(folder_ / "dl" / "kessetup.exe");
    EXPECT_EQ(httpGet(server.port(), "/kestrova/kessetup.exe").status, 404);
    EXPECT_EQ(httpGet(server.port(), "/counter/kestrova.shtml").body.find("kessetup.exe"), std::string::npos);
}

TEST_F(ServerProgram, StopsCleanlyAndKeepsScoresForTheNextRun)
{
    {
        Server server({"--db", database()});
        std::vector<std::thread> clients;
        for (int t = 0; t < 4; ++t)
            clients.emplace_back([&server, t] {
                for (int i = 0; i < 10; ++i)
                    httpGet(server.port(), "/cgi-bin/kestrova.cgi?name=c" + std::to_string(t) +
                                           "&date=1.1.26&score=" + std::to_string(t * 10 + i));
            });
        for (std::thread& client : clients)
            client.join();
        EXPECT_EQ(server.terminate(), 0);
    }
    // A cleanly closed database has folded its write-ahead log back in.
    EXPECT_FALSE(std::filesystem::exists(database() + "-wal"));
    EXPECT_EQ(stored(), 40);

    Server again({"--db", database()});
    EXPECT_NE(httpGet(again.port(), "/counter/kestrova.shtml").body.find(">c3</td><td align=\"right\">39<"),
              std::string::npos);
}

TEST_F(ServerProgram, CommandLineFaultsExitWithTwoAndStartFaultsWithOne)
{
    const ProgramRun help = runServer({"--help"});
    EXPECT_EQ(help.exitCode, 0);
    for (const char* option : {"--listen ADDR:PORT", "--db FILE", "--version TEXT", "--installer-dir DIR"})
        EXPECT_NE(help.out.find(option), std::string::npos) << option;

    for (const std::vector<std::string>& bad : std::vector<std::vector<std::string>>{
             {"--bogus"}, {"--listen"}, {"--listen", "localhost"}, {"--listen", "127.0.0.1:99999"}, {"extra"}}) {
        const ProgramRun run = runServer(bad, folder_.path());
        EXPECT_EQ(run.exitCode, 2) << bad.front();
        EXPECT_EQ(run.out, "");
        EXPECT_EQ(run.err.find('\n'), run.err.size() - 1) << run.err;
    }
    EXPECT_TRUE(std::filesystem::is_empty(folder_.path()));   // no database made for a bad command line

    Server first({"--db", database()});
    const ProgramRun taken = runServer({"--listen", "127.0.0.1:" + std::to_string(first.port()), "--db",
                                        (folder_ / "other.db").string()});
    EXPECT_EQ(taken.exitCode, 1);
    EXPECT_NE(taken.err.find("cannot listen on 127.0.0.1:" + std::to_string(first.port())), std::string::npos);

    const ProgramRun noDatabase = runServer({"--listen", "127.0.0.1:0", "--db", (folder_ / "no" / "x.db").string()});
    EXPECT_EQ(noDatabase.exitCode, 1);
    EXPECT_NE(noDatabase.err.find("cannot open"), std::string::npos) << noDatabase.err;
}

} // namespace
