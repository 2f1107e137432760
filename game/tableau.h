// Where the 28 tableau slots lie on the board and which slots cover which.
#pragma once

#include <array>

namespace kestrova {

inline constexpr int kSlotCount = 28;
inline constexpr int kFirstBaseSlot = 19;   // slots 19..28 form the base row

struct SlotPlace {
    int left;
    int top;
};

// The two slots whose cards lie on top of a slot; {0, 0} for the base row.
struct CoverPair {
    int first = 0;
    int second = 0;
    friend bool operator==(const CoverPair&, const CoverPair&) = default;
};

// Indexed by slot number; entry 0 is unused so that slot N is element N.
using SlotPlaces = std::array<SlotPlace, kSlotCount + 1>;
using CoverTable = std::array<CoverPair, kSlotCount + 1>;

// Positions relative to the inner board panel. The pitch is 72 pixels except
// at slots 18, 27 and 28, which sit one or two pixels further right.
inline constexpr SlotPlaces kSlotPlaces{{
    {0, 0},
    {125, 11}, {333, 11}, {549, 11},
    {89, 73}, {161, 73}, {297, 73}, {369, 73}, {513, 73}, {585, 73},
    {45, 139}, {117, 139}, {189, 139}, {261, 139}, {333, 139},
    {405, 139}, {477, 139}, {549, 139}, {622, 139},
    {9, 211}, {81, 211}, {153, 211}, {225, 211}, {297, 211},
    {369, 211}, {441, 211}, {513, 211}, {586, 211}, {659, 211},
}};

// The coverage table as filled at start-up: peaks by the second row, the
// second row by the third, and slot 10 + i by the base-row pair (19 + i, 20 + i).
CoverTable initialCovers();

} // namespace kestrova
