// The tally file's background writer.
#include "tally/tallysaver.h"

#include <exception>
#include <iostream>
#include <utility>

namespace kestrova {

TallySaver::TallySaver(std::filesystem::path path) : file_(std::move(path)) {}

TallySaver::~TallySaver()
{
    {
        const std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    wake_.notify_one();
    if (worker_.joinable())
        worker_.join();
}

void TallySaver::save(StringGrid grid)
{
    {
        const std::lock_guard lock(mutex_);
        waiting_ = std::move(grid);
        ++asked_;
        // A start-up that never saves never pays for a thread.
        if (!worker_.joinable())
            worker_ = std::thread(&TallySaver::run, this);
    }
    wake_.notify_one();
}

void TallySaver::waitForSaves()
{
    std::unique_lock lock(mutex_);
    done_.wait(lock, [this] { return finished_ == asked_; });
}

std::uint64_t TallySaver::failures() const
{
    const std::lock_guard lock(mutex_);
    return failures_;
}

void TallySaver::run()
{
    std::unique_lock lock(mutex_);
    for (;;) {
        wake_.wait(lock, [this] { return waiting_ || stopping_; });
        if (!waiting_)
            return;   // stopping, with nothing left to write
        const StringGrid grid = std::move(*waiting_);
        waiting_.reset();
        const std::uint64_t covered = asked_;
        lock.unlock();
        bool failed = false;
        try {
            file_.save(grid);
        } catch (const std::exception& error) {
            // Nobody waits on the worker to be told; the log at least says why.
            std::cerr << "kestrova: the tally could not be saved: " << error.what() << '\n';
            failed = true;
        }
        lock.lock();
        if (failed)
            ++failures_;
        finished_ = covered;
        done_.notify_all();
    }
}

} // namespace kestrova
