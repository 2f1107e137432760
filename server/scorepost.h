// The score post's query (name, date, score) read and checked before anything
// is stored.
#pragma once

#include "server/scorestore.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace kestrova::server {

constexpr std::size_t kMaxQueryBytes = 8192;
// The longest name the game posts; it cuts longer ones at a character boundary.
constexpr std::size_t kMaxNameBytes = 255;
// Dates are short (12/6/26 and the like); the bound keeps the page sane.
constexpr std::size_t kMaxDateBytes = 64;
constexpr std::int32_t kLowestScore = -1'000'000;
constexpr std::int32_t kHighestScore = 1'000'000;

// Either the entry to store or the one-line reason the post was refused.
struct ScorePost {
    std::optional<ScoreEntry> entry;
    std::string refusal;
};

// Reads the raw query text of a post (what follows "?", still percent-encoded).
// A missing name or date is stored as empty text; keys other than name, date
// and score are ignored, and of a repeated key the first one counts.
ScorePost readScorePost(std::string_view query);

} // namespace kestrova::server
