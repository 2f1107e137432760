// Accepting, the I/O threads, and an orderly stop.
#include "server/httplistener.h"

#include "server/clientaddress.h"
#include "server/httpconnection.h"
#include "server/httplimits.h"

#include <boost/asio/post.hpp>
#include <boost/asio/strand.hpp>
#include <boost/beast/core/tcp_stream.hpp>

#include <algorithm>
#include <stdexcept>
#include <thread>
#include <vector>

#include <sys/socket.h>

namespace kestrova::server {

namespace {

namespace asio = boost::asio;
using tcp = asio::ip::tcp;

// One I/O thread for each core, up to four: they only move bytes, and the
// workers mostly wait on the database. Measured on two cores, one I/O thread
// for the two served the cached list page at about 0.4 of nginx's rate, two
// at about 0.6.
std::size_t ioThreads()
{
    return std::clamp<std::size_t>(std::thread::hardware_concurrency(), 1, 4);
}

// As many post workers as the PostgreSQL store keeps connections.
constexpr std::size_t kPostWorkers = 8;
// Page requests that arrive together share one look at the store, so more
// of them waiting at once means fewer looks.
constexpr std::size_t kPageWorkers = 8;
// After accept fails for want of descriptors or memory, the pause before
// the next try, so that the loop does not spin.
constexpr auto kAcceptPause = std::chrono::milliseconds(100);
// How long a stopping server lets answers in progress finish.
constexpr auto kStopGrace = std::chrono::seconds(5);

std::string turnedAwayAnswer()
{
    const std::string line = "Service unavailable: too many connections; try again later\n";
    return "HTTP/1.1 503 Service Unavailable\r\nContent-Type: text/plain; charset=utf-8\r\nContent-Length: " +
           std::to_string(line.size()) + "\r\nRetry-After: 10\r\nConnection: close\r\n\r\n" + line;
}

bool isPassing(const boost::system::error_code& error)
{
    // A client gone before it was accepted, or the system out of descriptors
    // or memory for a moment: the listening socket itself is fine.
    return error == asio::error::connection_aborted || error == asio::error::no_descriptors ||
           error == asio::error::no_buffer_space || error == asio::error::no_memory ||
           error == asio::error::connection_reset || error == asio::error::interrupted ||
           error.value() == ENFILE || error.value() == EPERM || error.value() == EPROTO;
}

} // namespace

HttpListener::HttpListener(HttpService& service, std::size_t maxConnections, std::size_t maxPerAddress)
    : service_(service),
      slots_(maxConnections, maxPerAddress),
      strand_(asio::make_strand(io_)),
      acceptor_(strand_),
      pause_(strand_),
      postWorkers_(kPostWorkers),
      pageWorkers_(kPageWorkers)
{
}

HttpListener::~HttpListener()
{
    postWorkers_.join();
    pageWorkers_.join();
}

int HttpListener::bind(const std::string& host, int port)
{
    boost::system::error_code error;
    const asio::ip::address address = asio::ip::make_address(host, error);
    if (!error) {
        const tcp::endpoint endpoint(address, static_cast<unsigned short>(port));
        acceptor_.open(endpoint.protocol(), error);
        // Never SO_REUSEPORT: two servers on one port with two databases would split the list.
        if (!error)
            acceptor_.set_option(asio::socket_base::reuse_address(true), error);
        if (!error)
            acceptor_.bind(endpoint, error);
        if (!error)
            acceptor_.listen(SOMAXCONN, error);
    }
    if (error)
        throw std::runtime_error("cannot listen on " + (host.find(':') != std::string::npos ? "[" + host + "]" : host) +
                                 ":" + std::to_string(port));
    return acceptor_.local_endpoint().port();
}

void HttpListener::run()
{
    if (stopped_)
        return;
    accept();
    std::vector<std::thread> threads;
    for (std::size_t i = 1; i < ioThreads(); ++i)
        threads.emplace_back([this] { io_.run(); });
    io_.run();
    for (std::thread& thread : threads)
        thread.join();
    postWorkers_.join();
    pageWorkers_.join();
}

void HttpListener::stop()
{
    stopped_ = true;
    asio::post(strand_, [this] { closeDown(); });
}

void HttpListener::accept()
{
    acceptor_.async_accept(asio::make_strand(io_), [this](const boost::system::error_code& error, tcp::socket socket) {
        onAccept(error, std::move(socket));
    });
}

void HttpListener::onAccept(const boost::system::error_code& error, tcp::socket socket)
{
    if (error == asio::error::operation_aborted || !acceptor_.is_open())
        return;
    if (error) {
        if (!isPassing(error))
            return closeDown();
        pause_.expires_after(kAcceptPause);
        pause_.async_wait([this](const boost::system::error_code& waited) {
            if (!waited && acceptor_.is_open())
                accept();
        });
        return;
    }
    boost::system::error_code unknown;
    const tcp::endpoint remote = socket.remote_endpoint(unknown);
    const std::string peer = unknown ? std::string() : canonicalAddress(remote.address().to_string()).value_or("");
    // Behind a trusted proxy the peer stands for many clients; only the total counts it.
    ConnectionSlots::Ticket slot = slots_.take(service_.isTrustedProxy(peer) ? std::string() : limitKey(peer));
    if (slot && !unknown) {
        std::make_shared<HttpConnection>(boost::beast::tcp_stream(std::move(socket)), peer, std::move(slot),
                                         ConnectionContext{service_, postWorkers_, pageWorkers_, answering_})
            ->start();
    } else {
        turnAway(socket);
    }
    accept();
}

// Whatever the socket buffer takes at once, never a wait: a connection over
// the caps costs no more than its accept.
void HttpListener::turnAway(tcp::socket& socket)
{
    static const std::string answer = turnedAwayAnswer();
    ::send(socket.native_handle(), answer.data(), answer.size(), MSG_DONTWAIT | MSG_NOSIGNAL);
    boost::system::error_code ignored;
    socket.close(ignored);
}

void HttpListener::closeDown()
{
    boost::system::error_code ignored;
    if (!acceptor_.is_open())
        return;
    acceptor_.close(ignored);
    pause_.cancel();
    waitForAnswers(std::chrono::steady_clock::now() + kStopGrace);
}

// Connections still reading a request are dropped with the io_context;
// answers under way get the grace period to finish.
void HttpListener::waitForAnswers(std::chrono::steady_clock::time_point giveUpAt)
{
    if (answering_ == 0 || std::chrono::steady_clock::now() >= giveUpAt)
        return io_.stop();
    pause_.expires_after(std::chrono::milliseconds(20));
    pause_.async_wait([this, giveUpAt](const boost::system::error_code&) { waitForAnswers(giveUpAt); });
}

} // namespace kestrova::server
