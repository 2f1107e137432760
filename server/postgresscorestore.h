// PostgresScoreStore: the score list in a PostgreSQL database, which several
// server processes can share.
#pragma once

#include "server/scorestore.h"

#include <condition_variable>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

struct pg_conn;
struct pg_result;

namespace kestrova::server {

class PostgresScoreStore : public ScoreStore {
public:
    // `url` is a libpq connection URL, postgresql://USER@HOST/DATABASE. The
    // database must exist; its table, index and change counter are made when
    // missing. Connects once at once, so that a bad URL, an unreachable
    // server or a table of another shape is a StoreError here and not at the
    // first post. Up to `connections` requests reach the database at a time.
    explicit PostgresScoreStore(const std::string& url, int connections = 8);
    ~PostgresScoreStore() override;
    PostgresScoreStore(const PostgresScoreStore&) = delete;
    PostgresScoreStore& operator=(const PostgresScoreStore&) = delete;

    void add(const ScoreEntry& entry) override;
    std::vector<ScoreEntry> best(int limit) override;
    std::int64_t count() override;
    std::uint64_t changeMark() override;

    // The URL with its password, if any, blanked out: fit for messages.
    static std::string redactedUrl(const std::string& url);

private:
    class Lease;
    struct ResultRelease {
        void operator()(pg_result* result) const;
    };
    using Result = std::unique_ptr<pg_result, ResultRelease>;

    pg_conn* openConnection();
    static void prepareStatements(pg_conn* connection);
    pg_conn* borrow();
    void giveBack(pg_conn* connection);
    // Runs a prepared statement that only reads or only counts, so that it
    // may run a second time when the connection broke under the first; throws
    // StoreError saying what it was `doing` unless the status is `expected`.
    Result execute(const char* statement, int count, const char* const* values, int expected, const char* doing,
                   int resultFormat = 0);

    const std::string url_;
    const int maxConnections_;
    std::mutex mutex_;
    std::condition_variable returned_;
    std::vector<pg_conn*> idle_;
    int open_ = 0;
    // Set when a post was stored but the change counter could not be moved
    // after it; the next use of the database moves it.
    bool bumpOwed_ = false;
};

} // namespace kestrova::server
