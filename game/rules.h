// The numbers the rules are made of, and the end bonus built from them. The
// game table plays by them and the solver searches by them, so they live once.
#pragma once

#include <algorithm>

namespace kestrova {

// Deck positions 1..28 are dealt to the tableau; the card at 29 opens the
// discard, and 30..52 are the stock, turned one by one.
inline constexpr int kFirstDiscardPosition = 29;
inline constexpr int kLastStockPosition = 52;

inline constexpr int kPeakTopBonus = 20;
inline constexpr int kUndoPenalty = 3;
inline constexpr int kEndBonusPerCard = 5;

// Slots 1 to 3 are the tops of the three peaks.
constexpr bool isPeakTop(int slot) { return slot >= 1 && slot <= 3; }

// What a cleared board adds: counted from one past the last stock card, so
// the first click on an already empty stock still pays. Past two such clicks
// the count would turn negative; the bonus runs out at 0 instead.
constexpr int endBonus(int dealpos)
{
    return std::max(0, kEndBonusPerCard * (kLastStockPosition + 1 - dealpos));
}

} // namespace kestrova
