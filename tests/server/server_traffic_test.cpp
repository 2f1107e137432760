// What keeps a public list usable, without a socket: the limit on posts, who
// the client is behind a proxy, and the access log's lines and its writer.
#include "server/accesslog.h"
#include "server/clientaddress.h"
#include "server/postlimiter.h"
#include "support/tempfolder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>

#include <fcntl.h>
#include <unistd.h>

namespace {

using namespace kestrova::server;
using namespace std::chrono_literals;

const PostLimiter::Clock::time_point t0{};

TEST(PostLimiter, AllowsABurstThenOnePostPerIntervalForEachClient)
{
    PostLimiter limiter({30, 3});   // one post every 2 seconds
    for (int i = 0; i < 3; ++i)
        EXPECT_TRUE(limiter.admit("a", t0).admitted) << i;
    const Admission refused = limiter.admit("a", t0);
    EXPECT_FALSE(refused.admitted);
    EXPECT_EQ(refused.retryAfterSeconds, 2);
    EXPECT_TRUE(limiter.admit("b", t0).admitted);   // another client has its own

    EXPECT_EQ(limiter.admit("a", t0 + 1500ms).retryAfterSeconds, 1);   // refusals cost nothing
    EXPECT_TRUE(limiter.admit("a", t0 + 2s).admitted);
    EXPECT_FALSE(limiter.admit("a", t0 + 2s).admitted);
    // A long quiet spell refills the burst, never more.
    for (int i = 0; i < 3; ++i)
        EXPECT_TRUE(limiter.admit("a", t0 + 1h).admitted) << i;
    EXPECT_FALSE(limiter.admit("a", t0 + 1h).admitted);
    // A clock that goes back refills nothing.
    EXPECT_FALSE(limiter.admit("a", t0).admitted);

    PostLimiter unlimited({0, 1});
    for (int i = 0; i < 1000; ++i)
        ASSERT_TRUE(unlimited.admit("a", t0).admitted);
    EXPECT_EQ(unlimited.clientsKept(), 0u);
}

TEST(PostLimiter, KeepsBoundedMemoryAndForgetsRefilledClientsFirst)
{
    PostLimiter limiter({60, 2}, 4);
    EXPECT_TRUE(limiter.admit("busy", t0).admitted);
    EXPECT_TRUE(limiter.admit("busy", t0).admitted);
    for (const char* client : {"b", "c", "d"})
        limiter.admit(client, t0);
    // A second later b, c and d are full again and can go; busy still has one
    // post in hand, not a fresh burst.
    limiter.admit("e", t0 + 1s);
    EXPECT_EQ(limiter.clientsKept(), 2u);
    EXPECT_TRUE(limiter.admit("busy", t0 + 1s).admitted);
    EXPECT_FALSE(limiter.admit("busy", t0 + 1s).admitted);

    for (int i = 0; i < 10'000; ++i)
        limiter.admit("flood" + std::to_string(i), t0 + 2s);
    EXPECT_LE(limiter.clientsKept(), 4u);
}

TEST(ClientAddress, BelievesForwardedAddressesOnlyFromTrustedProxies)
{
    const std::vector<std::string> proxies{"10.0.0.1", "10.0.0.2", "::1"};
    EXPECT_EQ(clientAddress("192.0.2.7", "203.0.113.5", proxies), "192.0.2.7");
    EXPECT_EQ(clientAddress("10.0.0.1", "203.0.113.5", proxies), "203.0.113.5");
    EXPECT_EQ(clientAddress("10.0.0.1", "", proxies), "10.0.0.1");
    // Each proxy appends what it saw: only the part written by trusted ones counts.
    EXPECT_EQ(clientAddress("10.0.0.1", "6.6.6.6, 203.0.113.5, 10.0.0.2", proxies), "203.0.113.5");
    EXPECT_EQ(clientAddress("10.0.0.1", "6.6.6.6,203.0.113.5,10.0.0.2", proxies), "203.0.113.5");
    EXPECT_EQ(clientAddress("::ffff:10.0.0.1", " 2001:DB8::0:1 ", proxies), "2001:db8::1");
    EXPECT_EQ(clientAddress("::1", "10.0.0.2", proxies), "10.0.0.2");
    // What is not an address stops the walk at the last hop that was one.
    EXPECT_EQ(clientAddress("10.0.0.1", "evil\r\nline", proxies), "10.0.0.1");
    EXPECT_EQ(clientAddress("10.0.0.1", "203.0.113.5, unknown", proxies), "10.0.0.1");
    EXPECT_EQ(clientAddress("10.0.0.1", "203.0.113.5:4711", proxies), "10.0.0.1");
    EXPECT_EQ(clientAddress("192.0.2.7", "x", {}), "192.0.2.7");

    for (const char* bad : {"", "1.2.3", "1.2.3.4.5", "localhost", "::1%lo", "[::1]", "256.1.1.1", " 1.2.3.4"})
        EXPECT_FALSE(canonicalAddress(bad)) << bad;
    EXPECT_EQ(limitKey("192.0.2.7"), "192.0.2.7");
    EXPECT_EQ(limitKey("2001:db8:1:2:3:4:5:6"), "2001:db8:1:2::/64");
    EXPECT_EQ(limitKey("2001:db8:1:2::9"), limitKey("2001:db8:1:2:ffff::"));
    EXPECT_NE(limitKey("2001:db8:1:2::9"), limitKey("2001:db8:1:3::9"));
}

TEST(AccessLog, LinesFollowTheCommonLogFormatAndEscapeWhatClientsSend)
{
    AccessRecord record{"192.0.2.7", "GET /counter/kestrova.shtml HTTP/1.0", 200, 5120,
                        std::chrono::system_clock::from_time_t(1'796'515'200)};   // 2026-12-06 00:00:00 UTC
    EXPECT_EQ(commonLogLine(record),
              "192.0.2.7 - - [06/Dec/2026:00:00:00 +0000] \"GET /counter/kestrova.shtml HTTP/1.0\" 200 5120");
    record = {"", "", 400, 0, std::chrono::system_clock::from_time_t(1'782'863'999)};   // 2026-06-30 23:59:59
    EXPECT_EQ(commonLogLine(record), "- - - [30/Jun/2026:23:59:59 +0000] \"-\" 400 -");

    EXPECT_EQ(escapeForLog("a\"b\\c d"), "a\\\"b\\\\c d");
    EXPECT_EQ(escapeForLog(std::string("\r\n\t\x1b\x7f\0\xff", 7)), "\\x0d\\x0a\\x09\\x1b\\x7f\\x00\\xff");
    const std::string forged = commonLogLine({"1.2.3.4", "GET /\" 200 1\n5.6.7.8 - - x", 404, 9, {}});
    EXPECT_EQ(forged.find('\n'), std::string::npos);
    EXPECT_NE(forged.find("\"GET /\\\" 200 1\\x0a5.6.7.8 - - x\" 404 9"), std::string::npos) << forged;
}

TEST(AccessLog, AppendsEveryLineToItsFile)
{
    kestrova::testing::TempFolder folder;
    const std::string path = (folder / "access.log").string();
    kestrova::testing::writeBytes(path, "earlier\n");
    {
        AccessLog log(path);
        for (int i = 0; i < 1000; ++i)
            log.record({"192.0.2.7", "GET /" + std::to_string(i) + " HTTP/1.0", 200, 1, {}});
        EXPECT_EQ(log.finish(), 0u);
        log.record({"192.0.2.7", "GET /late HTTP/1.0", 200, 1, {}});
        EXPECT_EQ(log.dropped(), 1u);
    }
    const std::string text = kestrova::testing::readBytes(path);
    EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 1001);
    EXPECT_EQ(text.rfind("earlier\n", 0), 0u);
    EXPECT_NE(text.find("\"GET /999 HTTP/1.0\" 200 1\n"), std::string::npos);
}

// A pipe that nobody drains, or one whose reader has gone, must neither hold
// up the requests nor the end of the program: lines are dropped and counted.
TEST(AccessLog, NeverWaitsForAReaderThatTakesNothing)
{
    std::signal(SIGPIPE, SIG_IGN);
    int stuck[2];
    ASSERT_EQ(::pipe(stuck), 0);
    constexpr int kLines = 50'000;   // some 4 MB: far more than the pipe and the queue hold
    std::uint64_t dropped = 0;
    {
        AccessLog log("/proc/self/fd/" + std::to_string(stuck[1]));
        for (int i = 0; i < kLines; ++i)
            log.record({"192.0.2.7", "GET /" + std::string(60, 'x') + " HTTP/1.0", 200, 1, {}});
        dropped = log.finish();
    }
    ::close(stuck[1]);
    const std::string written = kestrova::testing::readBytes("/proc/self/fd/" + std::to_string(stuck[0]));
    ::close(stuck[0]);
    EXPECT_GT(dropped, 0u);
    EXPECT_EQ(static_cast<std::uint64_t>(std::count(written.begin(), written.end(), '\n')) + dropped,
              static_cast<std::uint64_t>(kLines));

    int gone[2];
    ASSERT_EQ(::pipe(gone), 0);
    ::close(gone[0]);
    AccessLog log("/proc/self/fd/" + std::to_string(gone[1]));
    ::close(gone[1]);
    log.record({"192.0.2.7", "GET / HTTP/1.0", 200, 1, {}});
    log.record({"192.0.2.7", "GET / HTTP/1.0", 200, 1, {}});
    EXPECT_EQ(log.finish(), 2u);
}

} // namespace
