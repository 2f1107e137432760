// ScorePageCache: the list page kept ready, and rebuilt only once the store
// says the list has changed, by a post here or through any other server that
// shares the database.
#pragma once

#include "server/scorepage.h"
#include "server/scorestore.h"

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
    explicit ScorePageCache(ScoreStore& store);

    // The page with `links`. Costs one look at the store's change mark; the
    // list is read again only when the mark has moved. When the store cannot
    // be read, the list last read stands in (nothing changes in a database
    // nobody can reach); null when there is none yet.
    std::shared_ptr<const std::string> page(const PageLinks& links);

private:
    std::shared_ptr<const std::string> render(const PageLinks& links);

    // Pages differ only in their links, which follow the Host header; a few
    // variants are kept, any others are made from the kept list each time.
    static constexpr std::size_t kMaxVariants = 8;

    ScoreStore& store_;
    std::mutex mutex_;
    std::optional<std::uint64_t> mark_;
    std::vector<ScoreEntry> entries_;
    std::map<std::string, std::shared_ptr<const std::string>> pages_;
};

} // namespace kestrova::server
