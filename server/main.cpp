// kestrova-server: the reference score server the game's online features talk
// to. Stops cleanly (exit 0, database closed) on SIGTERM or SIGINT.
#include "server/accesslog.h"
#include "server/scoreserver.h"
#include "server/scorestore.h"
#include "server/serveroptions.h"

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <exception>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include <pthread.h>
#include <sys/resource.h>

namespace {

constexpr int kFailed = 1;
constexpr int kBadUsage = 2;

void fail(const std::string& line)
{
    std::fprintf(stderr, "kestrova-server: %s\n", line.c_str());
}

// Every connection is a descriptor: the soft limit goes up to the hard one,
// and the connection cap stays below what that allows, with room for the
// database, the log and the listening socket.
std::size_t connectionsAllowed(std::size_t wanted)
{
    constexpr rlim_t kReserve = 64;
    rlimit files{};
    if (::getrlimit(RLIMIT_NOFILE, &files) != 0)
        return wanted;
    if (files.rlim_cur < files.rlim_max) {
        files.rlim_cur = files.rlim_max;
        ::setrlimit(RLIMIT_NOFILE, &files);
        ::getrlimit(RLIMIT_NOFILE, &files);
    }
    if (files.rlim_cur == RLIM_INFINITY)
        return wanted;
    return files.rlim_cur <= kReserve * 2 ? 16 : std::min<std::size_t>(wanted, files.rlim_cur - kReserve);
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
    // A client that hangs up early must not end the server, nor a file size
    // limit: a write past it fails like a full disk and is answered so.
    std::signal(SIGPIPE, SIG_IGN);
    std::signal(SIGXFSZ, SIG_IGN);

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
        TrafficRules rules{options.postLimit, options.trustedProxies};
        rules.maxConnections = connectionsAllowed(rules.maxConnections);
        ScoreServer server(*store, ServedFiles{options.version, options.installerDir}, rules, accessLog.get());
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
