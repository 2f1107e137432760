#include "game/solver.h"

#include "game/card.h"
#include "game/rules.h"
#include "game/tableau.h"

#include <algorithm>
#include <bit>
#include <limits>
#include <stdexcept>

// How the search is cut into pieces. Between two stock clicks the player
// makes a run of tableau plays; what a run earns depends only on how many
// cards it takes and how many of them are peak tops, so a run is searched as
// the set of (cleared slots, last card) states it can reach, and what follows
// it depends only on the cleared slots and the stock position. The position
// right after a stock click, a "boundary", is remembered by (cleared slots,
// dealpos): its future does not depend on the score, and the chain is 0.
//
// Clicks on an empty stock are never searched. While a free card fits, such
// a click leaves the board and the discard as they are and only resets the
// chain, costs points once and lowers the end bonus: any line with it is
// matched, play for play, by the same line without it, which scores at least
// as much, reaches as long a chain, and ends the same way (the lost test reads
// only the board and the discard). Without a fitting card the game is over:
// the table ends it with the move that left it so.

namespace kestrova {

namespace {

constexpr int kBoundaryLevels = kLastStockPosition - kFirstDiscardPosition + 1;
constexpr int kRootLevel = kBoundaryLevels;
constexpr std::uint32_t kPeakTops = slotBit(1) | slotBit(2) | slotBit(3);
constexpr std::array<int, 8> kPeakTopsAmong{0, 1, 1, 2, 1, 2, 2, 3};   // by the bits of slots 1-3
constexpr int kNoLine = std::numeric_limits<int>::min() / 2;
constexpr std::int16_t kNoPlay = std::numeric_limits<std::int16_t>::min();
constexpr unsigned kCancelCheckInterval = 4096;
constexpr std::uint8_t kLostUnknown = 0xFF;

// Boundary::flags
constexpr std::uint8_t kOpeningKnown = 1;
constexpr std::uint8_t kOpeningWins = 2;
constexpr std::uint8_t kAfterDrawKnown = 4;
constexpr std::uint8_t kAfterDrawWins = 8;
constexpr std::uint8_t kRunAtOnceBest = 16;   // afterDrawBest == openingBest

struct Cancelled {};

std::uint64_t runKey(int set, int lastSlot)
{
    return static_cast<std::uint64_t>(set) * 32 + static_cast<std::uint64_t>(lastSlot);
}

template <typename Nodes>
void appendPath(const Nodes& nodes, std::size_t index, Line& line)
{
    const std::size_t first = line.size();
    for (auto i = static_cast<std::int32_t>(index); nodes[i].parent >= 0; i = nodes[i].parent)
        line.push_back(Move::play(nodes[i].lastSlot));
    std::reverse(line.begin() + static_cast<std::ptrdiff_t>(first), line.end());
}

template <typename Nodes>
void appendReversedPath(const Nodes& nodes, std::size_t index, Line& reversed)
{
    for (auto i = static_cast<std::int32_t>(index); nodes[i].parent >= 0; i = nodes[i].parent)
        reversed.push_back(Move::play(nodes[i].lastSlot));
}

bool isPermutation(const Deck& deck)
{
    std::array<bool, kCardCount + 1> seen{};
    for (int position = 1; position <= kCardCount; ++position) {
        const int value = deck[position];
        if (value < 1 || value > kCardCount || seen[value])
            return false;
        seen[value] = true;
    }
    return true;
}

} // namespace

Solver::Solver(const Deck& deck)
    : sets_(ClearedSets::instance()), deck_(deck), nodesByLevel_(kBoundaryLevels + 1)
{
    if (!isPermutation(deck))
        throw std::invalid_argument("the deck is not a permutation of the 52 cards");
    for (int card = 1; card <= kCardCount; ++card)
        for (int slot = 1; slot <= kSlotCount; ++slot)
            if (areRankNeighbours(card, deck[slot]))
                fitting_[static_cast<std::size_t>(card)] |= slotBit(slot);
}

std::size_t Solver::memoryBytes() const
{
    std::size_t bytes = boundaries_.capacity() * sizeof(Boundary) + lostFrom_.capacity() + visited_.memoryBytes();
    for (const Nodes& nodes : nodesByLevel_)
        bytes += nodes.capacity() * sizeof(RunNode);
    return bytes;
}

int Solver::validatedSet(const Position& position) const
{
    if (position.deck != deck_)
        throw std::invalid_argument("the position belongs to another deal");
    const std::optional<int> set = sets_.indexOf(position.cleared);
    if (!set)
        throw std::invalid_argument("cleared slots that no play leaves behind");
    if (position.dealpos < kFirstDiscardPosition)
        throw std::invalid_argument("dealpos below the first discard");
    if (position.discard < 1 || position.discard > kCardCount)
        throw std::invalid_argument("no card on the discard");
    if (position.chain < 0 || position.chain > std::popcount(position.cleared) || position.drawcount < 0
        || position.drawcount > position.dealpos - kFirstDiscardPosition
        || (position.chain > 0 && position.drawcount > 0))
        throw std::invalid_argument("chain and drawcount that no game reaches");
    return *set;
}

void Solver::checkCancel()
{
    if (cancel_ && ++sinceCancelCheck_ >= kCancelCheckInterval) {
        sinceCancelCheck_ = 0;
        if (cancel_->load(std::memory_order_relaxed))
            throw Cancelled{};
    }
}

std::uint32_t Solver::playable(int set, int discard) const
{
    return sets_[set].free & fitting_[static_cast<std::size_t>(discard)];
}

int Solver::runGain(int startSet, const RunNode& node, int chain) const
{
    const std::uint32_t played = sets_.cleared(node.set) ^ sets_.cleared(startSet);
    return chain * node.plays + node.plays * (node.plays + 1) / 2 + kPeakTopBonus * kPeakTopsAmong[played & kPeakTops];
}

// Every state one run of tableau plays can reach, breadth first, so that the
// plays never fall along the list. Node 0 is the start.
void Solver::enumerateRun(int set, int discard, Nodes& nodes)
{
    nodes.clear();
    visited_.clear();
    nodes.push_back({static_cast<std::uint16_t>(set), 0, 0, -1});
    for (std::size_t i = 0; i < nodes.size(); ++i) {
        checkCancel();
        const RunNode node = nodes[i];
        const ClearedSets::Set& from = sets_[node.set];
        const int top = node.lastSlot == 0 ? discard : deck_[node.lastSlot];
        std::uint32_t moves = from.free & fitting_[static_cast<std::size_t>(top)];
        while (moves != 0) {
            const int slot = std::countr_zero(moves) + 1;
            moves &= moves - 1;
            const int next = from.after[static_cast<std::size_t>(slot - 1)];
            // From the start every play leads to another set of cleared slots.
            if (i == 0 || visited_.insert(runKey(next, slot), 0).second)
                nodes.push_back({static_cast<std::uint16_t>(next), static_cast<std::int8_t>(slot),
                                 static_cast<std::int8_t>(node.plays + 1), static_cast<std::int32_t>(i)});
        }
    }
}

// Each part at its best, whichever line reaches it.
Solver::Summary Solver::better(const Summary& a, const Summary& b)
{
    return {std::max(a.best, b.best), std::max(a.chain, b.chain), a.wins || b.wins};
}

Solver::Nodes& Solver::nodesFor(int dealpos)
{
    return nodesByLevel_[static_cast<std::size_t>(dealpos - kFirstDiscardPosition)];
}

template <typename Search>
auto Solver::cancellable(const std::atomic<bool>* cancel, Search search) -> std::optional<decltype(search())>
{
    cancel_ = cancel;
    std::optional<decltype(search())> result;
    try {
        result = search();
    } catch (const Cancelled&) {
        // What the search had finished stays remembered; the rest is redone.
    }
    cancel_ = nullptr;
    return result;
}

// ---------------------------------------------------------------- solve()

Solver::Boundary& Solver::boundary(int set, int dealpos)
{
    return boundaries_[static_cast<std::size_t>(set) * kBoundaryLevels
                       + static_cast<std::size_t>(dealpos - kFirstDiscardPosition)];
}

// What stopping a run at `node` leads to: the board cleared, a stock click
// and what follows it, or, with the stock empty, a loss. A run on an empty
// stock that stops while a card still fits is not a line of play, but it
// never scores best either: one more play earns more.
Solver::Summary Solver::runEnd(const RunNode& node, int startSet, int chain, int dealpos)
{
    const int gain = runGain(startSet, node, chain);
    const int chainReached = chain + node.plays;
    if (node.set == sets_.allCleared())
        return {gain + endBonus(dealpos), chainReached, true};
    if (dealpos >= kLastStockPosition)
        return {gain, chainReached, false};
    const Summary next = afterDraw(node.set, dealpos + 1);
    return {gain - 1 + next.best, std::max(chainReached, next.chain), next.wins};
}

const Solver::Boundary& Solver::opening(int set, int dealpos)
{
    const Boundary& known = boundary(set, dealpos);
    return (known.flags & kOpeningKnown) != 0 ? known : searchOpening(set, dealpos);
}

const Solver::Boundary& Solver::searchOpening(int set, int dealpos)
{
    Summary summary{kNoLine, 0, false};
    if (playable(set, deck_[dealpos]) == 0) {
        if (dealpos == kLastStockPosition)
            summary.best = 0;   // the click that emptied the stock lost the game
    } else {
        // Deeper boundaries have node lists of their own, so this one stays
        // put while the loop below searches them.
        Nodes& nodes = nodesFor(dealpos);
        enumerateRun(set, deck_[dealpos], nodes);
        for (std::size_t i = 1; i < nodes.size(); ++i)
            summary = better(summary, runEnd(nodes[i], set, 0, dealpos));
    }

    Boundary& stored = boundary(set, dealpos);
    stored.openingBest = summary.best == kNoLine ? kNoPlay : static_cast<std::int16_t>(summary.best);
    stored.openingChain = static_cast<std::uint8_t>(summary.chain);
    stored.flags |= kOpeningKnown | (summary.wins ? kOpeningWins : 0);
    return stored;
}

// The best future at the boundary (set, dealpos) entered with `drawcount`
// stock clicks in a row: more clicks first, then a run. Wants afterDraw()
// known from dealpos on.
int Solver::bestAfterClicks(int set, int dealpos, int drawcount)
{
    int best = kNoLine;
    int cost = 0;
    for (int at = dealpos;; ++at) {
        if (at > dealpos)
            cost += drawcount + (at - dealpos);
        const Boundary& found = boundary(set, at);
        if (found.openingBest != kNoPlay)
            best = std::max(best, found.openingBest - cost);
        // Where a run at once beats clicking on with drawcount 1, it beats
        // clicking on with any higher drawcount too: the rest cannot win.
        if (at == kLastStockPosition || (found.flags & kRunAtOnceBest) != 0)
            return best;
    }
}

// After a run a stock click always comes with drawcount 1, so that case is
// remembered with the boundary.
Solver::Summary Solver::afterDraw(int set, int dealpos)
{
    const Boundary& known = boundary(set, dealpos);
    if ((known.flags & kAfterDrawKnown) == 0)
        return searchAfterDraw(set, dealpos);
    return {known.afterDrawBest, known.afterDrawChain, (known.flags & kAfterDrawWins) != 0};
}

Solver::Summary Solver::searchAfterDraw(int set, int dealpos)
{
    const Boundary& here = opening(set, dealpos);
    const int runNow = here.openingBest == kNoPlay ? kNoLine : here.openingBest;
    Summary summary{runNow, here.openingChain, (here.flags & kOpeningWins) != 0};
    if (dealpos < kLastStockPosition) {
        summary = better(summary, afterDraw(set, dealpos + 1));
        summary.best = std::max(runNow, bestAfterClicks(set, dealpos + 1, 2) - 2);
    }
    Boundary& stored = boundary(set, dealpos);
    stored.afterDrawBest = static_cast<std::int16_t>(summary.best);
    stored.afterDrawChain = static_cast<std::uint8_t>(summary.chain);
    stored.flags |= kAfterDrawKnown | (summary.wins ? kAfterDrawWins : 0)
                    | (runNow != kNoLine && runNow == summary.best ? kRunAtOnceBest : 0);
    return summary;
}

// The position itself is searched like a boundary, but with its own discard,
// chain and drawcount.
Solver::Summary Solver::rootSummary(const Position& position, int set)
{
    Summary summary{kNoLine, position.chain, false};
    Nodes& nodes = nodesByLevel_[kRootLevel];
    enumerateRun(set, position.discard, nodes);
    for (std::size_t i = 1; i < nodes.size(); ++i)
        summary = better(summary, runEnd(nodes[i], set, position.chain, position.dealpos));
    if (position.dealpos < kLastStockPosition) {
        Summary next = afterDraw(set, position.dealpos + 1);
        next.best = bestAfterClicks(set, position.dealpos + 1, position.drawcount + 1) - (position.drawcount + 1);
        summary = better(summary, next);
    } else if (nodes.size() == 1) {
        summary.best = 0;   // nothing fits and the stock is empty: the game is lost as it stands
    }
    return summary;
}

std::optional<Solution> Solver::solve(const Position& position, const std::atomic<bool>* cancel)
{
    const int set = validatedSet(position);
    if (boundaries_.empty())
        boundaries_.assign(static_cast<std::size_t>(sets_.count()) * kBoundaryLevels, Boundary{});
    return cancellable(cancel, [&] { return solveFrom(position, set); });
}

Solution Solver::solveFrom(const Position& position, int set)
{
    Solution solution;
    if (set == sets_.allCleared()) {
        solution.winnable = true;
        solution.bestScore = position.score;
        solution.longestChain = position.chain;
        return solution;
    }
    const Summary summary = rootSummary(position, set);
    solution.winnable = summary.wins;
    solution.bestScore = position.score + summary.best;
    solution.longestChain = summary.chain;
    solution.bestLine = bestLineFrom(position, set, summary.best);
    const auto plays = std::count_if(solution.bestLine.begin(), solution.bestLine.end(),
                                     [](Move move) { return !move.isStock(); });
    if (plays == kSlotCount - std::popcount(position.cleared))
        solution.winLine = solution.bestLine;
    else if (solution.winnable)
        solution.winLine = winLineFrom(position, set);
    return solution;
}

// The lines walk the remembered values forward, each time taking the first
// move whose value is the one still to be reached.
Line Solver::bestLineFrom(const Position& position, int set, int future)
{
    Line line;
    Nodes& nodes = nodesByLevel_[kRootLevel];
    enumerateRun(set, position.discard, nodes);
    for (std::size_t i = 1; i < nodes.size(); ++i) {
        const RunNode node = nodes[i];
        if (runEnd(node, set, position.chain, position.dealpos).best != future)
            continue;
        appendPath(nodes, i, line);
        if (node.set != sets_.allCleared() && position.dealpos < kLastStockPosition) {
            line.push_back(Move::stock());
            const int gain = runGain(set, node, position.chain);
            appendBestFromBoundary(node.set, position.dealpos + 1, 1, future - gain + 1, line);
        }
        return line;
    }
    if (position.dealpos < kLastStockPosition) {
        line.push_back(Move::stock());
        appendBestFromBoundary(set, position.dealpos + 1, position.drawcount + 1, future + position.drawcount + 1,
                               line);
    }
    return line;
}

void Solver::appendBestFromBoundary(int set, int dealpos, int drawcount, int future, Line& line)
{
    for (;;) {
        int at = dealpos;
        int cost = 0;
        for (;; ++at) {
            if (at > dealpos)
                cost += drawcount + (at - dealpos);
            const Boundary& found = opening(set, at);
            if (found.openingBest != kNoPlay && found.openingBest - cost == future)
                break;
            line.push_back(Move::stock());
        }
        const int runFuture = future + cost;
        Nodes& nodes = nodesFor(at);
        enumerateRun(set, deck_[at], nodes);
        std::size_t chosen = 1;
        while (chosen < nodes.size() && runEnd(nodes[chosen], set, 0, at).best != runFuture)
            ++chosen;
        if (chosen == nodes.size())
            return;   // nothing fitted the last stock card: lost
        const RunNode node = nodes[chosen];
        appendPath(nodes, chosen, line);
        if (node.set == sets_.allCleared() || at == kLastStockPosition)
            return;
        line.push_back(Move::stock());
        future = runFuture - runGain(set, node, 0) + 1;
        set = node.set;
        dealpos = at + 1;
        drawcount = 1;
    }
}

Line Solver::winLineFrom(const Position& position, int set)
{
    Line line;
    Nodes& nodes = nodesByLevel_[kRootLevel];
    enumerateRun(set, position.discard, nodes);
    // Longest runs first: they make the line a player would choose.
    for (std::size_t i = nodes.size() - 1; i >= 1; --i) {
        const RunNode node = nodes[i];
        if (node.set == sets_.allCleared()) {
            appendPath(nodes, i, line);
            return line;
        }
        if (position.dealpos < kLastStockPosition && afterDraw(node.set, position.dealpos + 1).wins) {
            appendPath(nodes, i, line);
            line.push_back(Move::stock());
            appendWinFromBoundary(node.set, position.dealpos + 1, line);
            return line;
        }
    }
    line.push_back(Move::stock());
    appendWinFromBoundary(set, position.dealpos + 1, line);
    return line;
}

void Solver::appendWinFromBoundary(int set, int dealpos, Line& line)
{
    for (;;) {
        while ((opening(set, dealpos).flags & kOpeningWins) == 0) {
            line.push_back(Move::stock());
            ++dealpos;
        }
        Nodes& nodes = nodesFor(dealpos);
        enumerateRun(set, deck_[dealpos], nodes);
        std::size_t chosen = nodes.size() - 1;
        while (nodes[chosen].set != sets_.allCleared()
               && !(dealpos < kLastStockPosition && afterDraw(nodes[chosen].set, dealpos + 1).wins))
            --chosen;
        appendPath(nodes, chosen, line);
        if (nodes[chosen].set == sets_.allCleared())
            return;
        line.push_back(Move::stock());
        set = nodes[chosen].set;
        ++dealpos;
    }
}

// ---------------------------------------------------------------- decide()

// One run's states are all listed before any of them is followed further, so
// that a cleared board is seen at once and the longest runs are tried first.
bool Solver::winFromRun(int set, int discard, int dealpos, Nodes& nodes, Line& reversed)
{
    enumerateRun(set, discard, nodes);
    for (std::size_t i = nodes.size() - 1; i >= 1; --i)
        if (nodes[i].set == sets_.allCleared()) {
            appendReversedPath(nodes, i, reversed);
            return true;
        }
    if (dealpos >= kLastStockPosition)
        return false;
    for (std::size_t i = nodes.size() - 1; i >= 1; --i)
        if (winFrom(nodes[i].set, dealpos + 1, reversed)) {
            reversed.push_back(Move::stock());
            appendReversedPath(nodes, i, reversed);
            return true;
        }
    if (winFrom(set, dealpos + 1, reversed)) {
        reversed.push_back(Move::stock());
        return true;
    }
    return false;
}

// A boundary from which no line clears the board stays so with less stock:
// every line from there is open from here too, after more clicks. So one
// number per cleared set, the lowest such dealpos, says where play is lost.
bool Solver::winFrom(int set, int dealpos, Line& reversed)
{
    std::uint8_t& lost = lostFrom_[static_cast<std::size_t>(set)];
    if (lost != kLostUnknown && lost <= dealpos)
        return false;
    if (winFromRun(set, deck_[dealpos], dealpos, nodesFor(dealpos), reversed))
        return true;
    lost = std::min(lost, static_cast<std::uint8_t>(dealpos));
    return false;
}

std::optional<Verdict> Solver::decide(const Position& position, const std::atomic<bool>* cancel)
{
    const int set = validatedSet(position);
    if (lostFrom_.empty())
        lostFrom_.assign(static_cast<std::size_t>(sets_.count()), kLostUnknown);
    return cancellable(cancel, [&] {
        Verdict verdict;
        Line reversed;
        verdict.winnable = set == sets_.allCleared()
                           || winFromRun(set, position.discard, position.dealpos, nodesByLevel_[kRootLevel],
                                         reversed);
        verdict.winLine.assign(reversed.rbegin(), reversed.rend());
        return verdict;
    });
}

} // namespace kestrova
