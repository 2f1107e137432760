// The solver against exhaustive play through the game table on small
// positions, and every line it returns replayed through the game table.

#include "game/clearedsets.h"
#include "game/gametable.h"
#include "game/position.h"
#include "game/random.h"
#include "game/silentgamehost.h"
#include "game/solver.h"
#include "support/decks.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <optional>
#include <random>

namespace kestrova {
namespace {

using testing::kClearingOrder;
using testing::makeDeck;

bool boardCleared(const GameTable& table)
{
    for (int slot = 1; slot <= kSlotCount; ++slot)
        if (table.slotValue(slot) != 0)
            return false;
    return true;
}

bool fits(const GameTable& table, int slot)
{
    const int value = table.slotValue(slot);
    return value != 0 && table.isFree(slot) && areRankNeighbours(table.discardValue(), value);
}

struct Exhaustive {
    int bestScore = INT_MIN;
    bool winnable = false;
    int longestChain = 0;
};

// Every line of play to the end of the game by the game table's own rules,
// with up to two clicks on the empty stock in each line: the first still
// costs points, the second is free, and neither should ever pay.
void playEverything(const GameTable& table, int emptyStockClicks, Exhaustive& result)
{
    result.longestChain = std::max(result.longestChain, table.chain());
    if (!table.gameon()) {
        result.bestScore = std::max(result.bestScore, table.score());
        result.winnable = result.winnable || boardCleared(table);
        return;
    }
    for (int slot = 1; slot <= kSlotCount; ++slot) {
        if (!fits(table, slot))
            continue;
        GameTable next(table);
        next.card_19Click(slot);
        playEverything(next, emptyStockClicks, result);
    }
    const bool stockEmpty = table.dealpos() >= 52;
    if (!stockEmpty || emptyStockClicks > 0) {
        GameTable next(table);
        next.image_stockClick();
        playEverything(next, stockEmpty ? emptyStockClicks - 1 : emptyStockClicks, result);
    }
}

// Plays a line on a copy of the table. Nothing when a move is refused or when
// the game ends before the line does.
std::optional<GameTable> replay(const GameTable& table, const Line& line)
{
    std::optional<GameTable> played(std::in_place, table);
    for (const Move& move : line) {
        if (!played->gameon())
            return std::nullopt;
        const std::size_t journalBefore = played->journalSize();
        if (move.isStock())
            played->image_stockClick();
        else
            played->card_19Click(move.slot);
        if (played->journalSize() != journalBefore + 1)
            return std::nullopt;
    }
    return played;
}

void expectLinesReplay(const GameTable& table, const Solution& solution)
{
    const std::optional<GameTable> best = replay(table, solution.bestLine);
    ASSERT_TRUE(best) << formatLine(solution.bestLine);
    EXPECT_FALSE(best->gameon()) << "the best line stops before the game ends: " << formatLine(solution.bestLine);
    EXPECT_EQ(best->score(), solution.bestScore) << formatLine(solution.bestLine);
    if (solution.winnable) {
        const std::optional<GameTable> won = replay(table, solution.winLine);
        ASSERT_TRUE(won) << formatLine(solution.winLine);
        EXPECT_TRUE(boardCleared(*won)) << formatLine(solution.winLine);
    } else {
        EXPECT_TRUE(solution.winLine.empty());
    }
}

void expectWinLineClears(const GameTable& table, const Verdict& verdict)
{
    if (!verdict.winnable) {
        EXPECT_TRUE(verdict.winLine.empty());
        return;
    }
    const std::optional<GameTable> won = replay(table, verdict.winLine);
    ASSERT_TRUE(won) << formatLine(verdict.winLine);
    EXPECT_TRUE(boardCleared(*won)) << formatLine(verdict.winLine);
}

// A table late in a game: the discard is an ace and the first `clearedSlots`
// slots of the clearing order hold 2, 3, 4, ..., so one run clears them; the
// other cards lie where `shuffleSeed` puts them. Then `clicks` stock clicks
// and up to `laterPlays` plays of the lowest fitting slot.
class LateTable {
public:
    LateTable(unsigned shuffleSeed, int clearedSlots, int clicks, int laterPlays)
    {
        std::vector<std::pair<int, int>> placed{{testing::kDiscardPosition, 1}};
        for (int i = 0; i < clearedSlots; ++i)
            placed.emplace_back(kClearingOrder[i], i + 2);
        std::vector<int> positions;
        for (int i = clearedSlots; i < kSlotCount; ++i)
            positions.push_back(kClearingOrder[i]);
        for (int position = 30; position <= kCardCount; ++position)
            positions.push_back(position);
        std::vector<int> values;
        for (int value = clearedSlots + 2; value <= kCardCount; ++value)
            values.push_back(value);
        std::shuffle(values.begin(), values.end(), std::mt19937(shuffleSeed));
        for (std::size_t i = 0; i < positions.size(); ++i)
            placed.emplace_back(positions[i], values[i]);

        table.startWithDeck(makeDeck(placed));
        for (int i = 0; i < clearedSlots; ++i)
            table.card_19Click(kClearingOrder[i]);
        for (int i = 0; i < clicks && table.gameon(); ++i)
            table.image_stockClick();
        for (int i = 0; i < laterPlays && table.gameon(); ++i) {
            int slot = 1;
            while (slot <= kSlotCount && !fits(table, slot))
                ++slot;
            if (slot > kSlotCount)
                break;
            table.card_19Click(slot);
        }
    }

    Random random{7};
    SilentGameHost host;
    GameTable table{random, host};
};

TEST(Solver, AgreesWithExhaustivePlayOnSmallPositions)
{
    int compared = 0;
    int winnable = 0;
    int midRun = 0;
    int stockEmpty = 0;
    for (unsigned seed = 1; compared < 160; ++seed) {
        const int clearedSlots = 17 + static_cast<int>(seed % 5);      // 7 to 11 cards left
        const int clicks = 15 + static_cast<int>(seed * 7 % 10);       // 8 stock cards left down to one click past empty
        const int laterPlays = static_cast<int>(seed / 5 % 3);
        const LateTable late(seed, clearedSlots, clicks, laterPlays);
        const std::optional<Position> position = Position::of(late.table);
        if (!position)
            continue;   // the set-up already lost the game
        ++compared;
        midRun += position->chain > 0 ? 1 : 0;
        stockEmpty += position->dealpos >= 52 ? 1 : 0;

        Exhaustive exhaustive;
        playEverything(late.table, 2, exhaustive);
        winnable += exhaustive.winnable ? 1 : 0;
        Solver solver(position->deck);
        const std::optional<Solution> solution = solver.solve(*position);
        ASSERT_TRUE(solution);
        SCOPED_TRACE("seed " + std::to_string(seed) + ", solver's best line " + formatLine(solution->bestLine));
        EXPECT_EQ(solution->bestScore, exhaustive.bestScore);
        EXPECT_EQ(solution->winnable, exhaustive.winnable);
        EXPECT_EQ(solution->longestChain, exhaustive.longestChain);
        expectLinesReplay(late.table, *solution);

        const std::optional<Verdict> verdict = Solver(position->deck).decide(*position);
        ASSERT_TRUE(verdict);
        EXPECT_EQ(verdict->winnable, exhaustive.winnable);
        expectWinLineClears(late.table, *verdict);
    }
    // The sample must reach the cases that matter.
    EXPECT_GT(winnable, 10);
    EXPECT_GT(compared - winnable, 10);
    EXPECT_GT(midRun, 10);
    EXPECT_GT(stockEmpty, 10);
}

} // namespace
} // namespace kestrova
