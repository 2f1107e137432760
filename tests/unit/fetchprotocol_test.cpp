// The frames between the game and its transfer program: a request survives
// the trip however the stream is cut, and a stream that breaks the rules is
// refused with a reason instead of being half understood.
#include "online/fetchprotocol.h"

#include <gtest/gtest.h>

namespace kestrova::fetch {
namespace {

Request fullRequest()
{
    Request request;
    request.url = "http://scores.test/";
    request.requestTarget = "/cgi-bin/list?game=kestrova&n=10";
    request.agent = "Kestrova HTTPGet";
    request.userName = "player";
    request.password = "";
    request.referer = "http://scores.test/kestrova/";
    request.headers = {"Accept: */*", "Pragma: no-cache"};
    request.routes = {"scores.test:80:127.0.0.1:8080", "other:80:[::1]:81"};
    request.postBody = std::string("name=A%20B&score=1\r\n\0tail", 26);
    request.bufferSize = 1025;
    request.connectTimeoutMs = 250;
    request.idleTimeoutMs = 86'400'000;
    return request;
}

// Feeds `bytes` to a reader `piece` bytes at a time and reads the request out.
RequestReader readInPieces(const std::string& bytes, std::size_t piece)
{
    FrameReader frames;
    RequestReader reader;
    for (std::size_t at = 0; at < bytes.size(); at += piece) {
        frames.append(std::string_view(bytes).substr(at, piece));
        while (std::optional<Frame> frame = frames.next())
            EXPECT_TRUE(reader.add(*frame)) << reader.error();
    }
    EXPECT_EQ(frames.pending(), 0u);
    return reader;
}

TEST(FetchProtocol, ARequestSurvivesTheTripInPiecesOfAnySize)
{
    const Request sent = fullRequest();
    const std::string bytes = encodeRequest(sent);
    for (std::size_t piece : {std::size_t{1}, std::size_t{3}, std::size_t{7}, bytes.size()}) {
        SCOPED_TRACE(piece);
        const RequestReader reader = readInPieces(bytes, piece);
        ASSERT_TRUE(reader.complete());
        const Request& got = reader.request();
        EXPECT_EQ(got.url, sent.url);
        EXPECT_EQ(got.requestTarget, sent.requestTarget);
        EXPECT_EQ(got.agent, sent.agent);
        EXPECT_EQ(got.userName, sent.userName);
        EXPECT_EQ(got.password, sent.password);
        EXPECT_EQ(got.referer, sent.referer);
        EXPECT_EQ(got.headers, sent.headers);
        EXPECT_EQ(got.routes, sent.routes);
        EXPECT_EQ(got.postBody, sent.postBody);
        EXPECT_EQ(got.bufferSize, sent.bufferSize);
        EXPECT_EQ(got.connectTimeoutMs, sent.connectTimeoutMs);
        EXPECT_EQ(got.idleTimeoutMs, sent.idleTimeoutMs);
    }

    // A plain GET stays one: no form body appears on the way.
    Request get;
    get.url = "http://scores.test/version.txt";
    const RequestReader reader = readInPieces(encodeRequest(get), 5);
    ASSERT_TRUE(reader.complete());
    EXPECT_FALSE(reader.request().postBody);
    EXPECT_EQ(reader.request().bufferSize, 0);
    EXPECT_EQ(reader.request().connectTimeoutMs, 15'000);
    EXPECT_EQ(reader.request().idleTimeoutMs, 30'000);
}

TEST(FetchProtocol, RequestsThatBreakTheRulesAreRefusedWithAReason)
{
    auto frame = [](Tag tag, std::string_view payload) { return Frame{tag, std::string(payload)}; };
    const Frame version = frame(Tag::Version, kProtocolVersion);
    struct Case {
        const char* what;
        std::vector<Frame> frames;
        const char* reason;
    };
    const std::vector<Case> cases = {
        {"no version first", {frame(Tag::Url, "http://a/")}, "another version"},
        {"another version", {frame(Tag::Version, "kestrova-fetch 1")}, "another version"},
        {"a header that smuggles another",
         {version, frame(Tag::Header, "Accept: */*\r\nX-Evil: 1")}, "line break"},
        {"an agent with a zero byte", {version, frame(Tag::Agent, std::string("a\0b", 3))}, "zero byte"},
        {"a URL with a line feed", {version, frame(Tag::Url, "http://a/\nb")}, "line break"},
        {"a buffer size that is no number", {version, frame(Tag::BufferSize, "12k")}, "buffer size"},
        {"a buffer size of nothing", {version, frame(Tag::BufferSize, "0")}, "buffer size"},
        {"a buffer size beyond a frame", {version, frame(Tag::BufferSize, "99999999")}, "buffer size"},
        {"one time-out", {version, frame(Tag::Timeouts, "15000")}, "time-outs"},
        {"a time-out of nothing", {version, frame(Tag::Timeouts, "0 30000")}, "time-outs"},
        {"a time-out past a day", {version, frame(Tag::Timeouts, "15000 86400001")}, "time-outs"},
        {"a negative time-out", {version, frame(Tag::Timeouts, "-1 30000")}, "time-outs"},
        {"an end without a URL", {version, frame(Tag::End, "")}, "without a URL"},
        {"a frame of the reply", {version, frame(Tag::ReplyBody, "x")}, "does not belong"},
        {"a frame after the end",
         {version, frame(Tag::Url, "http://a/"), frame(Tag::End, ""), frame(Tag::Header, "A: b")}, "after the end"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        RequestReader reader;
        bool accepted = true;
        for (const Frame& f : c.frames)
            accepted = accepted && reader.add(f);
        EXPECT_FALSE(accepted);
        EXPECT_NE(reader.error().find(c.reason), std::string::npos) << reader.error();
    }
}

TEST(FetchProtocol, AnOverlongFrameBreaksTheStreamForGood)
{
    FrameReader frames;
    std::string bytes;
    appendFrame(bytes, Tag::ReplyHeader, "HTTP/1.0 200 OK\r\n");
    bytes += std::string("d\x00\x10\x00\x01", 5);   // one byte over the limit
    frames.append(bytes);
    ASSERT_TRUE(frames.next());
    EXPECT_FALSE(frames.next());
    EXPECT_TRUE(frames.broken());

    // Whatever follows stays unread, however well formed.
    std::string more;
    appendFrame(more, Tag::ReplyBody, "fine");
    frames.append(more);
    EXPECT_FALSE(frames.next());

    // The limit itself is allowed, and a frame waits for its whole payload.
    FrameReader exact;
    std::string big;
    appendFrame(big, Tag::ReplyBody, std::string(kMaxPayload, 'a'));
    exact.append(std::string_view(big).substr(0, big.size() - 1));
    EXPECT_FALSE(exact.next());
    exact.append(std::string_view(big).substr(big.size() - 1));
    const std::optional<Frame> whole = exact.next();
    ASSERT_TRUE(whole);
    EXPECT_EQ(whole->payload.size(), kMaxPayload);
    EXPECT_FALSE(exact.broken());
}

TEST(FetchProtocol, OutcomesCarryTheirTextAndJunkIsRefused)
{
    const Outcome sent{Result::HostNotFound, "Couldn't resolve host name\nsecond line"};
    const std::optional<Outcome> got = decodeOutcome(encodeOutcome(sent));
    ASSERT_TRUE(got);
    EXPECT_EQ(got->result, sent.result);
    EXPECT_EQ(got->text, sent.text);
    EXPECT_EQ(decodeOutcome(encodeOutcome({Result::TimedOut, "idle"}))->result, Result::TimedOut);

    for (const char* junk : {"", "0", "abc\ntext", "-1\n", "7\nno such result", "+1\n", " 1\n", "99999999999999999999\n"}) {
        SCOPED_TRACE(junk);
        EXPECT_FALSE(decodeOutcome(junk));
    }
}

} // namespace
} // namespace kestrova::fetch
