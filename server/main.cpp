// kestrova-server: the reference score server the game's online features talk
// to. Stops cleanly (exit 0, database closed) on SIGTERM or SIGINT.
#include "server/accesslog.h"
#include "server/scoreserver.h"
#include "server/scorestore.h"
#include "server/serveroptions.h"

#include <csignal>
#include <cstdio>
#include <exception>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include <pthread.h>

namespace {

constexpr int kFailed = 1;
constexpr int kBadUsage = 2;

void fail(const std::string& line)
{
    std::fprintf(stderr, "kestrova-server: %s\n", line.c_str());
}

} // namespace

int main(int argc, char** argv)
{
    using namespace kestrova::server;

    // Signals are taken by one thread with sigwait, so every thread started
    // from here on (the request workers too) must keep them blocked.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGTERM);
    sigaddset(&stopSignals, SIGINT);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);
    // A client that hangs up early must not end the server.
    std::signal(SIGPIPE, SIG_IGN);

    ServerOptions options;
    try {
        options = parseServerOptions(std::vector<std::string>(argv + 1, argv + argc));
    } catch (const OptionError& error) {
        fail(std::string(error.what()) + " (see --help)");
        return kBadUsage;
    }
    if (options.help) {
        std::fputs(serverUsage().c_str(), stdout);
        return 0;
    }

    std::unique_ptr<AccessLog> accessLog;
    try {
        if (options.accessLog != "off")
            accessLog = std::make_unique<AccessLog>(options.accessLog);
        const std::unique_ptr<ScoreStore> store = openScoreStore(options.database);
        ScoreServer server(*store, ServedFiles{options.version, options.installerDir},
                           TrafficRules{options.postLimit, options.trustedProxies}, accessLog.get());
        const int port = server.bind(options.host, options.port);
        std::printf("listening on %s\n", formatAddress(options.host, port).c_str());
        std::fflush(stdout);

        std::thread signalWatcher([&server, &stopSignals] {
            int signal = 0;
            sigwait(&stopSignals, &signal);
            server.stop();
        });
        server.run();
        if (signalWatcher.joinable() && !server.stopped()) {
            // The accept loop ended by itself: the listening socket failed.
            signalWatcher.detach();
            fail("stopped accepting connections");
            return kFailed;
        }
        signalWatcher.join();
    } catch (const std::exception& error) {
        fail(error.what());
        return kFailed;
    }
    if (accessLog) {
        const std::uint64_t dropped = accessLog->finish();
        if (dropped > 0)
            fail("the access log could not take " + std::to_string(dropped) + " lines");
    }
    return 0;
}
