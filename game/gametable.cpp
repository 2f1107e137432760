#include "game/gametable.h"

#include "game/gamehost.h"
#include "game/gametally.h"
#include "game/random.h"
#include "game/rules.h"

#include <algorithm>

namespace kestrova {

namespace {

// Where the reports go when nobody keeps statistics.
class NoTally final : public GameTally {
public:
    void addtomineincrease(TallyColumn) override {}
    void checkforhigher(TallyColumn, int) override {}
    bool checkscore(int, const std::string&) override { return false; }
    void checkforlower(TallyColumn, int) override {}
    void addtomineadd(TallyColumn, int) override {}
};

} // namespace

GameTable::GameTable(Random& random, GameHost& host, GameTally* tally)
    : random_(random), host_(host), tally_(tally), covers_(initialCovers())
{
}

GameTally& GameTable::tally() const
{
    static NoTally nobody;
    return tally_ ? *tally_ : nobody;
}

bool GameTable::isFree(int slot) const
{
    const CoverPair& cover = covers_[slot];
    if (cover.first == 0)
        return true;
    return slots_[cover.first].value == 0 && slots_[cover.second].value == 0;
}

bool GameTable::checkforplayable() const
{
    for (int slot = 1; slot <= kSlotCount; ++slot) {
        const int value = slots_[slot].value;
        if (value != 0 && isFree(slot) && areRankNeighbours(discard_, value))
            return true;
    }
    return false;
}

void GameTable::button_startClick()
{
    resetForNewGame();
    dealNumber_ = random_.state();
    shufflecards();
    greet();
}

void GameTable::startWithDeck(const Deck& deck)
{
    resetForNewGame();
    dealNumber_.reset();
    deck_ = deck;
    deal();
    greet();
}

void GameTable::startDeal(std::uint32_t dealNumber)
{
    resetForNewGame();
    dealNumber_ = dealNumber;
    deck_ = deckOfDeal(dealNumber);
    deal();
    greet();
}

void GameTable::greet()
{
    host_.playsounds("startgame");
    host_.showGreeting("Good Luck " + host_.playerName());
}

void GameTable::resetForNewGame()
{
    host_.hideOverlayPanels();
    tally().addtomineincrease(TotalGames);
    gameon_ = true;
    chain_ = 0;
    drawcount_ = 0;
    score_ = 0;
    scoreText_ = "Score: 0";
    bonusText_.clear();
    cardsLeftText_ = "Cards Left: 23";
    // A fresh deal starts a fresh journal: an older game's records must not
    // be undone back onto the board.
    journal_.clear();
    undoButtonVisible_ = false;
    undoMenuEnabled_ = false;
}

void GameTable::shufflecards()
{
    deck_ = shuffledDeck(random_);
    deal();
}

void GameTable::deal()
{
    dealpos_ = 0;
    for (int slot = 1; slot <= kSlotCount; ++slot) {
        ++dealpos_;
        slots_[slot].value = deck_[dealpos_];
        slots_[slot].faceUp = dealpos_ >= kFirstBaseSlot;
    }
    dealpos_ = kFirstDiscardPosition;
    discard_ = deck_[kFirstDiscardPosition];
    stockShowsBack_ = true;
}

void GameTable::card_19Click(int slot)
{
    if (!gameon_ || slot < 1 || slot > kSlotCount)
        return;
    const int value = slots_[slot].value;
    if (value == 0)
        return;
    if (!isFree(slot) || !areRankNeighbours(discard_, value)) {
        host_.playsounds("invalid");
        return;
    }

    savestatus();
    ++chain_;
    tally().checkforhigher(LongestChain, chain_);
    drawcount_ = 0;
    const int gain = isPeakTop(slot) ? chain_ + kPeakTopBonus : chain_;
    score_ += gain;
    bonusText_ = "+" + std::to_string(gain);
    showScore();

    discard_ = value;
    slots_[slot] = {};

    if (checkforover())
        return;
    host_.playsounds("placecard");

    for (int n = 1; n < kFirstBaseSlot; ++n) {
        const CoverPair& cover = covers_[n];
        if ((cover.first == slot && slots_[cover.second].value == 0)
            || (cover.second == slot && slots_[cover.first].value == 0))
            slots_[n].faceUp = true;
    }

    if (dealpos_ > kLastStockPosition - 1 && !checkforplayable())
        loseGame(true);
}

void GameTable::image_stockClick()
{
    if (!gameon_)
        return;
    chain_ = 0;
    savestatus();
    ++drawcount_;
    // 53, not 52: the first click on an already empty stock still pays.
    if (dealpos_ < kLastStockPosition + 1) {
        score_ -= drawcount_;
        showScore();
        bonusText_ = "-" + std::to_string(drawcount_);
    }
    ++dealpos_;
    showCardsLeft();
    if (dealpos_ < kLastStockPosition + 1)
        discard_ = deck_[dealpos_];

    if (dealpos_ <= kLastStockPosition - 1) {
        host_.playsounds("replace");
        return;
    }
    stockShowsBack_ = false;
    if (checkforplayable())
        host_.playsounds("replace");
    else
        loseGame(false);
}

void GameTable::loseGame(bool bringPanelToFront)
{
    gameon_ = false;
    flipall();
    host_.showLostPanel(bringPanelToFront);
}

bool GameTable::checkforover()
{
    for (int slot = 1; slot <= kSlotCount; ++slot)
        if (slots_[slot].value != 0)
            return false;

    gameon_ = false;
    flipall();
    const int bonus = endBonus(dealpos_);
    score_ += bonus;
    bonusText_ = "+" + std::to_string(bonus);
    showScore();

    tally().addtomineincrease(GamesCleared);
    tally().checkscore(score_, host_.playerName());
    tally().checkforlower(LowestWinningScore, score_);
    tally().addtomineadd(RunningTotal, score_);
    host_.showClearedPanel("You Cleared The Board!", "Your " + scoreText_);

    switch (random_.draw(3)) {
    case 1: host_.playsounds("winner"); break;
    case 2: host_.playsounds("winner1"); break;
    default: host_.playsounds("winner2"); break;
    }
    return true;
}

void GameTable::flipall()
{
    undoButtonVisible_ = false;
    undoMenuEnabled_ = false;
    for (int slot = 1; slot <= kSlotCount; ++slot)
        if (slots_[slot].value != 0)
            slots_[slot].faceUp = true;
}

JournalRecord GameTable::snapshot() const
{
    JournalRecord record;
    record.score = score_;
    record.bonusText = bonusText_;
    record.dealpos = dealpos_;
    record.chain = chain_;
    record.drawcount = drawcount_;
    record.discard = discard_;
    record.deck = deck_;
    for (int slot = 1; slot <= kSlotCount; ++slot)
        record.tableau[slot] = {slots_[slot].value, isFree(slot)};
    record.covers = covers_;
    return record;
}

std::string GameTable::currentRecord() const
{
    return formatJournalRecord(snapshot());
}

void GameTable::savestatus()
{
    undoButtonVisible_ = true;
    undoMenuEnabled_ = true;
    journal_.push_front(currentRecord());
}

void GameTable::button_undoClick()
{
    if (!gameon_ || journal_.empty())
        return;
    const std::string text = std::move(journal_.front());
    journal_.pop_front();
    if (text.empty())
        return;

    gameon_ = false;   // board clicks are ignored while the board is rewritten
    restore(parseJournalRecord(text));
    score_ -= kUndoPenalty;
    showScore();
    if (journal_.empty()) {
        undoButtonVisible_ = false;
        undoMenuEnabled_ = false;
    }
    gameon_ = true;
}

void GameTable::restore(const JournalRecord& record)
{
    score_ = record.score;
    showScore();
    bonusText_.clear();
    dealpos_ = record.dealpos;
    showCardsLeft();
    chain_ = record.chain;
    drawcount_ = record.drawcount;
    discard_ = record.discard;
    deck_ = record.deck;
    for (int slot = 1; slot <= kSlotCount; ++slot)
        slots_[slot] = record.tableau[slot];
    covers_ = record.covers;
    // The record does not hold the stock's picture: it shows the back exactly
    // while cards remain to be drawn.
    stockShowsBack_ = dealpos_ < kLastStockPosition;
}

void GameTable::showScore()
{
    scoreText_ = "Score: " + std::to_string(score_);
}

void GameTable::showCardsLeft()
{
    cardsLeftText_ = "Cards Left: " + std::to_string(std::max(0, kLastStockPosition - dealpos_));
}

} // namespace kestrova
