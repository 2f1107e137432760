// Moves, scoring, the lost test and the end of a game.

#include "game/gametable.h"
#include "game/random.h"
#include "support/decks.h"
#include "support/recordinggamehost.h"

#include <gtest/gtest.h>

#include <cstdint>

namespace kestrova {
namespace {

using testing::card;
using testing::clearableDeck;
using testing::kClearingOrder;
using testing::makeDeck;
using testing::RecordingGameHost;
using Sounds = std::vector<std::string>;

class Play : public ::testing::Test {
protected:
    void start(const Deck& deck)
    {
        game.startWithDeck(deck);
        host.forget();
    }
    void drawAll(int clicks)
    {
        for (int i = 0; i < clicks; ++i)
            game.image_stockClick();
    }
    void playInOrder(int count)
    {
        for (int i = 0; i < count; ++i)
            game.card_19Click(kClearingOrder[i]);
    }

    Random random{42};
    RecordingGameHost host;
    GameTable game{random, host, &host};
};

TEST_F(Play, NeighbourPlaysAndScores)
{
    start(makeDeck({{29, card(Suit::Clubs, 13)}, {19, card(Suit::Hearts, 1)}, {20, card(Suit::Spades, 13)},
                    {21, card(Suit::Diamonds, 12)}, {22, card(Suit::Diamonds, 13)}}));
    game.card_19Click(22);   // king on king: refused, nothing changes
    EXPECT_EQ(host.sounds, Sounds{"invalid"});
    EXPECT_EQ(game.journalSize(), 0u);
    EXPECT_EQ(game.score(), 0);

    host.forget();
    game.card_19Click(19);   // ace on king
    EXPECT_EQ(game.score(), 1);
    EXPECT_EQ(game.bonusText(), "+1");
    EXPECT_EQ(game.scoreText(), "Score: 1");
    EXPECT_EQ(game.discardValue(), card(Suit::Hearts, 1));
    EXPECT_EQ(game.slotValue(19), 0);
    EXPECT_EQ(host.sounds, Sounds{"placecard"});
    EXPECT_EQ(host.calls, std::vector<std::string>{"higher 4 1"});
    EXPECT_TRUE(game.undoButtonVisible());
    EXPECT_TRUE(game.undoMenuEnabled());

    game.card_19Click(20);   // king on ace
    game.card_19Click(21);   // queen on king
    EXPECT_EQ(game.chain(), 3);
    EXPECT_EQ(game.score(), 1 + 2 + 3);
    EXPECT_EQ(game.bonusText(), "+3");

    game.card_19Click(19);   // a played-away slot takes no click
    EXPECT_EQ(game.journalSize(), 3u);
}

TEST_F(Play, CoveredCardIsRefusedEvenWhenItsRankFits)
{
    start(makeDeck({{29, card(Suit::Clubs, 5)}, {10, card(Suit::Hearts, 6)}}));
    const std::string before = game.currentRecord();
    game.card_19Click(10);
    EXPECT_EQ(host.sounds, Sounds{"invalid"});
    EXPECT_EQ(game.currentRecord(), before);
    EXPECT_EQ(game.journalSize(), 0u);
    EXPECT_FALSE(game.undoButtonVisible());
}

TEST_F(Play, UncoveringTurnsExactlyTheFreedCardsFaceUp)
{
    // 20, 19 then 21 in a rising run.
    start(makeDeck({{29, 1}, {20, 2}, {19, 3}, {21, 4}}));
    game.card_19Click(20);
    EXPECT_FALSE(game.slotFaceUp(10));   // 19 still covers it
    EXPECT_FALSE(game.slotFaceUp(11));   // 21 still covers it
    game.card_19Click(19);
    EXPECT_TRUE(game.slotFaceUp(10));
    EXPECT_FALSE(game.slotFaceUp(11));
    game.card_19Click(21);
    EXPECT_TRUE(game.slotFaceUp(11));
    EXPECT_FALSE(game.slotFaceUp(12));
    EXPECT_FALSE(game.slotFaceUp(4));
}

TEST_F(Play, DrawPenaltiesRiseAndResetWithAPlay)
{
    // Stock: 5, 6, 7 then 8; base card 9 fits the third draw.
    start(makeDeck({{29, 1}, {30, 5}, {31, 6}, {32, 8}, {33, 3}, {19, 9}}));
    game.image_stockClick();
    EXPECT_EQ(game.score(), -1);
    EXPECT_EQ(game.bonusText(), "-1");
    EXPECT_EQ(game.cardsLeftText(), "Cards Left: 22");
    EXPECT_EQ(game.discardValue(), 5);
    game.image_stockClick();
    EXPECT_EQ(game.score(), -3);
    EXPECT_EQ(game.bonusText(), "-2");
    game.image_stockClick();
    EXPECT_EQ(game.score(), -6);
    EXPECT_EQ(game.bonusText(), "-3");
    EXPECT_EQ(host.sounds, (Sounds{"replace", "replace", "replace"}));

    game.card_19Click(19);   // 9 on 8
    EXPECT_EQ(game.score(), -5);
    EXPECT_EQ(game.bonusText(), "+1");
    game.image_stockClick();
    EXPECT_EQ(game.score(), -6);
    EXPECT_EQ(game.bonusText(), "-1");
    EXPECT_EQ(game.chain(), 0);
}

TEST_F(Play, PeakTopAsTheFifthCardOfAChainEarns25)
{
    // 19 20 21 22 10 in a run from the discard, a draw, then 11 12 4 5 1.
    start(makeDeck({{29, 1}, {19, 2}, {20, 3}, {21, 4}, {22, 5}, {10, 6}, {30, 7},
                    {11, 8}, {12, 9}, {4, 10}, {5, 11}, {1, 12}}));
    for (int slot : {19, 20, 21, 22, 10})
        game.card_19Click(slot);
    ASSERT_EQ(game.chain(), 5);
    game.image_stockClick();
    ASSERT_EQ(game.chain(), 0);
    for (int slot : {11, 12, 4, 5})
        game.card_19Click(slot);
    ASSERT_TRUE(game.slotFaceUp(1));
    const int before = game.score();
    game.card_19Click(1);
    EXPECT_EQ(game.score() - before, 25);
    EXPECT_EQ(game.bonusText(), "+25");
}

TEST_F(Play, LastStockCardThenTheEmptyStock)
{
    // The last stock card is a king and the base row holds a queen: still a move.
    start(makeDeck({{52, card(Suit::Clubs, 13)}, {19, card(Suit::Hearts, 12)}}));
    drawAll(22);
    host.forget();
    game.image_stockClick();   // the 23rd card
    EXPECT_EQ(game.cardsLeftText(), "Cards Left: 0");
    EXPECT_FALSE(game.stockShowsBack());
    EXPECT_TRUE(game.gameon());
    EXPECT_EQ(host.sounds, Sounds{"replace"});
    EXPECT_EQ(game.score(), -(23 * 24 / 2));

    game.image_stockClick();   // first click on the empty stock pays
    EXPECT_EQ(game.score(), -(24 * 25 / 2));
    EXPECT_EQ(game.bonusText(), "-24");
    EXPECT_EQ(game.discardValue(), card(Suit::Clubs, 13));
    EXPECT_EQ(game.cardsLeftText(), "Cards Left: 0");
    EXPECT_EQ(game.dealpos(), 53);

    const int score = game.score();
    game.image_stockClick();   // later ones don't
    game.image_stockClick();
    EXPECT_EQ(game.score(), score);
    EXPECT_EQ(game.bonusText(), "-24");
    EXPECT_EQ(game.cardsLeftText(), "Cards Left: 0");
    EXPECT_EQ(game.dealpos(), 55);
    EXPECT_EQ(game.journalSize(), 26u);
}

TEST_F(Play, LostAfterDrawingTheLastCard)
{
    // A king comes last and nothing on the base row is a queen, king or ace.
    start(makeDeck({{52, 13}, {19, 5}, {20, 6}, {21, 7}, {22, 8}, {23, 9}, {24, 18}, {25, 19}, {26, 20},
                    {27, 21}, {28, 22}}));
    drawAll(22);
    host.forget();
    game.image_stockClick();
    EXPECT_FALSE(game.gameon());
    EXPECT_TRUE(host.sounds.empty());
    EXPECT_EQ(host.panel, "lost");
    EXPECT_FALSE(host.lostBroughtToFront);
    EXPECT_FALSE(game.undoButtonVisible());
    EXPECT_FALSE(game.undoMenuEnabled());
    for (int slot = 1; slot <= kSlotCount; ++slot)
        EXPECT_TRUE(game.slotFaceUp(slot)) << slot;
    EXPECT_TRUE(host.calls.empty());

    // Nothing on the board reacts any more.
    const std::string after = game.currentRecord();
    game.card_19Click(19);
    game.image_stockClick();
    game.button_undoClick();
    EXPECT_EQ(game.currentRecord(), after);
}

TEST_F(Play, LostAfterATableauPlayWithTheStockEmpty)
{
    // The last stock card is a 4; a 5 on the base row fits, and after it nothing does.
    start(makeDeck({{52, 4}, {19, 5}, {20, 9}, {21, 10}, {22, 11}, {23, 22}, {24, 23}, {25, 24}, {26, 35},
                    {27, 36}, {28, 48}, {10, 12}, {11, 13}}));
    drawAll(23);
    ASSERT_TRUE(game.gameon());
    host.forget();
    game.card_19Click(19);
    EXPECT_FALSE(game.gameon());
    EXPECT_EQ(host.sounds, Sounds{"placecard"});
    EXPECT_EQ(host.panel, "lost");
    EXPECT_TRUE(host.lostBroughtToFront);
}

TEST_F(Play, ClearingWithoutDrawingEarns120)
{
    start(clearableDeck());
    playInOrder(27);
    host.forget();
    game.card_19Click(3);
    // Chains of 1..28 plus three peak tops, then 5 x (53 - 29).
    const int final = 28 * 29 / 2 + 3 * 20 + 120;
    EXPECT_EQ(game.score(), final);
    EXPECT_EQ(game.bonusText(), "+120");
    EXPECT_FALSE(game.gameon());
    EXPECT_FALSE(game.undoButtonVisible());
    EXPECT_EQ(host.panel, "cleared");
    EXPECT_EQ(host.clearedTitle, "You Cleared The Board!");
    EXPECT_EQ(host.clearedScoreText, "Your Score: " + std::to_string(final));
    ASSERT_EQ(host.sounds.size(), 1u);
    EXPECT_TRUE(host.sounds[0] == "winner" || host.sounds[0] == "winner1" || host.sounds[0] == "winner2");
    const std::string f = std::to_string(final);
    EXPECT_EQ(host.calls, (std::vector<std::string>{"higher 4 28", "increase 2", "score " + f + " Guest",
                                                    "lower 5 " + f, "add 6 " + f}));
}

TEST_F(Play, ClearingAfterTheLastDrawEarns5AndAfterOneEmptyClick0)
{
    start(clearableDeck(52));
    drawAll(23);
    playInOrder(28);
    EXPECT_EQ(game.bonusText(), "+5");

    start(clearableDeck(52));
    drawAll(24);
    playInOrder(28);
    EXPECT_EQ(game.bonusText(), "+0");

    // Further empty clicks would make the formula negative: it stays at 0.
    start(clearableDeck(52));
    drawAll(26);
    const int before = game.score();
    playInOrder(28);
    EXPECT_EQ(game.bonusText(), "+0");
    EXPECT_EQ(game.score(), before + 28 * 29 / 2 + 60);
}

// The generator state just before the clearing play decides the sound: a draw
// of 1 plays "winner", 2 "winner1", 0 "winner2".
TEST_F(Play, EachDrawPlaysItsOwnWinningSound)
{
    const std::pair<int, std::string> expected[] = {{0, "winner2"}, {1, "winner"}, {2, "winner1"}};
    for (const auto& [draw, sound] : expected) {
        std::uint32_t state = 0;
        while (Random(state).draw(3) != draw)
            ++state;
        start(clearableDeck());
        playInOrder(27);
        host.forget();
        random.setState(state);
        game.card_19Click(kClearingOrder[27]);
        EXPECT_EQ(host.sounds, Sounds{sound}) << "draw " << draw;
    }
}

TEST_F(Play, WinningSoundsComeEquallyOften)
{
    std::map<std::string, int> counts;
    for (int i = 0; i < 300; ++i) {
        start(clearableDeck());
        playInOrder(28);
        ++counts[host.sounds.back()];
    }
    ASSERT_EQ(counts.size(), 3u);
    for (const auto& [name, count] : counts)
        EXPECT_GT(count, 60) << name;
}

} // namespace
} // namespace kestrova
