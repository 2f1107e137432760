// Cards, the tableau's coverage, the generator and the deal.

#include "game/card.h"
#include "game/gametable.h"
#include "game/position.h"
#include "game/random.h"
#include "game/tableau.h"
#include "support/decks.h"
#include "support/recordinggamehost.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <set>

namespace kestrova {
namespace {

using testing::card;
using testing::makeDeck;
using testing::RecordingGameHost;

TEST(Cards, RankClassesMakeKingsZeroAndAcesOne)
{
    for (int king : {13, 26, 39, 52})
        EXPECT_EQ(rankClass(king), 0) << king;
    for (int ace : {1, 14, 27, 40})
        EXPECT_EQ(rankClass(ace), 1) << ace;
    EXPECT_EQ(suitOf(14), Suit::Diamonds);
    EXPECT_EQ(suitOf(52), Suit::Spades);
    EXPECT_EQ(faceOf(52), 13);
    EXPECT_EQ(faceOf(40), 1);
}

TEST(Cards, NeighboursAreOneRankApartInACircle)
{
    const int ace = card(Suit::Hearts, 1), two = card(Suit::Clubs, 2), queen = card(Suit::Spades, 12),
              king = card(Suit::Diamonds, 13);
    EXPECT_TRUE(areRankNeighbours(ace, king));
    EXPECT_TRUE(areRankNeighbours(king, ace));
    EXPECT_TRUE(areRankNeighbours(queen, king));
    EXPECT_TRUE(areRankNeighbours(king, queen));
    EXPECT_TRUE(areRankNeighbours(ace, two));
    EXPECT_FALSE(areRankNeighbours(king, card(Suit::Clubs, 13)));   // same rank
    EXPECT_FALSE(areRankNeighbours(ace, card(Suit::Spades, 1)));
    EXPECT_FALSE(areRankNeighbours(queen, ace));
    EXPECT_FALSE(areRankNeighbours(two, king));

    // Every pair of the 52 x 52 agrees with the accepted pairs spelled out by
    // rank class (a the discard's, b the other's).
    for (int discard = 1; discard <= 52; ++discard)
        for (int other = 1; other <= 52; ++other) {
            const int a = discard % 13, b = other % 13;
            const bool accepted = (a == 0 && (b == 12 || b == 1)) || (a == 1 && (b == 0 || b == 2))
                                  || (b == 0 && a == 12) || (b == 1 && (a == 0 || a == 2)) || b == a + 1
                                  || a == b + 1;
            EXPECT_EQ(areRankNeighbours(discard, other), accepted) << discard << " " << other;
        }
}

TEST(Tableau, CoverageTableAndPlaces)
{
    const CoverTable covers = initialCovers();
    EXPECT_EQ(covers[1], (CoverPair{4, 5}));
    EXPECT_EQ(covers[9], (CoverPair{17, 18}));
    EXPECT_EQ(covers[10], (CoverPair{19, 20}));
    EXPECT_EQ(covers[18], (CoverPair{27, 28}));
    for (int slot = kFirstBaseSlot; slot <= kSlotCount; ++slot)
        EXPECT_EQ(covers[slot], (CoverPair{0, 0}));
    EXPECT_EQ(kSlotPlaces[18].left, 622);
    EXPECT_EQ(kSlotPlaces[27].left, 586);
    EXPECT_EQ(kSlotPlaces[28].left, 659);
    EXPECT_EQ(kSlotPlaces[1].top, 11);
    EXPECT_EQ(kSlotPlaces[19].top, 211);
}

// A board whose discard is 1 and whose given slots hold 2, 3, 4, ... in the
// order given, so they can be played away one after another.
Deck runFrom(std::initializer_list<int> slots)
{
    std::vector<std::pair<int, int>> placed{{testing::kDiscardPosition, 1}};
    int value = 2;
    for (int slot : slots)
        placed.emplace_back(slot, value++);
    return makeDeck(placed);
}

TEST(FreeTest, Slot11IsFreeOnlyWhenBoth20And21AreGone)
{
    Random random(1);
    RecordingGameHost host;
    GameTable game(random, host, &host);

    game.startWithDeck(runFrom({19, 20, 22}));
    EXPECT_TRUE(game.isFree(19));
    EXPECT_FALSE(game.isFree(11));
    game.card_19Click(19);
    game.card_19Click(20);
    game.card_19Click(22);   // 19 and 22 gone as well: still 21 covers it
    EXPECT_EQ(game.slotValue(22), 0);
    EXPECT_FALSE(game.isFree(11));
    EXPECT_FALSE(game.slotFaceUp(11));
    EXPECT_TRUE(game.isFree(10));

    game.startWithDeck(runFrom({20, 21}));
    game.card_19Click(20);
    EXPECT_FALSE(game.isFree(11));
    game.card_19Click(21);
    EXPECT_TRUE(game.isFree(11));
    EXPECT_TRUE(game.slotFaceUp(11));
    EXPECT_FALSE(game.isFree(10));   // 19 is still there
}

TEST(FreeTest, Slot14FreesNeither6Nor7WhileTheirOtherCoverRemains)
{
    Random random(1);
    RecordingGameHost host;
    GameTable game(random, host, &host);
    // Clear 23 and 24 (freeing 14), then 22 and 25 (freeing 13 and 15 is not
    // needed): play 14 and check 6 and 7 stay covered by 13 and 15.
    game.startWithDeck(runFrom({23, 24, 14}));
    game.card_19Click(23);
    game.card_19Click(24);
    ASSERT_TRUE(game.isFree(14));
    game.card_19Click(14);
    ASSERT_EQ(game.slotValue(14), 0);
    EXPECT_FALSE(game.isFree(6));
    EXPECT_FALSE(game.isFree(7));
    EXPECT_FALSE(game.slotFaceUp(6));
    EXPECT_FALSE(game.slotFaceUp(7));
}

TEST(Random, DrawsFollowTheLinearCongruentialFormula)
{
    Random random(12345);
    // state = 12345 * 134775813 + 1 mod 2^32 = 1655067934;
    // draw = 1655067934 * 52 >> 32 = 20.
    EXPECT_EQ(random.draw(52), 20);
    EXPECT_EQ(random.state(), 1655067934u);
    EXPECT_EQ(random.draw(52), 15);
    EXPECT_EQ(random.draw(52), 4);

    Random wraps(0xFFFFFFFFu);
    wraps.draw(1);
    EXPECT_EQ(wraps.state(), 0xFFFFFFFFu * 134775813u + 1u);
    Random top(0xFFFFFFFFu);
    for (int i = 0; i < 1000; ++i) {
        const int n = top.draw(3);
        ASSERT_GE(n, 0);
        ASSERT_LT(n, 3);
    }
}

TEST(Deal, PinnedForAKnownGeneratorState)
{
    Random random(12345);
    RecordingGameHost host;
    GameTable game(random, host, &host);
    game.button_startClick();
    // Value 1 goes to position 20 + 1, value 2 to 15 + 1, value 3 to 4 + 1,
    // value 4 to 28 + 1 (the discard) and value 5 to 32 + 1.
    EXPECT_EQ(game.deckAt(21), 1);
    EXPECT_EQ(game.deckAt(16), 2);
    EXPECT_EQ(game.deckAt(5), 3);
    EXPECT_EQ(game.deckAt(29), 4);
    EXPECT_EQ(game.deckAt(33), 5);
    EXPECT_EQ(game.deckAt(1), 42);
    EXPECT_EQ(game.discardValue(), 4);
    EXPECT_EQ(random.state(), 1901686308u);
}

TEST(Deal, EveryDealIsAPermutation)
{
    for (std::uint32_t seed = 0; seed < 2000; seed += 7) {
        Random random(seed * 2654435761u);
        RecordingGameHost host;
        GameTable game(random, host, &host);
        game.button_startClick();
        std::set<int> values;
        for (int position = 1; position <= kCardCount; ++position)
            values.insert(game.deckAt(position));
        ASSERT_EQ(values.size(), 52u) << seed;
        ASSERT_EQ(*values.begin(), 1);
        ASSERT_EQ(*values.rbegin(), 52);
    }
}

TEST(Deal, LaysOutTheBoardAndResetsTheCounters)
{
    Random random(77);
    RecordingGameHost host;
    host.name = "Ada";
    GameTable game(random, host, &host);

    // Before the first deal every click does nothing.
    game.card_19Click(19);
    game.image_stockClick();
    game.button_undoClick();
    EXPECT_FALSE(game.gameon());
    EXPECT_TRUE(host.sounds.empty());
    EXPECT_EQ(game.scoreText(), "");
    EXPECT_FALSE(game.stockShowsBack());

    game.button_startClick();
    EXPECT_TRUE(game.gameon());
    EXPECT_EQ(game.scoreText(), "Score: 0");
    EXPECT_EQ(game.bonusText(), "");
    EXPECT_EQ(game.cardsLeftText(), "Cards Left: 23");
    EXPECT_EQ(game.dealpos(), 29);
    for (int slot = 1; slot <= kSlotCount; ++slot) {
        EXPECT_EQ(game.slotValue(slot), game.deckAt(slot));
        EXPECT_EQ(game.slotFaceUp(slot), slot >= 19) << slot;
    }
    EXPECT_EQ(game.discardValue(), game.deckAt(29));
    EXPECT_TRUE(game.stockShowsBack());
    EXPECT_EQ(host.sounds, std::vector<std::string>{"startgame"});
    EXPECT_EQ(host.calls, std::vector<std::string>{"increase 1"});
    EXPECT_EQ(host.greeting, "Good Luck Ada");

    host.name.clear();
    game.button_startClick();
    EXPECT_EQ(host.greeting, "Good Luck ");
}

TEST(Deal, RestartInTheMiddleOfAGame)
{
    Random random(5);
    RecordingGameHost host;
    GameTable game(random, host, &host);
    game.button_startClick();
    game.image_stockClick();
    game.image_stockClick();
    ASSERT_EQ(game.score(), -3);
    ASSERT_TRUE(game.undoButtonVisible());
    host.panel = "lost";
    host.forget();

    game.button_startClick();
    EXPECT_EQ(game.score(), 0);
    EXPECT_EQ(game.dealpos(), 29);
    EXPECT_EQ(game.chain(), 0);
    EXPECT_EQ(game.drawcount(), 0);
    EXPECT_EQ(game.cardsLeftText(), "Cards Left: 23");
    EXPECT_EQ(host.panel, "");
    EXPECT_EQ(host.calls, std::vector<std::string>{"increase 1"});
    // The abandoned game's moves can't be undone onto the new board.
    EXPECT_EQ(game.journalSize(), 0u);
    EXPECT_FALSE(game.undoButtonVisible());
    EXPECT_FALSE(game.undoMenuEnabled());
    const std::string dealt = game.currentRecord();
    game.button_undoClick();
    EXPECT_EQ(game.currentRecord(), dealt);
}

// The number the board shows stands for its deck wherever the deck is made
// again: by the solver's positions, and by "Select Deal...", which must not
// move the generator the run's own deals come from.
TEST(Deal, ADealNumberGivesTheDeckStartGameDealt)
{
    for (std::uint32_t number : {0u, 1u, 777u, 1404447408u, 4294967295u}) {
        Random random(number);
        RecordingGameHost host;
        GameTable started(random, host, &host);
        started.button_startClick();
        EXPECT_TRUE(Position::of(started) == Position::dealtFromState(number)) << number;

        Random shared(31337);
        GameTable selected(shared, host, &host);
        selected.startDeal(number);
        EXPECT_EQ(shared.state(), 31337u) << number;
        EXPECT_TRUE(Position::of(selected) == Position::of(started)) << number;
        EXPECT_EQ(selected.dealNumber(), std::optional<std::uint32_t>(number));
        EXPECT_EQ(host.greeting, "Good Luck Guest");
    }
}

} // namespace
} // namespace kestrova
