#include "online/fetchprocess.h"

#include "online/serverconfig.h"
#include "platform/programfolder.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <stdexcept>
#include <string>

#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace kestrova {

namespace {

using fetch::Outcome;
using fetch::Result;

// Closes a descriptor when its scope ends.
class OwnedFd {
public:
    explicit OwnedFd(int fd = -1) : fd_(fd) {}
    ~OwnedFd() { reset(); }
    OwnedFd(const OwnedFd&) = delete;
    OwnedFd& operator=(const OwnedFd&) = delete;
    int get() const { return fd_; }
    void reset()
    {
        if (fd_ >= 0)
            close(fd_);
        fd_ = -1;
    }

private:
    int fd_;
};

// The started program, ended and reaped when its scope ends: by then it has
// either answered or is no longer wanted.
class Child {
public:
    explicit Child(pid_t pid) : pid_(pid) {}
    ~Child()
    {
        kill(pid_, SIGKILL);
        while (waitpid(pid_, nullptr, 0) < 0 && errno == EINTR) {
        }
    }
    Child(const Child&) = delete;
    Child& operator=(const Child&) = delete;

private:
    pid_t pid_;
};

long long steadyMs()
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

Outcome failure(std::string text)
{
    return {Result::Failed, std::move(text)};
}

} // namespace

FetchProcess::FetchProcess() : wakeFd_(eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK))
{
    if (wakeFd_ < 0)
        throw std::runtime_error(std::string("The transfer can't be prepared: ") + std::strerror(errno));
}

FetchProcess::~FetchProcess()
{
    close(wakeFd_);
}

void FetchProcess::stop()
{
    stop_.store(true);
    const std::uint64_t one = 1;
    [[maybe_unused]] const ssize_t written = write(wakeFd_, &one, sizeof one);
}

std::filesystem::path FetchProcess::programPath()
{
    if (const char* chosen = std::getenv("KESTROVA_FETCH_PROGRAM"); chosen && *chosen)
        return chosen;
    const std::vector<std::filesystem::path> candidates = ProgramFolder::companionPaths(fetch::kProgramFile);
    for (const std::filesystem::path& candidate : candidates) {
        std::error_code error;
        if (std::filesystem::is_regular_file(candidate, error))
            return candidate;
    }
    return candidates.front();
}

Outcome FetchProcess::run(const fetch::Request& request, const Handler& onHeader, const Handler& onBody)
{
    if (stop_.load())
        return {Result::Stopped, "Stopped before it began"};
    const std::optional<QList<QByteArray>> routes = ServerConfig::connectRoutes();
    if (!routes)
        return failure("KESTROVA_CONNECT_TO is not a list of host:port:host:port routes; no request is sent");
    fetch::Request routed = request;
    for (const QByteArray& route : *routes)
        routed.routes.push_back(route.toStdString());
    routed.connectTimeoutMs = ServerConfig::connectTimeoutMs();
    routed.idleTimeoutMs = ServerConfig::idleTimeoutMs();
    int ends[2];
    if (socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, ends) != 0)
        return failure(std::string("The transfer can't be prepared: ") + std::strerror(errno));
    OwnedFd ours(ends[0]);
    OwnedFd theirs(ends[1]);

    // The program gets its end as standard input and output, and nothing else
    // of the game's: the descriptors above 2 close as it starts.
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, theirs.get(), STDIN_FILENO);
    posix_spawn_file_actions_adddup2(&actions, theirs.get(), STDOUT_FILENO);
    posix_spawn_file_actions_addclosefrom_np(&actions, STDERR_FILENO + 1);
    const std::string program = programPath().string();
    char* arguments[] = {const_cast<char*>(program.c_str()), nullptr};
    pid_t pid = 0;
    const int error = posix_spawn(&pid, program.c_str(), &actions, nullptr, arguments, environ);
    posix_spawn_file_actions_destroy(&actions);
    if (error != 0)
        return failure("The transfer program " + program + " can't be started: " + std::strerror(error));
    Child child(pid);
    theirs.reset();
    return exchange(ours.get(), routed, onHeader, onBody);
}

Outcome FetchProcess::exchange(int socket, const fetch::Request& request, const Handler& onHeader,
                               const Handler& onBody)
{
    std::string toSend = fetch::encodeRequest(request);
    std::size_t sent = 0;
    bool requestLost = false;   // the program stopped reading before it had it all
    bool answered = false;      // a frame has come
    fetch::FrameReader frames;
    char buffer[16 * 1024];
    // The program is silent while it connects and while the server is; longer
    // than both together, and it is stuck itself.
    const long long ownMs = static_cast<long long>(request.connectTimeoutMs) + request.idleTimeoutMs;
    const long long patienceMs = ownMs + std::min<long long>(ownMs, kGraceMs);
    long long heardMs = steadyMs();
    for (;;) {
        pollfd watched[2] = {{socket, static_cast<short>(POLLIN | (sent < toSend.size() ? POLLOUT : 0)), 0},
                             {wakeFd_, POLLIN, 0}};
        if (stop_.load())
            return {Result::Stopped, "Stopped"};
        const long long silentMs = steadyMs() - heardMs;
        if (silentMs >= patienceMs)
            return {Result::TimedOut, "The transfer program stopped answering"};
        const int ready = poll(watched, 2, static_cast<int>(std::min<long long>(patienceMs - silentMs, 60'000)));
        if (ready < 0) {
            if (errno == EINTR)
                continue;
            return failure(std::string("The transfer can't be watched: ") + std::strerror(errno));
        }
        if (ready == 0)
            continue;
        if (stop_.load())
            return {Result::Stopped, "Stopped"};
        if ((watched[0].revents & POLLOUT) != 0) {
            const ssize_t written =
                send(socket, toSend.data() + sent, toSend.size() - sent, MSG_NOSIGNAL | MSG_DONTWAIT);
            if (written > 0) {
                sent += static_cast<std::size_t>(written);
            } else if (written < 0 && errno != EAGAIN && errno != EINTR) {
                // What it said before it stopped reading is still to be read.
                requestLost = true;
                sent = toSend.size();
            }
        }
        if ((watched[0].revents & (POLLIN | POLLHUP | POLLERR)) == 0)
            continue;
        const ssize_t got = recv(socket, buffer, sizeof buffer, MSG_DONTWAIT);
        if (got < 0 && (errno == EAGAIN || errno == EINTR))
            continue;
        if (got <= 0)
            return failure(requestLost && !answered ? "The transfer program ended before it had the request"
                                                    : "The transfer program ended without an answer");
        heardMs = steadyMs();
        frames.append(std::string_view(buffer, static_cast<std::size_t>(got)));
        while (std::optional<fetch::Frame> frame = frames.next()) {
            answered = true;
            switch (frame->tag) {
            case fetch::Tag::ReplyHeader:
                if (!onHeader(frame->payload))
                    return {Result::Refused, "The reply was turned down"};
                break;
            case fetch::Tag::ReplyBody:
                if (!onBody(frame->payload))
                    return {Result::Refused, "The reply was turned down"};
                break;
            case fetch::Tag::Outcome:
                if (std::optional<Outcome> outcome = fetch::decodeOutcome(frame->payload))
                    return *outcome;
                return failure("The transfer program gave an unreadable outcome");
            default: return failure("The transfer program sent a frame of an unknown kind");
            }
            if (stop_.load())
                return {Result::Stopped, "Stopped"};
        }
        if (frames.broken())
            return failure("The transfer program sent a frame longer than the protocol allows");
    }
}

} // namespace kestrova
