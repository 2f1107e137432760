// Routes and answers of kestrova-server, on top of the HTTP library's server.
#include "server/scoreserver.h"

#include "server/accesslog.h"
#include "server/clientaddress.h"
#include "server/scorepage.h"
#include "server/scorepost.h"
#include "server/serveroptions.h"

#include <httplib.h>

#include <atomic>
#include <cstdio>
#include <filesystem>
#include <regex>
#include <stdexcept>

#include <fcntl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

namespace kestrova::server {

namespace {

constexpr const char* kPlainText = "text/plain; charset=utf-8";

// Mirrors the request line bound of the HTTP library, which counts the line
// end in and refuses a longer line before any handler sees it.
constexpr std::size_t kMaxRequestLine = 8192;

void answerText(httplib::Response& response, int status, const std::string& line)
{
    response.status = status;
    response.set_content(line + "\n", kPlainText);
}

// Streams a regular file from an already opened descriptor, so that the length
// announced and the bytes sent belong to the same file even if it is replaced
// meanwhile. False when there is no such regular file.
bool answerFile(httplib::Response& response, const std::filesystem::path& path)
{
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    struct stat info {};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        ::close(fd);
        return false;
    }
    response.set_header("Cache-Control", "no-cache");
    response.set_content_provider(
        static_cast<std::size_t>(info.st_size), "application/octet-stream",
        [fd](std::size_t offset, std::size_t length, httplib::DataSink& sink) {
            char buffer[65536];
            const ssize_t got = ::pread(fd, buffer, std::min(length, sizeof buffer), static_cast<off_t>(offset));
            // A file cut short under our feet ends the connection rather than
            // sending fewer bytes than announced.
            return got > 0 && sink.write(buffer, static_cast<std::size_t>(got));
        },
        [fd](bool) { ::close(fd); });
    return true;
}

} // namespace

// The library's server with the two things it does not offer: a listen queue
// deep enough for bursts of short connections, and a stop that also holds when
// it comes before the accept loop has started.
class ScoreServer::Listener : public httplib::Server {
public:
    void deepenQueue() { ::listen(svr_sock_, SOMAXCONN); }
    void halt()
    {
        halted_ = true;
        const socket_t socket = svr_sock_;
        if (socket != INVALID_SOCKET)
            ::shutdown(socket, SHUT_RDWR);   // wakes or pre-empts accept()
        stop();
    }
    bool halted() const { return halted_; }

private:
    std::atomic<bool> halted_{false};
};

ScoreServer::ScoreServer(ScoreStore& store, ServedFiles files, TrafficRules rules, AccessLog* accessLog)
    : store_(store),
      files_(std::move(files)),
      rules_(std::move(rules)),
      accessLog_(accessLog),
      pageCache_(store),
      limiter_(rules_.postLimit),
      http_(std::make_unique<Listener>())
{
    // The library would share the port with a second process (SO_REUSEPORT);
    // two servers on one port with two databases would split the list.
    http_->set_socket_options([](socket_t socket) {
        const int yes = 1;
        ::setsockopt(socket, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
    });

    // One request per connection. The game speaks HTTP/1.0 and never reuses a
    // connection; an idle kept-alive browser connection would hold one of the
    // few request threads for seconds, and a request the library cannot parse
    // would leave its connection waiting for a next one.
    http_->set_keep_alive_max_count(1);

    http_->Get(R"(/cgi-bin/kestrova\.cgi)", [this](const httplib::Request& request, httplib::Response& response) {
        answerPost(request, response);
    });
    http_->Get(R"(/counter/kestrova\.shtml)", [this](const httplib::Request& request, httplib::Response& response) {
        answerPage(request, response);
    });

    http_->Get(R"(/kestrova/kestrovaversion\.txt)", [this](const httplib::Request&, httplib::Response& response) {
        response.set_header("Cache-Control", "no-cache");
        response.set_content(files_.version, "text/plain");
    });

    // Route patterns are regular expressions, hence the escaped dots.
    const std::pair<const char*, const char*> installerFiles[] = {
        {R"(/kestrova/kessetup\.exe)", "kessetup.exe"},
        {R"(/kestrova/kessetup\.exe\.minisig)", "kessetup.exe.minisig"},
    };
    for (const auto& [pattern, name] : installerFiles) {
        http_->Get(pattern, [this, name = name](const httplib::Request&, httplib::Response& response) {
            if (files_.installerDir.empty() || !answerFile(response, std::filesystem::path(files_.installerDir) / name))
                answerText(response, 404, "Not found");
        });
    }

    // Anything a handler did not foresee is logged here and answered with one
    // line, not with the exception's text in a header.
    http_->set_exception_handler([](const httplib::Request& request, httplib::Response& response,
                                    std::exception_ptr failure) {
        try {
            std::rethrow_exception(failure);
        } catch (const std::exception& error) {
            std::fprintf(stderr, "kestrova-server: %s: %s\n", request.path.c_str(), error.what());
        } catch (...) {
            std::fprintf(stderr, "kestrova-server: %s: unknown failure\n", request.path.c_str());
        }
        answerText(response, 500, "Server error");
    });

    // Every refusal the library makes by itself (a request it cannot parse, a
    // request line over its bound, an unknown path) gets a one-line reason too.
    http_->set_error_handler(httplib::Server::HandlerWithResponse([](const httplib::Request&, httplib::Response& response) {
        if (!response.body.empty() || response.content_length_ > 0)
            return httplib::Server::HandlerResponse::Unhandled;
        switch (response.status) {
        case 404:
            answerText(response, 404, "Not found");
            break;
        case 414:
            answerText(response, 400,
                       "Bad request: request line is longer than " + std::to_string(kMaxRequestLine) +
                           " bytes with its line end");
            break;
        case 400:
            answerText(response, 400, "Bad request: malformed request");
            break;
        default:
            answerText(response, response.status, "Error " + std::to_string(response.status));
        }
        return httplib::Server::HandlerResponse::Handled;
    }));

    if (accessLog_)
        http_->set_logger([this](const httplib::Request& request, const httplib::Response& response) {
            log(request, response);
        });
}

ScoreServer::~ScoreServer() = default;

void ScoreServer::answerPost(const httplib::Request& request, httplib::Response& response)
{
    const std::size_t question = request.target.find('?');
    const std::string query = question == std::string::npos ? std::string() : request.target.substr(question + 1);
    const ScorePost post = readScorePost(query);
    if (!post.entry)
        return answerText(response, 400, "Bad request: " + post.refusal);
    // Only posts that would be stored count against the client's limit.
    Admission admission;
    {
        std::lock_guard lock(limiterMutex_);
        admission = limiter_.admit(limitKey(clientOf(request)), PostLimiter::Clock::now());
    }
    if (!admission.admitted) {
        const auto counted = [](int count, const char* what) {
            return std::to_string(count) + " " + what + (count == 1 ? "" : "s");
        };
        response.set_header("Retry-After", std::to_string(admission.retryAfterSeconds));
        return answerText(response, 429,
                          "Too many requests: at most " + counted(rules_.postLimit.perMinute, "score") +
                              " a minute from one address; try again in " +
                              counted(admission.retryAfterSeconds, "second"));
    }
    try {
        store_.add(*post.entry);
    } catch (const StoreError& error) {
        std::fprintf(stderr, "kestrova-server: %s\n", error.what());
        return answerText(response, 500, "Server error: the score was not stored");
    }
    answerText(response, 200, "Score received.");
}

void ScoreServer::answerPage(const httplib::Request& request, httplib::Response& response)
{
    const std::string base = "http://" + pageHost(request.get_header_value("Host"));
    PageLinks links{base + "/counter/kestrova.shtml", {}, files_.version};
    std::error_code unreadable;
    if (!files_.installerDir.empty() &&
        std::filesystem::is_regular_file(std::filesystem::path(files_.installerDir) / "kessetup.exe", unreadable))
        links.installerUrl = base + "/kestrova/kessetup.exe";
    std::shared_ptr<const std::string> page;
    try {
        page = pageCache_.page(links);
    } catch (const StoreError& error) {
        std::fprintf(stderr, "kestrova-server: %s\n", error.what());
        return answerText(response, 500, "Server error: the list cannot be read");
    }
    response.set_header("Cache-Control", "no-cache");
    response.set_content(*page, "text/html; charset=utf-8");
}

std::string ScoreServer::clientOf(const httplib::Request& request) const
{
    std::string forwardedFor;
    if (!rules_.trustedProxies.empty()) {
        const std::size_t headers = request.get_header_value_count("X-Forwarded-For");
        for (std::size_t i = 0; i < headers; ++i)
            forwardedFor += (i ? "," : "") + request.get_header_value("X-Forwarded-For", i);
    }
    return clientAddress(request.remote_addr, forwardedFor, rules_.trustedProxies);
}

// The library keeps no copy of the request line: it is put together again
// from its three parts, which it split at single spaces. Of a request it
// could not read at all, neither the line nor the peer is known.
void ScoreServer::log(const httplib::Request& request, const httplib::Response& response) const
{
    AccessRecord record;
    record.when = std::chrono::system_clock::now();
    record.host = request.remote_addr.empty() ? std::string() : clientOf(request);
    record.requestLine = request.method;
    for (const std::string* part : {&request.target, &request.version})
        if (!part->empty())
            record.requestLine += " " + *part;
    record.status = response.status;
    if (request.method != "HEAD")
        record.bytes = response.content_length_ > 0 ? response.content_length_ : response.body.size();
    accessLog_->record(record);
}

int ScoreServer::bind(const std::string& host, int port)
{
    int bound = port;
    if (port == 0)
        bound = http_->bind_to_any_port(host);
    else if (!http_->bind_to_port(host, port))
        bound = -1;
    if (bound <= 0)
        throw std::runtime_error("cannot listen on " + formatAddress(host, port));
    http_->deepenQueue();
    boundAddress_ = formatAddress(host, bound);
    return bound;
}

void ScoreServer::run()
{
    if (!http_->halted())
        http_->listen_after_bind();
}

void ScoreServer::stop()
{
    http_->halt();
}

bool ScoreServer::stopped() const
{
    return http_->halted();
}

// The links on the page name the host the client asked for, so they lead back
// here from wherever the page is read. A Host header that is not a plain
// host[:port] is not trusted into the page; the bound address stands in.
std::string ScoreServer::pageHost(const std::string& hostHeader) const
{
    static const std::regex plainHost(R"(([A-Za-z0-9.-]+|\[[0-9A-Fa-f:.]+\])(:[0-9]{1,5})?)");
    return std::regex_match(hostHeader, plainHost) ? hostHeader : boundAddress_;
}

} // namespace kestrova::server
