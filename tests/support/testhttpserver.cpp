#include "support/testhttpserver.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <stdexcept>

namespace kestrova::testing {

namespace {

void sendAll(int connection, const std::string& bytes)
{
    size_t sent = 0;
    while (sent < bytes.size()) {
        const ssize_t n = ::send(connection, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
        if (n <= 0)
            return;
        sent += static_cast<size_t>(n);
    }
}

// The value of Content-Length in a request head, 0 when there is none.
size_t contentLengthOf(const std::string& head)
{
    std::string lower = head;
    std::transform(lower.begin(), lower.end(), lower.begin(), [](unsigned char c) { return std::tolower(c); });
    const size_t at = lower.find("\r\ncontent-length:");
    if (at == std::string::npos)
        return 0;
    return std::strtoul(head.c_str() + at + 17, nullptr, 10);
}

} // namespace

std::string TestHttpServer::response(const std::string& status, const std::string& body, bool withLength,
                                     const std::string& extraHeaders)
{
    std::string reply = "HTTP/1.0 " + status + "\r\nContent-Type: text/html\r\n" + extraHeaders;
    if (withLength)
        reply += "Content-Length: " + std::to_string(body.size()) + "\r\n";
    return reply + "\r\n" + body;
}

TestHttpServer::TestHttpServer()
{
    for (const char* name : {"http_proxy", "HTTP_PROXY", "all_proxy", "ALL_PROXY"})
        ::unsetenv(name);

    if (::pipe(stopPipe_) != 0)
        throw std::runtime_error("pipe");
    listener_ = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = 0;
    socklen_t length = sizeof address;
    if (listener_ < 0 || ::bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        ::listen(listener_, 16) != 0 ||
        ::getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &length) != 0)
        throw std::runtime_error("the test server can't listen");
    port_ = ntohs(address.sin_port);
    acceptor_ = std::thread([this] { acceptLoop(); });
}

TestHttpServer::~TestHttpServer()
{
    // Never drained: every wait of every thread sees it from now on.
    const char byte = 0;
    (void)!::write(stopPipe_[1], &byte, 1);
    acceptor_.join();
    for (std::thread& connection : connections_)
        connection.join();
    ::close(listener_);
    ::close(stopPipe_[0]);
    ::close(stopPipe_[1]);
}

std::string TestHttpServer::route(const std::string& host) const
{
    return host + (host.find(':') == std::string::npos ? ":80" : "") + ":127.0.0.1:" + std::to_string(port_);
}

void TestHttpServer::setReply(Reply reply)
{
    std::lock_guard lock(lock_);
    reply_ = std::move(reply);
    released_ = false;
}

void TestHttpServer::queueReply(Reply reply)
{
    std::lock_guard lock(lock_);
    queued_.push_back(std::move(reply));
    released_ = false;
}

void TestHttpServer::release()
{
    std::lock_guard lock(lock_);
    released_ = true;
    const char byte = 0;
    for (int pipe : holdPipes_)
        (void)!::write(pipe, &byte, 1);
}

std::vector<std::string> TestHttpServer::requests() const
{
    std::lock_guard lock(lock_);
    return requests_;
}

size_t TestHttpServer::requestCount() const
{
    std::lock_guard lock(lock_);
    return requests_.size();
}

bool TestHttpServer::waitForRequests(size_t count, std::chrono::seconds timeout)
{
    std::unique_lock lock(lock_);
    return changed_.wait_for(lock, timeout, [&] { return requests_.size() >= count; });
}

bool TestHttpServer::waitForHangUps(size_t count, std::chrono::seconds timeout)
{
    std::unique_lock lock(lock_);
    return changed_.wait_for(lock, timeout, [&] { return hangUps_ >= count; });
}

// True when `descriptor` has something to read, false when the server stops.
bool TestHttpServer::waitReadable(int descriptor)
{
    pollfd waits[2] = {{descriptor, POLLIN, 0}, {stopPipe_[0], POLLIN, 0}};
    while (::poll(waits, 2, -1) < 0) {
    }
    return (waits[1].revents & POLLIN) == 0;
}

void TestHttpServer::acceptLoop()
{
    while (waitReadable(listener_)) {
        const int connection = ::accept(listener_, nullptr, nullptr);
        if (connection >= 0)
            connections_.emplace_back([this, connection] { serve(connection); });
    }
}

bool TestHttpServer::readRequest(int connection, std::string& request)
{
    char buffer[4096];
    size_t headEnd = std::string::npos;
    while (headEnd == std::string::npos || request.size() < headEnd + 4 + contentLengthOf(request.substr(0, headEnd))) {
        if (!waitReadable(connection))
            return false;
        const ssize_t n = ::recv(connection, buffer, sizeof buffer, 0);
        if (n <= 0)
            return false;
        request.append(buffer, static_cast<size_t>(n));
        headEnd = request.find("\r\n\r\n");
    }
    return true;
}

void TestHttpServer::serve(int connection)
{
    std::string request;
    if (readRequest(connection, request)) {
        Reply reply;
        {
            std::lock_guard lock(lock_);
            requests_.push_back(request);
            if (queued_.empty()) {
                reply = reply_;
            } else {
                reply = std::move(queued_.front());
                queued_.pop_front();
            }
        }
        changed_.notify_all();
        sendAll(connection, reply.head);
        if (!reply.holdAfterHead || holdUntilReleased(connection))
            sendAll(connection, reply.tail);
    }
    ::shutdown(connection, SHUT_RDWR);
    ::close(connection);
}

// True when released, false when the client hung up or the server stops.
bool TestHttpServer::holdUntilReleased(int connection)
{
    int wake[2];
    if (::pipe(wake) != 0)
        return false;
    {
        std::lock_guard lock(lock_);
        if (released_) {
            ::close(wake[0]);
            ::close(wake[1]);
            return true;
        }
        holdPipes_.push_back(wake[1]);
    }
    bool released = false;
    bool hungUp = false;
    for (;;) {
        pollfd waits[3] = {{connection, POLLIN, 0}, {wake[0], POLLIN, 0}, {stopPipe_[0], POLLIN, 0}};
        if (::poll(waits, 3, -1) < 0)
            continue;
        if (waits[2].revents & POLLIN)
            break;
        if (waits[1].revents & POLLIN) {
            released = true;
            break;
        }
        if (waits[0].revents & (POLLIN | POLLHUP | POLLERR)) {
            char byte;
            if (::recv(connection, &byte, 1, 0) <= 0) {
                hungUp = true;
                break;
            }
        }
    }
    {
        std::lock_guard lock(lock_);
        holdPipes_.erase(std::find(holdPipes_.begin(), holdPipes_.end(), wake[1]));
        if (hungUp)
            ++hangUps_;
    }
    changed_.notify_all();
    ::close(wake[0]);
    ::close(wake[1]);
    return released;
}

} // namespace kestrova::testing
