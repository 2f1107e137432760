// The undo journal: the record's exact form and taking moves back.

#include "game/gametable.h"
#include "game/journalrecord.h"
#include "game/random.h"
#include "support/decks.h"
#include "support/recordinggamehost.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace kestrova {
namespace {

using testing::makeDeck;
using testing::RecordingGameHost;

class Undo : public ::testing::Test {
protected:
    Random random{42};
    RecordingGameHost host;
    GameTable game{random, host, &host};
};

std::size_t fieldCount(const std::string& record)
{
    return static_cast<std::size_t>(std::count(record.begin(), record.end(), '*'));
}

TEST_F(Undo, RecordOfAFirstStockClickHasTheJournalShape)
{
    game.startWithDeck(makeDeck({}));   // deck in order 1..52
    const std::string dealt = game.currentRecord();
    game.image_stockClick();
    game.button_undoClick();

    // score, empty bonus, dealpos, chain, drawcount, discard, the deck, then
    // slot values with face flags, then the coverage pairs.
    std::string expected = "0**29*0*0*29*";
    for (int position = 1; position <= 52; ++position)
        expected += std::to_string(position) + "*";
    for (int slot = 1; slot <= 28; ++slot)
        expected += std::to_string(slot) + (slot >= 19 ? "*1*" : "*0*");
    expected += "4*5*6*7*8*9*10*11*11*12*13*14*14*15*16*17*17*18*";
    for (int i = 0; i <= 8; ++i)
        expected += std::to_string(19 + i) + "*" + std::to_string(20 + i) + "*";
    for (int slot = 19; slot <= 28; ++slot)
        expected += "0*0*";
    EXPECT_EQ(dealt, expected);
    EXPECT_EQ(fieldCount(dealt), 170u);
    EXPECT_EQ(formatJournalRecord(parseJournalRecord(dealt)), dealt);
}

TEST_F(Undo, UndoOfTheFirstMoveRestoresTheDealAtMinus3)
{
    game.startWithDeck(makeDeck({{29, 1}, {19, 2}, {20, 3}}));
    const std::string dealt = game.currentRecord();
    game.card_19Click(19);
    host.forget();

    game.button_undoClick();
    EXPECT_EQ(game.score(), -3);
    EXPECT_EQ(game.scoreText(), "Score: -3");
    EXPECT_EQ(game.bonusText(), "");
    EXPECT_EQ(game.slotValue(19), 2);
    EXPECT_TRUE(game.slotFaceUp(19));
    EXPECT_EQ(game.discardValue(), 1);
    EXPECT_FALSE(game.undoButtonVisible());
    EXPECT_FALSE(game.undoMenuEnabled());
    EXPECT_TRUE(game.gameon());
    EXPECT_TRUE(host.sounds.empty());
    EXPECT_TRUE(host.calls.empty());
    // The board is the dealt one, but for the score.
    std::string expected = dealt;
    expected.replace(0, 1, "-3");
    EXPECT_EQ(game.currentRecord(), expected);

    game.button_undoClick();   // the journal is empty now
    EXPECT_EQ(game.score(), -3);
}

TEST_F(Undo, UndoOfADrawRestoresAChainOfZero)
{
    game.startWithDeck(makeDeck({{29, 1}, {19, 2}, {20, 3}, {30, 4}, {21, 5}, {1, 6}}));
    game.card_19Click(19);
    game.card_19Click(20);
    ASSERT_EQ(game.chain(), 2);
    game.image_stockClick();
    game.button_undoClick();
    EXPECT_EQ(game.chain(), 0);
    EXPECT_EQ(game.drawcount(), 0);
    EXPECT_EQ(game.score(), 1 + 2 - 3);
    EXPECT_EQ(game.cardsLeftText(), "Cards Left: 23");
    EXPECT_TRUE(game.stockShowsBack());
    EXPECT_TRUE(game.undoButtonVisible());
    // The next play pays 1 again.
    game.image_stockClick();   // draws 4
    game.card_19Click(21);     // 5 on 4
    EXPECT_EQ(game.bonusText(), "+1");
}

TEST_F(Undo, UndoTurnsAnUncoveredCardBackAndReturnsPlayedCards)
{
    game.startWithDeck(makeDeck({{29, 1}, {19, 2}, {20, 3}}));
    game.card_19Click(19);
    game.card_19Click(20);
    ASSERT_TRUE(game.slotFaceUp(10));
    game.button_undoClick();
    EXPECT_FALSE(game.slotFaceUp(10));
    EXPECT_EQ(game.slotValue(20), 3);
    EXPECT_TRUE(game.slotFaceUp(20));
    EXPECT_EQ(game.slotValue(19), 0);
    EXPECT_EQ(game.discardValue(), 2);
    EXPECT_EQ(game.chain(), 1);
}

TEST_F(Undo, UndoAroundTheEmptyStock)
{
    game.startWithDeck(makeDeck({{52, 13}, {19, 12}}));
    for (int i = 0; i < 23; ++i)
        game.image_stockClick();
    const int afterLastCard = game.score();
    ASSERT_FALSE(game.stockShowsBack());

    game.image_stockClick();   // first click on the empty stock costs 24
    ASSERT_EQ(game.score(), afterLastCard - 24);
    game.button_undoClick();
    EXPECT_EQ(game.score(), afterLastCard - 3);
    EXPECT_EQ(game.cardsLeftText(), "Cards Left: 0");
    EXPECT_FALSE(game.stockShowsBack());

    game.image_stockClick();
    game.image_stockClick();
    game.image_stockClick();
    game.button_undoClick();
    game.button_undoClick();
    EXPECT_EQ(game.dealpos(), 53);
    EXPECT_EQ(game.cardsLeftText(), "Cards Left: 0");

    // Undoing the draw of the last card shows the back again: one card is left.
    game.button_undoClick();
    game.button_undoClick();
    EXPECT_EQ(game.dealpos(), 51);
    EXPECT_EQ(game.cardsLeftText(), "Cards Left: 1");
    EXPECT_TRUE(game.stockShowsBack());
    game.image_stockClick();
    EXPECT_EQ(game.discardValue(), 13);
}

TEST_F(Undo, NothingToUndoOnceTheGameHasEnded)
{
    game.startWithDeck(testing::clearableDeck());
    for (int slot : testing::kClearingOrder)
        game.card_19Click(slot);
    ASSERT_FALSE(game.gameon());
    const std::string cleared = game.currentRecord();
    game.button_undoClick();
    EXPECT_EQ(game.currentRecord(), cleared);
}

TEST(JournalRecord, DamagedTextReadsSafely)
{
    // Records come only from the writer, but a damaged one must not index
    // outside the tables.
    const JournalRecord cut = parseJournalRecord("12*+3*40*");
    EXPECT_EQ(cut.score, 12);
    EXPECT_EQ(cut.dealpos, 40);
    EXPECT_EQ(cut.deck[1], 0);

    std::string wild = "x*y*";
    for (int i = 0; i < 200; ++i)
        wild += (i % 3 ? "99*" : "-7*");
    const JournalRecord junk = parseJournalRecord(wild);
    for (int position = 1; position <= 52; ++position)
        EXPECT_TRUE(junk.deck[position] >= 0 && junk.deck[position] <= 52);
    for (int slot = 1; slot <= 28; ++slot) {
        EXPECT_TRUE(junk.covers[slot].first >= 0 && junk.covers[slot].first <= 28);
        EXPECT_TRUE(junk.tableau[slot].value >= 0 && junk.tableau[slot].value <= 52);
    }
}

} // namespace
} // namespace kestrova
