// The tally's update rules and what the window is told to show.
#include "tally/tallymodel.h"

#include <gtest/gtest.h>

#include <climits>
#include <string>
#include <vector>

namespace kestrova {
namespace {

std::vector<std::string> counters(const TallyModel& tally)
{
    std::vector<std::string> texts;
    for (int column = 1; column <= 6; ++column)
        texts.push_back(tally.counterText(column));
    return texts;
}

std::vector<int> heldScores(const TallyModel& tally)
{
    std::vector<int> scores;
    for (int rank = 1; rank <= 10; ++rank)
        scores.push_back(tally.heldScore(rank));
    return scores;
}

// A top ten of 100, 90, ... 10, entered by "p1" ... "p10" on "d1" ... "d10".
TallyModel fullTopTen()
{
    TallyModel tally;
    for (int i = 1; i <= 10; ++i)
        tally.checkscore(110 - 10 * i, "p" + std::to_string(i), "d" + std::to_string(i));
    return tally;
}

using Strings = std::vector<std::string>;

TEST(TallyModel, AFreshTallyShowsTheDefaultsAndTenEmptyBoldRanks)
{
    const TallyModel tally;
    EXPECT_EQ(counters(tally), (Strings{"0", "0", "0%", "0", "1000", "0"}));
    for (int rank = 1; rank <= 10; ++rank) {
        EXPECT_EQ(tally.rankDate(rank), "");
        EXPECT_EQ(tally.rankName(rank), "");
        EXPECT_EQ(tally.rankScoreText(rank), "");
        EXPECT_EQ(tally.heldScore(rank), -1000);
        EXPECT_FALSE(tally.isHighlighted(rank));
        EXPECT_TRUE(tally.isBold(rank));
    }
    EXPECT_THROW(tally.rankName(0), std::out_of_range);
    EXPECT_THROW(tally.heldScore(11), std::out_of_range);
    EXPECT_THROW(tally.counterText(7), std::out_of_range);
}

TEST(TallyModel, TheWinPercentageTruncatesAndChangesOnlyWhenAGameIsDealt)
{
    TallyModel tally;
    tally.addtomineincrease(TotalGames);
    EXPECT_EQ(counters(tally), (Strings{"1", "0", "0%", "0", "1000", "0"}));
    tally.addtomineincrease(GamesCleared);
    EXPECT_EQ(tally.counterText(2), "1");
    EXPECT_EQ(tally.counterText(3), "0%");
    tally.addtomineincrease(TotalGames);
    EXPECT_EQ(tally.counterText(3), "50%");
    tally.addtomineincrease(GamesCleared);
    tally.addtomineincrease(TotalGames);
    EXPECT_EQ(tally.counterText(1), "3");
    EXPECT_EQ(tally.counterText(3), "66%");
    EXPECT_EQ(tally.grid().cell(3, 0), "66"); // stored without the sign

    tally.addtomineset(2, "many");
    tally.addtomineincrease(TotalGames);
    EXPECT_EQ(tally.counterText(3), "0%");
}

TEST(TallyModel, RecordsMoveOnlyPastTheCurrentValue)
{
    TallyModel tally;
    tally.checkforhigher(LongestChain, 5);
    tally.checkforhigher(LongestChain, 5);
    tally.checkforhigher(LongestChain, 3);
    EXPECT_EQ(tally.counterText(4), "5");
    tally.checkforlower(LowestWinningScore, 1000);
    EXPECT_EQ(tally.counterText(5), "1000");
    tally.checkforlower(LowestWinningScore, 640);
    tally.checkforlower(LowestWinningScore, 700);
    EXPECT_EQ(tally.counterText(5), "640");
    EXPECT_EQ(tally.grid().cell(5, 0), "640");

    // A cell that is not an integer counts as 0.
    tally.addtomineset(4, "x");
    tally.checkforhigher(LongestChain, -1);
    EXPECT_EQ(tally.grid().cell(4, 0), "x");
    tally.checkforhigher(LongestChain, 1);
    EXPECT_EQ(tally.counterText(4), "1");
}

TEST(TallyModel, SumsAndCountsReadCellsThatAreNotIntegersAsZero)
{
    TallyModel tally;
    tally.addtomineadd(RunningTotal, 250);
    tally.addtomineadd(RunningTotal, -300);
    EXPECT_EQ(tally.counterText(6), "-50");
    tally.addtomineset(6, "");
    tally.addtomineadd(RunningTotal, 7);
    EXPECT_EQ(tally.counterText(6), "7");
    tally.addtomineset(6, "junk");
    tally.addtomineadd(RunningTotal, 7);
    EXPECT_EQ(tally.counterText(6), "7");

    tally.grid().setCell(7, 5, "abc");
    EXPECT_EQ(tally.addit(7, 5), 1);
    EXPECT_EQ(tally.addit(7, 5), 2);
    tally.grid().setCell(7, 5, "2147483647");
    EXPECT_EQ(tally.addit(7, 5), INT_MIN); // wraps like the 32-bit counters it was made for
}

TEST(TallyModel, AFirstClearedBoardTakesRankOneHighlighted)
{
    TallyModel tally;
    EXPECT_TRUE(tally.checkscore(412, "Ann", "07/12/2025"));
    EXPECT_EQ(tally.rankScoreText(1), "412");
    EXPECT_EQ(tally.rankName(1), "Ann");
    EXPECT_EQ(tally.rankDate(1), "07/12/2025");
    EXPECT_TRUE(tally.isHighlighted(1));
    EXPECT_TRUE(tally.isBold(1));
    EXPECT_FALSE(tally.isBold(2)); // the ranking sets every other rank to normal
    EXPECT_EQ(tally.grid().cell(0, 1), "07/12/2025");
    EXPECT_EQ(tally.grid().cell(1, 1), "412");
    EXPECT_EQ(tally.grid().cell(2, 1), "Ann");
}

TEST(TallyModel, AnEqualScoreEntersAboveAndTheLowerRanksShiftDown)
{
    TallyModel tally = fullTopTen();
    EXPECT_TRUE(tally.checkscore(80, "new", "today"));
    EXPECT_EQ(heldScores(tally), (std::vector<int>{100, 90, 80, 80, 70, 60, 50, 40, 30, 20}));
    EXPECT_EQ(tally.rankName(3), "new");
    EXPECT_EQ(tally.rankName(4), "p3");
    EXPECT_EQ(tally.rankDate(4), "d3");
    EXPECT_EQ(tally.rankScoreText(10), "20");
    EXPECT_TRUE(tally.isHighlighted(3));
    EXPECT_FALSE(tally.isHighlighted(1));
    // The table moves with the labels.
    EXPECT_EQ(tally.grid().cell(2, 4), "p3");
    EXPECT_EQ(tally.grid().cell(1, 10), "20");
    EXPECT_EQ(tally.grid().cell(0, 10), "d9");
}

TEST(TallyModel, AFullTopTenRefusesALowScoreButClearsTheHighlight)
{
    TallyModel tally = fullTopTen();
    EXPECT_TRUE(tally.isHighlighted(10));
    const StringGrid before = tally.grid();
    EXPECT_FALSE(tally.checkscore(9, "low", "today"));
    EXPECT_EQ(tally.grid(), before);
    for (int rank = 1; rank <= 10; ++rank) {
        EXPECT_FALSE(tally.isHighlighted(rank));
        EXPECT_FALSE(tally.isBold(rank));
    }

    // Rank 10 is replaced in place, nothing above it moves.
    EXPECT_TRUE(tally.checkscore(15, "ten", "today"));
    EXPECT_EQ(heldScores(tally), (std::vector<int>{100, 90, 80, 70, 60, 50, 40, 30, 20, 15}));
    EXPECT_EQ(tally.rankName(9), "p9");
    EXPECT_EQ(tally.rankName(10), "ten");
}

TEST(TallyModel, MinusOneThousandEntersAnEmptySlotAndShowsEmptyAfterTheNextStart)
{
    TallyModel tally;
    tally.checkscore(50, "a", "d");
    EXPECT_FALSE(tally.checkscore(-1001, "b", "d"));
    EXPECT_TRUE(tally.checkscore(-1000, "c", "d2"));
    EXPECT_EQ(tally.rankScoreText(2), "-1000");
    EXPECT_EQ(tally.heldScore(2), -1000);

    TallyModel next;
    next.grid() = tally.grid();
    next.loadtally();
    EXPECT_EQ(next.rankScoreText(2), "");
    EXPECT_EQ(next.rankName(2), "c");
    EXPECT_EQ(next.rankDate(2), "d2");
    EXPECT_TRUE(next.checkscore(-1000, "e", "d3")); // counts as empty again, and equal goes above
    EXPECT_EQ(next.rankName(2), "e");
    EXPECT_EQ(next.rankName(3), "c");
}

TEST(TallyModel, LoadtallyCompletesMissingValuesAndShowsBadScoresAsEmpty)
{
    TallyModel tally;
    StringGrid& grid = tally.grid();
    grid.setCell(1, 0, "7");
    grid.setCell(3, 0, "");
    grid.setCell(5, 0, "");
    grid.setCell(1, 1, "");
    grid.setCell(1, 2, "abc");
    grid.setCell(0, 2, "date");
    grid.setCell(1, 3, "-5000");
    grid.setCell(1, 4, "-999");
    grid.setCell(1, 5, "2147483648");
    tally.loadtally();

    EXPECT_EQ(counters(tally), (Strings{"7", "0", "%", "0", "", "0"}));
    EXPECT_EQ(grid.cell(5, 0), "1000"); // completed, while the label stays empty
    EXPECT_EQ(grid.cell(1, 1), "-1000");
    EXPECT_EQ(grid.cell(1, 2), "abc"); // kept until the slot is overwritten or moved
    EXPECT_EQ(tally.rankDate(2), "date");
    EXPECT_EQ(heldScores(tally), (std::vector<int>{-1000, -1000, -5000, -999, -1000, -1000, -1000,
                                                    -1000, -1000, -1000}));
    EXPECT_EQ(tally.rankScoreText(2), "");
    EXPECT_EQ(tally.rankScoreText(3), "");
    EXPECT_EQ(tally.rankScoreText(4), "-999");
    EXPECT_EQ(tally.rankScoreText(5), "");

    tally.checkforlower(LowestWinningScore, 800);
    EXPECT_EQ(tally.counterText(5), "800");
}

TEST(TallyModel, ResetClearsEverythingButColumnZeroAndRestoresTwelveRows)
{
    TallyModel tally = fullTopTen();
    tally.addtomineincrease(TotalGames);
    tally.grid().setCell(0, 0, "kept");
    tally.grid().setCell(2, 11, "spare");
    tally.grid().setRowCount(20);
    tally.reset();

    EXPECT_EQ(counters(tally), (Strings{"0", "0", "0%", "0", "1000", "0"}));
    const StringGrid& grid = tally.grid();
    EXPECT_EQ(grid.rowCount(), 12);
    EXPECT_EQ(grid.columnCount(), 9);
    const char* const row0[9] = {"kept", "0", "0", "0", "0", "1000", "0", "0", "0"};
    for (int column = 0; column < 9; ++column)
        EXPECT_EQ(grid.cell(column, 0), row0[column]);
    for (int row = 1; row < 12; ++row) {
        EXPECT_EQ(grid.cell(0, row), "");
        EXPECT_EQ(grid.cell(1, row), "-1000");
        EXPECT_EQ(grid.cell(2, row), "");
    }
    for (int rank = 1; rank <= 10; ++rank) {
        EXPECT_EQ(tally.rankName(rank), "");
        EXPECT_EQ(tally.rankScoreText(rank), "");
        EXPECT_EQ(tally.heldScore(rank), -1000);
        EXPECT_FALSE(tally.isHighlighted(rank));
        EXPECT_FALSE(tally.isBold(rank));
    }

    // The next cleared board is rank 1 and the lowest winning score.
    tally.addtomineincrease(GamesCleared);
    EXPECT_TRUE(tally.checkscore(300, "Ann", "d"));
    tally.checkforlower(LowestWinningScore, 300);
    EXPECT_EQ(tally.rankScoreText(1), "300");
    EXPECT_EQ(tally.counterText(5), "300");
}

TEST(TallyModel, ATableReadWithASmallerShapeKeepsItAndStillCounts)
{
    TallyModel tally;
    tally.grid().setColumnCount(3);
    tally.grid().setRowCount(2);
    tally.loadtally();
    tally.addtomineincrease(TotalGames);
    tally.addtomineadd(RunningTotal, 40);
    EXPECT_TRUE(tally.checkscore(10, "x", "d"));
    EXPECT_TRUE(tally.checkscore(20, "y", "d"));
    EXPECT_EQ(tally.counterText(1), "1");
    EXPECT_EQ(tally.counterText(6), "40");
    EXPECT_EQ(tally.rankName(2), "x");
    EXPECT_EQ(tally.grid().columnCount(), 3);
    EXPECT_EQ(tally.grid().rowCount(), 2);
    EXPECT_EQ(tally.grid().cell(2, 1), "y");
}

TEST(TallyModel, EveryChangeIsAnnounced)
{
    TallyModel tally;
    int calls = 0;
    tally.onChanged = [&] { ++calls; };
    tally.addtomineincrease(TotalGames);
    tally.checkforhigher(LongestChain, 2);
    tally.checkforhigher(LongestChain, 1); // no change, no call
    tally.checkforlower(LowestWinningScore, 10);
    tally.addtomineadd(RunningTotal, 10);
    tally.addtomineset(3, "1");
    tally.checkscore(5, "n", "d");
    tally.checkscore(-5000, "n", "d"); // refused, but the highlight went
    tally.reset();
    tally.loadtally();
    EXPECT_EQ(calls, 9);
}

} // namespace
} // namespace kestrova
