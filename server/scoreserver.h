// ScoreServer: the HTTP side of kestrova-server. It answers the game's four
// requests (score post, list page, version text, installer and its signature)
// from a ScoreStore and a few settings, limits how often one client posts,
// and logs every request. The engine under it is HttpListener.
#pragma once

#include "kestrovaversion.h"
#include "server/httplistener.h"
#include "server/httpservice.h"
#include "server/postlimiter.h"
#include "server/scorepagecache.h"
#include "server/scorestore.h"

#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace kestrova::server {

struct ServedFiles {
    std::string version = kVersion;
    std::string installerDir;   // empty: the installer requests answer 404
};

// What keeps a public list usable: how often one client may post, which
// peers are proxies whose X-Forwarded-For header names the real client, and
// how many connections the server holds.
struct TrafficRules {
    PostLimit postLimit;
    std::vector<std::string> trustedProxies;   // canonical addresses
    std::size_t maxConnections = 1500;
    std::size_t maxConnectionsPerAddress = 32;
};

class AccessLog;

class ScoreServer : private HttpService {
public:
    // `accessLog`, when given, gets one line per request and must outlive
    // the server.
    ScoreServer(ScoreStore& store, ServedFiles files, TrafficRules rules = {}, AccessLog* accessLog = nullptr);
    ~ScoreServer() override;
    ScoreServer(const ScoreServer&) = delete;
    ScoreServer& operator=(const ScoreServer&) = delete;

    // Binds and starts listening; connections wait in the queue until run().
    // Port 0 takes a free port. Returns the port bound; throws
    // std::runtime_error when the address cannot be bound.
    int bind(const std::string& host, int port);

    // Serves until stop(), then lets the answers in progress finish.
    void run();

    // May be called from any thread, also before run() has started.
    void stop();

    // Whether stop() has been called.
    bool stopped() const;

private:
    RoutedRequest route(const RequestHead& head, const std::string& peer) const override;
    bool needsStore(const RoutedRequest& request) const override;
    HttpAnswer answer(const RoutedRequest& request) override;
    HttpAnswer refusal(HeadFault fault) const override;
    void log(const AccessRecord& record) override;
    bool isTrustedProxy(const std::string& peer) const override;

    HttpAnswer answerPost(const RoutedRequest& request);
    HttpAnswer answerPage(const RoutedRequest& request);
    HttpAnswer answerFile(const char* name) const;

    ScoreStore& store_;
    ServedFiles files_;
    TrafficRules rules_;
    AccessLog* accessLog_;
    ScorePageCache pageCache_;
    std::mutex limiterMutex_;
    PostLimiter limiter_;
    std::string boundAddress_;
    std::unique_ptr<HttpListener> http_;
};

} // namespace kestrova::server
