// ScorePageCache: the list page kept ready, and rebuilt only once the store
// says the list has changed, by a post here or through any other server that
// shares the database.
#pragma once

#include "server/scorepage.h"
#include "server/scorestore.h"

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace kestrova::server {

// Safe to use from several request threads at once.
class ScorePageCache {
public:
    // `patience`: how long a request waits for a look at the store that
    // another request is taking before it takes the list last read instead.
    explicit ScorePageCache(ScoreStore& store, std::chrono::milliseconds patience = std::chrono::seconds(1));

    // The page with `links`, as fresh as a look at the store's change mark
    // begun after this call: requests that arrive together share a look,
    // and the list is read again only when the mark has moved. When the store
    // cannot be read, or another request's look takes longer than the
    // patience, the list last read stands in; null when there is none yet.
    // While the store is slow (kSlowLook), one look at a time is enough.
    std::shared_ptr<const std::string> page(const PageLinks& links);

    // A look at the store that takes longer than this means a slow store:
    // no more looks begin beside it until it ends.
    static constexpr std::chrono::milliseconds kSlowLook{50};

private:
    bool storeIsSlow() const;
    void refresh(std::unique_lock<std::mutex>& lock);
    std::shared_ptr<const std::string> render(const PageLinks& links);

    // Pages differ only in their links, which follow the Host header; a few
    // variants are kept, any others are made from the kept list each time.
    static constexpr std::size_t kMaxVariants = 8;

    ScoreStore& store_;
    const std::chrono::milliseconds patience_;
    std::mutex mutex_;
    std::condition_variable looked_;
    // Looks under way at once: a new one may begin while another is under
    // way, so that requests arriving meanwhile need not wait for it to end.
    static constexpr int kMaxLooks = 4;

    // Requests are numbered as they arrive; a look at the store serves every
    // request that arrived before it began.
    std::uint64_t arrived_ = 0;
    std::uint64_t begun_ = 0;    // the last request the latest look began for
    std::uint64_t served_ = 0;   // every request up to this one has been served
    int looks_ = 0;
    std::vector<std::chrono::steady_clock::time_point> lookStarts_;
    std::optional<std::uint64_t> mark_;
    std::vector<ScoreEntry> entries_;
    std::map<std::string, std::shared_ptr<const std::string>> pages_;
};

} // namespace kestrova::server
