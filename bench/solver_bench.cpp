// Solves the deals of the first generator states and prints how long the
// verdict and the best score take from the deal, how soon a hint is ready
// after each move of a game, the memory one deal takes, the share of boards
// that can be cleared, and, as the floor to beat and the peer to time against,
// a greedy player (lowest fitting slot first, else the stock) on the same deals.
//
//   solver_bench [DEALS]     (10000 when not given)
//
// Times are given twice: on the wall clock, which is what a player sees, and
// as the thread's processor time, which other work on a busy machine leaves
// alone.

#include "game/gametable.h"
#include "game/position.h"
#include "game/random.h"
#include "game/silentgamehost.h"
#include "game/solver.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <string>
#include <vector>

#include <sys/resource.h>

namespace {

using namespace kestrova;

constexpr double kFrameMs = 1000.0 / 60.0;

struct Stopwatch {
    std::chrono::steady_clock::time_point wallStart = std::chrono::steady_clock::now();
    double cpuStart = cpuMs();

    static double cpuMs()
    {
        timespec now{};
        clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
        return static_cast<double>(now.tv_sec) * 1e3 + static_cast<double>(now.tv_nsec) / 1e6;
    }
    double wallElapsed() const
    {
        return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - wallStart).count();
    }
    double cpuElapsed() const { return cpuMs() - cpuStart; }
};

struct Times {
    std::vector<double> wall;
    std::vector<double> cpu;

    void add(const Stopwatch& watch)
    {
        wall.push_back(watch.wallElapsed());
        cpu.push_back(watch.cpuElapsed());
    }
};

double percentile(std::vector<double> values, double share)
{
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    const auto index = static_cast<std::size_t>(share * static_cast<double>(values.size() - 1) + 0.5);
    return values[index];
}

double shareWithin(const std::vector<double>& values, double limit)
{
    if (values.empty())
        return 0;
    const auto within = std::count_if(values.begin(), values.end(), [limit](double v) { return v <= limit; });
    return 100.0 * static_cast<double>(within) / static_cast<double>(values.size());
}

void play(GameTable& table, const Move& move)
{
    if (move.isStock())
        table.image_stockClick();
    else
        table.card_19Click(move.slot);
}

Move greedyMove(const GameTable& table)
{
    for (int slot = 1; slot <= kSlotCount; ++slot) {
        const int value = table.slotValue(slot);
        if (value != 0 && table.isFree(slot) && areRankNeighbours(table.discardValue(), value))
            return Move::play(slot);
    }
    return Move::stock();
}

bool boardCleared(const GameTable& table)
{
    for (int slot = 1; slot <= kSlotCount; ++slot)
        if (table.slotValue(slot) != 0)
            return false;
    return true;
}

void printTimes(const char* what, const Times& times, const char* target)
{
    std::printf("%-26s %9.3f %9.3f %9.3f   %9.3f %9.3f %9.3f   %s\n", what, percentile(times.wall, 0.5),
                percentile(times.wall, 0.99), percentile(times.wall, 1.0), percentile(times.cpu, 0.5),
                percentile(times.cpu, 0.99), percentile(times.cpu, 1.0), target);
}

} // namespace

int main(int argc, char** argv)
{
    const long deals = argc > 1 ? std::strtol(argv[1], nullptr, 10) : 10000;
    if (argc > 2 || deals < 1) {
        std::fprintf(stderr, "usage: solver_bench [DEALS]\n");
        return 2;
    }

    // The table of cleared sets is built once per process; not part of any deal.
    Solver(Position::dealtFromState(0).deck).decide(Position::dealtFromState(0));

    // Two kinds of hint: the first move of the best line, ready once the full
    // search is; and the first move of a winning line, ready with the verdict
    // where the board can still be cleared (else it is the best line's).
    Times verdictTimes, bestTimes, greedyTimes, bestHintTimes, bestHintAfterMoveTimes, winHintTimes;
    std::size_t mostMemory = 0;
    long winnable = 0, greedyWins = 0;
    double bestScoreTotal = 0, greedyScoreTotal = 0;
    std::vector<double> bestPerGreedy;

    for (long state = 0; state < deals; ++state) {
        const Position deal = Position::dealtFromState(static_cast<std::uint32_t>(state));

        Stopwatch verdictWatch;
        const Verdict verdict = *Solver(deal.deck).decide(deal);
        verdictTimes.add(verdictWatch);

        Stopwatch bestWatch;
        Solver solver(deal.deck);
        const Solution solution = *solver.solve(deal);
        bestTimes.add(bestWatch);
        mostMemory = std::max(mostMemory, solver.memoryBytes());
        winnable += solution.winnable ? 1 : 0;
        bestScoreTotal += solution.bestScore;
        if (verdict.winnable != solution.winnable) {
            std::fprintf(stderr, "state %ld: the verdict and the full search disagree\n", state);
            return 1;
        }

        Random random(static_cast<std::uint32_t>(state));
        SilentGameHost host;
        GameTable greedy(random, host);
        greedy.button_startClick();
        Stopwatch greedyWatch;
        while (greedy.gameon())
            play(greedy, greedyMove(greedy));
        greedyTimes.add(greedyWatch);
        greedyScoreTotal += greedy.score();
        greedyWins += boardCleared(greedy) ? 1 : 0;
        bestPerGreedy.push_back(bestTimes.cpu.back() / std::max(greedyTimes.cpu.back(), 1e-6));

        // The runner starts on a position as it appears, verdict first, with
        // the solver that has learnt the deal. No position gets a head start
        // here, not even the deal, before whose first hint a player must at
        // least look at the board.
        const auto addHints = [&](double verdictWall, double verdictCpu, double bestWall, double bestCpu,
                                  bool winnable, bool afterMove) {
            bestHintTimes.wall.push_back(verdictWall + bestWall);
            bestHintTimes.cpu.push_back(verdictCpu + bestCpu);
            if (afterMove) {
                bestHintAfterMoveTimes.wall.push_back(verdictWall + bestWall);
                bestHintAfterMoveTimes.cpu.push_back(verdictCpu + bestCpu);
            }
            winHintTimes.wall.push_back(winnable ? verdictWall : verdictWall + bestWall);
            winHintTimes.cpu.push_back(winnable ? verdictCpu : verdictCpu + bestCpu);
        };
        addHints(verdictTimes.wall.back(), verdictTimes.cpu.back(), bestTimes.wall.back(), bestTimes.cpu.back(),
                 verdict.winnable, false);
        Random replayRandom(static_cast<std::uint32_t>(state));
        GameTable game(replayRandom, host);
        game.button_startClick();
        while (game.gameon()) {
            play(game, greedyMove(game));
            const std::optional<Position> position = Position::of(game);
            if (!position)
                break;
            Stopwatch verdictWatchNow;
            const bool stillWinnable = solver.decide(*position)->winnable;
            const double verdictWall = verdictWatchNow.wallElapsed();
            const double verdictCpu = verdictWatchNow.cpuElapsed();
            Stopwatch bestWatchNow;
            solver.solve(*position);
            addHints(verdictWall, verdictCpu, bestWatchNow.wallElapsed(), bestWatchNow.cpuElapsed(), stillWinnable,
                     true);
        }

        if ((state + 1) % 1000 == 0)
            std::fprintf(stderr, "%ld deals\n", state + 1);
    }

    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);

    std::printf("Solver from the deal, generator states 0..%ld (%ld deals), times in ms\n\n", deals - 1, deals);
    std::printf("%-26s %9s %9s %9s   %9s %9s %9s   %s\n", "", "wall p50", "p99", "max", "cpu p50", "p99", "max",
                "target");
    printTimes("verdict", verdictTimes, "p50 <= 1, max <= 100");
    printTimes("best score", bestTimes, "p50 <= 50, max <= 1000");
    printTimes("best-move hint", bestHintTimes, "");
    printTimes("  the same, after a move", bestHintAfterMoveTimes, "");
    printTimes("winning-move hint", winHintTimes, "");
    printTimes("greedy game (peer)", greedyTimes, "");
    std::printf("\nhints within one 60 Hz frame (%.1f ms), of %zu positions along greedy games; target >= 99 %%\n",
                kFrameMs, bestHintTimes.wall.size());
    std::printf("  best move:    %6.2f %% (cpu %6.2f %%); after a move, the deal left out: %6.2f %% (cpu %6.2f %%)\n",
                shareWithin(bestHintTimes.wall, kFrameMs), shareWithin(bestHintTimes.cpu, kFrameMs),
                shareWithin(bestHintAfterMoveTimes.wall, kFrameMs), shareWithin(bestHintAfterMoveTimes.cpu, kFrameMs));
    std::printf("  winning move: %6.2f %% (cpu %6.2f %%)\n", shareWithin(winHintTimes.wall, kFrameMs),
                shareWithin(winHintTimes.cpu, kFrameMs));
    std::printf("best score time / greedy game time (cpu): median %.0f\n", percentile(bestPerGreedy, 0.5));
    std::printf("memory: most for one deal %.1f MB (solver tables), peak resident %.1f MB; target <= 64 MB\n",
                static_cast<double>(mostMemory) / (1024.0 * 1024.0), static_cast<double>(usage.ru_maxrss) / 1024.0);
    std::printf("\n%-26s %12s %15s\n", "", "mean score", "boards cleared");
    std::printf("%-26s %12.1f %14.2f%%\n", "solver (exact)", bestScoreTotal / static_cast<double>(deals),
                100.0 * static_cast<double>(winnable) / static_cast<double>(deals));
    std::printf("%-26s %12.1f %14.2f%%\n", "greedy player", greedyScoreTotal / static_cast<double>(deals),
                100.0 * static_cast<double>(greedyWins) / static_cast<double>(deals));
    std::printf("%-26s %12.2f %15.2f\n", "ratio solver / greedy", bestScoreTotal / greedyScoreTotal,
                static_cast<double>(winnable) / static_cast<double>(std::max(greedyWins, 1L)));
    return 0;
}
