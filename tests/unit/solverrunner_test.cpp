// The solver's worker thread: what it delivers, for which position, and that
// a newer position or the runner's end cuts an older search short.

#include "game/position.h"
#include "game/solver.h"
#include "game/solverrunner.h"

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <thread>
#include <vector>

namespace kestrova {
namespace {

// What the runner delivered, in the order it came.
class Inbox {
public:
    SolverRunner::VerdictFound verdictFound() { return recorder(verdicts_, false); }
    SolverRunner::SolutionFound solutionFound() { return recorder(solutions_, true); }

    Solution waitForSolution(std::uint64_t ticket)
    {
        std::unique_lock lock(mutex_);
        arrived_.wait(lock, [&] { return solutions_.count(ticket) != 0; });
        return solutions_.at(ticket);
    }

    struct Arrival {
        std::uint64_t ticket;
        bool isSolution;
    };
    std::vector<Arrival> arrivals()
    {
        std::lock_guard lock(mutex_);
        return arrivals_;
    }
    std::map<std::uint64_t, Verdict> verdicts()
    {
        std::lock_guard lock(mutex_);
        return verdicts_;
    }
    std::map<std::uint64_t, Solution> solutions()
    {
        std::lock_guard lock(mutex_);
        return solutions_;
    }

private:
    template <typename Result>
    std::function<void(std::uint64_t, const Result&)> recorder(std::map<std::uint64_t, Result>& results,
                                                               bool isSolution)
    {
        return [this, &results, isSolution](std::uint64_t ticket, const Result& result) {
            std::lock_guard lock(mutex_);
            arrivals_.push_back({ticket, isSolution});
            results[ticket] = result;
            arrived_.notify_all();
        };
    }

    std::mutex mutex_;
    std::condition_variable arrived_;
    std::vector<Arrival> arrivals_;
    std::map<std::uint64_t, Verdict> verdicts_;
    std::map<std::uint64_t, Solution> solutions_;
};

void expectSameAnswer(const Solution& delivered, const Position& position)
{
    const Solution direct = *Solver(position.deck).solve(position);
    EXPECT_EQ(delivered.bestScore, direct.bestScore);
    EXPECT_EQ(delivered.winnable, direct.winnable);
    EXPECT_EQ(delivered.longestChain, direct.longestChain);
    EXPECT_EQ(delivered.bestLine, direct.bestLine);
}

TEST(SolverRunner, DeliversTheVerdictThenTheSolutionOfTheNewestPosition)
{
    Inbox inbox;
    SolverRunner runner(inbox.verdictFound(), inbox.solutionFound());
    const Position first = Position::dealtFromState(1);
    const Position second = Position::dealtFromState(2);
    const std::uint64_t firstTicket = runner.start(first);
    const std::uint64_t secondTicket = runner.start(second);
    EXPECT_LT(firstTicket, secondTicket);

    const Solution solution = inbox.waitForSolution(secondTicket);
    expectSameAnswer(solution, second);

    // The first position may have been answered before the second came in,
    // but never after, and every answer matches its own position.
    const std::vector<Inbox::Arrival> arrivals = inbox.arrivals();
    ASSERT_GE(arrivals.size(), 2u);
    EXPECT_EQ(arrivals[arrivals.size() - 2].ticket, secondTicket);
    EXPECT_FALSE(arrivals[arrivals.size() - 2].isSolution);
    EXPECT_EQ(arrivals.back().ticket, secondTicket);
    for (const auto& [ticket, verdict] : inbox.verdicts())
        EXPECT_EQ(verdict.winnable, (ticket == firstTicket ? *Solver(first.deck).decide(first)
                                                           : *Solver(second.deck).decide(second)).winnable);
    if (const auto solutions = inbox.solutions(); solutions.count(firstTicket) != 0)
        expectSameAnswer(solutions.at(firstTicket), first);
}

TEST(SolverRunner, FollowsOneGameAndSurvivesARefusedPosition)
{
    Inbox inbox;
    SolverRunner runner(inbox.verdictFound(), inbox.solutionFound());
    Position position = Position::dealtFromState(77);
    const Solution atDeal = inbox.waitForSolution(runner.start(position));

    Position refused = position;
    refused.discard = 0;
    runner.start(refused);

    // One move along the best line: the same deal, answered from memory.
    ASSERT_FALSE(atDeal.bestLine.front().isStock());
    position.cleared |= slotBit(atDeal.bestLine.front().slot);
    position.discard = position.deck[atDeal.bestLine.front().slot];
    position.chain = 1;
    position.score += 1 + (atDeal.bestLine.front().slot <= 3 ? 20 : 0);
    const std::uint64_t ticket = runner.start(position);
    const Solution next = inbox.waitForSolution(ticket);
    EXPECT_EQ(next.bestScore, atDeal.bestScore);
    expectSameAnswer(next, position);
    EXPECT_EQ(inbox.verdicts().count(ticket - 1), 0u);   // nothing for the refused one
}

TEST(SolverRunner, EndsWhileSearchingAndAfterCancel)
{
    Inbox inbox;
    {
        SolverRunner runner(inbox.verdictFound(), inbox.solutionFound());
        runner.start(Position::dealtFromState(54));
        runner.start(Position::dealtFromState(55));
    }   // must not wait for either search to finish, nor deliver after this
    const std::size_t delivered = inbox.arrivals().size();

    SolverRunner runner(inbox.verdictFound(), inbox.solutionFound());
    const std::uint64_t cancelled = runner.start(Position::dealtFromState(56));
    runner.cancel();
    const std::uint64_t ticket = runner.start(Position::dealtFromState(57));
    EXPECT_GT(ticket, cancelled + 1);   // cancel() spends a ticket of its own
    expectSameAnswer(inbox.waitForSolution(ticket), Position::dealtFromState(57));
    EXPECT_GE(inbox.arrivals().size(), delivered + 2);
}

// Idle means delivered: whoever waits for it (the window's tests do) may
// count on every answer for the positions handed over being in.
TEST(SolverRunner, IsIdleOnlyOnceEveryAnswerIsDelivered)
{
    Inbox inbox;
    SolverRunner runner(inbox.verdictFound(), inbox.solutionFound());
    EXPECT_TRUE(runner.idle());
    const auto awaitIdle = [&runner] {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
        while (!runner.idle() && std::chrono::steady_clock::now() < deadline)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        return runner.idle();
    };

    for (std::uint32_t deal : {3u, 4u, 5u}) {
        const std::uint64_t ticket = runner.start(Position::dealtFromState(deal));
        EXPECT_FALSE(runner.idle());
        ASSERT_TRUE(awaitIdle());
        EXPECT_EQ(inbox.verdicts().count(ticket), 1u) << deal;
        EXPECT_EQ(inbox.solutions().count(ticket), 1u) << deal;
    }

    Position refused = Position::dealtFromState(6);
    refused.discard = 0;
    runner.start(refused);
    ASSERT_TRUE(awaitIdle());
    runner.start(Position::dealtFromState(7));
    runner.cancel();
    ASSERT_TRUE(awaitIdle());
    const std::size_t delivered = inbox.arrivals().size();
    EXPECT_TRUE(runner.idle());
    EXPECT_EQ(inbox.arrivals().size(), delivered);
}

} // namespace
} // namespace kestrova
