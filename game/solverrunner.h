// Runs the solver on a worker thread, so that the window never waits for it.
// start() hands over each new position and cancels the search still running
// for an older one. The verdict comes first, since it is quick, then the full
// solution; both through callbacks on the worker thread, with the ticket that
// start() returned, so that the receiver can drop whatever belongs to a
// position it no longer shows. One Solver is kept per deal, so the positions
// of a game are answered from what the search of the first one learnt.
#pragma once

#include "game/position.h"
#include "game/solver.h"

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <stop_token>
#include <thread>

namespace kestrova {

class SolverRunner {
public:
    using VerdictFound = std::function<void(std::uint64_t ticket, const Verdict& verdict)>;
    using SolutionFound = std::function<void(std::uint64_t ticket, const Solution& solution)>;

    SolverRunner(VerdictFound verdictFound, SolutionFound solutionFound);
    // Cancels the search in hand and waits for the worker to end.
    ~SolverRunner();

    SolverRunner(const SolverRunner&) = delete;
    SolverRunner& operator=(const SolverRunner&) = delete;

    // Tickets rise with every call. A position the solver refuses (one that
    // no game reaches) gets no answer.
    std::uint64_t start(const Position& position);
    // Nothing more is delivered for the position in hand.
    void cancel();
    // No position waits and none is being searched: until the next start(),
    // no callback comes.
    bool idle();

private:
    void work(std::stop_token stop);
    void answer(const Position& position, std::uint64_t ticket);
    bool isCurrent(std::uint64_t ticket);

    VerdictFound verdictFound_;
    SolutionFound solutionFound_;

    std::mutex mutex_;
    std::condition_variable_any wake_;
    std::optional<Position> pending_;
    std::uint64_t ticket_ = 0;
    bool searching_ = false;
    std::atomic<bool> cancel_{false};
    std::unique_ptr<Solver> solver_;   // the worker's alone

    std::jthread worker_;   // last, so that it starts after the rest and stops first
};

} // namespace kestrova
