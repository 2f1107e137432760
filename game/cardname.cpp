#include "game/cardname.h"

#include "game/card.h"

#include <array>

namespace kestrova {

std::string cardName(int value)
{
    if (value < 1 || value > kCardCount)
        return {};
    static constexpr std::array<const char*, 13> kFaces{"Ace", "Two",   "Three", "Four", "Five",  "Six", "Seven",
                                                         "Eight", "Nine", "Ten",   "Jack", "Queen", "King"};
    static constexpr std::array<const char*, 4> kSuits{"clubs", "diamonds", "hearts", "spades"};
    return std::string(kFaces[static_cast<std::size_t>(faceOf(value) - 1)]) + " of "
        + kSuits[static_cast<std::size_t>(suitOf(value))];
}

} // namespace kestrova
