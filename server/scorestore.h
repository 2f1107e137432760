// The score list's storage as the server sees it: a small interface so that
// another database can stand in for the embedded one.
#pragma once

#include <cstdint>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

namespace kestrova::server {

// One posted score. Name and date are kept as the player's client sent them.
struct ScoreEntry {
    std::string name;
    std::string date;
    std::int32_t score = 0;

    friend bool operator==(const ScoreEntry&, const ScoreEntry&) = default;
};

// Raised by a store that cannot do what it was asked; the text says why.
class StoreError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Every operation may be called from several request threads at once.
class ScoreStore {
public:
    virtual ~ScoreStore() = default;

    // Keeps the entry for good before returning; throws StoreError otherwise,
    // in which case nothing of it is kept.
    virtual void add(const ScoreEntry& entry) = 0;

    // The best `limit` entries, highest score first; among equal scores the
    // one posted first comes first.
    virtual std::vector<ScoreEntry> best(int limit) = 0;

    // How many entries the store holds.
    virtual std::int64_t count() = 0;

    // A number that never falls and grows whenever the list may have changed,
    // through this store or any other that shares its database. A list read
    // by best() after reading the mark holds at least what the mark stands
    // for, so a copy of the list can be kept until the mark moves.
    virtual std::uint64_t changeMark() = 0;
};

// True when `location` names a PostgreSQL database (postgresql://… or
// postgres://…) rather than an SQLite file.
bool isPostgresqlLocation(const std::string& location);

// Opens the store that `location` names: a PostgreSQL database by its URL, or
// else an SQLite database file, made when missing. Throws StoreError when it
// cannot be opened.
std::unique_ptr<ScoreStore> openScoreStore(const std::string& location);

} // namespace kestrova::server
