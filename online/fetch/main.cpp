// kestrova-fetch: makes one HTTP transfer for the game, so that the game itself
// never maps the network library and the dozens of libraries under it. The game
// starts it with one end of a socket as its standard input and output, sends
// the request, and reads the reply's header lines, its body and the outcome
// back as they arrive (see fetchprotocol.h). It ends with the transfer, and at
// once when the game hangs up or goes away.

#include "online/fetch/fetchjob.h"
#include "online/fetchprotocol.h"

#include <curl/curl.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <string>

#include <sys/prctl.h>
#include <unistd.h>

using namespace kestrova::fetch;

namespace {

// The game's socket; a pipe each way does as well.
constexpr int kFromGame = STDIN_FILENO;
constexpr int kToGame = STDOUT_FILENO;

// Reads frames until the request's End. Sets `error` and gives nothing when
// the game hangs up first or sends something that is not a request.
std::optional<Request> readRequest(std::string& error)
{
    FrameReader frames;
    RequestReader request;
    char buffer[4096];
    for (;;) {
        while (std::optional<Frame> frame = frames.next()) {
            if (!request.add(*frame)) {
                error = request.error();
                return std::nullopt;
            }
            if (request.complete())
                return request.request();
        }
        if (frames.broken()) {
            error = "a request frame longer than " + std::to_string(kMaxPayload) + " bytes";
            return std::nullopt;
        }
        const ssize_t got = read(kFromGame, buffer, sizeof buffer);
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0) {
            error = "the game hung up before the request was complete";
            return std::nullopt;
        }
        frames.append(std::string_view(buffer, static_cast<std::size_t>(got)));
    }
}

} // namespace

int main(int argc, char**)
{
    if (argc != 1 || isatty(kFromGame)) {
        std::fprintf(stderr, "kestrova-fetch: the game starts this program for its transfers; it takes no arguments\n");
        return 2;
    }
    // Ends with the thread of the game that waits for it, should that end without hanging up.
    prctl(PR_SET_PDEATHSIG, SIGKILL);
    // A game that hangs up makes writes fail instead of ending the program unreported.
    std::signal(SIGPIPE, SIG_IGN);

    std::string error;
    const std::optional<Request> request = readRequest(error);
    if (!request) {
        // Tells a game that is still there why, a game of another version included.
        sendOutcome(kToGame, {Result::Failed, "The transfer program could not read the request: " + error});
        return 1;
    }
    if (curl_global_init(CURL_GLOBAL_DEFAULT) != CURLE_OK) {
        sendOutcome(kToGame, {Result::Failed, "The network library could not be started"});
        return 1;
    }
    const Outcome outcome = runTransfer(*request, kFromGame, kToGame);
    curl_global_cleanup();
    return sendOutcome(kToGame, outcome) ? 0 : 1;
}
