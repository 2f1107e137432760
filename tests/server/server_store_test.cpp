// The score stores: one contract that both backends keep (order, every byte,
// many threads, the change mark across stores), then what each backend does
// with what it cannot use.
#include "server/postgresscorestore.h"
#include "server/scorestore.h"
#include "server/sqlitescorestore.h"
#include "support/scratchdatabase.h"
#include "support/tempfolder.h"

#include <gtest/gtest.h>

#include <latch>
#include <thread>
#include <vector>

namespace {

using namespace kestrova::server;
using kestrova::testing::Backend;
using kestrova::testing::ScratchDatabase;

class StoreContract : public ::testing::TestWithParam<Backend> {
protected:
    ScratchDatabase db_{GetParam(), KESTROVA_PGCLUSTER_STATE};
};

TEST_P(StoreContract, ListsHighestFirstAndEqualScoresInPostingOrder)
{
    const std::unique_ptr<ScoreStore> store = openScoreStore(db_.location());
    EXPECT_TRUE(store->best(100).empty());
    store->add({"low", "1/1/26", -5});
    store->add({"first", "1/2/26", 40});
    store->add({"top", "1/3/26", 1000000});
    store->add({"second", "1/4/26", 40});
    store->add({"zero", "1/5/26", 0});

    const std::vector<ScoreEntry> expected{{"top", "1/3/26", 1000000},
                                           {"first", "1/2/26", 40},
                                           {"second", "1/4/26", 40},
                                           {"zero", "1/5/26", 0},
                                           {"low", "1/1/26", -5}};
    EXPECT_EQ(store->best(100), expected);
    EXPECT_EQ(store->best(2), std::vector<ScoreEntry>(expected.begin(), expected.begin() + 2));
    EXPECT_TRUE(store->best(0).empty());
    EXPECT_EQ(store->count(), 5);
}

TEST_P(StoreContract, KeepsEveryByteOfNameAndDateAcrossARestart)
{
    const ScoreEntry odd{std::string("Zo\xC3\xAB\0<&>'\\", 10), "12.6.26", 7};
    {
        const std::unique_ptr<ScoreStore> store = openScoreStore(db_.location());
        store->add(odd);
        store->add({"", "", -1000000});
    }
    EXPECT_EQ(openScoreStore(db_.location())->best(10), (std::vector<ScoreEntry>{odd, {"", "", -1000000}}));
}

TEST_P(StoreContract, TakesPostsFromManyThreadsWithoutLosingOne)
{
    const std::unique_ptr<ScoreStore> store = openScoreStore(db_.location());
    std::vector<std::thread> threads;
    for (int t = 0; t < 12; ++t) {
        threads.emplace_back([&store, t] {
            for (int i = 0; i < 25; ++i) {
                store->add({"t" + std::to_string(t), "1/1/26", t * 100 + i});
                store->best(100);
                store->changeMark();
            }
        });
    }
    for (std::thread& thread : threads)
        thread.join();
    EXPECT_EQ(store->count(), 300);
    EXPECT_EQ(store->best(1).front().score, 1124);
}

// What a page cache relies on: the mark stays put while nothing changes and
// moves past every post, whichever store on the database made it, and past
// rows deleted by hand.
TEST_P(StoreContract, ChangeMarkMovesWithEveryChangeFromAnyStoreOnTheDatabase)
{
    const std::unique_ptr<ScoreStore> here = openScoreStore(db_.location());
    const std::unique_ptr<ScoreStore> there = openScoreStore(db_.location());
    const std::uint64_t quiet = here->changeMark();
    EXPECT_EQ(here->changeMark(), quiet);
    here->best(100);
    EXPECT_EQ(here->changeMark(), quiet);

    here->add({"here", "1/1/26", 1});
    const std::uint64_t afterOwnPost = here->changeMark();
    EXPECT_GT(afterOwnPost, quiet);

    const std::uint64_t seenThere = there->changeMark();
    there->add({"there", "1/1/26", 2});
    EXPECT_GT(there->changeMark(), seenThere);
    const std::uint64_t afterOtherPost = here->changeMark();
    EXPECT_GT(afterOtherPost, afterOwnPost);
    EXPECT_EQ(here->best(100).size(), 2u);

    db_.execute("DELETE FROM scores WHERE score = 2");
    EXPECT_GT(here->changeMark(), afterOtherPost);
    EXPECT_EQ(here->best(100), (std::vector<ScoreEntry>{{"here", "1/1/26", 1}}));
}

INSTANTIATE_TEST_SUITE_P(Backends, StoreContract, ::testing::Values(Backend::Sqlite, Backend::Postgresql),
                         [](const auto& info) { return kestrova::testing::backendName(info.param); });

TEST(SqliteScoreStore, RunsInWriteAheadLogMode)
{
    kestrova::testing::TempFolder folder;
    EXPECT_EQ(SqliteScoreStore((folder / "scores.db").string()).journalMode(), "wal");
    EXPECT_EQ(SqliteScoreStore((folder / "scores.db").string()).journalMode(), "wal");
}

TEST(SqliteScoreStore, RefusesFilesItCannotUse)
{
    kestrova::testing::TempFolder folder;
    kestrova::testing::writeBytes(folder / "notes.txt", std::string(4096, 'x'));
    EXPECT_THROW(SqliteScoreStore((folder / "notes.txt").string()), StoreError);
    EXPECT_THROW(SqliteScoreStore((folder / "missing" / "scores.db").string()), StoreError);
    EXPECT_THROW(SqliteScoreStore(folder.path().string()), StoreError);
    // The failed attempts left the foreign file as it was.
    EXPECT_EQ(kestrova::testing::readBytes(folder / "notes.txt"), std::string(4096, 'x'));
}

std::string storeErrorOf(const std::string& url)
{
    try {
        PostgresScoreStore store(url);
    } catch (const StoreError& error) {
        return error.what();
    }
    return "(opened)";
}

TEST(PostgresScoreStore, RefusesWhatItCannotUseWithoutShowingThePassword)
{
    const std::string socketFolder = kestrova::testing::clusterSocketFolder(KESTROVA_PGCLUSTER_STATE);
    const std::string noServer = storeErrorOf("postgresql://kestrova:hunter2@/kestrova?host=/nonexistent");
    EXPECT_NE(noServer.find("postgresql://kestrova:***@/kestrova?host=/nonexistent: cannot connect: "),
              std::string::npos)
        << noServer;
    const std::string noDatabase =
        storeErrorOf("postgresql://kestrova@/nothing_here?host=" + socketFolder + "&password=hunter2");
    EXPECT_NE(noDatabase.find("does not exist"), std::string::npos) << noDatabase;
    for (const std::string& message : {noServer, noDatabase}) {
        EXPECT_EQ(message.find("hunter2"), std::string::npos) << message;
        EXPECT_EQ(message.find('\n'), std::string::npos) << message;
    }

    // A table of the same name but another shape is refused at once, not at
    // the first post, and left as it was.
    ScratchDatabase db(Backend::Postgresql, KESTROVA_PGCLUSTER_STATE);
    db.execute("CREATE TABLE scores (name text, points integer); INSERT INTO scores VALUES ('old', 1)");
    const std::string foreign = storeErrorOf(db.location());
    EXPECT_NE(foreign.find(": making the table: "), std::string::npos) << foreign;
    db.execute("DO $$ BEGIN IF (SELECT count(*) FROM scores WHERE name = 'old') <> 1 THEN "
               "RAISE 'the foreign table changed'; END IF; END $$");

    EXPECT_EQ(PostgresScoreStore::redactedUrl("postgres://u:p:q@h:5432/d?password=x&sslmode=require&password=y"),
              "postgres://u:***@h:5432/d?password=***&sslmode=require&password=***");
    EXPECT_EQ(PostgresScoreStore::redactedUrl("postgresql://u@h/d?host=/a:b@c"), "postgresql://u@h/d?host=/a:b@c");
}

// Servers started together on an empty database must not trip over each
// other making the table.
TEST(PostgresScoreStore, ManyStoresMakeTheTableAtOnce)
{
    ScratchDatabase db(Backend::Postgresql, KESTROVA_PGCLUSTER_STATE);
    constexpr int kStores = 6;
    std::latch start(kStores);
    std::vector<std::string> failures(kStores);
    std::vector<std::thread> threads;
    for (int i = 0; i < kStores; ++i)
        threads.emplace_back([&, i] {
            start.arrive_and_wait();
            try {
                PostgresScoreStore(db.location()).add({"s" + std::to_string(i), "", i});
            } catch (const StoreError& error) {
                failures[static_cast<std::size_t>(i)] = error.what();
            }
        });
    for (std::thread& thread : threads)
        thread.join();
    EXPECT_EQ(failures, std::vector<std::string>(kStores));
    EXPECT_EQ(PostgresScoreStore(db.location()).count(), kStores);
}

// A restart of the database or an administrator ending sessions leaves the
// store's idle connections dead; the next requests work all the same, and a
// post is stored exactly once.
TEST(PostgresScoreStore, CarriesOnAfterTheServerEndedItsConnections)
{
    ScratchDatabase db(Backend::Postgresql, KESTROVA_PGCLUSTER_STATE);
    PostgresScoreStore store(db.location(), 3);
    std::vector<std::thread> warmUp;
    for (int i = 0; i < 3; ++i)
        warmUp.emplace_back([&store] { store.best(10); });
    for (std::thread& thread : warmUp)
        thread.join();
    store.add({"before", "", 1});

    db.execute("SELECT pg_terminate_backend(pid, 10000) FROM pg_stat_activity "
               "WHERE datname = current_database() AND pid <> pg_backend_pid()");
    store.add({"after", "", 2});
    EXPECT_EQ(store.best(10), (std::vector<ScoreEntry>{{"after", "", 2}, {"before", "", 1}}));
    EXPECT_EQ(store.count(), 2);
    EXPECT_GT(store.changeMark(), 0u);
}

// The database refusing connections for a while (stopped, restarting): every
// call fails with a StoreError and nothing worse, and the store works again
// as soon as the database does, without being made anew.
TEST(PostgresScoreStore, FailsCleanlyWhileTheDatabaseIsAwayAndRecoversAfter)
{
    ScratchDatabase db(Backend::Postgresql, KESTROVA_PGCLUSTER_STATE);
    PostgresScoreStore store(db.location(), 2);
    store.add({"before", "", 1});
    const std::string name = db.location().substr(db.location().find("@/") + 2,
                                                  db.location().find('?') - db.location().find("@/") - 2);
    const std::string admin = kestrova::testing::clusterUrl(
        kestrova::testing::clusterSocketFolder(KESTROVA_PGCLUSTER_STATE), "kestrova");
    kestrova::testing::runAsOwner(admin, "ALTER DATABASE " + name + " ALLOW_CONNECTIONS false");
    kestrova::testing::runAsOwner(admin, "SELECT pg_terminate_backend(pid, 10000) FROM pg_stat_activity "
                                         "WHERE datname = '" + name + "'");
    for (int i = 0; i < 3; ++i) {   // each stale or refused connection given up once, never twice
        EXPECT_THROW(store.add({"during", "", 2}), StoreError);
        EXPECT_THROW(store.best(10), StoreError);
        EXPECT_THROW(store.changeMark(), StoreError);
    }
    kestrova::testing::runAsOwner(admin, "ALTER DATABASE " + name + " ALLOW_CONNECTIONS true");
    store.add({"after", "", 3});
    EXPECT_EQ(store.best(10), (std::vector<ScoreEntry>{{"after", "", 3}, {"before", "", 1}}));
}

} // namespace
