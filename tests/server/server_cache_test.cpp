// The list page is read from the store only after the list changed: a server
// in this process over a store that counts its reads.
#include "server/scoreserver.h"
#include "support/loopbackhttp.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <mutex>
#include <thread>

namespace {

using namespace kestrova::server;
using kestrova::testing::httpGet;

class CountingStore : public ScoreStore {
public:
    void add(const ScoreEntry& entry) override
    {
        std::unique_lock lock(mutex_);
        if (stuck) {
            ++waiting_;
            changed_.notify_all();
            changed_.wait(lock, [this] { return !stuck; });
        }
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
    std::uint64_t changeMark() override
    {
        std::unique_lock lock(mutex_);
        if (slowMarks) {
            ++waiting_;
            changed_.notify_all();
            changed_.wait(lock, [this] { return !slowMarks; });
        }
        return mark_;
    }

    // A change made elsewhere: another server on the same database.
    void changeElsewhere(const ScoreEntry& entry) { add(entry); }

    // Holds every add() until release(): a database that stopped answering.
    void waitForStuck(int adds)
    {
        std::unique_lock lock(mutex_);
        changed_.wait(lock, [&] { return waiting_ >= adds; });
    }
    void release()
    {
        std::lock_guard lock(mutex_);
        stuck = false;
        slowMarks = false;
        changed_.notify_all();
    }

    std::atomic<int> reads{0};
    std::atomic<bool> failing{false};
    std::atomic<bool> stuck{false};
    std::atomic<bool> slowMarks{false};   // every changeMark() waits for release()

private:
    std::mutex mutex_;
    std::condition_variable changed_;
    int waiting_ = 0;
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

// A store that cannot be read answers 503 until a list was read once; from
// then on the list last read stands in, and a read that works again is kept.
TEST_F(PageCache, AFailedReadIsAnsweredAndTheLastListStandsIn)
{
    store_.failing = true;
    const kestrova::testing::Reply failed = httpGet(port_, "/counter/kestrova.shtml");
    EXPECT_EQ(failed.status, 503);
    EXPECT_EQ(failed.body, "Service unavailable: the list cannot be read; try again in 10 seconds\n");
    EXPECT_NE(failed.head.find("\r\nRetry-After: 10"), std::string::npos) << failed.head;
    store_.failing = false;
    EXPECT_NE(page().find("No scores yet"), std::string::npos);
    EXPECT_EQ(store_.reads, 2);

    store_.failing = true;
    store_.changeElsewhere({"Bo", "", 9});
    EXPECT_NE(page().find("No scores yet"), std::string::npos);
    store_.failing = false;
    EXPECT_NE(page().find(">Bo<"), std::string::npos);
}

// A database that takes long to answer holds up the one request that asked
// it, not the others: after a second they get the list last read.
TEST_F(PageCache, ASlowStoreHoldsUpOneRequestAndTheOthersGetTheKeptPage)
{
    store_.add({"Ann", "", 5});
    const std::string kept = page();
    store_.slowMarks = true;
    std::thread asking([this] { page(); });
    store_.waitForStuck(1);
    // Slow is a matter of time: until then, another look would begin beside it.
    std::this_thread::sleep_for(2 * ScorePageCache::kSlowLook);
    store_.changeElsewhere({"Bo", "", 9});
    EXPECT_EQ(page(), kept);
    EXPECT_EQ(page(), kept);
    store_.release();
    asking.join();
    EXPECT_NE(page().find(">Bo<"), std::string::npos);
}

// Posts wait on the store off the threads that move bytes, and apart from the
// page: while every post hangs in a stuck database, the list is still served.
TEST_F(PageCache, PostsStuckInTheStoreDoNotHoldUpThePage)
{
    const std::string empty = page();
    store_.stuck = true;
    std::vector<std::thread> posters;
    for (int i = 0; i < 12; ++i)
        posters.emplace_back([this, i] { httpGet(port_, "/cgi-bin/kestrova.cgi?name=p&score=" + std::to_string(i)); });
    store_.waitForStuck(8);
    for (int i = 0; i < 5; ++i)
        EXPECT_EQ(page(), empty);
    EXPECT_EQ(httpGet(port_, "/kestrova/kestrovaversion.txt").body, "1.0.2");
    store_.release();
    for (std::thread& poster : posters)
        poster.join();
    EXPECT_EQ(store_.count(), 12);
}

} // namespace
