// Load on kestrova-server over loopback: 2,000 score posts from 20 concurrent
// clients, then the list page fetched again and again, and, as the peer in the
// same run, nginx serving a saved copy of that page as a static file. Every
// request is HTTP/1.0 on a fresh connection, as the game sends it. Prints
// requests per second and p99 latency of each, and the server's figures as
// ratios of nginx's. Bounded: a fixed number of requests, a 10-second limit on
// each answer and 120 seconds on the whole run.
//
//   server_bench [--server PATH] [--nginx PATH]
#include "server/sqlitescorestore.h"
#include "support/loopbackhttp.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <mutex>
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
constexpr auto kRunLimit = std::chrono::seconds(120);

const Clock::time_point benchStart = Clock::now();

[[noreturn]] void giveUp(const std::string& why)
{
    std::fprintf(stderr, "server_bench: %s\n", why.c_str());
    std::exit(1);
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
                  "events { worker_connections 1024; }\n"
                  "http {\n"
                  "  access_log off;\n"
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
    std::printf("%-34s %8d %10.0f %10.2f\n", what, figures.requests, figures.perSecond, figures.p99Ms);
}

} // namespace

int main(int argc, char** argv)
{
    std::string serverPath = KESTROVA_SERVER_PATH;
    std::string nginxPath;
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string option = argv[i];
        if (option == "--server")
            serverPath = argv[i + 1];
        else if (option == "--nginx")
            nginxPath = argv[i + 1];
        else
            giveUp("usage: server_bench [--server PATH] [--nginx PATH]");
    }
    nginxPath = findNginx(nginxPath);

    std::string pattern = (std::filesystem::temp_directory_path() / "kestrova-bench-XXXXXX").string();
    if (!::mkdtemp(pattern.data()))
        giveUp("cannot make a temporary folder");
    const std::filesystem::path folder = pattern;
    // nginx's workers may run as another user and must reach the page.
    ::chmod(folder.c_str(), 0755);
    const std::string database = (folder / "scores.db").string();

    Figures posts, pages, staticPages;
    std::int64_t stored = 0;
    {
        kestrova::testing::ServerProcess server(serverPath, {"--db", database});
        const int port = server.port();

        posts = load(kPosts, [port](int i) {
            const std::string query = "name=Player%20" + std::to_string(i % 97) + "&date=12%2F6%2F26&score=" +
                                      std::to_string((i * 7919) % 2'000'001 - 1'000'000);
            const kestrova::testing::Reply reply = httpGet(port, "/cgi-bin/kestrova.cgi?" + query);
            return reply.status == 200 && !reply.body.empty();
        });
        stored = kestrova::server::SqliteScoreStore(database).count();

        const std::string page = httpGet(port, "/counter/kestrova.shtml").body;
        pages = load(kPageFetches, [port, &page](int) {
            const kestrova::testing::Reply reply = httpGet(port, "/counter/kestrova.shtml");
            return reply.status == 200 && reply.body == page;
        });
        if (server.terminate() != 0)
            giveUp("kestrova-server did not stop cleanly");

        std::filesystem::create_directories(folder / "www" / "counter");
        writeFile(folder / "www" / "counter" / "kestrova.shtml", page);
        std::filesystem::permissions(folder / "www", std::filesystem::perms::all & ~std::filesystem::perms::group_write &
                                                        ~std::filesystem::perms::others_write);
        const int nginxPort = freeLoopbackPort();
        Nginx nginx(nginxPath, folder, folder / "www", nginxPort);
        staticPages = load(kPageFetches, [nginxPort, &page](int) {
            const kestrova::testing::Reply reply = httpGet(nginxPort, "/counter/kestrova.shtml");
            return reply.status == 200 && reply.body == page;
        });
        std::printf("list page: %zu bytes\n", page.size());
    }
    std::filesystem::remove_all(folder);

    std::printf("%-34s %8s %10s %10s\n", "HTTP/1.0, 20 clients, loopback", "requests", "req/s", "p99 ms");
    printRow("kestrova-server score posts", posts);
    printRow("kestrova-server list page", pages);
    printRow("nginx, the same page as a file", staticPages);
    std::printf("posts stored: %lld of %d\n", static_cast<long long>(stored), kPosts);
    std::printf("list page vs nginx: %.2fx the requests per second, %.2fx the p99 latency\n",
                pages.perSecond / staticPages.perSecond, pages.p99Ms / staticPages.p99Ms);
    std::printf("score posts vs nginx: %.2fx the requests per second, %.2fx the p99 latency\n",
                posts.perSecond / staticPages.perSecond, posts.p99Ms / staticPages.p99Ms);

    const int failures = posts.failures + pages.failures + staticPages.failures;
    if (overTime)
        std::fprintf(stderr, "server_bench: the run passed its limit of %lld seconds\n",
                     static_cast<long long>(kRunLimit.count()));
    if (failures != 0 || stored != kPosts) {
        std::fprintf(stderr, "server_bench: %d requests failed, %lld of %d posts stored\n", failures,
                     static_cast<long long>(stored), kPosts);
        return 1;
    }
    return 0;
}
