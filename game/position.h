// A game in play reduced to what decides its future: the deal, the cleared
// slots, the stock position, the discard, the two counters and the score.
#pragma once

#include "game/gametable.h"
#include "game/rules.h"

#include <cstdint>
#include <optional>

namespace kestrova {

inline constexpr std::uint32_t kAllSlotsCleared = (1u << kSlotCount) - 1;

constexpr std::uint32_t slotBit(int slot) { return 1u << (slot - 1); }

struct Position {
    Deck deck{};
    std::uint32_t cleared = 0;   // slotBit(s) set once slot s has been played away
    int dealpos = kFirstDiscardPosition;
    int discard = 0;
    int chain = 0;
    int drawcount = 0;
    int score = 0;

    // The position right after START GAME with this deck.
    static Position dealt(const Deck& deck);
    // The deal that START GAME makes from this generator state.
    static Position dealtFromState(std::uint32_t generatorState);
    // The table's current position; none when no game is in play.
    static std::optional<Position> of(const GameTable& table);

    bool isCleared(int slot) const { return (cleared & slotBit(slot)) != 0; }

    friend bool operator==(const Position&, const Position&) = default;
};

} // namespace kestrova
