// What the exact solver knows about the game in play: whether the board can
// still be cleared, the next move worth making, and the best score the deal
// allowed. While the verdict is watched, the solver runs ahead on a worker
// thread for every new position, so that an answer is usually ready before
// anyone asks for it; otherwise it runs only when a hint is asked for, and the
// game pays for its tables and its thread's time only then.
#pragma once

#include "game/move.h"
#include "game/position.h"
#include "game/solver.h"
#include "game/solverrunner.h"

#include <QObject>
#include <QTimer>

#include <atomic>
#include <cstdint>
#include <optional>

namespace kestrova {

class DealInsight : public QObject {
    Q_OBJECT
public:
    explicit DealInsight(QObject* parent = nullptr);
    // Waits for the worker to end; nothing arrives afterwards.
    ~DealInsight() override;

    // The game's position after every change of the board, none while no game
    // is in play. An unchanged position (a refused click) changes nothing.
    void setPosition(const std::optional<Position>& position);

    // Whether winnable() and dealBestScore() are on show, so that every
    // position is searched as it comes. Off at first.
    void setWatched(bool watched);

    // Asks for the next move of a winning line, or of a best-scoring one when
    // the board can no longer be cleared: hintFound follows at once when the
    // answer is in hand, else as soon as it arrives. Without a game, nothing.
    void requestHint();

    // The verdict for the position in play; none while it is not known yet.
    std::optional<bool> winnable() const;
    // The best final score of the deal in play (or of the last one), from its
    // first position; none until it is known.
    std::optional<int> dealBestScore() const { return dealBestScore_; }

    // The solver has nothing in hand and every answer it gave has been taken
    // in: until the position or the watch changes, no signal comes.
    bool settled();

signals:
    // winnable() changed. After a move the old verdict stands for a short
    // while, so that a quick answer replaces it without a blank in between.
    void verdictChanged();
    void hintFound(kestrova::Move move);
    // The position the hint was for has gone.
    void hintWithdrawn();
    void dealBestScoreFound(int score);

private:
    void search(const Position& position);
    void stopSearching();
    void verdictArrived(std::uint64_t ticket, const Verdict& verdict);
    void solutionArrived(std::uint64_t ticket, const Solution& solution);
    void offerHint();
    void withdrawHint();

    std::optional<Position> inPlay_;     // the game's position; none without a game
    std::optional<Position> searched_;   // what the runner works on, under ticket_
    std::uint64_t ticket_ = 0;
    std::optional<Verdict> verdict_;     // both for searched_
    std::optional<Solution> solution_;

    std::optional<Deck> dealDeck_;
    std::optional<int> dealBestScore_;

    bool watched_ = false;
    bool hintWanted_ = false;
    std::optional<Move> hint_;
    QTimer verdictPatience_;
    std::atomic<int> answersOnTheWay_{0};   // handed to this thread, not yet taken in

    SolverRunner runner_;   // last: its worker ends before the rest goes
};

} // namespace kestrova
