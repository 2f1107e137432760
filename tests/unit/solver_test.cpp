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
#include <atomic>
#include <bit>
#include <climits>
#include <cstdint>
#include <stdexcept>
#include <optional>
#include <random>
#include <unordered_map>

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

// The rules written out once more, plainly, and searched state by state with
// nothing left out but what no line needs: (cleared slots, dealpos, discard,
// chain, drawcount) decides the future, and up to two clicks on the empty
// stock are allowed. Slow, but it splits the game nowhere the solver does.
class ReferenceSearch {
public:
    explicit ReferenceSearch(const Deck& deck) : deck_(deck), covers_(initialCovers()) {}

    // Future points, whether the board can be cleared, and the highest chain.
    struct Outlook {
        int gain = INT_MIN;
        bool winnable = false;
        int longestChain = 0;
    };

    Outlook from(const Position& p) { return from(p.cleared, p.dealpos, p.discard, p.chain, p.drawcount); }

private:
    bool isFree(std::uint32_t cleared, int slot) const
    {
        const CoverPair cover = covers_[slot];
        return cover.first == 0 || ((cleared & slotBit(cover.first)) && (cleared & slotBit(cover.second)));
    }
    bool fits(std::uint32_t cleared, int slot, int discard) const
    {
        return !(cleared & slotBit(slot)) && isFree(cleared, slot) && areRankNeighbours(discard, deck_[slot]);
    }
    bool anyFits(std::uint32_t cleared, int discard) const
    {
        for (int slot = 1; slot <= kSlotCount; ++slot)
            if (fits(cleared, slot, discard))
                return true;
        return false;
    }
    static void take(Outlook& outlook, int gain, bool winnable, int longestChain)
    {
        outlook.gain = std::max(outlook.gain, gain);
        outlook.winnable = outlook.winnable || winnable;
        outlook.longestChain = std::max(outlook.longestChain, longestChain);
    }

    Outlook from(std::uint32_t cleared, int dealpos, int discard, int chain, int drawcount)
    {
        const std::uint64_t key = cleared | std::uint64_t(dealpos) << 28 | std::uint64_t(discard) << 34
                                  | std::uint64_t(chain) << 40 | std::uint64_t(drawcount) << 46;
        if (const auto known = memo_.find(key); known != memo_.end())
            return known->second;
        Outlook outlook;
        outlook.longestChain = chain;
        for (int slot = 1; slot <= kSlotCount; ++slot) {
            if (!fits(cleared, slot, discard))
                continue;
            const std::uint32_t after = cleared | slotBit(slot);
            const int gain = chain + 1 + (slot <= 3 ? 20 : 0);
            if (after == kAllSlotsCleared) {
                take(outlook, gain + std::max(0, 5 * (53 - dealpos)), true, chain + 1);
            } else if (dealpos >= 52 && !anyFits(after, deck_[slot])) {
                take(outlook, gain, false, chain + 1);
            } else {
                const Outlook next = from(after, dealpos, deck_[slot], chain + 1, 0);
                take(outlook, gain + next.gain, next.winnable, next.longestChain);
            }
        }
        if (dealpos < 54) {
            const int cost = dealpos < 53 ? drawcount + 1 : 0;
            const int nextDiscard = dealpos + 1 < 53 ? deck_[dealpos + 1] : discard;
            if (dealpos + 1 >= 52 && !anyFits(cleared, nextDiscard)) {
                take(outlook, -cost, false, 0);
            } else {
                const Outlook next = from(cleared, dealpos + 1, nextDiscard, 0, drawcount + 1);
                take(outlook, next.gain - cost, next.winnable, next.longestChain);
            }
        }
        memo_.emplace(key, outlook);
        return outlook;
    }

    Deck deck_;
    CoverTable covers_;
    std::unordered_map<std::uint64_t, Outlook> memo_;
};

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

        // The plain search agrees with the table too, so that it can stand
        // in for it where playing everything out takes too long.
        const ReferenceSearch::Outlook reference = ReferenceSearch(position->deck).from(*position);
        EXPECT_EQ(position->score + reference.gain, exhaustive.bestScore);
        EXPECT_EQ(reference.winnable, exhaustive.winnable);
        EXPECT_EQ(reference.longestChain, exhaustive.longestChain);

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

// A position no table need have walked to: `left` cards remain, cleared in
// an order drawn from `seed`, the stock stands at `dealpos`, and either a stock
// card has just been turned or a chain runs on from the last card cleared.
Position halfCleared(unsigned seed, int left, int dealpos, bool midRun)
{
    std::mt19937 random(seed);
    Position position = Position::dealtFromState(seed);
    const CoverTable covers = initialCovers();
    int lastSlot = 0;
    while (kSlotCount - std::popcount(position.cleared) > left) {
        std::vector<int> free;
        for (int slot = 1; slot <= kSlotCount; ++slot) {
            const CoverPair cover = covers[slot];
            if (!position.isCleared(slot)
                && (cover.first == 0 || (position.isCleared(cover.first) && position.isCleared(cover.second))))
                free.push_back(slot);
        }
        lastSlot = free[random() % free.size()];
        position.cleared |= slotBit(lastSlot);
    }
    position.dealpos = dealpos;
    if (midRun) {
        position.discard = position.deck[lastSlot];
        position.chain = 1 + static_cast<int>(random() % 3);
    } else {
        position.discard = position.deck[dealpos];
        position.drawcount = std::min(dealpos - 29, static_cast<int>(random() % 3));
    }
    return position;
}

TEST(Solver, AgreesWithThePlainSearchOnHalfClearedBoards)
{
    for (unsigned seed = 1; seed <= 40; ++seed) {
        const int left = 12 + static_cast<int>(seed % 9);
        const int dealpos = 29 + static_cast<int>(seed * 5 % 14);
        const Position position = halfCleared(seed, left, dealpos, seed % 3 == 0);
        SCOPED_TRACE("seed " + std::to_string(seed));
        const ReferenceSearch::Outlook reference = ReferenceSearch(position.deck).from(position);
        const std::optional<Solution> solution = Solver(position.deck).solve(position);
        ASSERT_TRUE(solution);
        EXPECT_EQ(solution->bestScore - position.score, reference.gain);
        EXPECT_EQ(solution->winnable, reference.winnable);
        EXPECT_EQ(solution->longestChain, reference.longestChain);
        EXPECT_EQ(Solver(position.deck).decide(position)->winnable, reference.winnable);
    }
}

// The table as START GAME deals it from a generator state.
class DealtTable {
public:
    explicit DealtTable(std::uint32_t generatorState) : random(generatorState) { table.button_startClick(); }

    Random random;
    SilentGameHost host;
    GameTable table{random, host};
};

TEST(Solver, LinesFromTheDealEndAsPromised)
{
    int winnable = 0;
    for (std::uint32_t state = 0; state < 24; ++state) {
        const DealtTable dealt(state);
        const Position deal = Position::dealtFromState(state);
        ASSERT_EQ(Position::of(dealt.table), deal);
        const std::optional<Solution> solution = Solver(deal.deck).solve(deal);
        const std::optional<Verdict> verdict = Solver(deal.deck).decide(deal);
        ASSERT_TRUE(solution && verdict);
        SCOPED_TRACE("generator state " + std::to_string(state));
        EXPECT_EQ(verdict->winnable, solution->winnable);
        expectLinesReplay(dealt.table, *solution);
        expectWinLineClears(dealt.table, *verdict);
        winnable += solution->winnable ? 1 : 0;
    }
    EXPECT_GT(winnable, 0);
    EXPECT_LT(winnable, 24);   // state 14 deals a board that cannot be cleared
}

// The lowest slot that fits, else the stock: a line that wanders off the
// solver's own, through mid-run positions and stock streaks.
Move greedyMove(const GameTable& table)
{
    for (int slot = 1; slot <= kSlotCount; ++slot)
        if (fits(table, slot))
            return Move::play(slot);
    return Move::stock();
}

TEST(Solver, OneSolverFollowsAGameAsFreshOnesDo)
{
    DealtTable dealt(2024);
    GameTable& table = dealt.table;
    Solver following(Position::of(table)->deck);
    int expectedBest = following.solve(*Position::of(table))->bestScore;
    int positions = 0;
    while (const std::optional<Position> position = Position::of(table)) {
        ++positions;
        SCOPED_TRACE("after " + std::to_string(positions - 1) + " moves");
        const std::optional<Solution> warm = following.solve(*position);
        const std::optional<Verdict> warmVerdict = following.decide(*position);
        const std::optional<Solution> fresh = Solver(position->deck).solve(*position);
        ASSERT_TRUE(warm && warmVerdict && fresh);
        EXPECT_EQ(warm->bestScore, fresh->bestScore);
        EXPECT_EQ(warm->winnable, fresh->winnable);
        EXPECT_EQ(warm->longestChain, fresh->longestChain);
        EXPECT_EQ(warmVerdict->winnable, fresh->winnable);
        expectLinesReplay(table, *warm);
        expectWinLineClears(table, *warmVerdict);
        // Greedy play can only lose ground against the best line.
        EXPECT_LE(warm->bestScore, expectedBest);
        expectedBest = warm->bestScore;

        const Move move = greedyMove(table);
        if (move.isStock())
            table.image_stockClick();
        else
            table.card_19Click(move.slot);
    }
    EXPECT_GT(positions, 30);
}

TEST(Solver, BestScoreHoldsAlongTheBestLine)
{
    const DealtTable dealt(31337);
    GameTable table(dealt.table);
    Solver solver(Position::of(table)->deck);
    const Solution atDeal = *solver.solve(*Position::of(table));
    for (const Move& move : atDeal.bestLine) {
        const Solution now = *solver.solve(*Position::of(table));
        EXPECT_EQ(now.bestScore, atDeal.bestScore) << "before " << move.token();
        if (move.isStock())
            table.image_stockClick();
        else
            table.card_19Click(move.slot);
    }
    EXPECT_FALSE(table.gameon());
}

TEST(Solver, CancelledSearchesLeaveItsMemorySound)
{
    const Position deal = Position::dealtFromState(12345);
    Solver solver(deal.deck);
    const std::atomic<bool> cancel{true};
    // Each cancelled search gets a little further before it gives up, so
    // these stop it at different depths.
    for (int i = 0; i < 6; ++i)
        EXPECT_FALSE(solver.solve(deal, &cancel));
    const std::optional<Solution> resumed = solver.solve(deal);
    const std::optional<Solution> fresh = Solver(deal.deck).solve(deal);
    ASSERT_TRUE(resumed && fresh);
    EXPECT_EQ(resumed->bestScore, fresh->bestScore);
    EXPECT_EQ(resumed->longestChain, fresh->longestChain);
    EXPECT_EQ(resumed->bestLine, fresh->bestLine);

    // An unwinnable deal makes the verdict search the whole game too.
    const Position hopeless = Position::dealtFromState(14);
    Solver decider(hopeless.deck);
    for (int i = 0; i < 4; ++i)
        EXPECT_FALSE(decider.decide(hopeless, &cancel));
    EXPECT_FALSE(decider.decide(hopeless)->winnable);
}

TEST(Solver, EndOfStockScoring)
{
    // Only slot 1 is left, on an empty stock.
    Position position = Position::dealtFromState(7);
    position.cleared = kAllSlotsCleared & ~slotBit(1);
    position.dealpos = 52;
    position.score = 100;
    const int peak = position.deck[1];
    position.discard = peak % 13 == 12 ? peak + 1 - 13 : peak + 1;   // the next rank up, a suit apart or not
    ASSERT_TRUE(areRankNeighbours(position.discard, peak));
    Solver solver(position.deck);

    // Chain 1 plus 20 for a peak top, and 5 for the 53rd position.
    Solution solution = *solver.solve(position);
    EXPECT_TRUE(solution.winnable);
    EXPECT_EQ(solution.bestScore, 100 + 21 + 5);
    EXPECT_EQ(solution.bestLine, Line{Move::play(1)});
    EXPECT_EQ(solution.longestChain, 1);

    // One click past the end leaves no bonus, two or more take none away;
    // a chain in progress goes on.
    position.chain = 3;
    for (const int dealpos : {53, 54, 60}) {
        position.dealpos = dealpos;
        solution = *solver.solve(position);
        EXPECT_EQ(solution.bestScore, 100 + 24) << dealpos;
        EXPECT_EQ(solution.longestChain, 4);
    }

    // Nothing fits: the game is over as it stands.
    position.discard = peak % 13 == 0 ? peak - 6 : (peak % 13 + 6) % 13 + (peak - peak % 13);
    ASSERT_FALSE(areRankNeighbours(position.discard, peak));
    solution = *solver.solve(position);
    EXPECT_FALSE(solution.winnable);
    EXPECT_EQ(solution.bestScore, 100);
    EXPECT_TRUE(solution.bestLine.empty());
    EXPECT_EQ(solution.longestChain, 3);
    EXPECT_FALSE(solver.decide(position)->winnable);

    // Everything cleared: won as it stands.
    position.cleared = kAllSlotsCleared;
    solution = *solver.solve(position);
    EXPECT_TRUE(solution.winnable);
    EXPECT_EQ(solution.bestScore, 100);
    EXPECT_TRUE(solution.bestLine.empty() && solution.winLine.empty());
    EXPECT_TRUE(solver.decide(position)->winnable);
}

TEST(Solver, RefusesWhatNoGameReaches)
{
    const Position deal = Position::dealtFromState(5);
    Deck twice = deal.deck;
    twice[2] = twice[1];
    EXPECT_THROW(Solver{twice}, std::invalid_argument);

    Solver solver(deal.deck);
    const auto refused = [&solver](Position position) {
        EXPECT_THROW(solver.solve(position), std::invalid_argument);
        EXPECT_THROW(solver.decide(position), std::invalid_argument);
    };
    Position other = Position::dealtFromState(6);
    refused(other);

    Position wrong = deal;
    wrong.cleared = slotBit(1);   // a peak top gone while both its covers stay
    refused(wrong);
    wrong = deal;
    wrong.cleared = 1u << kSlotCount;
    refused(wrong);
    wrong = deal;
    wrong.dealpos = 28;
    refused(wrong);
    for (const int discard : {0, 53, -1}) {
        wrong = deal;
        wrong.discard = discard;
        refused(wrong);
    }
    wrong = deal;
    wrong.chain = 1;   // a chain with nothing played
    refused(wrong);
    wrong = deal;
    wrong.drawcount = 1;   // a draw without a click
    refused(wrong);
    wrong = deal;
    wrong.cleared = slotBit(19);
    wrong.dealpos = 30;
    wrong.chain = 1;
    wrong.drawcount = 1;   // both counters at once
    refused(wrong);

    // The deal itself is fine, and so is a position where a click has just
    // followed a play.
    EXPECT_NO_THROW(solver.solve(deal));
    Position clicked = deal;
    clicked.cleared = slotBit(19);
    clicked.dealpos = 30;
    clicked.drawcount = 1;
    EXPECT_NO_THROW(solver.solve(clicked));
}

} // namespace
} // namespace kestrova
