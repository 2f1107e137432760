#include "app/dealinsight.h"

#include <QMetaObject>

namespace kestrova {

namespace {

// How long the verdict of the position before a move may stand for the new
// one: an answer within it replaces the old one directly.
constexpr int kVerdictPatienceMs = 100;

} // namespace

DealInsight::DealInsight(QObject* parent)
    : QObject(parent),
      runner_(
          // On the worker thread: handed to this object's thread; an answer
          // that arrives after a newer position is dropped there by its ticket.
          [this](std::uint64_t ticket, const Verdict& verdict) {
              ++answersOnTheWay_;
              QMetaObject::invokeMethod(
                  this,
                  [this, ticket, verdict] {
                      --answersOnTheWay_;
                      verdictArrived(ticket, verdict);
                  },
                  Qt::QueuedConnection);
          },
          [this](std::uint64_t ticket, const Solution& solution) {
              ++answersOnTheWay_;
              QMetaObject::invokeMethod(
                  this,
                  [this, ticket, solution] {
                      --answersOnTheWay_;
                      solutionArrived(ticket, solution);
                  },
                  Qt::QueuedConnection);
          })
{
    verdictPatience_.setSingleShot(true);
    verdictPatience_.setInterval(kVerdictPatienceMs);
    connect(&verdictPatience_, &QTimer::timeout, this, &DealInsight::verdictChanged);
}

DealInsight::~DealInsight() = default;

void DealInsight::setPosition(const std::optional<Position>& position)
{
    if (position == inPlay_)
        return;
    inPlay_ = position;
    withdrawHint();

    if (position) {
        if (position->deck != dealDeck_) {
            dealDeck_ = position->deck;
            dealBestScore_.reset();
        }
        if (!watched_) {
            stopSearching();
            return;
        }
        search(*position);
        verdictPatience_.start();
        return;
    }

    verdictPatience_.stop();
    emit verdictChanged();
    // The game has ended: what is left to learn is the deal's best score.
    if (watched_ && dealDeck_ && !dealBestScore_)
        search(Position::dealt(*dealDeck_));
    else
        stopSearching();
}

void DealInsight::setWatched(bool watched)
{
    if (watched == watched_)
        return;
    watched_ = watched;
    // Turned off, a search in hand still runs to its end: a hint may wait on it.
    if (!watched_)
        return;
    if (inPlay_) {
        if (searched_ != inPlay_)
            search(*inPlay_);
    } else if (dealDeck_ && !dealBestScore_) {
        search(Position::dealt(*dealDeck_));
    }
}

void DealInsight::search(const Position& position)
{
    searched_ = position;
    verdict_.reset();
    solution_.reset();
    ticket_ = runner_.start(position);
}

// What was known belongs to an older position; answers still on their way
// for it are dropped by their ticket.
void DealInsight::stopSearching()
{
    runner_.cancel();
    searched_.reset();
    verdict_.reset();
    solution_.reset();
    ticket_ = 0;
    verdictPatience_.stop();
}

bool DealInsight::settled()
{
    // The runner counts its answers on their way before it goes idle.
    return runner_.idle() && answersOnTheWay_ == 0 && !verdictPatience_.isActive();
}

std::optional<bool> DealInsight::winnable() const
{
    if (!inPlay_ || !verdict_)
        return std::nullopt;
    return verdict_->winnable;
}

void DealInsight::requestHint()
{
    if (!inPlay_)
        return;
    hintWanted_ = true;
    if (hint_)
        emit hintFound(*hint_);
    else if (searched_ != inPlay_)
        search(*inPlay_);
    else
        offerHint();
}

void DealInsight::verdictArrived(std::uint64_t ticket, const Verdict& verdict)
{
    if (ticket != ticket_)
        return;
    verdict_ = verdict;
    if (inPlay_) {
        verdictPatience_.stop();
        emit verdictChanged();
    }
    offerHint();
}

void DealInsight::solutionArrived(std::uint64_t ticket, const Solution& solution)
{
    if (ticket != ticket_)
        return;
    solution_ = solution;
    if (!dealBestScore_ && dealDeck_ && *searched_ == Position::dealt(*dealDeck_)) {
        dealBestScore_ = solution.bestScore;
        emit dealBestScoreFound(solution.bestScore);
    }
    offerHint();
}

// The best winning line once the full search is in, the verdict's winning line
// before that; where the board is lost, the best line. A hint once given stays
// until the position changes, even if a better line turns up meanwhile.
void DealInsight::offerHint()
{
    if (!hintWanted_ || hint_ || !inPlay_)
        return;
    const Line* line = nullptr;
    if (solution_)
        line = solution_->winnable ? &solution_->winLine : &solution_->bestLine;
    else if (verdict_ && verdict_->winnable)
        line = &verdict_->winLine;
    if (!line || line->empty())
        return;
    hint_ = line->front();
    emit hintFound(*hint_);
}

void DealInsight::withdrawHint()
{
    const bool shown = hint_.has_value();
    hintWanted_ = false;
    hint_.reset();
    if (shown)
        emit hintWithdrawn();
}

} // namespace kestrova
