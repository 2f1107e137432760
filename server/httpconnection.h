// HttpConnection: one client connection, from accept to close. Reads one
// request head within the deadline, has it answered (on a worker when the
// answer needs the store, never on the thread that reads and writes
// sockets), writes the answer, logs what was really sent, and closes.
#pragma once

#include "server/connectionslots.h"
#include "server/httpservice.h"
#include "server/requesthead.h"

#include <boost/asio/thread_pool.hpp>
#include <boost/beast/core/tcp_stream.hpp>
#include <boost/beast/http/message.hpp>

#include <array>
#include <atomic>
#include <memory>
#include <string>

namespace kestrova::server {

// Where a connection runs its store work, and the count of connections whose
// request is being answered, which a stopping server waits for.
struct ConnectionContext {
    HttpService& service;
    boost::asio::thread_pool& postWorkers;
    boost::asio::thread_pool& pageWorkers;
    std::atomic<int>& answering;
};

class HttpConnection : public std::enable_shared_from_this<HttpConnection> {
public:
    HttpConnection(boost::beast::tcp_stream stream, std::string peer, ConnectionSlots::Ticket slot,
                   const ConnectionContext& context);

    void start();

private:
    template <class Body>
    struct Outgoing;

    void read();
    void onRead(const boost::system::error_code& error, std::size_t bytes);
    void dispatch();
    void send(HttpAnswer answer);
    template <class Body>
    void writeHead(std::shared_ptr<Outgoing<Body>> out);
    template <class Body>
    void writeBody(std::shared_ptr<Outgoing<Body>> out);
    void finish(bool failed);

    boost::beast::tcp_stream stream_;
    const std::string peer_;
    ConnectionSlots::Ticket slot_;
    ConnectionContext context_;
    RequestHeadParser parser_;
    std::array<char, 2048> chunk_{};
    AccessRecord record_;
    bool headOnly_ = false;
    bool answering_ = false;
};

} // namespace kestrova::server
