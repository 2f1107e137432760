// The score list in PostgreSQL through libpq: a few connections shared by the
// request threads, prepared statements, and a sequence as the change counter.
//
// Name and date are kept as bytea, byte for byte as posted: a name may hold a
// NUL, which a text column refuses, and the database's own encoding then
// does not matter.
//
// The change counter is the sequence scores_changes. A post moves it only
// after its row is committed, so a server that reads the counter and then the
// list never keeps a list older than the counter says; every server, in every
// process, compares the counter before it serves its copy of the page. Rows
// changed or deleted by hand move it through a trigger.
#include "server/postgresscorestore.h"

#include <libpq-fe.h>

#include <arpa/inet.h>
#include <poll.h>

#include <charconv>
#include <chrono>
#include <cstring>
#include <memory>

namespace kestrova::server {

namespace {

// How long a request waits for one of the connections before it gives up.
constexpr std::chrono::seconds kBorrowPatience{15};

// Type numbers of the built-in types, fixed by PostgreSQL's catalog.
constexpr Oid kBytea = 17;
constexpr Oid kInt4 = 23;

// Any 64-bit key will do as long as only this schema uses it.
constexpr const char* kSchema = R"(
BEGIN;
SELECT pg_advisory_xact_lock(8251301046232561);
CREATE TABLE IF NOT EXISTS scores (
    id bigint GENERATED ALWAYS AS IDENTITY PRIMARY KEY,
    name bytea NOT NULL,
    date bytea NOT NULL,
    score integer NOT NULL,
    posted timestamptz NOT NULL DEFAULT now()
);
CREATE INDEX IF NOT EXISTS scores_by_rank ON scores (score DESC, id);
CREATE SEQUENCE IF NOT EXISTS scores_changes;
DO $$
BEGIN
    IF NOT EXISTS (SELECT 1 FROM pg_trigger WHERE tgname = 'scores_edited' AND tgrelid = 'scores'::regclass) THEN
        CREATE OR REPLACE FUNCTION scores_edited() RETURNS trigger LANGUAGE plpgsql
            AS 'BEGIN PERFORM nextval(''scores_changes''); RETURN NULL; END';
        CREATE TRIGGER scores_edited AFTER UPDATE OR DELETE OR TRUNCATE ON scores
            FOR EACH STATEMENT EXECUTE FUNCTION scores_edited();
    END IF;
END
$$;
COMMIT;
)";

struct Statement {
    const char* name;
    const char* sql;
    int parameters;
    Oid types[3];
};

constexpr Statement kStatements[] = {
    {"add", "INSERT INTO scores (name, date, score) VALUES ($1, $2, $3)", 3, {kBytea, kBytea, kInt4}},
    {"best", "SELECT name, date, score FROM scores ORDER BY score DESC, id LIMIT $1", 1, {kInt4}},
    {"count", "SELECT count(*) FROM scores", 0, {}},
    {"mark", "SELECT CASE WHEN is_called THEN last_value ELSE 0 END FROM scores_changes", 0, {}},
    {"bump", "SELECT nextval('scores_changes')", 0, {}},
};

// libpq's messages end in a line break and may span several lines.
std::string oneLine(const char* text)
{
    std::string line;
    bool space = false;
    for (const char* c = text ? text : ""; *c; ++c) {
        if (*c == '\n' || *c == '\t' || *c == '\r' || *c == ' ') {
            space = !line.empty();
            continue;
        }
        if (space)
            line += ' ';
        space = false;
        line += *c;
    }
    return line.empty() ? "no reason given" : line;
}

std::string failureOf(PGconn* connection, const PGresult* result)
{
    const char* reason = result ? PQresultErrorMessage(result) : nullptr;
    return oneLine(reason && *reason ? reason : PQerrorMessage(connection));
}

// The server's notices ("relation already exists, skipping") would otherwise
// go to stderr.
void ignoreNotice(void*, const char*) {}

// An idle connection has nothing to read unless the server ended it (a
// restart, an administrator's pg_terminate_backend). Finding that out before
// sending a post means a post is never sent into a dead connection, where it
// could not tell whether it was stored.
bool stillUsable(PGconn* connection)
{
    if (PQstatus(connection) != CONNECTION_OK || PQtransactionStatus(connection) != PQTRANS_IDLE)
        return false;
    pollfd ready{PQsocket(connection), POLLIN, 0};
    return ::poll(&ready, 1, 0) == 0;
}

template <class Number>
Number numberIn(const PGresult* result)
{
    Number value = 0;
    const char* text = PQgetvalue(result, 0, 0);
    const char* end = text + PQgetlength(result, 0, 0);
    if (std::from_chars(text, end, value).ptr != end)
        throw StoreError(std::string("unexpected number from the database: ") + text);
    return value;
}

} // namespace

// A connection borrowed from the store for one statement and given back
// whichever way the caller leaves.
class PostgresScoreStore::Lease {
public:
    explicit Lease(PostgresScoreStore& store) : store_(store), connection_(store.borrow()) {}
    ~Lease() { store_.giveBack(connection_); }
    Lease(const Lease&) = delete;
    Lease& operator=(const Lease&) = delete;

    PGconn* get() const { return connection_; }

    // Runs a prepared statement. On failure the caller learns whether the
    // connection itself broke, in which case running it again on a fresh
    // one may succeed.
    Result run(const char* name, int count, const char* const* values, const int* lengths, const int* formats,
               int resultFormat)
    {
        return Result(PQexecPrepared(connection_, name, count, values, lengths, formats, resultFormat));
    }

private:
    PostgresScoreStore& store_;
    PGconn* connection_;
};

PostgresScoreStore::PostgresScoreStore(const std::string& url, int connections)
    : url_(url), maxConnections_(std::max(connections, 1))
{
    PGconn* first = nullptr;
    try {
        first = openConnection();
        const Result schema(PQexec(first, kSchema));
        if (!schema || PQresultStatus(schema.get()) != PGRES_COMMAND_OK)
            throw StoreError("making the table: " + failureOf(first, schema.get()));
        prepareStatements(first);
    } catch (const StoreError& error) {
        PQfinish(first);
        throw StoreError(redactedUrl(url_) + ": " + error.what());
    }
    idle_.push_back(first);
    open_ = 1;
}

PostgresScoreStore::~PostgresScoreStore()
{
    for (PGconn* connection : idle_)
        PQfinish(connection);
}

void PostgresScoreStore::add(const ScoreEntry& entry)
{
    {
        Lease lease(*this);
        const std::string score = std::to_string(entry.score);
        const char* values[] = {entry.name.data(), entry.date.data(), score.c_str()};
        const int lengths[] = {static_cast<int>(entry.name.size()), static_cast<int>(entry.date.size()), 0};
        const int formats[] = {1, 1, 0};
        // Never sent twice: a connection that broke under the insert leaves
        // open whether the row was committed.
        const Result result = lease.run("add", 3, values, lengths, formats, 0);
        if (!result || PQresultStatus(result.get()) != PGRES_COMMAND_OK)
            throw StoreError("storing a score: " + failureOf(lease.get(), result.get()));
    }
    // The row is kept from here on; a counter that cannot be moved now is
    // moved at the next chance instead of failing the post.
    try {
        execute("bump", 0, nullptr, PGRES_TUPLES_OK, "moving the change counter");
        std::lock_guard lock(mutex_);
        bumpOwed_ = false;
    } catch (const StoreError&) {
        std::lock_guard lock(mutex_);
        bumpOwed_ = true;
    }
}

std::vector<ScoreEntry> PostgresScoreStore::best(int limit)
{
    const std::string count = std::to_string(std::max(limit, 0));
    const char* values[] = {count.c_str()};
    const Result result = execute("best", 1, values, PGRES_TUPLES_OK, "reading the list", 1);
    std::vector<ScoreEntry> entries;
    const int rows = PQntuples(result.get());
    entries.reserve(static_cast<std::size_t>(rows));
    for (int row = 0; row < rows; ++row) {
        if (PQgetlength(result.get(), row, 2) != 4)
            throw StoreError("reading the list: a score that is not a 4-byte integer");
        std::uint32_t networkOrder = 0;
        std::memcpy(&networkOrder, PQgetvalue(result.get(), row, 2), 4);
        entries.push_back({std::string(PQgetvalue(result.get(), row, 0), PQgetlength(result.get(), row, 0)),
                           std::string(PQgetvalue(result.get(), row, 1), PQgetlength(result.get(), row, 1)),
                           static_cast<std::int32_t>(ntohl(networkOrder))});
    }
    return entries;
}

std::int64_t PostgresScoreStore::count()
{
    const Result result = execute("count", 0, nullptr, PGRES_TUPLES_OK, "counting the scores");
    return numberIn<std::int64_t>(result.get());
}

std::uint64_t PostgresScoreStore::changeMark()
{
    bool owed = false;
    {
        std::lock_guard lock(mutex_);
        owed = bumpOwed_;
    }
    if (owed) {
        execute("bump", 0, nullptr, PGRES_TUPLES_OK, "moving the change counter");
        std::lock_guard lock(mutex_);
        bumpOwed_ = false;
    }
    const Result result = execute("mark", 0, nullptr, PGRES_TUPLES_OK, "reading the change counter");
    return numberIn<std::uint64_t>(result.get());
}

std::string PostgresScoreStore::redactedUrl(const std::string& url)
{
    std::string text = url;
    const std::size_t scheme = text.find("://");
    if (scheme != std::string::npos) {
        const std::size_t start = scheme + 3;
        const std::size_t end = std::min(text.find_first_of("/?", start), text.size());
        const std::size_t at = text.rfind('@', end);
        const std::size_t colon = text.find(':', start);
        if (at != std::string::npos && at >= start && colon < at)
            text.replace(colon + 1, at - colon - 1, "***");
    }
    for (std::size_t key = text.find("password="); key != std::string::npos;
         key = text.find("password=", key + 1)) {
        if (key == 0 || (text[key - 1] != '?' && text[key - 1] != '&'))
            continue;
        const std::size_t value = key + 9;
        const std::size_t end = std::min(text.find('&', value), text.size());
        text.replace(value, end - value, "***");
    }
    return text;
}

PGconn* PostgresScoreStore::openConnection()
{
    // Defaults that the URL may override: a dead host or a hung statement
    // costs seconds, not minutes (a request waits on it), and the connection
    // names its program to the administrator.
    const char* keywords[] = {"connect_timeout", "tcp_user_timeout", "options", "application_name", "dbname",
                              nullptr};
    const char* values[] = {"5", "10000", "-c statement_timeout=10000", "kestrova-server", url_.c_str(), nullptr};
    PGconn* connection = PQconnectdbParams(keywords, values, 1);
    if (!connection)
        throw StoreError("cannot connect: out of memory");
    if (PQstatus(connection) != CONNECTION_OK) {
        const std::string reason = oneLine(PQerrorMessage(connection));
        PQfinish(connection);
        throw StoreError("cannot connect: " + reason);
    }
    PQsetNoticeProcessor(connection, ignoreNotice, nullptr);
    return connection;
}

void PostgresScoreStore::prepareStatements(PGconn* connection)
{
    for (const Statement& statement : kStatements) {
        const Result prepared(
            PQprepare(connection, statement.name, statement.sql, statement.parameters, statement.types));
        if (!prepared || PQresultStatus(prepared.get()) != PGRES_COMMAND_OK)
            throw StoreError(std::string("preparing ") + statement.name + ": " + failureOf(connection, prepared.get()));
    }
}

PGconn* PostgresScoreStore::borrow()
{
    PGconn* connection = nullptr;
    {
        std::unique_lock lock(mutex_);
        // Every connection busy for this long means the database is stuck.
        if (!returned_.wait_for(lock, kBorrowPatience, [this] { return !idle_.empty() || open_ < maxConnections_; }))
            throw StoreError("every database connection stayed busy for " +
                             std::to_string(kBorrowPatience.count()) + " seconds");
        if (!idle_.empty()) {
            connection = idle_.back();
            idle_.pop_back();
        } else {
            ++open_;
        }
    }
    // From here the caller holds one of the connection slots, whatever happens.
    if (connection && stillUsable(connection))
        return connection;
    // The stale connection is gone from here on; a failed reconnect must not
    // finish it a second time.
    PQfinish(connection);
    connection = nullptr;
    try {
        connection = openConnection();
        prepareStatements(connection);
        return connection;
    } catch (const StoreError&) {
        PQfinish(connection);
        std::lock_guard lock(mutex_);
        --open_;
        returned_.notify_one();
        throw;
    }
}

void PostgresScoreStore::giveBack(PGconn* connection)
{
    const bool healthy = stillUsable(connection);
    if (!healthy)
        PQfinish(connection);
    std::lock_guard lock(mutex_);
    if (healthy)
        idle_.push_back(connection);
    else
        --open_;
    returned_.notify_one();
}

void PostgresScoreStore::ResultRelease::operator()(PGresult* result) const
{
    PQclear(result);
}

PostgresScoreStore::Result PostgresScoreStore::execute(const char* statement, int count, const char* const* values,
                                                       int expected, const char* doing, int resultFormat)
{
    for (int attempt = 0;; ++attempt) {
        Lease lease(*this);
        Result result = lease.run(statement, count, values, nullptr, nullptr, resultFormat);
        if (result && PQresultStatus(result.get()) == expected)
            return result;
        // Reading twice does no harm: a connection that broke under the
        // statement gets one more try on a fresh one.
        if (attempt == 0 && PQstatus(lease.get()) != CONNECTION_OK)
            continue;
        throw StoreError(std::string(doing) + ": " + failureOf(lease.get(), result.get()));
    }
}

} // namespace kestrova::server
