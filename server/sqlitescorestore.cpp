// The score list in SQLite: one table, one index that keeps it in rank order.
#include "server/sqlitescorestore.h"

#include <sqlite3.h>

#include <algorithm>
#include <limits>

namespace kestrova::server {

namespace {

// Clears a statement's bindings and result whichever way the caller leaves.
class StatementUse {
public:
    explicit StatementUse(sqlite3_stmt* statement) : statement_(statement) {}
    ~StatementUse()
    {
        sqlite3_reset(statement_);
        sqlite3_clear_bindings(statement_);
    }
    StatementUse(const StatementUse&) = delete;
    StatementUse& operator=(const StatementUse&) = delete;

private:
    sqlite3_stmt* statement_;
};

std::string columnText(sqlite3_stmt* statement, int column)
{
    const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(statement, column));
    return text ? std::string(text, static_cast<std::size_t>(sqlite3_column_bytes(statement, column)))
                : std::string();
}

} // namespace

SqliteScoreStore::SqliteScoreStore(const std::string& path)
{
    const int opened = sqlite3_open_v2(path.c_str(), &db_,
                                       SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX, nullptr);
    if (opened != SQLITE_OK) {
        const std::string reason = db_ ? sqlite3_errmsg(db_) : sqlite3_errstr(opened);
        sqlite3_close(db_);
        db_ = nullptr;
        throw StoreError("cannot open " + path + ": " + reason);
    }
    try {
        // SQLite falls back to reading a file it may not write; a server that
        // cannot store a post must not start as though it could.
        if (sqlite3_db_readonly(db_, "main") == 1)
            throw StoreError("cannot open it for writing");
        // Another process (a second server, the sqlite3 shell) may hold the
        // write lock for a moment; wait for it rather than drop a post.
        sqlite3_busy_timeout(db_, 5000);
        if (journalMode() != "wal") {
            execute("PRAGMA journal_mode=WAL");
            if (journalMode() != "wal")
                throw StoreError("cannot switch to write-ahead logging");
        }
        // A post is answered only after it has reached the disk.
        execute("PRAGMA synchronous=FULL");
        execute("CREATE TABLE IF NOT EXISTS scores ("
                " id INTEGER PRIMARY KEY,"
                " name TEXT NOT NULL,"
                " date TEXT NOT NULL,"
                " score INTEGER NOT NULL,"
                " posted TEXT NOT NULL DEFAULT (strftime('%Y-%m-%dT%H:%M:%SZ', 'now')))");
        execute("CREATE INDEX IF NOT EXISTS scores_by_rank ON scores (score DESC, id)");
        // A write lock needs the log and its index beside the file: a folder
        // that cannot be written shows here, not at the first post.
        execute("BEGIN IMMEDIATE");
        execute("COMMIT");
        insert_ = prepare("INSERT INTO scores (name, date, score) VALUES (?1, ?2, ?3)");
        best_ = prepare("SELECT name, date, score FROM scores ORDER BY score DESC, id LIMIT ?1");
        count_ = prepare("SELECT count(*) FROM scores");
        dataVersion_ = prepare("PRAGMA data_version");
    } catch (const StoreError& error) {
        sqlite3_finalize(insert_);
        sqlite3_finalize(best_);
        sqlite3_finalize(count_);
        sqlite3_finalize(dataVersion_);
        sqlite3_close(db_);
        db_ = nullptr;
        throw StoreError(path + ": " + error.what());
    }
}

SqliteScoreStore::~SqliteScoreStore()
{
    sqlite3_finalize(insert_);
    sqlite3_finalize(best_);
    sqlite3_finalize(count_);
    sqlite3_finalize(dataVersion_);
    // The last connection to close folds the log back into the database file.
    sqlite3_close(db_);
}

void SqliteScoreStore::add(const ScoreEntry& entry)
{
    std::lock_guard lock(mutex_);
    StatementUse use(insert_);
    if (sqlite3_bind_text(insert_, 1, entry.name.data(), static_cast<int>(entry.name.size()), SQLITE_TRANSIENT) !=
            SQLITE_OK ||
        sqlite3_bind_text(insert_, 2, entry.date.data(), static_cast<int>(entry.date.size()), SQLITE_TRANSIENT) !=
            SQLITE_OK ||
        sqlite3_bind_int64(insert_, 3, entry.score) != SQLITE_OK)
        fail("storing a score");
    if (sqlite3_step(insert_) != SQLITE_DONE)
        fail("storing a score");
    ++generation_;
}

std::vector<ScoreEntry> SqliteScoreStore::best(int limit)
{
    std::lock_guard lock(mutex_);
    StatementUse use(best_);
    if (sqlite3_bind_int(best_, 1, std::max(limit, 0)) != SQLITE_OK)
        fail("reading the list");
    std::vector<ScoreEntry> entries;
    int step = SQLITE_ROW;
    while ((step = sqlite3_step(best_)) == SQLITE_ROW) {
        // Rows come only from add(), but a hand-edited file must not wrap around.
        const sqlite3_int64 score =
            std::clamp<sqlite3_int64>(sqlite3_column_int64(best_, 2), std::numeric_limits<std::int32_t>::min(),
                                      std::numeric_limits<std::int32_t>::max());
        entries.push_back({columnText(best_, 0), columnText(best_, 1), static_cast<std::int32_t>(score)});
    }
    if (step != SQLITE_DONE)
        fail("reading the list");
    return entries;
}

std::int64_t SqliteScoreStore::count()
{
    std::lock_guard lock(mutex_);
    StatementUse use(count_);
    if (sqlite3_step(count_) != SQLITE_ROW)
        fail("counting the scores");
    return sqlite3_column_int64(count_, 0);
}

std::uint64_t SqliteScoreStore::changeMark()
{
    std::lock_guard lock(mutex_);
    StatementUse use(dataVersion_);
    if (sqlite3_step(dataVersion_) != SQLITE_ROW)
        fail("reading the data version");
    const std::int64_t version = sqlite3_column_int64(dataVersion_, 0);
    if (version != lastDataVersion_) {
        lastDataVersion_ = version;
        ++generation_;
    }
    return generation_;
}

std::string SqliteScoreStore::journalMode()
{
    sqlite3_stmt* statement = prepare("PRAGMA journal_mode");
    std::string mode;
    if (sqlite3_step(statement) == SQLITE_ROW)
        mode = columnText(statement, 0);
    sqlite3_finalize(statement);
    return mode;
}

void SqliteScoreStore::execute(const char* sql)
{
    if (sqlite3_exec(db_, sql, nullptr, nullptr, nullptr) != SQLITE_OK)
        fail(sql);
}

sqlite3_stmt* SqliteScoreStore::prepare(const char* sql)
{
    sqlite3_stmt* statement = nullptr;
    if (sqlite3_prepare_v2(db_, sql, -1, &statement, nullptr) != SQLITE_OK)
        fail(sql);
    return statement;
}

void SqliteScoreStore::fail(const std::string& doing)
{
    throw StoreError(doing + ": " + sqlite3_errmsg(db_));
}

} // namespace kestrova::server
