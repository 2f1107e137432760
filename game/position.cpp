#include "game/position.h"

#include "game/deal.h"

namespace kestrova {

Position Position::dealt(const Deck& deck)
{
    Position position;
    position.deck = deck;
    position.discard = deck[position.dealpos];
    return position;
}

Position Position::dealtFromState(std::uint32_t generatorState)
{
    return dealt(deckOfDeal(generatorState));
}

std::optional<Position> Position::of(const GameTable& table)
{
    if (!table.gameon())
        return std::nullopt;
    Position position;
    for (int i = 1; i <= kCardCount; ++i)
        position.deck[i] = table.deckAt(i);
    for (int slot = 1; slot <= kSlotCount; ++slot)
        if (table.slotValue(slot) == 0)
            position.cleared |= slotBit(slot);
    position.dealpos = table.dealpos();
    position.discard = table.discardValue();
    position.chain = table.chain();
    position.drawcount = table.drawcount();
    position.score = table.score();
    return position;
}

} // namespace kestrova
