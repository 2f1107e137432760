// The list as last read, its rendered pages, and the mark they stand for.
#include "server/scorepagecache.h"

#include <cstdio>

namespace kestrova::server {

ScorePageCache::ScorePageCache(ScoreStore& store, std::chrono::milliseconds patience)
    : store_(store), patience_(patience)
{
}

std::shared_ptr<const std::string> ScorePageCache::page(const PageLinks& links)
{
    std::unique_lock lock(mutex_);
    const std::uint64_t ticket = ++arrived_;
    const auto giveUpAt = std::chrono::steady_clock::now() + patience_;
    while (served_ < ticket) {
        if (!looking_) {
            refresh(lock);
            continue;
        }
        // Another request is looking; its look may have begun before this
        // one arrived, in which case the next look serves it.
        if (!mark_)
            looked_.wait(lock);
        else if (looked_.wait_until(lock, giveUpAt) == std::cv_status::timeout)
            break;
    }
    if (!mark_)
        return nullptr;
    return render(links);
}

// Looks at the store without the lock held, so that requests arriving
// meanwhile can wait for this look or take the list last read.
void ScorePageCache::refresh(std::unique_lock<std::mutex>& lock)
{
    looking_ = true;
    const std::uint64_t covers = arrived_;
    const std::optional<std::uint64_t> known = mark_;
    lock.unlock();
    std::optional<std::uint64_t> mark;
    std::optional<std::vector<ScoreEntry>> entries;
    try {
        mark = store_.changeMark();
        // Marks never fall: a list read after the mark holds at least what it stands for.
        if (!known || *mark > *known)
            entries = store_.best(kPageEntries);
    } catch (const StoreError& error) {
        std::fprintf(stderr, "kestrova-server: %s\n", error.what());
    }
    lock.lock();
    if (entries) {
        entries_ = std::move(*entries);
        mark_ = mark;
        pages_.clear();
    }
    looking_ = false;
    served_ = covers;
    looked_.notify_all();
}

std::shared_ptr<const std::string> ScorePageCache::render(const PageLinks& links)
{
    const std::string key = links.listUrl + '\n' + links.installerUrl + '\n' + links.version;
    if (const auto found = pages_.find(key); found != pages_.end())
        return found->second;
    auto page = std::make_shared<const std::string>(renderScorePage(entries_, links));
    if (pages_.size() < kMaxVariants)
        pages_.emplace(key, page);
    return page;
}

} // namespace kestrova::server
