// One HTTP transfer made by the transfer program (kestrova-fetch) for the
// game: the program is started with one end of a socket, sent the request,
// and its frames are read as they arrive, by the event loop of the thread
// that started it. The network library and its many dependencies live only
// in that short-lived process, never in the game's.
#pragma once

#include "online/fetchprotocol.h"

#include <atomic>
#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>

class QSocketNotifier;
class QTimer;

namespace kestrova {

class SpawnedProgram;

class FetchProcess {
public:
    // Gets one header line of the reply (with its line break) or one piece of
    // its body; false ends the transfer as Refused.
    using Handler = std::function<bool(std::string_view)>;
    using EndHandler = std::function<void(const fetch::Outcome&)>;

    FetchProcess();
    // Ends the program at once; no handler runs any more. A handler may
    // destroy the process that called it.
    ~FetchProcess();
    FetchProcess(const FetchProcess&) = delete;
    FetchProcess& operator=(const FetchProcess&) = delete;

    // Starts the transfer and returns at once; call once, on a thread with
    // an event loop (Qt's). The handlers run on that thread as the frames
    // arrive, `onEnd` exactly once and never from inside start().
    //
    // The routes of KESTROVA_CONNECT_TO and the time-outs of ServerConfig go
    // with every request; where a route is malformed, nothing is sent and the
    // outcome is Failed, rather than a request to the real server. A program
    // that can't be started, ends without an outcome or sends something
    // unreadable gives Failed with a text that says so; a stop gives Stopped.
    // Should the program itself hang (say nothing for longer than its own
    // time-outs allow), it is ended and the outcome is TimedOut.
    void start(const fetch::Request& request, Handler onHeader, Handler onBody, EndHandler onEnd);

    // start(), then waits for the end in an event loop of its own, so the
    // calling thread goes on handling its events meanwhile. Also ends, as
    // Stopped, when the application quits, which ends every event loop.
    fetch::Outcome run(const fetch::Request& request, Handler onHeader, Handler onBody);

    // Thread-safe, also before start(); the transfer ends as Stopped as soon
    // as its thread's event loop gets to it.
    void stop();

    // How long past the program's own time-outs the game waits for it to
    // speak before it gives up on the program: this, or the time-outs
    // together when they are shorter (as tests make them).
    static constexpr long kGraceMs = 5'000;

    // The program start() runs: KESTROVA_FETCH_PROGRAM when set (for tests and
    // development), else the first of ProgramFolder::companionPaths() that exists.
    static std::filesystem::path programPath();

private:
    void launch(fetch::Request request);
    void sendMore();
    void readMore();
    void finish(fetch::Outcome outcome);
    // Ends the transfer later, from the event loop.
    void finishSoon(fetch::Outcome outcome);
    void dropWatchers();

    Handler onHeader_;
    Handler onBody_;
    EndHandler onEnd_;

    std::unique_ptr<SpawnedProgram> program_;
    std::unique_ptr<QSocketNotifier> readable_;
    std::unique_ptr<QSocketNotifier> writable_;
    std::unique_ptr<QTimer> guard_;   // the game's own time-out on a silent program; also the thread's mailbox
    std::string toSend_;
    std::size_t sent_ = 0;
    bool requestLost_ = false;   // the program stopped reading before it had it all
    bool answered_ = false;      // a frame has come
    bool ended_ = false;
    fetch::FrameReader frames_;

    // Cleared by the destructor, so that a handler that destroyed this
    // process is not followed by more of its work.
    std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
    int handlerDepth_ = 0;

    std::atomic<bool> stop_{false};
    std::mutex mailboxLock_;   // guard_ as seen by stop() on another thread
};

} // namespace kestrova
