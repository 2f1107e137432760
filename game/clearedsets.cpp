#include "game/clearedsets.h"

#include <algorithm>
#include <array>

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
    // Deciding the slots bottom row first means a slot's covering cards are
    // settled before the slot itself.
    std::vector<int> order;
    for (int slot = kSlotCount; slot >= 1; --slot)
        order.push_back(slot);
    std::vector<std::uint32_t> partial{0};
    for (int slot : order) {
        const std::size_t before = partial.size();
        for (std::size_t i = 0; i < before; ++i)
            if ((covering[slot] & ~partial[i]) == 0)
                partial.push_back(partial[i] | bitOf(slot));
    }
    std::sort(partial.begin(), partial.end());

    sets_.reserve(partial.size());
    for (const std::uint32_t cleared : partial) {
        Set set{cleared, 0, static_cast<std::uint32_t>(after_.size())};
        for (int slot = 1; slot <= kSlotCount; ++slot) {
            if ((cleared & bitOf(slot)) != 0 || (covering[slot] & ~cleared) != 0)
                continue;
            set.free |= bitOf(slot);
            const auto next = std::lower_bound(partial.begin(), partial.end(), cleared | bitOf(slot));
            after_.push_back(static_cast<std::uint16_t>(next - partial.begin()));
        }
        sets_.push_back(set);
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
