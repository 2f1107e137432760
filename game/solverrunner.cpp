#include "game/solverrunner.h"

#include <stdexcept>

namespace kestrova {

SolverRunner::SolverRunner(VerdictFound verdictFound, SolutionFound solutionFound)
    : verdictFound_(std::move(verdictFound)),
      solutionFound_(std::move(solutionFound)),
      worker_([this](std::stop_token stop) { work(stop); })
{
}

SolverRunner::~SolverRunner()
{
    worker_.request_stop();   // wakes the worker's wait and cancels its search
}

std::uint64_t SolverRunner::start(const Position& position)
{
    std::uint64_t ticket;
    {
        std::lock_guard lock(mutex_);
        pending_ = position;
        ticket = ++ticket_;
        cancel_ = true;
    }
    wake_.notify_one();
    return ticket;
}

void SolverRunner::cancel()
{
    std::lock_guard lock(mutex_);
    pending_.reset();
    ++ticket_;
    cancel_ = true;
}

bool SolverRunner::idle()
{
    std::lock_guard lock(mutex_);
    return !pending_ && !searching_;
}

bool SolverRunner::isCurrent(std::uint64_t ticket)
{
    std::lock_guard lock(mutex_);
    return ticket == ticket_;
}

void SolverRunner::work(std::stop_token stop)
{
    const std::stop_callback cancelOnStop(stop, [this] { cancel_ = true; });
    for (;;) {
        Position position;
        std::uint64_t ticket;
        {
            std::unique_lock lock(mutex_);
            if (!wake_.wait(lock, stop, [this] { return pending_.has_value(); }))
                return;
            position = *pending_;
            pending_.reset();
            ticket = ticket_;
            searching_ = true;
            // In this order, so that a stop requested from now on still
            // cancels the search below.
            cancel_ = false;
            if (stop.stop_requested())
                return;
        }
        answer(position, ticket);
        std::lock_guard lock(mutex_);
        searching_ = false;
    }
}

void SolverRunner::answer(const Position& position, std::uint64_t ticket)
{
    try {
        if (!solver_ || solver_->deck() != position.deck)
            solver_ = std::make_unique<Solver>(position.deck);
        // A cancelled search returns nothing; one finished just as the next
        // position came in is dropped here.
        const std::optional<Verdict> verdict = solver_->decide(position, &cancel_);
        if (!verdict || !isCurrent(ticket))
            return;
        verdictFound_(ticket, *verdict);
        const std::optional<Solution> solution = solver_->solve(position, &cancel_);
        if (!solution || !isCurrent(ticket))
            return;
        solutionFound_(ticket, *solution);
    } catch (const std::invalid_argument&) {
        // Positions come from the game table, which reaches no such position;
        // answering nothing is all there is to do.
    }
}

} // namespace kestrova
