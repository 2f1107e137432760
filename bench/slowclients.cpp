// One thread drives every connection with non-blocking sockets: a tenth of
// them every 0.2 s.
#include "slowclients.h"

#include <cerrno>
#include <chrono>
#include <string>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace kestrova::bench {

namespace {

const std::string kRequest = "GET /counter/kestrova.shtml HTTP/1.0\r\nX-Slow: " + std::string(4000, 's');
constexpr int kAddresses = 100;

} // namespace

SlowClients::SlowClients(int port, int count) : port_(port), sockets_(static_cast<std::size_t>(count), -1), sent_(sockets_.size())
{
    for (int i = 0; i < count; ++i)
        openOne(i);
    thread_ = std::thread(&SlowClients::run, this);
}

SlowClients::~SlowClients()
{
    stopping_ = true;
    thread_.join();
    for (const int fd : sockets_)
        if (fd >= 0)
            ::close(fd);
}

void SlowClients::openOne(int i)
{
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    sockaddr_in local{};
    local.sin_family = AF_INET;
    local.sin_addr.s_addr = htonl(0x7F000002u + static_cast<std::uint32_t>(i % kAddresses));
    sockaddr_in server{};
    server.sin_family = AF_INET;
    server.sin_port = htons(static_cast<std::uint16_t>(port_));
    server.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (fd < 0 || ::bind(fd, reinterpret_cast<sockaddr*>(&local), sizeof local) != 0 ||
        (::connect(fd, reinterpret_cast<sockaddr*>(&server), sizeof server) != 0 && errno != EINPROGRESS)) {
        if (fd >= 0)
            ::close(fd);
        sockets_[static_cast<std::size_t>(i)] = -1;
        return;
    }
    sockets_[static_cast<std::size_t>(i)] = fd;
    sent_[static_cast<std::size_t>(i)] = 0;
    ++open_;
}

void SlowClients::tick(int i)
{
    int& fd = sockets_[static_cast<std::size_t>(i)];
    if (fd < 0)
        return openOne(i);
    char answer[512];
    const ssize_t got = ::recv(fd, answer, sizeof answer, MSG_DONTWAIT);
    const auto waiting = [] { return errno == EAGAIN || errno == EWOULDBLOCK || errno == ENOTCONN; };
    int& sent = sent_[static_cast<std::size_t>(i)];
    // An answer (408, 503) or an end from the server means it let go.
    bool gone = got >= 0 || !waiting();
    if (!gone)
        gone = ::send(fd, &kRequest[static_cast<std::size_t>(sent) % kRequest.size()], 1, MSG_NOSIGNAL) < 0 &&
               !waiting();
    if (!gone) {
        ++sent;
        return;
    }
    ::close(fd);
    fd = -1;
    --open_;
    ++closed_;
    openOne(i);
}

void SlowClients::run()
{
    const int count = static_cast<int>(sockets_.size());
    for (int step = 0; !stopping_; ++step) {
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        for (int i = step % 10; i < count; i += 10)
            tick(i);
    }
}

} // namespace kestrova::bench
