// ScoreServer: the HTTP side of kestrova-server. It answers the game's four
// requests (score post, list page, version text, installer and its signature)
// from a ScoreStore and a few settings, limits how often one client posts,
// and logs every request.
#pragma once

#include "server/postlimiter.h"
#include "server/scorepagecache.h"
#include "server/scorestore.h"

#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace httplib {
class Server;
struct Request;
struct Response;
}

namespace kestrova::server {

struct ServedFiles {
    std::string version = "1.0.2";
    std::string installerDir;   // empty: the installer requests answer 404
};

// What keeps a public list usable: how often one client may post, and which
// peers are proxies whose X-Forwarded-For header names the real client.
struct TrafficRules {
    PostLimit postLimit;
    std::vector<std::string> trustedProxies;   // canonical addresses
};

class AccessLog;

class ScoreServer {
public:
    // `accessLog`, when given, gets one line per request and must outlive
    // the server.
    ScoreServer(ScoreStore& store, ServedFiles files, TrafficRules rules = {}, AccessLog* accessLog = nullptr);
    ~ScoreServer();
    ScoreServer(const ScoreServer&) = delete;
    ScoreServer& operator=(const ScoreServer&) = delete;

    // Binds and starts listening; connections wait in the queue until run().
    // Port 0 takes a free port. Returns the port bound; throws
    // std::runtime_error when the address cannot be bound.
    int bind(const std::string& host, int port);

    // Serves until stop(), then lets the requests in progress finish.
    void run();

    // May be called from any thread, also before run() has started.
    void stop();

    // Whether stop() has been called.
    bool stopped() const;

private:
    class Listener;

    std::string pageHost(const std::string& hostHeader) const;
    std::string clientOf(const httplib::Request& request) const;
    void answerPost(const httplib::Request& request, httplib::Response& response);
    void answerPage(const httplib::Request& request, httplib::Response& response);
    void log(const httplib::Request& request, const httplib::Response& response) const;

    ScoreStore& store_;
    ServedFiles files_;
    TrafficRules rules_;
    AccessLog* accessLog_;
    ScorePageCache pageCache_;
    std::mutex limiterMutex_;
    PostLimiter limiter_;
    std::string boundAddress_;
    std::unique_ptr<Listener> http_;
};

} // namespace kestrova::server
