// The shuffle that turns a generator's draws into a deck, and the deck a deal
// number stands for.
#pragma once

#include "game/card.h"

#include <array>
#include <cstdint>

namespace kestrova {

class Random;

// Deck positions 1..52; element 0 is unused.
using Deck = std::array<int, kCardCount + 1>;

// Each card goes to a uniformly chosen empty position, by rejection, drawing
// from `random`.
Deck shuffledDeck(Random& random);

// The deck START GAME deals from a generator in this state: the deal number
// the board shows. Works on a generator of its own, so nothing shared moves.
Deck deckOfDeal(std::uint32_t dealNumber);

} // namespace kestrova
