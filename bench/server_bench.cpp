// Load on kestrova-server over loopback: 2,000 score posts from 20 concurrent
// clients, then the list page fetched again and again, once against one
// server on SQLite and once against two servers sharing one PostgreSQL
// database (requests alternate between them, as a load balancer would send
// them), and, as the peer in the same run, nginx serving a saved copy of that
// page as a static file. Every request is HTTP/1.0 on a fresh connection, as
// the game sends it; every server writes an access log to a file, nginx too.
// Prints requests per second and p99 latency of each, and the servers'
// figures as ratios of nginx's. Then the slow-client phase: the same posts
// and page fetches against the SQLite server, and the page fetches against
// nginx, each with 1,000 slow connections open beside them (one byte every
// 2 s from 100 loopback addresses, opened again when closed). Bounded: a
// fixed number of requests, a 10-second limit on each answer and 300 seconds
// on the whole run.
//
// The PostgreSQL database is a throwaway cluster of its own, started with the
// tests' script and durable (fsync on), as SQLite is; --postgresql URL uses an
// existing database instead.
//
//   server_bench [--server PATH] [--nginx PATH] [--postgresql URL]
#include "server/scorestore.h"
#include "slowclients.h"
#include "support/loopbackhttp.h"
#include "support/scratchdatabase.h"
#include "support/tempfolder.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <mutex>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include <sys/stat.h>

namespace {

using Clock = std::chrono::steady_clock;
using kestrova::testing::httpGet;

constexpr int kClients = 20;
constexpr int kPosts = 2000;
constexpr int kPageFetches = 2000;
constexpr auto kRunLimit = std::chrono::seconds(300);
constexpr int kSlowClients = 1000;

const Clock::time_point benchStart = Clock::now();

// Thrown to end the run; main() reports it after everything started here
// has been stopped on the way out.
struct GiveUp : std::runtime_error {
    using std::runtime_error::runtime_error;
};

[[noreturn]] void giveUp(const std::string& why)
{
    throw GiveUp(why);
}

struct Figures {
    int requests = 0;
    int failures = 0;
    double perSecond = 0;
    double p99Ms = 0;
};

// Set when the run passes its time limit; the remaining requests are dropped
// and the run ends as failed, after stopping the servers it started.
std::atomic<bool> overTime{false};

// Runs `total` requests spread over kClients threads; request(i) returns
// whether request i got the answer it should.
template <class Request>
Figures load(int total, Request request)
{
    std::atomic<int> next{0};
    std::atomic<int> failures{0};
    std::mutex merging;
    std::vector<double> latencies;
    const Clock::time_point start = Clock::now();
    std::vector<std::thread> clients;
    for (int c = 0; c < kClients; ++c) {
        clients.emplace_back([&] {
            std::vector<double> mine;
            for (int i = next++; i < total; i = next++) {
                if (Clock::now() - benchStart > kRunLimit) {
                    overTime = true;
                    break;
                }
                const Clock::time_point sent = Clock::now();
                if (!request(i))
                    ++failures;
                mine.push_back(std::chrono::duration<double, std::milli>(Clock::now() - sent).count());
            }
            std::lock_guard lock(merging);
            latencies.insert(latencies.end(), mine.begin(), mine.end());
        });
    }
    for (std::thread& client : clients)
        client.join();
    const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    Figures figures;
    figures.requests = static_cast<int>(latencies.size());
    figures.failures = failures + (total - figures.requests);
    if (latencies.empty())
        return figures;
    std::sort(latencies.begin(), latencies.end());
    figures.perSecond = figures.requests / seconds;
    figures.p99Ms = latencies[latencies.size() * 99 / 100];
    return figures;
}

int freeLoopbackPort()
{
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0)
        giveUp("no free loopback port");
    ::close(fd);
    return ntohs(address.sin_port);
}

std::string findNginx(const std::string& given)
{
    if (!given.empty())
        return given;
    for (const char* candidate : {"/usr/sbin/nginx", "/usr/local/sbin/nginx", "/usr/bin/nginx"})
        if (::access(candidate, X_OK) == 0)
            return candidate;
    giveUp("nginx not found (scripts/install-deps.sh installs it)");
}

void writeFile(const std::filesystem::path& path, const std::string& text)
{
    std::ofstream out(path, std::ios::binary);
    out << text;
    if (!out)
        giveUp("cannot write " + path.string());
}

// nginx in the foreground on `port`, serving `root`, everything it writes
// kept inside `folder`.
class Nginx {
public:
    Nginx(const std::string& program, const std::filesystem::path& folder, const std::filesystem::path& root,
          int port)
    {
        const std::string prefix = folder.string() + "/";
        writeFile(folder / "nginx.conf",
                  "worker_processes auto;\n"
                  "daemon off;\n"
                  "pid " + prefix + "nginx.pid;\n"
                  "error_log " + prefix + "nginx-error.log;\n"
                  "worker_rlimit_nofile 8192;\n"
                  "events { worker_connections 4096; }\n"
                  "http {\n"
                  "  client_header_timeout 10s;\n"
                  "  access_log " + prefix + "nginx-access.log;\n"
                  "  types { text/html shtml html; }\n"
                  "  client_body_temp_path " + prefix + "nginx-body;\n"
                  "  proxy_temp_path " + prefix + "nginx-proxy;\n"
                  "  fastcgi_temp_path " + prefix + "nginx-fastcgi;\n"
                  "  uwsgi_temp_path " + prefix + "nginx-uwsgi;\n"
                  "  scgi_temp_path " + prefix + "nginx-scgi;\n"
                  "  server {\n"
                  "    listen 127.0.0.1:" + std::to_string(port) + ";\n"
                  "    root " + root.string() + ";\n"
                  "  }\n"
                  "}\n");
        pid_ = kestrova::testing::spawn({program, "-p", prefix, "-c", prefix + "nginx.conf", "-e",
                                         prefix + "nginx-error.log"},
                                        STDOUT_FILENO, STDERR_FILENO, {});
        // nginx announces nothing; its port answering is the sign.
        for (int tries = 0; tries < 500; ++tries) {
            if (httpGet(port, "/").status != 0)
                return;
            int status = 0;
            if (::waitpid(pid_, &status, WNOHANG) == pid_) {
                pid_ = -1;
                giveUp("nginx did not start; see " + prefix + "nginx-error.log");
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        ::kill(pid_, SIGTERM);
        ::waitpid(pid_, nullptr, 0);
        giveUp("nginx did not answer within 5 seconds");
    }
    ~Nginx()
    {
        if (pid_ > 0) {
            ::kill(pid_, SIGTERM);
            ::waitpid(pid_, nullptr, 0);
        }
    }
    Nginx(const Nginx&) = delete;
    Nginx& operator=(const Nginx&) = delete;

private:
    pid_t pid_ = -1;
};

void printRow(const char* what, const Figures& figures)
{
    std::printf("%-38s %8d %10.0f %10.2f\n", what, figures.requests, figures.perSecond, figures.p99Ms);
}

void printRatios(const char* what, const Figures& figures, const Figures& peer)
{
    std::printf("%-36s %.2fx the requests per second, %.2fx the p99 latency\n", what,
                figures.perSecond / peer.perSecond, figures.p99Ms / peer.p99Ms);
}

const std::string kHost = "Host: localhost\r\n";

struct Run {
    Figures posts, pages;
    std::int64_t stored = 0;
    std::string page;
};

// Posts, then page fetches, spread over `ports` in turn; counts what the
// database gained.
Run loadServers(const std::vector<int>& ports, const std::string& database)
{
    const auto portFor = [&ports](int i) { return ports[static_cast<std::size_t>(i) % ports.size()]; };
    Run run;
    const std::int64_t before = kestrova::server::openScoreStore(database)->count();
    run.posts = load(kPosts, [&](int i) {
        const std::string query = "name=Player%20" + std::to_string(i % 97) + "&date=12%2F6%2F26&score=" +
                                  std::to_string((i * 7919) % 2'000'001 - 1'000'000);
        const kestrova::testing::Reply reply = httpGet(portFor(i), "/cgi-bin/kestrova.cgi?" + query);
        return reply.status == 200 && !reply.body.empty();
    });
    run.stored = kestrova::server::openScoreStore(database)->count() - before;

    run.page = httpGet(ports.front(), "/counter/kestrova.shtml", kHost).body;
    run.pages = load(kPageFetches, [&](int i) {
        const kestrova::testing::Reply reply = httpGet(portFor(i), "/counter/kestrova.shtml", kHost);
        return reply.status == 200 && reply.body == run.page;
    });
    return run;
}

// Opens the slow connections and waits (at most 10 s) until they are all open.
std::unique_ptr<kestrova::bench::SlowClients> slowCrowd(int port)
{
    auto crowd = std::make_unique<kestrova::bench::SlowClients>(port, kSlowClients);
    for (int tries = 0; tries < 100 && crowd->open() < kSlowClients; ++tries)
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    // Every one has sent its first bytes.
    std::this_thread::sleep_for(std::chrono::milliseconds(2100));
    return crowd;
}

Figures fetchPages(int port, const std::string& page)
{
    return load(kPageFetches, [port, &page](int) {
        const kestrova::testing::Reply reply = httpGet(port, "/counter/kestrova.shtml", kHost);
        return reply.status == 200 && reply.body == page;
    });
}

std::vector<std::string> serverOptions(const std::string& database, const std::filesystem::path& log)
{
    return {"--db", database, "--posts-per-minute", "0", "--access-log", log.string()};
}

int bench(const std::string& serverPath, const std::string& nginxPath, std::string postgresql,
          const std::filesystem::path& folder)
{
    Run sqlite, shared, sqliteSlow;
    Figures staticPages, staticSlow;
    int slowClosed = 0;
    {
        const std::string database = (folder / "scores.db").string();
        kestrova::testing::ServerProcess server(serverPath, serverOptions(database, folder / "sqlite-access.log"));
        sqlite = loadServers({server.port()}, database);
        {
            const auto crowd = slowCrowd(server.port());
            sqliteSlow = loadServers({server.port()}, database);
            slowClosed = crowd->closedByServer();
        }
        if (server.terminate() != 0)
            giveUp("kestrova-server on SQLite did not stop cleanly");
    }
    {
        std::unique_ptr<kestrova::testing::ThrowawayCluster> cluster;
        if (postgresql.empty()) {
            cluster = std::make_unique<kestrova::testing::ThrowawayCluster>(KESTROVA_PGCLUSTER_SCRIPT,
                                                                            folder / "pgcluster", true);
            postgresql = kestrova::testing::clusterUrl(
                kestrova::testing::clusterSocketFolder(cluster->state()), "kestrova");
        }
        kestrova::testing::ServerProcess left(serverPath, serverOptions(postgresql, folder / "left-access.log"));
        kestrova::testing::ServerProcess right(serverPath, serverOptions(postgresql, folder / "right-access.log"));
        shared = loadServers({left.port(), right.port()}, postgresql);
        // Both servers show the same list, whichever took the posts.
        if (httpGet(right.port(), "/counter/kestrova.shtml", kHost).body != shared.page)
            giveUp("the two servers on PostgreSQL show different lists");
        if (left.terminate() != 0 || right.terminate() != 0)
            giveUp("kestrova-server on PostgreSQL did not stop cleanly");
    }
    {
        std::filesystem::create_directories(folder / "www" / "counter");
        writeFile(folder / "www" / "counter" / "kestrova.shtml", sqlite.page);
        std::filesystem::permissions(folder / "www", std::filesystem::perms::all &
                                                         ~std::filesystem::perms::group_write &
                                                         ~std::filesystem::perms::others_write);
        const int nginxPort = freeLoopbackPort();
        Nginx nginx(nginxPath, folder, folder / "www", nginxPort);
        staticPages = fetchPages(nginxPort, sqlite.page);
        const auto crowd = slowCrowd(nginxPort);
        staticSlow = fetchPages(nginxPort, sqlite.page);
    }

    std::printf("list page: %zu bytes (SQLite), %zu bytes (PostgreSQL)\n", sqlite.page.size(), shared.page.size());
    std::printf("%-38s %8s %10s %10s\n", "HTTP/1.0, 20 clients, loopback", "requests", "req/s", "p99 ms");
    printRow("SQLite, 1 server: score posts", sqlite.posts);
    printRow("SQLite, 1 server: list page", sqlite.pages);
    printRow("PostgreSQL, 2 servers: score posts", shared.posts);
    printRow("PostgreSQL, 2 servers: list page", shared.pages);
    printRow("nginx, the same page as a file", staticPages);
    std::printf("posts stored: %lld of %d on SQLite, %lld of %d on PostgreSQL\n", static_cast<long long>(sqlite.stored),
                kPosts, static_cast<long long>(shared.stored), kPosts);
    printRatios("SQLite list page vs nginx:", sqlite.pages, staticPages);
    printRatios("PostgreSQL list page vs nginx:", shared.pages, staticPages);
    printRatios("SQLite score posts vs nginx:", sqlite.posts, staticPages);
    printRatios("PostgreSQL score posts vs nginx:", shared.posts, staticPages);

    std::printf("\nwith %d slow connections open (one byte every 2 s from 100 addresses)\n", kSlowClients);
    std::printf("%-38s %8s %10s %10s\n", "HTTP/1.0, 20 clients, loopback", "requests", "req/s", "p99 ms");
    printRow("SQLite, 1 server: score posts", sqliteSlow.posts);
    printRow("SQLite, 1 server: list page", sqliteSlow.pages);
    printRow("nginx, the same page as a file", staticSlow);
    std::printf("slow connections the server closed at their deadline meanwhile: %d\n", slowClosed);
    printRatios("list page, slow vs none:", sqliteSlow.pages, sqlite.pages);
    printRatios("score posts, slow vs none:", sqliteSlow.posts, sqlite.posts);
    printRatios("nginx, slow vs none:", staticSlow, staticPages);
    printRatios("list page vs nginx, both slow:", sqliteSlow.pages, staticSlow);

    const int failures = sqlite.posts.failures + sqlite.pages.failures + shared.posts.failures +
                         shared.pages.failures + staticPages.failures + sqliteSlow.posts.failures +
                         sqliteSlow.pages.failures + staticSlow.failures;
    if (overTime)
        std::fprintf(stderr, "server_bench: the run passed its limit of %lld seconds\n",
                     static_cast<long long>(kRunLimit.count()));
    if (failures != 0 || sqlite.stored != kPosts || shared.stored != kPosts || sqliteSlow.stored != kPosts) {
        std::fprintf(stderr, "server_bench: %d requests failed; %lld and %lld of %d posts stored\n", failures,
                     static_cast<long long>(sqlite.stored), static_cast<long long>(shared.stored), kPosts);
        return 1;
    }
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    std::string serverPath = KESTROVA_SERVER_PATH;
    std::string nginxPath;
    std::string postgresql;
    bool badUsage = argc % 2 == 0;   // every option takes a value
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string option = argv[i];
        if (option == "--server")
            serverPath = argv[i + 1];
        else if (option == "--nginx")
            nginxPath = argv[i + 1];
        else if (option == "--postgresql")
            postgresql = argv[i + 1];
        else
            badUsage = true;
    }
    if (badUsage) {
        std::fprintf(stderr, "usage: server_bench [--server PATH] [--nginx PATH] [--postgresql URL]\n");
        return 2;
    }

    const kestrova::testing::TempFolder scratch;
    const std::filesystem::path& folder = scratch.path();
    // nginx's workers may run as another user and must reach the page.
    ::chmod(folder.c_str(), 0755);
    int result = 1;
    try {
        result = bench(serverPath, findNginx(nginxPath), postgresql, folder);
    } catch (const std::exception& error) {
        std::fprintf(stderr, "server_bench: %s\n", error.what());
    }
    return result;
}
