// The SQLite store: order of the list, what survives a restart, bad files, and
// many request threads at once.
#include "server/scorestore.h"
#include "server/sqlitescorestore.h"
#include "unit/tempfolder.h"

#include <gtest/gtest.h>

#include <thread>
#include <vector>

namespace {

using namespace kestrova::server;
using kestrova::testing::TempFolder;

TEST(SqliteScoreStore, ListsHighestFirstAndEqualScoresInPostingOrder)
{
    TempFolder folder;
    SqliteScoreStore store((folder / "scores.db").string());
    EXPECT_EQ(store.journalMode(), "wal");
    EXPECT_TRUE(store.best(100).empty());
    store.add({"low", "1/1/26", -5});
    store.add({"first", "1/2/26", 40});
    store.add({"top", "1/3/26", 1000000});
    store.add({"second", "1/4/26", 40});
    store.add({"zero", "1/5/26", 0});

    const std::vector<ScoreEntry> expected{{"top", "1/3/26", 1000000},
                                           {"first", "1/2/26", 40},
                                           {"second", "1/4/26", 40},
                                           {"zero", "1/5/26", 0},
                                           {"low", "1/1/26", -5}};
    EXPECT_EQ(store.best(100), expected);
    EXPECT_EQ(store.best(2), std::vector<ScoreEntry>(expected.begin(), expected.begin() + 2));
    EXPECT_TRUE(store.best(0).empty());
    EXPECT_EQ(store.count(), 5);
}

TEST(SqliteScoreStore, KeepsEveryByteOfNameAndDateAcrossARestart)
{
    TempFolder folder;
    const std::string path = (folder / "scores.db").string();
    const ScoreEntry odd{std::string("Zo\xC3\xAB\0<&>", 8), "12.6.26", 7};
    {
        std::unique_ptr<ScoreStore> store = openScoreStore(path);
        store->add(odd);
        store->add({"", "", -1000000});
    }
    SqliteScoreStore reopened(path);
    EXPECT_EQ(reopened.journalMode(), "wal");
    EXPECT_EQ(reopened.best(10), (std::vector<ScoreEntry>{odd, {"", "", -1000000}}));
}

TEST(SqliteScoreStore, RefusesFilesItCannotUse)
{
    TempFolder folder;
    kestrova::testing::writeBytes(folder / "notes.txt", std::string(4096, 'x'));
    EXPECT_THROW(SqliteScoreStore((folder / "notes.txt").string()), StoreError);
    EXPECT_THROW(SqliteScoreStore((folder / "missing" / "scores.db").string()), StoreError);
    EXPECT_THROW(SqliteScoreStore(folder.path().string()), StoreError);
    // The failed attempts left the foreign file as it was.
    EXPECT_EQ(kestrova::testing::readBytes(folder / "notes.txt"), std::string(4096, 'x'));
}

TEST(SqliteScoreStore, TakesPostsFromManyThreadsWithoutLosingOne)
{
    TempFolder folder;
    SqliteScoreStore store((folder / "scores.db").string());
    std::vector<std::thread> threads;
    for (int t = 0; t < 8; ++t) {
        threads.emplace_back([&store, t] {
            for (int i = 0; i < 25; ++i) {
                store.add({"t" + std::to_string(t), "1/1/26", t * 100 + i});
                store.best(100);
            }
        });
    }
    for (std::thread& thread : threads)
        thread.join();
    EXPECT_EQ(store.count(), 200);
    EXPECT_EQ(store.best(1).front().score, 724);
}

} // namespace
