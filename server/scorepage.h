// The high-score page: the best scores as an HTML document in the game's
// colours, plain enough for the game's own display and fine in a browser.
#pragma once

#include "server/scorestore.h"

#include <string>
#include <string_view>
#include <vector>

namespace kestrova::server {

constexpr int kPageEntries = 100;

// Where the page's links lead. Every address carries its scheme, since the
// game hands a clicked link to the desktop exactly as written.
struct PageLinks {
    std::string listUrl;
    std::string installerUrl;   // empty: no download link
    std::string version;        // shown beside the download link
};

// Text made safe for HTML element content and quoted attribute values.
std::string htmlEscape(std::string_view text);

// The whole page for `entries`, best first, ranked 1, 2, 3 … in that order.
std::string renderScorePage(const std::vector<ScoreEntry>& entries, const PageLinks& links);

} // namespace kestrova::server
