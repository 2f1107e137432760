#include "online/fetchprotocol.h"

#include <charconv>

namespace kestrova::fetch {

namespace {

std::optional<long> parseDecimal(std::string_view text)
{
    long value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || error != std::errc() || end != text.data() + text.size())
        return std::nullopt;
    return value;
}

} // namespace

void appendFrame(std::string& out, Tag tag, std::string_view payload)
{
    const auto length = static_cast<std::uint32_t>(payload.size());
    out.push_back(static_cast<char>(tag));
    for (int shift = 24; shift >= 0; shift -= 8)
        out.push_back(static_cast<char>((length >> shift) & 0xff));
    out.append(payload);
}

std::string encodeRequest(const Request& request)
{
    std::string out;
    appendFrame(out, Tag::Version, kProtocolVersion);
    appendFrame(out, Tag::Url, request.url);
    if (!request.requestTarget.empty())
        appendFrame(out, Tag::RequestTarget, request.requestTarget);
    if (!request.agent.empty())
        appendFrame(out, Tag::Agent, request.agent);
    if (!request.userName.empty()) {
        appendFrame(out, Tag::UserName, request.userName);
        appendFrame(out, Tag::Password, request.password);
    }
    if (!request.referer.empty())
        appendFrame(out, Tag::Referer, request.referer);
    for (const std::string& header : request.headers)
        appendFrame(out, Tag::Header, header);
    for (const std::string& route : request.routes)
        appendFrame(out, Tag::Route, route);
    if (request.postBody)
        appendFrame(out, Tag::PostBody, *request.postBody);
    if (request.bufferSize > 0)
        appendFrame(out, Tag::BufferSize, std::to_string(request.bufferSize));
    appendFrame(out, Tag::Timeouts,
                std::to_string(request.connectTimeoutMs) + ' ' + std::to_string(request.idleTimeoutMs));
    appendFrame(out, Tag::End, {});
    return out;
}

std::string encodeOutcome(const Outcome& outcome)
{
    return std::to_string(static_cast<int>(outcome.result)) + '\n' + outcome.text;
}

std::optional<Outcome> decodeOutcome(std::string_view payload)
{
    const std::size_t lineEnd = payload.find('\n');
    if (lineEnd == std::string_view::npos)
        return std::nullopt;
    const std::optional<long> number = parseDecimal(payload.substr(0, lineEnd));
    if (!number || *number < static_cast<long>(Result::Done) || *number > static_cast<long>(Result::TimedOut))
        return std::nullopt;
    return Outcome{static_cast<Result>(*number), std::string(payload.substr(lineEnd + 1))};
}

void FrameReader::append(std::string_view bytes)
{
    if (broken_)
        return;
    // Drop what was handed out before the buffer grows again.
    if (start_ > 0 && start_ >= buffer_.size() / 2) {
        buffer_.erase(0, start_);
        start_ = 0;
    }
    buffer_.append(bytes);
}

std::optional<Frame> FrameReader::next()
{
    constexpr std::size_t headerSize = 5;
    if (broken_ || pending() < headerSize)
        return std::nullopt;
    const auto* header = reinterpret_cast<const unsigned char*>(buffer_.data() + start_);
    const std::uint32_t length = (std::uint32_t{header[1]} << 24) | (std::uint32_t{header[2]} << 16) |
                                 (std::uint32_t{header[3]} << 8) | std::uint32_t{header[4]};
    if (length > kMaxPayload) {
        broken_ = true;
        buffer_.clear();
        start_ = 0;
        return std::nullopt;
    }
    if (pending() < headerSize + length)
        return std::nullopt;
    Frame frame{static_cast<Tag>(header[0]), buffer_.substr(start_ + headerSize, length)};
    start_ += headerSize + length;
    return frame;
}

bool RequestReader::fail(std::string error)
{
    error_ = std::move(error);
    return false;
}

bool RequestReader::add(const Frame& frame)
{
    if (complete_)
        return fail("a frame after the end of the request");
    if (!versionSeen_) {
        if (frame.tag != Tag::Version || frame.payload != kProtocolVersion)
            return fail("the game speaks another version of the transfer protocol than " +
                        std::string(kProtocolVersion));
        versionSeen_ = true;
        return true;
    }
    // Every field but the form body goes into the request's head, where a
    // line break would start a header of its own.
    if (frame.tag != Tag::PostBody && frame.payload.find_first_of(std::string_view("\r\n\0", 3)) != std::string::npos)
        return fail("a request field with a line break or a zero byte");
    switch (frame.tag) {
    case Tag::Url: request_.url = frame.payload; return true;
    case Tag::RequestTarget: request_.requestTarget = frame.payload; return true;
    case Tag::Agent: request_.agent = frame.payload; return true;
    case Tag::UserName: request_.userName = frame.payload; return true;
    case Tag::Password: request_.password = frame.payload; return true;
    case Tag::Referer: request_.referer = frame.payload; return true;
    case Tag::Header: request_.headers.push_back(frame.payload); return true;
    case Tag::Route: request_.routes.push_back(frame.payload); return true;
    case Tag::PostBody: request_.postBody = frame.payload; return true;
    case Tag::BufferSize: {
        const std::optional<long> size = parseDecimal(frame.payload);
        if (!size || *size <= 0 || *size > static_cast<long>(kMaxPayload))
            return fail("a buffer size that is not a whole number from 1 to " + std::to_string(kMaxPayload));
        request_.bufferSize = *size;
        return true;
    }
    case Tag::Timeouts: {
        const std::size_t blank = frame.payload.find(' ');
        const std::optional<long> connect = parseDecimal(std::string_view(frame.payload).substr(0, blank));
        const std::optional<long> idle = blank == std::string::npos
                                             ? std::nullopt
                                             : parseDecimal(std::string_view(frame.payload).substr(blank + 1));
        if (!connect || !idle || *connect <= 0 || *idle <= 0 || *connect > kMaxTimeoutMs || *idle > kMaxTimeoutMs)
            return fail("time-outs that are not two whole numbers of milliseconds from 1 to " +
                        std::to_string(kMaxTimeoutMs));
        request_.connectTimeoutMs = *connect;
        request_.idleTimeoutMs = *idle;
        return true;
    }
    case Tag::End:
        if (request_.url.empty())
            return fail("a request without a URL");
        complete_ = true;
        return true;
    default: return fail("a frame that does not belong in a request");
    }
}

} // namespace kestrova::fetch
