// ScoreServer: the HTTP side of kestrova-server. It answers the game's four
// requests (score post, list page, version text, installer and its signature)
// from a ScoreStore and a few settings.
#pragma once

#include "server/scorestore.h"

#include <memory>
#include <string>

namespace httplib {
class Server;
}

namespace kestrova::server {

struct ServedFiles {
    std::string version = "1.0.2";
    std::string installerDir;   // empty: the installer requests answer 404
};

class ScoreServer {
public:
    ScoreServer(ScoreStore& store, ServedFiles files);
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

    ScoreStore& store_;
    ServedFiles files_;
    std::string boundAddress_;
    std::unique_ptr<Listener> http_;
};

} // namespace kestrova::server
