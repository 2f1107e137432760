// Routes and answers of kestrova-server.
#include "server/scoreserver.h"

#include "server/accesslog.h"
#include "server/clientaddress.h"
#include "server/httplimits.h"
#include "server/scorepage.h"
#include "server/scorepost.h"
#include "server/serveroptions.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace kestrova::server {

namespace {

// How long a client is asked to wait when the database cannot be reached.
constexpr int kRetryAfterSeconds = 10;

HttpAnswer text(int status, const std::string& line)
{
    HttpAnswer answer;
    answer.status = status;
    answer.body = line + "\n";
    return answer;
}

HttpAnswer unavailable(const std::string& what)
{
    HttpAnswer answer = text(503, "Service unavailable: " + what + "; try again in " +
                                      std::to_string(kRetryAfterSeconds) + " seconds");
    answer.headers.emplace_back("Retry-After", std::to_string(kRetryAfterSeconds));
    return answer;
}

std::string counted(int count, const char* what)
{
    return std::to_string(count) + " " + what + (count == 1 ? "" : "s");
}

} // namespace

ScoreServer::ScoreServer(ScoreStore& store, ServedFiles files, TrafficRules rules, AccessLog* accessLog)
    : store_(store),
      files_(std::move(files)),
      rules_(std::move(rules)),
      accessLog_(accessLog),
      pageCache_(store),
      limiter_(rules_.postLimit),
      http_(std::make_unique<HttpListener>(static_cast<HttpService&>(*this), rules_.maxConnections,
                                          rules_.maxConnectionsPerAddress))
{
}

ScoreServer::~ScoreServer() = default;

RoutedRequest ScoreServer::route(const RequestHead& head, const std::string& peer) const
{
    return routeRequest(head, peer, rules_.trustedProxies, boundAddress_);
}

bool ScoreServer::needsStore(const RoutedRequest& request) const
{
    return (request.route == Route::Post && !request.headOnly) || request.route == Route::Page;
}

HttpAnswer ScoreServer::answer(const RoutedRequest& request)
{
    try {
        switch (request.route) {
        case Route::Post:
            return request.headOnly ? text(200, "Score received.") : answerPost(request);
        case Route::Page:
            return answerPage(request);
        case Route::Version: {
            HttpAnswer version;
            version.contentType = "text/plain";
            version.body = files_.version;
            version.headers.emplace_back("Cache-Control", "no-cache");
            return version;
        }
        case Route::Installer:
            return answerFile("kessetup.exe");
        case Route::Signature:
            return answerFile("kessetup.exe.minisig");
        case Route::NotFound:
            break;
        }
        return text(404, "Not found");
    } catch (const std::exception& error) {
        // Anything a handler did not foresee is logged here and answered with
        // one line, not with the exception's text.
        std::fprintf(stderr, "kestrova-server: %s\n", error.what());
        return text(500, "Server error");
    }
}

HttpAnswer ScoreServer::refusal(HeadFault fault) const
{
    switch (fault) {
    case HeadFault::RequestLineTooLong:
        return text(400, "Bad request: request line is longer than " + std::to_string(kMaxRequestLine) +
                             " bytes with its line end");
    case HeadFault::HeaderTooLarge:
        return text(431, "Request header fields too large: at most " + std::to_string(kMaxHeaderFields) +
                             " fields of up to " + std::to_string(kMaxHeaderField) + " bytes, " +
                             std::to_string(kMaxHeaderBlock) + " bytes in all");
    case HeadFault::BodyNotAllowed:
        return text(400, "Bad request: a request body is not accepted");
    case HeadFault::Malformed:
    case HeadFault::None:
        break;
    }
    return text(400, "Bad request: malformed request");
}

void ScoreServer::log(const AccessRecord& record)
{
    if (accessLog_)
        accessLog_->record(record);
}

bool ScoreServer::isTrustedProxy(const std::string& peer) const
{
    return std::find(rules_.trustedProxies.begin(), rules_.trustedProxies.end(), peer) != rules_.trustedProxies.end();
}

HttpAnswer ScoreServer::answerPost(const RoutedRequest& request)
{
    const ScorePost post = readScorePost(request.query);
    if (!post.entry)
        return text(400, "Bad request: " + post.refusal);
    // Only posts that would be stored count against the client's limit.
    Admission admission;
    {
        std::lock_guard lock(limiterMutex_);
        admission = limiter_.admit(limitKey(request.client), PostLimiter::Clock::now());
    }
    if (!admission.admitted) {
        HttpAnswer refused = text(429, "Too many requests: at most " + counted(rules_.postLimit.perMinute, "score") +
                                           " a minute from one address; try again in " +
                                           counted(admission.retryAfterSeconds, "second"));
        refused.headers.emplace_back("Retry-After", std::to_string(admission.retryAfterSeconds));
        return refused;
    }
    try {
        store_.add(*post.entry);
    } catch (const StoreError& error) {
        std::fprintf(stderr, "kestrova-server: %s\n", error.what());
        return unavailable("the score was not stored");
    }
    return text(200, "Score received.");
}

HttpAnswer ScoreServer::answerPage(const RoutedRequest& request)
{
    const std::string base = "http://" + request.pageHost;
    PageLinks links{base + "/counter/kestrova.shtml", {}, files_.version};
    std::error_code unreadable;
    if (!files_.installerDir.empty() &&
        std::filesystem::is_regular_file(std::filesystem::path(files_.installerDir) / "kessetup.exe", unreadable))
        links.installerUrl = base + "/kestrova/kessetup.exe";
    const std::shared_ptr<const std::string> page = pageCache_.page(links);
    if (!page)
        return unavailable("the list cannot be read");
    HttpAnswer answer;
    answer.contentType = "text/html; charset=utf-8";
    answer.body = *page;
    answer.headers.emplace_back("Cache-Control", "no-cache");
    return answer;
}

// Streams a regular file from an already opened descriptor, so that the length
// announced and the bytes sent belong to the same file even if it is replaced
// meanwhile.
HttpAnswer ScoreServer::answerFile(const char* name) const
{
    if (files_.installerDir.empty())
        return text(404, "Not found");
    const std::filesystem::path path = std::filesystem::path(files_.installerDir) / name;
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return text(404, "Not found");
    struct stat info {};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        ::close(fd);
        return text(404, "Not found");
    }
    HttpAnswer answer;
    answer.contentType = "application/octet-stream";
    answer.headers.emplace_back("Cache-Control", "no-cache");
    answer.file = std::make_unique<boost::beast::file>();
    answer.file->native_handle(fd);
    return answer;
}

int ScoreServer::bind(const std::string& host, int port)
{
    const int bound = http_->bind(host, port);
    boundAddress_ = formatAddress(host, bound);
    return bound;
}

void ScoreServer::run()
{
    http_->run();
}

void ScoreServer::stop()
{
    http_->stop();
}

bool ScoreServer::stopped() const
{
    return http_->stopped();
}

} // namespace kestrova::server
