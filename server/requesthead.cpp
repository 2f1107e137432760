// The request head through Beast's parser, with our bounds checked in its
// callbacks as each part is recognised.
#include "server/requesthead.h"

#include "server/httplimits.h"

#include <boost/beast/core/string.hpp>
#include <boost/beast/http/error.hpp>

#include <algorithm>

namespace kestrova::server {

namespace http = boost::beast::http;

namespace {

// Beast reports the failures of its own callbacks through an error code; the
// fault it stands for is kept beside it.
const boost::system::error_code kRefused = http::error::bad_value;

} // namespace

std::string RequestHead::requestLine() const
{
    return method + " " + target + (version == 11 ? " HTTP/1.1" : " HTTP/1.0");
}

class RequestHeadParser::Parser : public http::basic_parser<true> {
public:
    explicit Parser(RequestHead& head) : head_(head)
    {
        header_limit(static_cast<std::uint32_t>(kMaxRequestHead));
        body_limit(0);
    }

    HeadFault fault = HeadFault::None;

private:
    void on_request_impl(http::verb, boost::beast::string_view method, boost::beast::string_view target,
                         int version, boost::system::error_code& ec) override
    {
        // Beast takes single spaces and an 8-character version only, so the
        // line's length follows from its parts.
        if (method.size() + 1 + target.size() + 1 + 8 + 2 > kMaxRequestLine)
            return refuse(HeadFault::RequestLineTooLong, ec);
        head_.method.assign(method.data(), method.size());
        head_.target.assign(target.data(), target.size());
        head_.version = version;
    }

    void on_response_impl(int, boost::beast::string_view, int, boost::system::error_code& ec) override
    {
        ec = kRefused;
    }

    void on_field_impl(http::field name, boost::beast::string_view nameText, boost::beast::string_view value,
                       boost::system::error_code& ec) override
    {
        const std::size_t size = nameText.size() + 2 + value.size() + 2;
        blockSize_ += size;
        if (++fields_ > kMaxHeaderFields || size > kMaxHeaderField || blockSize_ > kMaxHeaderBlock)
            return refuse(HeadFault::HeaderTooLarge, ec);
        if (name == http::field::host && !sawHost_) {
            sawHost_ = true;
            head_.host.assign(value.data(), value.size());
        } else if (boost::beast::iequals(nameText, "X-Forwarded-For")) {
            if (!head_.forwardedFor.empty())
                head_.forwardedFor += ',';
            head_.forwardedFor.append(value.data(), value.size());
        }
    }

    void on_header_impl(boost::system::error_code& ec) override
    {
        if (chunked() || content_length().value_or(0) > 0)
            refuse(HeadFault::BodyNotAllowed, ec);
    }

    void on_body_init_impl(const boost::optional<std::uint64_t>&, boost::system::error_code& ec) override
    {
        refuse(HeadFault::BodyNotAllowed, ec);
    }

    std::size_t on_body_impl(boost::beast::string_view, boost::system::error_code& ec) override
    {
        refuse(HeadFault::BodyNotAllowed, ec);
        return 0;
    }

    void on_chunk_header_impl(std::uint64_t, boost::beast::string_view, boost::system::error_code& ec) override
    {
        refuse(HeadFault::BodyNotAllowed, ec);
    }

    std::size_t on_chunk_body_impl(std::uint64_t, boost::beast::string_view, boost::system::error_code& ec) override
    {
        refuse(HeadFault::BodyNotAllowed, ec);
        return 0;
    }

    void on_finish_impl(boost::system::error_code&) override {}

    void refuse(HeadFault why, boost::system::error_code& ec)
    {
        fault = why;
        ec = kRefused;
    }

    RequestHead& head_;
    std::size_t fields_ = 0;
    std::size_t blockSize_ = 0;
    bool sawHost_ = false;
};

void RequestHeadParser::ParserDeleter::operator()(Parser* parser) const
{
    delete parser;
}

RequestHeadParser::RequestHeadParser() : parser_(new Parser(head_)) {}

RequestHeadParser::State RequestHeadParser::feed(std::string_view bytes)
{
    if (state_ != State::NeedMore || bytes.empty())
        return state_;
    received_ += bytes.size();
    // Never more than the head's bound plus one byte is held.
    const std::size_t before = pending_.size();
    const std::size_t room = kMaxRequestHead + 1 - std::min(consumed_ + before, kMaxRequestHead + 1);
    const std::string_view taken = bytes.substr(0, room);
    if (pending_.capacity() < before + taken.size()) {
        // Grown by doubling, but never past the bound: that bound times the
        // connection cap is most of what the server's memory can reach.
        pending_.reserve(std::min(std::max(before + taken.size(), 2 * pending_.capacity()), kMaxRequestHead + 1));
    }
    pending_.append(taken);
    if (firstLine_.empty() && consumed_ == 0 && before < kMaxRequestLine) {
        // Only the new bytes are searched, so a client sending one byte at a
        // time costs no more than one sending all at once.
        const std::size_t end = pending_.find("\r\n", before == 0 ? 0 : before - 1);
        if (end != std::string::npos && end + 2 <= kMaxRequestLine)
            firstLine_ = pending_.substr(0, end);
    }

    boost::system::error_code error;
    // The parser takes the request line as soon as the whole head is there
    // and the fields as far as they are complete; what it took is dropped.
    const std::size_t used = parser_->put(boost::asio::buffer(pending_.data(), pending_.size()), error);
    pending_.erase(0, used);
    consumed_ += used;
    if (parser_->fault != HeadFault::None)
        return fail(parser_->fault);
    if (error == http::error::header_limit ||
        (error == http::error::need_more && consumed_ + pending_.size() > kMaxRequestHead)) {
        // Past the bound: the fields were too many unless the line never ended.
        return fail(firstLine_.empty() ? HeadFault::RequestLineTooLong : HeadFault::HeaderTooLarge);
    }
    if (error == http::error::need_more)
        return state_;
    if (error == http::error::body_limit)
        return fail(HeadFault::BodyNotAllowed);
    if (error || !parser_->is_header_done())
        return fail(HeadFault::Malformed);
    state_ = State::Complete;
    pending_.clear();
    pending_.shrink_to_fit();
    return state_;
}

std::string RequestHeadParser::firstLine() const
{
    return firstLine_;
}

RequestHeadParser::State RequestHeadParser::fail(HeadFault fault)
{
    fault_ = fault;
    state_ = State::Failed;
    pending_.clear();
    pending_.shrink_to_fit();
    return state_;
}

} // namespace kestrova::server
