// One HTTP transfer made by the transfer program (kestrova-fetch) for the
// game: the program is started with one end of a socket, sent the request,
// and read until it reports the outcome, all on the calling thread, while
// any other thread may stop it at once. The network library and its many
// dependencies live only in that short-lived process, never in the game's.
#pragma once

#include "online/fetchprotocol.h"

#include <atomic>
#include <filesystem>
#include <functional>
#include <string_view>

namespace kestrova {

class FetchProcess {
public:
    // Gets one header line of the reply (with its line break) or one piece of
    // its body; false ends the transfer as Refused.
    using Handler = std::function<bool(std::string_view)>;

    // Throws std::runtime_error when the system can't make the wake-up event.
    FetchProcess();
    ~FetchProcess();
    FetchProcess(const FetchProcess&) = delete;
    FetchProcess& operator=(const FetchProcess&) = delete;

    // Runs the transfer to its end. Call once. The routes of KESTROVA_CONNECT_TO
    // and the time-outs of ServerConfig go with every request; where a route
    // is malformed, nothing is sent and the outcome is Failed, rather than a
    // request to the real server. A program that can't be started, ends
    // without an outcome or sends something unreadable gives Failed with a
    // text that says so; a stop gives Stopped. Should the program itself hang
    // (say nothing for longer than its own time-outs allow), it is ended and
    // the outcome is TimedOut.
    fetch::Outcome run(const fetch::Request& request, const Handler& onHeader, const Handler& onBody);

    // Thread-safe, also before run(); the transfer ends as soon as run() looks.
    void stop();

    // How long past the program's own time-outs the game waits for it to
    // speak before it gives up on the program: this, or the time-outs
    // together when they are shorter (as tests make them).
    static constexpr long kGraceMs = 5'000;

    // The program run() starts: KESTROVA_FETCH_PROGRAM when set (for tests and
    // development), else the first of ProgramFolder::companionPaths() that exists.
    static std::filesystem::path programPath();

private:
    fetch::Outcome exchange(int socket, const fetch::Request& request, const Handler& onHeader,
                            const Handler& onBody);

    int wakeFd_ = -1;
    std::atomic<bool> stop_{false};
};

} // namespace kestrova
