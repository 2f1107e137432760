// One click in a line of play, and lines written as the headless driver's
// tokens ("c19", "s").
#pragma once

#include <string>
#include <vector>

namespace kestrova {

struct Move {
    static constexpr int kStock = 0;

    int slot = kStock;   // 1..28 for a tableau card, kStock for the stock

    static constexpr Move stock() { return Move{kStock}; }
    static constexpr Move play(int slot) { return Move{slot}; }
    constexpr bool isStock() const { return slot == kStock; }
    std::string token() const;

    friend bool operator==(const Move&, const Move&) = default;
};

using Line = std::vector<Move>;

// The tokens separated by single spaces; empty for an empty line.
std::string formatLine(const Line& line);

} // namespace kestrova
