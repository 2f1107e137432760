// The self-pipe way: the handler only writes the signal number into a pipe, which is
// async-signal-safe; a socket notifier on the pipe's other end emits the Qt signal from
// the event loop.
#include "platform/terminationsignals.h"

#include <QPointer>
#include <QSocketNotifier>

#include <array>
#include <atomic>
#include <cerrno>
#include <csignal>
#include <stdexcept>
#include <string>
#include <vector>

#include <fcntl.h>
#include <string.h>
#include <unistd.h>

namespace kestrova {

namespace {

constexpr std::array<int, 3> handledSignals{SIGTERM, SIGINT, SIGHUP};

std::atomic<int> writeFd{-1};
std::atomic<bool> instanceAlive{false};
struct sigaction previousActions[handledSignals.size()];

extern "C" void onTerminationSignal(int signo)
{
    const int savedErrno = errno;
    const int fd = writeFd.load();
    if (fd >= 0) {
        const unsigned char byte = static_cast<unsigned char>(signo);
        // A full pipe already holds a pending request; dropping this one loses nothing.
        [[maybe_unused]] const ssize_t written = ::write(fd, &byte, 1);
    }
    errno = savedErrno;
}

std::string systemError(const char* what)
{
    return std::string(what) + ": " + ::strerror(errno);
}

} // namespace

TerminationSignals::TerminationSignals(QObject* parent) : QObject(parent)
{
    if (instanceAlive.exchange(true))
        throw std::logic_error("TerminationSignals: only one instance may exist");

    int fds[2];
    if (::pipe2(fds, O_CLOEXEC | O_NONBLOCK) != 0) {
        const std::string message = systemError("Unable to create the signal pipe");
        instanceAlive = false;
        throw std::runtime_error(message);
    }
    readFd_ = fds[0];
    writeFd = fds[1];

    struct sigaction action {};
    action.sa_handler = onTerminationSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (std::size_t i = 0; i < handledSignals.size(); ++i) {
        if (::sigaction(handledSignals[i], &action, &previousActions[i]) != 0) {
            const std::string message = systemError("Unable to install a signal handler");
            for (std::size_t j = 0; j < i; ++j)
                ::sigaction(handledSignals[j], &previousActions[j], nullptr);
            ::close(writeFd.exchange(-1));
            ::close(readFd_);
            instanceAlive = false;
            throw std::runtime_error(message);
        }
    }

    notifier_ = new QSocketNotifier(readFd_, QSocketNotifier::Read, this);
    connect(notifier_, &QSocketNotifier::activated, this, &TerminationSignals::readPending);
}

TerminationSignals::~TerminationSignals()
{
    for (std::size_t i = 0; i < handledSignals.size(); ++i)
        ::sigaction(handledSignals[i], &previousActions[i], nullptr);
    delete notifier_;
    ::close(writeFd.exchange(-1));
    ::close(readFd_);
    instanceAlive = false;
}

void TerminationSignals::readPending()
{
    std::vector<int> received;
    unsigned char byte = 0;
    for (;;) {
        const ssize_t got = ::read(readFd_, &byte, 1);
        if (got == 1) {
            received.push_back(byte);
            continue;
        }
        if (got < 0 && errno == EINTR)
            continue;
        break; // EAGAIN: drained
    }
    // A receiver may end the program and take this object with it.
    const QPointer<TerminationSignals> self(this);
    for (const int signo : received) {
        emit terminationRequested(signo);
        if (!self)
            return;
    }
}

} // namespace kestrova
