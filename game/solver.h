// Exact search over the rest of a game played without undo: whether the board
// can still be cleared, the best final score and the longest chain, each with
// a line of play. One Solver serves one deal and keeps what it has learnt, so
// the positions that follow each other in a game are answered from memory.
#pragma once

#include "game/clearedsets.h"
#include "game/move.h"
#include "game/position.h"
#include "game/statetable.h"

#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

namespace kestrova {

struct Verdict {
    bool winnable = false;
    Line winLine;   // a line that clears the board; empty when there is none
};

struct Solution {
    bool winnable = false;
    Line winLine;          // clears the board; the best line itself when that clears it
    int bestScore = 0;     // the score when the game ends, cleared (end bonus included) or lost
    Line bestLine;         // a line that ends the game with bestScore
    int longestChain = 0;  // the highest the chain counter can still reach, its current value included
};

class Solver {
public:
    explicit Solver(const Deck& deck);

    const Deck& deck() const { return deck_; }

    // Both throw std::invalid_argument for a position of another deal or one
    // that no game can reach, and return nothing when *cancel turns true. A
    // position with the stock empty and no card that fits is a lost game, and
    // one with the board cleared a won one: their lines are empty.
    // decide() stops at the first winning line it finds; solve() searches
    // everything. Neither is safe to call from two threads at once.
    std::optional<Verdict> decide(const Position& position, const std::atomic<bool>* cancel = nullptr);
    std::optional<Solution> solve(const Position& position, const std::atomic<bool>* cancel = nullptr);

    // What the memory of earlier searches takes up.
    std::size_t memoryBytes() const;

private:
    // A boundary is the position right after a stock click (or the deal):
    // chain 0 and the stock card deck[dealpos] on the discard.
    struct Boundary {
        std::int16_t openingBest;    // best future over lines that begin with a tableau play
        std::int16_t afterDrawBest;  // best future when entered with drawcount 1
        std::uint8_t openingChain;
        std::uint8_t afterDrawChain;
        std::uint8_t flags;
    };
    struct Summary {
        int best;
        int chain;
        bool wins;
    };
    struct RunNode {
        std::uint16_t set;      // index of the cleared slots
        std::int8_t lastSlot;   // 1..28; 0 at the start of the run
        std::int8_t plays;
        std::int32_t parent;
    };
    using Nodes = std::vector<RunNode>;

    static Summary better(const Summary& a, const Summary& b);
    // Runs a search with the caller's cancel flag; nothing when it is cancelled.
    template <typename Search>
    auto cancellable(const std::atomic<bool>* cancel, Search search) -> std::optional<decltype(search())>;
    int validatedSet(const Position& position) const;
    void checkCancel();
    std::uint32_t playable(int set, int discard) const;
    int runGain(int startSet, const RunNode& node, int chain) const;
    void enumerateRun(int set, int discard, Nodes& nodes);
    Nodes& nodesFor(int dealpos);

    // solve()
    Boundary& boundary(int set, int dealpos);
    const Boundary& opening(int set, int dealpos);
    const Boundary& searchOpening(int set, int dealpos);
    Summary afterDraw(int set, int dealpos);
    Summary searchAfterDraw(int set, int dealpos);
    int bestAfterClicks(int set, int dealpos, int drawcount);
    Summary runEnd(const RunNode& node, int startSet, int chain, int dealpos);
    Solution solveFrom(const Position& position, int set);
    Summary rootSummary(const Position& position, int set);
    Line bestLineFrom(const Position& position, int set, int future);
    Line winLineFrom(const Position& position, int set);
    void appendBestFromBoundary(int set, int dealpos, int drawcount, int future, Line& line);
    void appendWinFromBoundary(int set, int dealpos, Line& line);

    // decide()
    bool winFrom(int set, int dealpos, Line& reversed);
    bool winFromRun(int set, int discard, int dealpos, Nodes& nodes, Line& reversed);

    const ClearedSets& sets_;
    Deck deck_;
    std::array<std::uint32_t, kCardCount + 1> fitting_{};   // by card: the slots whose card fits on it

    std::vector<Boundary> boundaries_;   // by set and dealpos; allocated by the first solve()
    std::vector<std::uint8_t> lostFrom_;   // by set: lowest dealpos known to be lost from
    StateTable<std::uint8_t> visited_;
    std::vector<Nodes> nodesByLevel_;
    const std::atomic<bool>* cancel_ = nullptr;
    unsigned sinceCancelCheck_ = 0;
};

} // namespace kestrova
