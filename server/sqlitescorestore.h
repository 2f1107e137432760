// SqliteScoreStore: the score list in an SQLite database file, written ahead
// through its log so that readers never wait for a writer.
#pragma once

#include "server/scorestore.h"

#include <mutex>
#include <string>

struct sqlite3;
struct sqlite3_stmt;

namespace kestrova::server {

class SqliteScoreStore : public ScoreStore {
public:
    // Opens or creates the database; throws StoreError when the file cannot be
    // opened, is not a database, or cannot be switched to write-ahead logging.
    explicit SqliteScoreStore(const std::string& path);
    ~SqliteScoreStore() override;
    SqliteScoreStore(const SqliteScoreStore&) = delete;
    SqliteScoreStore& operator=(const SqliteScoreStore&) = delete;

    void add(const ScoreEntry& entry) override;
    std::vector<ScoreEntry> best(int limit) override;
    std::int64_t count() override;
    std::uint64_t changeMark() override;

    // The journal mode the database runs in ("wal" once opened).
    std::string journalMode();

private:
    void execute(const char* sql);
    sqlite3_stmt* prepare(const char* sql);
    [[noreturn]] void fail(const std::string& doing);

    // One connection serves every request thread, one statement at a time.
    std::mutex mutex_;
    sqlite3* db_ = nullptr;
    sqlite3_stmt* insert_ = nullptr;
    sqlite3_stmt* best_ = nullptr;
    sqlite3_stmt* count_ = nullptr;
    sqlite3_stmt* dataVersion_ = nullptr;
    // Grows with every add() here and with every change that another
    // connection (a second server on the same file, the sqlite3 shell)
    // committed, which SQLite shows as a new data_version.
    std::uint64_t generation_ = 0;
    std::int64_t lastDataVersion_ = -1;
};

} // namespace kestrova::server
