// The life of one connection on Beast's tcp_stream: its expiry is set once at
// accept for the whole request head, then again before each write.
#include "server/httpconnection.h"

#include "server/httplimits.h"

#include <boost/asio/post.hpp>
#include <boost/beast/core/error.hpp>
#include <boost/beast/http/empty_body.hpp>
#include <boost/beast/http/file_body.hpp>
#include <boost/beast/http/serializer.hpp>
#include <boost/beast/http/string_body.hpp>
#include <boost/beast/http/write.hpp>

#include <chrono>

namespace kestrova::server {

namespace beast = boost::beast;
namespace http = beast::http;

// A response and the serializer that writes it, kept together until written.
template <class Body>
struct HttpConnection::Outgoing {
    explicit Outgoing(http::response<Body>&& response) : message(std::move(response)), serializer(message) {}
    http::response<Body> message;
    http::serializer<false, Body> serializer;
};

namespace {

// The answer's head: status, type, length, its extra headers, and always a
// close, as one request is all a connection carries.
template <class Body>
void fillHead(http::response<Body>& message, const HttpAnswer& answer, std::uint64_t length)
{
    message.version(11);
    message.result(static_cast<unsigned>(answer.status));
    message.set(http::field::content_type, answer.contentType);
    for (const auto& [name, value] : answer.headers)
        message.set(name, value);
    message.set(http::field::connection, "close");
    message.content_length(length);
}

std::uint64_t sizeOf(beast::file& file)
{
    boost::system::error_code ignored;
    return file.size(ignored);
}

} // namespace

HttpConnection::HttpConnection(beast::tcp_stream stream, std::string peer, ConnectionSlots::Ticket slot,
                               const ConnectionContext& context)
    : stream_(std::move(stream)), peer_(std::move(peer)), slot_(std::move(slot)), context_(context)
{
}

void HttpConnection::start()
{
    // Once, for the whole head: each byte that comes in does not restart it.
    stream_.expires_after(kRequestDeadline);
    read();
}

void HttpConnection::read()
{
    stream_.async_read_some(boost::asio::buffer(chunk_),
                            [self = shared_from_this()](const boost::system::error_code& error, std::size_t bytes) {
                                self->onRead(error, bytes);
                            });
}

void HttpConnection::onRead(const boost::system::error_code& error, std::size_t bytes)
{
    if (bytes > 0)
        parser_.feed(std::string_view(chunk_.data(), bytes));
    switch (parser_.state()) {
    case RequestHeadParser::State::Complete:
        return dispatch();
    case RequestHeadParser::State::Failed:
        record_.requestLine = parser_.fault() == HeadFault::RequestLineTooLong ? std::string() : parser_.firstLine();
        return send(context_.service.refusal(parser_.fault()));
    case RequestHeadParser::State::NeedMore:
        break;
    }
    if (!error)
        return read();
    // Out of time, or gone before a whole head came: nothing can be answered.
    // A client that sent something is logged as timed out or cut short.
    if (parser_.started()) {
        record_.requestLine = parser_.firstLine();
        record_.status = error == beast::error::timeout ? 408 : 400;
        record_.when = std::chrono::system_clock::now();
        context_.service.log(record_);
    }
    boost::system::error_code ignored;
    stream_.socket().close(ignored);
}

void HttpConnection::dispatch()
{
    const RoutedRequest routed = context_.service.route(parser_.head(), peer_);
    record_.host = routed.client;
    record_.requestLine = parser_.head().requestLine();
    headOnly_ = routed.headOnly;
    if (!context_.service.needsStore(routed))
        return send(context_.service.answer(routed));
    answering_ = true;
    ++context_.answering;
    auto& workers = routed.route == Route::Page ? context_.pageWorkers : context_.postWorkers;
    boost::asio::post(workers, [self = shared_from_this(), routed] {
        HttpAnswer answer = self->context_.service.answer(routed);
        boost::asio::post(self->stream_.get_executor(), [self, answer = std::move(answer)]() mutable {
            self->send(std::move(answer));
        });
    });
}

void HttpConnection::send(HttpAnswer answer)
{
    record_.status = answer.status;
    if (!answering_) {
        answering_ = true;
        ++context_.answering;
    }
    if (headOnly_) {
        http::response<http::empty_body> message;
        fillHead(message, answer, answer.file ? sizeOf(*answer.file) : answer.body.size());
        return writeHead(std::make_shared<Outgoing<http::empty_body>>(std::move(message)));
    }
    if (answer.file) {
        http::response<http::file_body> message;
        boost::system::error_code error;
        message.body().reset(std::move(*answer.file), error);
        fillHead(message, answer, message.body().size());
        return writeHead(std::make_shared<Outgoing<http::file_body>>(std::move(message)));
    }
    http::response<http::string_body> message;
    fillHead(message, answer, answer.body.size());
    message.body() = std::move(answer.body);
    writeHead(std::make_shared<Outgoing<http::string_body>>(std::move(message)));
}

template <class Body>
void HttpConnection::writeHead(std::shared_ptr<Outgoing<Body>> out)
{
    stream_.expires_after(kWriteStall);
    http::async_write_header(stream_, out->serializer,
                             [self = shared_from_this(), out](const boost::system::error_code& error, std::size_t) {
                                 if (error)
                                     return self->finish(true);
                                 self->writeBody(out);
                             });
}

// Piece by piece, each piece with its own time limit: a long download to a
// slow reader goes on while bytes flow.
template <class Body>
void HttpConnection::writeBody(std::shared_ptr<Outgoing<Body>> out)
{
    if (out->serializer.is_done())
        return finish(false);
    stream_.expires_after(kWriteStall);
    http::async_write_some(stream_, out->serializer,
                           [self = shared_from_this(), out](const boost::system::error_code& error, std::size_t bytes) {
                               self->record_.bytes += bytes;
                               if (error)
                                   return self->finish(true);
                               self->writeBody(out);
                           });
}

void HttpConnection::finish(bool failed)
{
    boost::system::error_code ignored;
    if (!failed)
        stream_.socket().shutdown(boost::asio::ip::tcp::socket::shutdown_send, ignored);
    stream_.socket().close(ignored);
    record_.when = std::chrono::system_clock::now();
    context_.service.log(record_);
    if (answering_)
        --context_.answering;
}

} // namespace kestrova::server
