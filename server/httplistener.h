// HttpListener: the event-driven engine under kestrova-server, on Boost.Asio
// and Boost.Beast. A few I/O threads accept, read and write every
// connection; two worker pools run what needs the store (posts, and the list
// page apart from them, so that posts waiting on the database never hold up
// the page). At accept, a connection takes a slot (ConnectionSlots)
// or is turned away with a short 503.
#pragma once

#include "server/connectionslots.h"
#include "server/httpservice.h"

#include <boost/asio/io_context.hpp>
#include <boost/asio/ip/tcp.hpp>
#include <boost/asio/steady_timer.hpp>
#include <boost/asio/strand.hpp>
#include <boost/asio/thread_pool.hpp>

#include <atomic>
#include <chrono>
#include <memory>
#include <string>

namespace kestrova::server {

class HttpListener {
public:
    HttpListener(HttpService& service, std::size_t maxConnections, std::size_t maxPerAddress);
    ~HttpListener();
    HttpListener(const HttpListener&) = delete;
    HttpListener& operator=(const HttpListener&) = delete;

    // Binds and listens; returns the port bound (port 0: a free one). Throws
    // std::runtime_error when the address cannot be bound.
    int bind(const std::string& host, int port);

    // Serves until stop() or until accepting fails for good; then lets the
    // answers in progress finish (a few seconds at most) and returns.
    void run();

    // Any thread, any time, also before run().
    void stop();
    bool stopped() const { return stopped_; }

private:
    void accept();
    void onAccept(const boost::system::error_code& error, boost::asio::ip::tcp::socket socket);
    void turnAway(boost::asio::ip::tcp::socket& socket);
    void closeDown();
    void waitForAnswers(std::chrono::steady_clock::time_point giveUpAt);

    HttpService& service_;
    ConnectionSlots slots_;
    std::atomic<int> answering_{0};
    std::atomic<bool> stopped_{false};
    // Destroyed in reverse: the workers first, while the connections their
    // queued work holds can still close on a live io_context.
    boost::asio::io_context io_;
    // Accepting and stopping take turns on it.
    boost::asio::strand<boost::asio::io_context::executor_type> strand_;
    boost::asio::ip::tcp::acceptor acceptor_;
    boost::asio::steady_timer pause_;
    boost::asio::thread_pool postWorkers_;
    boost::asio::thread_pool pageWorkers_;
};

} // namespace kestrova::server
