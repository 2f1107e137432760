// What the game and its transfer program (kestrova-fetch) say to each other
// over the socket that joins them. Both directions are a series of frames: a
// tag byte, the payload's length in four bytes (most significant first), the
// payload. The game sends one request, ended by its End frame; the program
// answers with the reply's header lines and body as they arrive, then one
// Outcome frame. Plain C++, so the transfer program needs no Qt.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kestrova::fetch {

// Sent first; a program that speaks another version ends the transfer with a
// failure that says so. Raise it with any change to the frames below.
inline constexpr std::string_view kProtocolVersion = "kestrova-fetch 2";

// The program's file name, as the game looks for it.
inline constexpr std::string_view kProgramFile = "kestrova-fetch";

enum class Tag : char {
    // game to program
    Version = 'V',
    Url = 'U',
    RequestTarget = 'T',   // the path and query as the request line sends them
    Agent = 'A',
    UserName = 'N',
    Password = 'P',
    Referer = 'R',
    Header = 'H',          // one whole "Name: value" line; repeated
    Route = 'C',           // one host:port:host:port route; repeated
    PostBody = 'B',        // present: the request is a form POST with this body
    BufferSize = 'Z',      // the most bytes one body frame carries, in decimal
    Timeouts = 'O',        // the connect and idle time-outs in milliseconds: two decimals and a blank
    End = 'E',
    // program to game
    ReplyHeader = 'h',     // one header line of the reply, with its line break
    ReplyBody = 'd',
    Outcome = 'x',         // the result's number in decimal, a line break, its text
};

// How long a transfer may take to connect (name look-up included), and how
// long it may then go without moving a byte either way, before it ends as
// TimedOut. There is no bound on the whole: a long download goes on while
// bytes flow.
inline constexpr long kConnectTimeoutMs = 15'000;
inline constexpr long kIdleTimeoutMs = 30'000;
// The longest time-out a request may ask for: a day.
inline constexpr long kMaxTimeoutMs = 86'400'000;

// The largest payload either side accepts: a header line, a body piece or a
// form body is far smaller; anything longer is a broken stream.
inline constexpr std::uint32_t kMaxPayload = 1u << 20;

struct Request {
    std::string url;
    std::string requestTarget;
    std::string agent;
    std::string userName;
    std::string password;
    std::string referer;
    std::vector<std::string> headers;
    std::vector<std::string> routes;
    std::optional<std::string> postBody;
    long bufferSize = 0;   // 0: the library's own
    long connectTimeoutMs = kConnectTimeoutMs;
    long idleTimeoutMs = kIdleTimeoutMs;
};

// How a transfer ended. The numbers cross the socket: keep them.
enum class Result : int {
    Done = 0,
    HostNotFound = 1,
    ConnectionRefused = 2,
    Stopped = 3,           // the game asked it to stop
    Refused = 4,           // the game's handler of the reply turned it down
    Failed = 5,            // anything else; the text says what
    TimedOut = 6,          // no connection within the connect time-out, or no byte within the idle one
};

struct Outcome {
    Result result = Result::Failed;
    std::string text;
};

struct Frame {
    Tag tag;
    std::string payload;
};

// Appends one frame to `out`.
void appendFrame(std::string& out, Tag tag, std::string_view payload);

// The whole request as the game sends it, Version first and End last.
std::string encodeRequest(const Request& request);

std::string encodeOutcome(const Outcome& outcome);
// Nothing when the payload is not a known result followed by its text.
std::optional<Outcome> decodeOutcome(std::string_view payload);

// Cuts frames out of a stream of bytes that arrives in pieces of any size.
class FrameReader {
public:
    void append(std::string_view bytes);
    // The next whole frame, or nothing until more bytes arrive. Once the
    // stream is broken (a payload over kMaxPayload) it gives nothing more.
    std::optional<Frame> next();
    bool broken() const { return broken_; }
    // Bytes received but not yet handed out as a frame.
    std::size_t pending() const { return buffer_.size() - start_; }

private:
    std::string buffer_;
    std::size_t start_ = 0;
    bool broken_ = false;
};

// Builds a request from its frames, in any order after Version.
class RequestReader {
public:
    // False with error() set when the frame does not belong in a request.
    bool add(const Frame& frame);
    bool complete() const { return complete_; }
    const Request& request() const { return request_; }
    const std::string& error() const { return error_; }

private:
    bool fail(std::string error);

    Request request_;
    bool versionSeen_ = false;
    bool complete_ = false;
    std::string error_;
};

} // namespace kestrova::fetch
