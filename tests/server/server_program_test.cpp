// kestrova-server over loopback: the game's requests, every refused post, the
// limit on posts, the access log, the installer files, the command line, a
// clean stop, and two servers sharing one database, on each backend.
#include "server/scorestore.h"
#include "support/loopbackhttp.h"
#include "support/scratchdatabase.h"
#include "support/tempfolder.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <regex>
#include <sstream>
#include <thread>

namespace {

using namespace kestrova::testing;

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

std::string post(const std::string& query)
{
    return "/cgi-bin/kestrova.cgi?" + query;
}

class WithDatabase {
protected:
    explicit WithDatabase(Backend backend) : db_(backend, KESTROVA_PGCLUSTER_STATE) {}

    const std::string& database() const { return db_.location(); }
    const std::filesystem::path& folder() const { return db_.folder(); }
    std::int64_t stored() const { return kestrova::server::openScoreStore(db_.location())->count(); }

    ScratchDatabase db_;
};

// What does not depend on where the scores are kept runs on SQLite only.
class ServerProgram : public ::testing::Test, protected WithDatabase {
protected:
    ServerProgram() : WithDatabase(Backend::Sqlite) {}
};

class ServerOnEachBackend : public ::testing::TestWithParam<Backend>, protected WithDatabase {
protected:
    ServerOnEachBackend() : WithDatabase(GetParam()) {}
};

TEST_P(ServerOnEachBackend, AnswersTheGamesRequests)
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

TEST_P(ServerOnEachBackend, RefusesEveryBadPostAndStoresNothing)
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
        "name=" + std::string(256, 'a') + "&score=1",
        "name=Ann%0D%0AEve&score=1",                       // control characters
        "name=Ann&date=1.1.26%00&score=1",
        "name=%1B[31mAnn&score=1",
        "name=Ann%7F&score=1",
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
    std::filesystem::create_directory(folder() / "dl");
    std::string installer;
    for (int i = 0; i < 300'000; ++i)   // several chunks, every byte value, NULs included
        installer += static_cast<char>((i * 7) & 0xFF);
    writeBytes(folder() / "dl" / "kessetup.exe", installer);

    Server server({"--db", database(), "--installer-dir", (folder() / "dl").string(), "--version", "1.0.3\r\n"});
    const Reply file = httpGet(server.port(), "/kestrova/kessetup.exe");
    EXPECT_EQ(file.status, 200);
    EXPECT_NE(file.head.find("Content-Length: 300000"), std::string::npos);
    EXPECT_TRUE(file.body == installer);
    EXPECT_EQ(httpGet(server.port(), "/kestrova/kessetup.exe.minisig").status, 404);
    EXPECT_EQ(httpGet(server.port(), "/kestrova/kestrovaversion.txt").body, "1.0.3\r\n");

    const std::string signature = "untrusted comment: signature\nRWQ...\ntrusted comment: t\nabc\n";
    writeBytes(folder() / "dl" / "kessetup.exe.minisig", signature);
    EXPECT_EQ(httpGet(server.port(), "/kestrova/kessetup.exe.minisig").body, signature);

    // Without a Host header the page's links fall back to the bound address;
    // a Host header that is not a plain host name never reaches the page.
    const std::string base = "http://127.0.0.1:" + std::to_string(server.port());
    EXPECT_NE(httpGet(server.port(), "/counter/kestrova.shtml").body.find("href=\"" + base + "/kestrova/kessetup.exe\""),
              std::string::npos);
    const Reply hostile = httpGet(server.port(), "/counter/kestrova.shtml", "Host: x\"><script>y</script>\r\n");
    EXPECT_EQ(hostile.body.find("<script>"), std::string::npos);
    EXPECT_NE(hostile.body.find("href=\"" + base + "/counter/kestrova.shtml\""), std::string::npos);

    std::filesystem::remove(folder() / "dl" / "kessetup.exe");
    EXPECT_EQ(httpGet(server.port(), "/kestrova/kessetup.exe").status, 404);
    EXPECT_EQ(httpGet(server.port(), "/counter/kestrova.shtml").body.find("kessetup.exe"), std::string::npos);
}

TEST_P(ServerOnEachBackend, StopsCleanlyAndKeepsScoresForTheNextRun)
{
    {
        Server server({"--db", database(), "--posts-per-minute", "0"});
        std::vector<std::thread> clients;
        for (int t = 0; t < 4; ++t)
            clients.emplace_back([&server, t] {
                for (int i = 0; i < 10; ++i)
                    httpGet(server.port(), post("name=c" + std::to_string(t) + "&date=1.1.26&score=" +
                                                std::to_string(t * 10 + i)));
            });
        for (std::thread& client : clients)
            client.join();
        EXPECT_EQ(server.terminate(), 0);
    }
    // A cleanly closed SQLite database has folded its write-ahead log back in.
    if (GetParam() == Backend::Sqlite) {
        EXPECT_FALSE(std::filesystem::exists(database() + "-wal"));
    }
    EXPECT_EQ(stored(), 40);

    Server again({"--db", database()});
    EXPECT_NE(httpGet(again.port(), "/counter/kestrova.shtml").body.find(">c3</td><td align=\"right\">39<"),
              std::string::npos);
}

// Behind a load balancer the list page may come from another server than the
// post: each serves its kept page only while the database says nothing
// changed, so a player sees their score at once, wherever the page comes from.
TEST_P(ServerOnEachBackend, TwoServersOnOneDatabaseShowEachOthersPostsAtOnce)
{
    Server left({"--db", database()});
    Server right({"--db", database()});
    const auto page = [](const Server& server) {
        return httpGet(server.port(), "/counter/kestrova.shtml", "Host: scores.example\r\n").body;
    };
    const auto rankOf = [&](const Server& server, const std::string& name) {
        const std::string body = page(server);
        const std::size_t row = body.find("</td><td>" + name + "</td>");
        return row == std::string::npos ? 0 : std::stoi(body.substr(body.rfind('>', row - 1) + 1));
    };
    // Both keep a page of the empty list first.
    EXPECT_NE(page(left).find("No scores yet"), std::string::npos);
    EXPECT_NE(page(right).find("No scores yet"), std::string::npos);

    ASSERT_EQ(httpGet(left.port(), post("name=Ann&date=1.1.26&score=10")).status, 200);
    EXPECT_EQ(rankOf(right, "Ann"), 1);
    EXPECT_EQ(rankOf(left, "Ann"), 1);
    ASSERT_EQ(httpGet(right.port(), post("name=Bo&date=1.1.26&score=20")).status, 200);
    EXPECT_EQ(rankOf(left, "Bo"), 1);
    EXPECT_EQ(rankOf(left, "Ann"), 2);
    EXPECT_EQ(page(left), page(right));

    // A row an administrator deletes by hand leaves both pages too.
    db_.execute("DELETE FROM scores WHERE score = 20");
    EXPECT_EQ(rankOf(left, "Bo"), 0);
    EXPECT_EQ(rankOf(right, "Bo"), 0);
    EXPECT_EQ(rankOf(right, "Ann"), 1);
}

TEST_P(ServerOnEachBackend, LimitsPostsPerClientAndStoresNoneOverTheLimit)
{
    // The loopback peer stands for a load balancer that names the client.
    Server server({"--db", database(), "--posts-per-minute", "1", "--post-burst", "2", "--trusted-proxy", "127.0.0.1"});
    const auto postAs = [&server](const std::string& client, const std::string& query) {
        return httpGet(server.port(), post(query), "X-Forwarded-For: " + client + "\r\n");
    };
    EXPECT_EQ(postAs("203.0.113.9", "name=A&score=x").status, 400);   // refused posts cost nothing
    EXPECT_EQ(postAs("203.0.113.9", "name=A&score=1").status, 200);
    const auto beforeLastPost = std::chrono::steady_clock::now();
    EXPECT_EQ(postAs("198.51.100.1, 203.0.113.9", "name=A&score=2").status, 200);
    const Reply over = postAs("203.0.113.9", "name=A&score=3");
    const std::chrono::duration<double> sinceLastPost = std::chrono::steady_clock::now() - beforeLastPost;
    EXPECT_EQ(over.status, 429);
    // A minute less the moment since the last post, however slow this machine was.
    std::smatch said, header;
    ASSERT_TRUE(std::regex_match(over.body, said, std::regex("Too many requests: at most 1 score a minute from one "
                                                             "address; try again in ([0-9]+) seconds\n")))
        << over.body;
    ASSERT_TRUE(std::regex_search(over.head, header, std::regex("\r\nRetry-After: ([0-9]+)(\r|$)"))) << over.head;
    EXPECT_EQ(header[1].str(), said[1].str());
    const int retryAfter = std::stoi(said[1].str());
    EXPECT_LE(retryAfter, 60);
    EXPECT_GE(retryAfter, static_cast<int>(std::floor(60 - sinceLastPost.count())));
    EXPECT_EQ(postAs("203.0.113.9", "name=A&score=4").status, 429);

    // Other clients have their own allowance; an IPv6 client's is its /64.
    EXPECT_EQ(postAs("203.0.113.10", "name=B&score=5").status, 200);
    EXPECT_EQ(postAs("2001:db8:1:2::1", "name=C&score=6").status, 200);
    EXPECT_EQ(postAs("2001:db8:1:2::ffff", "name=C&score=7").status, 200);
    EXPECT_EQ(postAs("2001:db8:1:2:abcd::1", "name=C&score=8").status, 429);
    EXPECT_EQ(postAs("2001:db8:1:3::1", "name=D&score=9").status, 200);

    EXPECT_EQ(server.terminate(), 0);
    EXPECT_EQ(stored(), 6);
}

INSTANTIATE_TEST_SUITE_P(Backends, ServerOnEachBackend, ::testing::Values(Backend::Sqlite, Backend::Postgresql),
                         [](const auto& info) { return backendName(info.param); });

// One line per request, whatever the request, and nothing a client sends can
// start a line of its own or break out of the quoted request.
TEST_F(ServerProgram, WritesOneCommonLogLinePerRequest)
{
    const std::string logFile = (folder() / "access.log").string();
    Server server({"--db", database(), "--access-log", logFile, "--trusted-proxy", "127.0.0.1"});
    const Reply page = httpGet(server.port(), "/counter/kestrova.shtml");
    httpGet(server.port(), post("name=Ann&date=1.1.26&score=5"), "X-Forwarded-For: 192.0.2.44\r\n");
    sendRaw(server.port(), "GET /x\x1b[2J\"\\\xC3\xA9\r\" HTTP/1.0\r\n\r\n");
    sendRaw(server.port(), "garbage\r\n\r\n");
    sendRaw(server.port(), "GET /" + std::string(9000, 'x') + " HTTP/1.0\r\n\r\n");
    sendRaw(server.port(), "HEAD /kestrova/kestrovaversion.txt HTTP/1.0\r\n\r\n");
    EXPECT_EQ(server.terminate(), 0);

    std::istringstream lines(readBytes(logFile));
    std::vector<std::string> got;
    for (std::string line; std::getline(lines, line);)
        got.push_back(line);
    ASSERT_EQ(got.size(), 6u) << readBytes(logFile);
    const std::regex format(
        R"re((\S+) - - \[\d\d/[A-Z][a-z]{2}/\d{4}:\d\d:\d\d:\d\d \+0000\] "((?:[^"\\]|\\.)*)" (\d{3}) (\d+|-))re");
    std::vector<std::string> summaries;
    for (const std::string& line : got) {
        std::smatch parts;
        ASSERT_TRUE(std::regex_match(line, parts, format)) << line;
        summaries.push_back(parts[1].str() + " | " + parts[2].str() + " | " + parts[3].str() + " " + parts[4].str());
    }
    EXPECT_EQ(summaries, (std::vector<std::string>{
                             "127.0.0.1 | GET /counter/kestrova.shtml HTTP/1.0 | 200 " + std::to_string(page.body.size()),
                             "192.0.2.44 | GET /cgi-bin/kestrova.cgi?name=Ann&date=1.1.26&score=5 HTTP/1.0 | 200 16",
                             // Control bytes in a target are malformed HTTP: refused before any route.
                             R"(- | GET /x\x1b[2J\"\\\xc3\xa9\x0d\" HTTP/1.0 | 400 31)",
                             "- | garbage | 400 31",
                             "- | - | 400 70",
                             "127.0.0.1 | HEAD /kestrova/kestrovaversion.txt HTTP/1.0 | 200 -",
                         }));
}

TEST_F(ServerProgram, TakesItsSettingsFromAConfigurationFile)
{
    TempFolder configs;
    const std::filesystem::path scores = folder() / "configured.db";
    writeBytes(configs / "k.conf", "# as a service would have it\ndb = " + scores.string() +
                                       "\nversion = 1.0.3\nlisten = 127.0.0.1:1\n");
    // The helper's own --listen 127.0.0.1:0 comes first on the command line and still wins.
    Server server({"--config", (configs / "k.conf").string()});
    EXPECT_EQ(httpGet(server.port(), "/kestrova/kestrovaversion.txt").body, "1.0.3");
    EXPECT_EQ(httpGet(server.port(), post("name=Ann&date=1.1.26&score=5")).status, 200);
    EXPECT_EQ(server.terminate(), 0);
    EXPECT_EQ(kestrova::server::openScoreStore(scores.string())->count(), 1);
}

TEST_F(ServerProgram, CommandLineFaultsExitWithTwoAndStartFaultsWithOne)
{
    const ProgramRun help = runServer({"--help"});
    EXPECT_EQ(help.exitCode, 0);
    for (const char* option : {"--listen ADDR:PORT", "--db FILE", "--version TEXT", "--installer-dir DIR",
                               "--db postgresql://", "--posts-per-minute N", "--post-burst N", "--trusted-proxy ADDR",
                               "--access-log FILE"})
        EXPECT_NE(help.out.find(option), std::string::npos) << option;

    TempFolder configs;
    writeBytes(configs / "unknown.conf", "db = scores.db\nport = 80\n");
    writeBytes(configs / "bad.conf", "posts-per-minute = lots\n");
    writeBytes(configs / "good.conf", "db = " + (folder() / "from-config.db").string() + "\nlisten = 127.0.0.1:0\n");
    for (const std::vector<std::string>& bad : std::vector<std::vector<std::string>>{
             {"--config", (configs / "unknown.conf").string()},
             {"--config", (configs / "bad.conf").string()},
             {"--config", (configs / "missing.conf").string()},
             {"--config", (configs / "good.conf").string(), "--post-burst", "none"},
             {"--bogus"},
             {"--listen"},
             {"--listen", "localhost"},
             {"--listen", "127.0.0.1:99999"},
             {"extra"},
             {"--posts-per-minute", "-1"},
             {"--post-burst", "0"},
             {"--trusted-proxy", "proxy.example"}}) {
        const ProgramRun run = runServer(bad, folder());
        EXPECT_EQ(run.exitCode, 2) << bad.front();
        EXPECT_EQ(run.out, "");
        EXPECT_EQ(run.err.find('\n'), run.err.size() - 1) << run.err;
    }
    EXPECT_TRUE(std::filesystem::is_empty(folder()));   // no database made for a bad command line

    Server first({"--db", database()});
    const ProgramRun taken = runServer({"--listen", "127.0.0.1:" + std::to_string(first.port()), "--db",
                                        (folder() / "other.db").string()});
    EXPECT_EQ(taken.exitCode, 1);
    EXPECT_NE(taken.err.find("cannot listen on 127.0.0.1:" + std::to_string(first.port())), std::string::npos);

    const ProgramRun noDatabase = runServer({"--listen", "127.0.0.1:0", "--db", (folder() / "no" / "x.db").string()});
    EXPECT_EQ(noDatabase.exitCode, 1);
    EXPECT_NE(noDatabase.err.find("cannot open"), std::string::npos) << noDatabase.err;

    const ProgramRun noPostgresql =
        runServer({"--listen", "127.0.0.1:0", "--db", "postgresql://kestrova:hunter2@/x?host=/nonexistent"});
    EXPECT_EQ(noPostgresql.exitCode, 1);
    EXPECT_NE(noPostgresql.err.find("cannot connect"), std::string::npos) << noPostgresql.err;
    EXPECT_EQ(noPostgresql.err.find("hunter2"), std::string::npos) << noPostgresql.err;

    const ProgramRun noLog = runServer({"--listen", "127.0.0.1:0", "--db", database(), "--access-log",
                                        (folder() / "no" / "access.log").string()});
    EXPECT_EQ(noLog.exitCode, 1);
    EXPECT_NE(noLog.err.find("cannot open the access log"), std::string::npos) << noLog.err;
}

} // namespace
