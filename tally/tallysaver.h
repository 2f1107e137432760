// Writes the tally file on a worker thread of its own, so that the click that
// ends a game never waits for the disk. Only the newest table asked for is
// written; every save asked for is on the disk (or has failed, leaving the
// previous file whole) once waitForSaves() or the destructor returns.
#pragma once

#include "tally/stringgrid.h"
#include "tally/tallyfile.h"

#include <condition_variable>
#include <cstdint>
#include <filesystem>
#include <mutex>
#include <optional>
#include <thread>

namespace kestrova {

class TallySaver {
public:
    explicit TallySaver(std::filesystem::path path);
    // Finishes the save in hand and the one waiting, then ends the worker.
    ~TallySaver();
    TallySaver(const TallySaver&) = delete;
    TallySaver& operator=(const TallySaver&) = delete;

    // Hands a copy of the table to the worker and returns at once; a table
    // still waiting its turn is replaced, since this one includes it.
    void save(StringGrid grid);

    // Returns once every table handed over so far has been written or has
    // failed to be.
    void waitForSaves();

    // How many saves have failed; a failure keeps the previous file and the
    // next save tries again.
    std::uint64_t failures() const;

private:
    void run();

    TallyFile file_;
    mutable std::mutex mutex_;
    std::condition_variable wake_;
    std::condition_variable done_;
    std::optional<StringGrid> waiting_;
    std::uint64_t asked_ = 0;     // saves handed over
    std::uint64_t finished_ = 0;  // of those, written or failed (a replaced one counts as written)
    std::uint64_t failures_ = 0;
    bool stopping_ = false;
    std::thread worker_;   // started with the first save
};

} // namespace kestrova
