#include "game/clearedsets.h"

#include "game/statetable.h"

#include <algorithm>

namespace kestrova {

namespace {

constexpr std::uint32_t bitOf(int slot) { return 1u << (slot - 1); }

std::array<std::uint32_t, kSlotCount + 1> coveringSlots()
{
    const CoverTable covers = initialCovers();
    std::array<std::uint32_t, kSlotCount + 1> covering{};
    for (int slot = 1; slot <= kSlotCount; ++slot)
        if (covers[slot].first != 0)
            covering[slot] = bitOf(covers[slot].first) | bitOf(covers[slot].second);
    return covering;
}

} // namespace

const ClearedSets& ClearedSets::instance()
{
    static const ClearedSets sets;
    return sets;
}

ClearedSets::ClearedSets()
{
    const auto covering = coveringSlots();
    // Deciding the slots from 28 down means a slot's covering cards are
    // settled before the slot itself.
    std::vector<std::uint32_t> all{0};
    for (int slot = kSlotCount; slot >= 1; --slot) {
        const std::size_t before = all.size();
        for (std::size_t i = 0; i < before; ++i)
            if ((covering[slot] & ~all[i]) == 0)
                all.push_back(all[i] | bitOf(slot));
    }
    std::sort(all.begin(), all.end());

    StateTable<std::uint16_t> indexByCleared(all.size() * 2);
    for (std::size_t i = 0; i < all.size(); ++i)
        indexByCleared.insert(all[i], static_cast<std::uint16_t>(i));

    sets_.resize(all.size());
    for (std::size_t i = 0; i < all.size(); ++i) {
        Set& set = sets_[i];
        set.cleared = all[i];
        set.free = 0;
        set.after.fill(0);
        for (int slot = 1; slot <= kSlotCount; ++slot) {
            if ((set.cleared & bitOf(slot)) != 0 || (covering[slot] & ~set.cleared) != 0)
                continue;
            set.free |= bitOf(slot);
            set.after[static_cast<std::size_t>(slot - 1)] = *indexByCleared.find(set.cleared | bitOf(slot));
        }
    }
}

std::optional<int> ClearedSets::indexOf(std::uint32_t cleared) const
{
    const auto found = std::lower_bound(sets_.begin(), sets_.end(), cleared,
                                        [](const Set& set, std::uint32_t value) { return set.cleared < value; });
    if (found == sets_.end() || found->cleared != cleared)
        return std::nullopt;
    return static_cast<int>(found - sets_.begin());
}

} // namespace kestrova
