// The list as last read, its rendered pages, and the mark they stand for.
#include "server/scorepagecache.h"

#include <cstdio>

namespace kestrova::server {

ScorePageCache::ScorePageCache(ScoreStore& store) : store_(store) {}

std::shared_ptr<const std::string> ScorePageCache::page(const PageLinks& links)
{
    // Read outside the lock, so that requests do not queue up behind one
    // another's round trip to the database. Marks never fall: one read
    // before a rebuild that another request has since done is covered by it.
    std::optional<std::uint64_t> mark;
    try {
        mark = store_.changeMark();
    } catch (const StoreError& error) {
        std::fprintf(stderr, "kestrova-server: %s\n", error.what());
    }
    // One rebuild at a time; requests arriving meanwhile wait for its result
    // instead of reading the same list again.
    std::lock_guard lock(mutex_);
    if (mark && (!mark_ || *mark > *mark_)) {
        try {
            entries_ = store_.best(kPageEntries);
            mark_ = mark;
            pages_.clear();
        } catch (const StoreError& error) {
            std::fprintf(stderr, "kestrova-server: %s\n", error.what());
        }
    }
    if (!mark_)
        return nullptr;
    return render(links);
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
