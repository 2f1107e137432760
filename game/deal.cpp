#include "game/deal.h"

#include "game/random.h"

namespace kestrova {

Deck shuffledDeck(Random& random)
{
    Deck deck{};
    for (int value = 1; value <= kCardCount; ++value) {
        int position;
        do {
            position = random.draw(kCardCount) + 1;
        } while (deck[position] != 0);
        deck[position] = value;
    }
    return deck;
}

Deck deckOfDeal(std::uint32_t dealNumber)
{
    Random random(dealNumber);
    return shuffledDeck(random);
}

} // namespace kestrova
