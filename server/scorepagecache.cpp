// The list as last read, its rendered pages, and the mark they stand for.
#include "server/scorepagecache.h"

#include <algorithm>
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
        if (begun_ < ticket && looks_ < kMaxLooks && !storeIsSlow()) {
            refresh(lock);
            continue;
        }
        // A look that began after this request arrived will serve it; or
        // all the looks allowed at once are under way.
        if (!mark_)
            looked_.wait(lock);
        else if (looked_.wait_until(lock, giveUpAt) == std::cv_status::timeout)
            break;
    }
    if (!mark_)
        return nullptr;
    return render(links);
}

// A look under way for longer than a healthy database takes: more looks
// would only wait beside it.
bool ScorePageCache::storeIsSlow() const
{
    const auto now = std::chrono::steady_clock::now();
    return std::any_of(lookStarts_.begin(), lookStarts_.end(),
                       [now](std::chrono::steady_clock::time_point start) { return now - start > kSlowLook; });
}

// Looks at the store without the lock held, so that requests arriving
// meanwhile can wait for this look or take the list last read.
void ScorePageCache::refresh(std::unique_lock<std::mutex>& lock)
{
    ++looks_;
    const std::uint64_t covers = arrived_;
    begun_ = covers;
    const auto started = std::chrono::steady_clock::now();
    lookStarts_.push_back(started);
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
    // A look that began later may have ended first, with a later mark.
    if (entries && (!mark_ || *mark > *mark_)) {
        entries_ = std::move(*entries);
        mark_ = mark;
        pages_.clear();
    }
    --looks_;
    lookStarts_.erase(std::find(lookStarts_.begin(), lookStarts_.end(), started));
    served_ = std::max(served_, covers);
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
