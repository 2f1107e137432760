// The sets of cleared slots that play can produce. A card leaves only after
// both cards covering it, so of the 2^28 subsets of slots just 22,932 occur;
// each gets an index, and the solver's tables are indexed by it.
#pragma once

#include "game/tableau.h"

#include <bit>
#include <cstdint>
#include <optional>
#include <vector>

namespace kestrova {

class ClearedSets {
public:
    // Built once per process, on first use.
    static const ClearedSets& instance();

    int count() const { return static_cast<int>(sets_.size()); }
    int noneCleared() const { return 0; }
    int allCleared() const { return count() - 1; }

    std::uint32_t cleared(int index) const { return sets_[static_cast<std::size_t>(index)].cleared; }
    // Slots whose card is still there and covered by none.
    std::uint32_t freeSlots(int index) const { return sets_[static_cast<std::size_t>(index)].free; }
    // The set once the card of a free slot has been played.
    int after(int index, int slot) const
    {
        const Set& set = sets_[static_cast<std::size_t>(index)];
        const std::uint32_t freeBefore = set.free & ((1u << (slot - 1)) - 1);
        return after_[set.firstAfter + static_cast<std::uint32_t>(std::popcount(freeBefore))];
    }
    // None for a set that no play produces (a card gone before one covering it).
    std::optional<int> indexOf(std::uint32_t cleared) const;

private:
    ClearedSets();

    // Kept small and together: the solver looks a set up at every play.
    struct Set {
        std::uint32_t cleared;
        std::uint32_t free;
        std::uint32_t firstAfter;   // where this set's entries in after_ begin, one per free slot
    };

    std::vector<Set> sets_;   // ascending by cleared, so indexOf can bisect
    std::vector<std::uint16_t> after_;
};

} // namespace kestrova
