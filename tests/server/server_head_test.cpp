// The server's reading of a request head, its routes, and its connection
// caps, without sockets.
#include "server/connectionslots.h"
#include "server/httplimits.h"
#include "server/requesthead.h"
#include "server/requestroute.h"

#include <gtest/gtest.h>

namespace {

using namespace kestrova::server;
using State = RequestHeadParser::State;

RequestHeadParser fed(const std::string& bytes, std::size_t piece)
{
    RequestHeadParser parser;
    for (std::size_t at = 0; at < bytes.size() && parser.state() == State::NeedMore; at += piece)
        parser.feed(std::string_view(bytes).substr(at, piece));
    return parser;
}

TEST(RequestHead, ReadsTheSameHowEverTheBytesArrive)
{
    const std::string request = "GET /cgi-bin/kestrova.cgi?name=A&score=1 HTTP/1.1\r\nHost: scores.example\r\n"
                                "X-Forwarded-For: 198.51.100.1\r\nhost: second.example\r\n"
                                "x-forwarded-for: 203.0.113.9, 2001:db8::1\r\n\r\n";
    for (const std::size_t piece : {std::size_t(1), std::size_t(7), request.size()}) {
        const RequestHeadParser parser = fed(request, piece);
        ASSERT_EQ(parser.state(), State::Complete) << piece;
        EXPECT_EQ(parser.head().requestLine(), "GET /cgi-bin/kestrova.cgi?name=A&score=1 HTTP/1.1");
        EXPECT_EQ(parser.head().host, "scores.example");   // the first one counts
        EXPECT_EQ(parser.head().forwardedFor, "198.51.100.1,203.0.113.9, 2001:db8::1");
    }
    EXPECT_EQ(fed("GET / HTTP/1.0\r\n", 1).state(), State::NeedMore);
}

TEST(RequestHead, NamesEachFault)
{
    EXPECT_EQ(fed("garbage\r\n\r\n", 64).fault(), HeadFault::Malformed);
    EXPECT_EQ(fed("garbage\r\n\r\n", 64).firstLine(), "garbage");
    EXPECT_EQ(fed("GET /a\x01 HTTP/1.0\r\n\r\n", 64).fault(), HeadFault::Malformed);
    EXPECT_EQ(fed("GET / HTTP/1.0\r\nContent-Length: 2\r\n\r\nab", 64).fault(), HeadFault::BodyNotAllowed);
    EXPECT_EQ(fed("GET / HTTP/1.0\r\nContent-Length: 0\r\n\r\n", 64).state(), State::Complete);
    const std::string line = "GET /" + std::string(kMaxRequestLine - 16, 'x') + " HTTP/1.0\r\n";
    EXPECT_EQ(line.size(), kMaxRequestLine);
    EXPECT_EQ(fed(line + "\r\n", 512).state(), State::Complete);
    EXPECT_EQ(fed("GET /x" + line.substr(5) + "\r\n", 512).fault(), HeadFault::RequestLineTooLong);
    EXPECT_EQ(fed("GET /" + std::string(kMaxRequestHead + 10, 'x'), 4096).fault(), HeadFault::RequestLineTooLong);
    std::string flood = "GET / HTTP/1.0\r\n";
    while (flood.size() < kMaxRequestHead + 10)
        flood += "X-Flood: " + std::string(100, 'f') + "\r\n";
    const RequestHeadParser flooded = fed(flood, 4096);
    EXPECT_EQ(flooded.fault(), HeadFault::HeaderTooLarge);
    EXPECT_EQ(flooded.firstLine(), "GET / HTTP/1.0");
}

TEST(RequestRoute, MatchesPathsExactlyForGetAndHead)
{
    const auto routeOf = [](const std::string& method, const std::string& target) {
        RequestHead head;
        head.method = method;
        head.target = target;
        return routeRequest(head, "192.0.2.1", {}, "127.0.0.1:8080");
    };
    EXPECT_EQ(routeOf("GET", "/cgi-bin/kestrova.cgi?a=b?c").route, Route::Post);
    EXPECT_EQ(routeOf("GET", "/cgi-bin/kestrova.cgi?a=b?c").query, "a=b?c");
    EXPECT_EQ(routeOf("GET", "/counter/kestrova.shtml").route, Route::Page);
    EXPECT_TRUE(routeOf("HEAD", "/kestrova/kestrovaversion.txt").headOnly);
    EXPECT_EQ(routeOf("GET", "/kestrova/kessetup.exe").route, Route::Installer);
    EXPECT_EQ(routeOf("GET", "/kestrova/kessetup.exe.minisig").route, Route::Signature);
    EXPECT_EQ(routeOf("POST", "/cgi-bin/kestrova.cgi?a=1").route, Route::NotFound);
    EXPECT_EQ(routeOf("GET", "/counter/kestrova.shtml/").route, Route::NotFound);
    EXPECT_EQ(routeOf("GET", "/counter/kestrova%2Eshtml").route, Route::NotFound);
    EXPECT_EQ(routeOf("GET", "/counter/kestrova.shtml").pageHost, "127.0.0.1:8080");
}

TEST(RequestRoute, TrustsOnlyPlainHostNamesForLinks)
{
    for (const char* plain : {"localhost", "scores.example:8080", "192.0.2.1", "[::1]", "[2001:db8::1]:80", "a-b.c"})
        EXPECT_TRUE(isPlainHost(plain)) << plain;
    for (const char* hostile : {"", ":80", "x\"><script>", "host:", "host:123456", "host:8a", "[]", "[::1", "[::1]x",
                                "[::1]:", "a b", "host/path", "[g::1]"})
        EXPECT_FALSE(isPlainHost(hostile)) << hostile;
}

TEST(ConnectionSlots, CapsEachAddressAndTheTotal)
{
    ConnectionSlots slots(5, 2);
    std::vector<ConnectionSlots::Ticket> held;
    held.push_back(slots.take("192.0.2.1"));
    held.push_back(slots.take("192.0.2.1"));
    EXPECT_EQ(slots.take("192.0.2.1"), nullptr);
    held.push_back(slots.take("192.0.2.2"));
    held.push_back(slots.take(""));   // a trusted proxy: only the total counts it
    held.push_back(slots.take(""));
    for (const auto& ticket : held)
        EXPECT_NE(ticket, nullptr);
    EXPECT_EQ(slots.take("192.0.2.3"), nullptr);   // the total is full
    EXPECT_EQ(slots.open(), 5u);
    held.erase(held.begin());
    EXPECT_EQ(slots.open(), 4u);
    EXPECT_NE(slots.take("192.0.2.1"), nullptr);   // given back, and dropped again at once
    EXPECT_EQ(slots.open(), 4u);
}

} // namespace
