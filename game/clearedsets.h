// The sets of cleared slots that play can produce. A card leaves only after
// both cards covering it, so of the 2^28 subsets of slots just 22,932 occur;
// each gets an index, and the solver's tables are indexed by it.
#pragma once

#include "game/tableau.h"

#include <array>
#include <cstdint>
#include <optional>
#include <vector>

namespace kestrova {

class ClearedSets {
public:
    // One set in one cache line: the solver looks one up at every play it tries.
    struct alignas(64) Set {
        std::uint32_t cleared;   // bit s - 1 for slot s
        std::uint32_t free;      // slots whose card is still there and covered by none
        // The set after playing slot s is after[s - 1]; only free slots have one.
        std::array<std::uint16_t, kSlotCount> after;
    };

    // Built once per process, on first use.
    static const ClearedSets& instance();

    int count() const { return static_cast<int>(sets_.size()); }
    int allCleared() const { return count() - 1; }   // index 0 is the dealt board

    const Set& operator[](int index) const { return sets_[static_cast<std::size_t>(index)]; }
    std::uint32_t cleared(int index) const { return (*this)[index].cleared; }
    // None for a set that no play produces (a card gone before one covering it).
    std::optional<int> indexOf(std::uint32_t cleared) const;

private:
    ClearedSets();

    std::vector<Set> sets_;   // ascending by cleared, so indexOf can bisect
};

} // namespace kestrova
