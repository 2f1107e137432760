// The list page is read from the store only after the list changed: a server
// in this process over a store that counts its reads.
#include "server/scoreserver.h"
#include "support/loopbackhttp.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <mutex>
#include <thread>

namespace {

using namespace kestrova::server;
using kestrova::testing::httpGet;

class CountingStore : public ScoreStore {
public:
    void add(const ScoreEntry& entry) override
    {
        std::lock_guard lock(mutex_);
        entries_.push_back(entry);
        ++mark_;
    }
    std::vector<ScoreEntry> best(int limit) override
    {
        ++reads;
        if (failing)
            throw StoreError("the disk is gone");
        std::lock_guard lock(mutex_);
        std::vector<ScoreEntry> sorted = entries_;
        std::stable_sort(sorted.begin(), sorted.end(), [](const auto& a, const auto& b) { return a.score > b.score; });
        sorted.resize(std::min<std::size_t>(sorted.size(), static_cast<std::size_t>(limit)));
        return sorted;
    }
    std::int64_t count() override
    {
        std::lock_guard lock(mutex_);
        return static_cast<std::int64_t>(entries_.size());
    }
    std::uint64_t changeMark() override { return mark_; }

    // A change made elsewhere: another server on the same database.
    void changeElsewhere(const ScoreEntry& entry) { add(entry); }

    std::atomic<int> reads{0};
    std::atomic<bool> failing{false};

private:
    std::mutex mutex_;
    std::vector<ScoreEntry> entries_;
    std::atomic<std::uint64_t> mark_{1};
};

class PageCache : public ::testing::Test {
protected:
    PageCache() : server_(store_, {}, TrafficRules{{0, 1}, {}}), port_(server_.bind("127.0.0.1", 0))
    {
        running_ = std::thread([this] { server_.run(); });
    }
    ~PageCache() override
    {
        server_.stop();
        running_.join();
    }

    std::string page(const std::string& host = "localhost")
    {
        const kestrova::testing::Reply reply = httpGet(port_, "/counter/kestrova.shtml", "Host: " + host + "\r\n");
        EXPECT_EQ(reply.status, 200) << reply.body;
        return reply.body;
    }

    CountingStore store_;
    ScoreServer server_;
    int port_;
    std::thread running_;
};

TEST_F(PageCache, ReadsTheListOnlyAfterItChanged)
{
    const std::string empty = page();
    for (int i = 0; i < 5; ++i)
        EXPECT_EQ(page(), empty);
    EXPECT_EQ(store_.reads, 1);

    EXPECT_EQ(httpGet(port_, "/cgi-bin/kestrova.cgi?name=Ann&score=5").status, 200);
    EXPECT_NE(page().find(">Ann<"), std::string::npos);
    EXPECT_NE(page().find(">Ann<"), std::string::npos);
    EXPECT_EQ(store_.reads, 2);

    store_.changeElsewhere({"Bo", "", 9});
    EXPECT_NE(page().find(">Bo<"), std::string::npos);
    EXPECT_EQ(store_.reads, 3);

    // Whoever posts sees their own score on the very next page, however
    // many requests rebuild the page meanwhile.
    std::vector<std::thread> players;
    std::atomic<int> missing{0};
    for (int p = 0; p < 6; ++p)
        players.emplace_back([this, p, &missing] {
            for (int i = 0; i < 5; ++i) {
                const std::string name = "p" + std::to_string(p) + "x" + std::to_string(i);
                httpGet(port_, "/cgi-bin/kestrova.cgi?name=" + name + "&score=" + std::to_string(100 + p * 5 + i));
                missing += page().find(">" + name + "<") == std::string::npos;
            }
        });
    for (std::thread& player : players)
        player.join();
    EXPECT_EQ(missing, 0);
}

TEST_F(PageCache, EachHostGetsItsOwnLinksFromOneRead)
{
    store_.add({"Ann", "", 5});
    for (int round = 0; round < 2; ++round) {
        for (int h = 0; h < 20; ++h) {
            const std::string host = "host" + std::to_string(h) + ".example";
            const std::string body = page(host);
            EXPECT_NE(body.find("href=\"http://" + host + "/counter/kestrova.shtml\""), std::string::npos) << host;
            EXPECT_EQ(body.find("host" + std::to_string((h + 1) % 20) + ".example"), std::string::npos) << host;
            EXPECT_NE(body.find(">Ann<"), std::string::npos);
        }
    }
    EXPECT_EQ(store_.reads, 1);
}

TEST_F(PageCache, AFailedReadIsAnsweredAndNotKept)
{
    store_.failing = true;
    const kestrova::testing::Reply failed = httpGet(port_, "/counter/kestrova.shtml");
    EXPECT_EQ(failed.status, 500);
    EXPECT_EQ(failed.body, "Server error: the list cannot be read\n");
    store_.failing = false;
    EXPECT_NE(page().find("No scores yet"), std::string::npos);
    EXPECT_EQ(store_.reads, 2);
}

} // namespace
