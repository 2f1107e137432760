// Decks in a chosen order, for putting the game table into known positions.
#pragma once

#include "game/card.h"
#include "game/gametable.h"

#include <vector>
#include <stdexcept>
#include <utility>

namespace kestrova::testing {

inline constexpr int kDiscardPosition = 29;

constexpr int card(Suit suit, int face) { return static_cast<int>(suit) * 13 + face; }

// Places the given values at the given deck positions and fills the other
// positions with the unused values in ascending order.
inline Deck makeDeck(const std::vector<std::pair<int, int>>& positionValues)
{
    Deck deck{};
    bool used[kCardCount + 1] = {};
    for (const auto& [position, value] : positionValues) {
        if (deck[position] != 0 || used[value])
            throw std::logic_error("a position or a value given twice");
        deck[position] = value;
        used[value] = true;
    }
    int next = 1;
    for (int position = 1; position <= kCardCount; ++position) {
        if (deck[position] != 0)
            continue;
        while (used[next])
            ++next;
        deck[position] = next;
        used[next] = true;
    }
    return deck;
}

// The order in which a whole board can be played away: the base row first,
// then each row above it.
inline constexpr int kClearingOrder[kSlotCount] = {19, 20, 21, 22, 23, 24, 25, 26, 27, 28, 10, 11, 12, 13,
                                                   14, 15, 16, 17, 18, 4,  5,  6,  7,  8,  9,  1,  2,  3};

// A deck whose board clears in one chain of rising ranks: the card at
// `startPosition` (the discard, or a stock card drawn before the chain) is
// value 1, and the slots of kClearingOrder hold 2, 3, ... 29.
inline Deck clearableDeck(int startPosition = kDiscardPosition)
{
    std::vector<std::pair<int, int>> placed{{startPosition, 1}};
    for (int i = 0; i < kSlotCount; ++i)
        placed.emplace_back(kClearingOrder[i], i + 2);
    return makeDeck(placed);
}

} // namespace kestrova::testing
