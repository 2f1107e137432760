// RequestHeadParser: reads a request head with Boost.Beast's parser and keeps
// only what the server uses (method, target, version, Host, X-Forwarded-For),
// within the bounds of httplimits.h. Requests carry no body: one announced
// is refused.
#pragma once

#include <boost/beast/http/basic_parser.hpp>

#include <cstddef>
#include <string>
#include <string_view>

namespace kestrova::server {

struct RequestHead {
    std::string method;
    std::string target;
    int version = 10;            // 10 for HTTP/1.0, 11 for HTTP/1.1
    std::string host;            // the Host header, empty when absent
    std::string forwardedFor;    // every X-Forwarded-For value, joined by commas

    // "GET /path HTTP/1.0", as the client sent it.
    std::string requestLine() const;
};

enum class HeadFault {
    None,
    RequestLineTooLong,   // 400
    HeaderTooLarge,       // 431: a field, all of them, or too many
    BodyNotAllowed,       // 400
    Malformed,            // 400
};

class RequestHeadParser {
public:
    enum class State { NeedMore, Complete, Failed };

    RequestHeadParser();

    // Takes the next bytes from the client. Bytes after a complete head are
    // ignored; so is anything after a failure.
    State feed(std::string_view bytes);

    State state() const { return state_; }
    HeadFault fault() const { return fault_; }
    const RequestHead& head() const { return head_; }
    // Whether any byte has come in.
    bool started() const { return received_ > 0; }

    // The first line of what came in, for the log of a request that could
    // not be read; empty when no whole line within the bound arrived.
    std::string firstLine() const;

private:
    class Parser;
    struct ParserDeleter {
        void operator()(Parser* parser) const;
    };

    State fail(HeadFault fault);

    std::unique_ptr<Parser, ParserDeleter> parser_;
    std::string pending_;
    std::string firstLine_;
    std::size_t received_ = 0;
    std::size_t consumed_ = 0;   // taken by the parser from the front of pending_
    RequestHead head_;
    HeadFault fault_ = HeadFault::None;
    State state_ = State::NeedMore;
};

} // namespace kestrova::server
