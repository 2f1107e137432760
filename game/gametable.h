// The game table: deck, deal, moves and scoring, the undo journal and the end
// of a game. Plain C++; the window shows its state and routes clicks to it.
#pragma once

#include "game/card.h"
#include "game/deal.h"
#include "game/journalrecord.h"
#include "game/tableau.h"

#include <array>
#include <cstdint>
#include <deque>
#include <optional>
#include <string>

namespace kestrova {

class GameHost;
class GameTally;
class Random;

class GameTable {
public:
    // `tally`, when given, hears every change to the player's statistics.
    GameTable(Random& random, GameHost& host, GameTally* tally = nullptr);
    void setTally(GameTally* tally) { tally_ = tally; }

    // Input handlers, named after the controls that trigger them.
    void button_startClick();
    // The same start with a deck in a known order instead of a shuffled one,
    // for tests and replays.
    void startWithDeck(const Deck& deck);
    // START GAME with the deal of this number; the shared generator does not
    // move, so the run's own sequence of deals goes on as before.
    void startDeal(std::uint32_t dealNumber);
    void card_19Click(int slot);
    void image_stockClick();
    void button_undoClick();

    // Rules.
    bool isFree(int slot) const;
    bool checkforplayable() const;

    // The state as one journal line, exactly as the next move would write it.
    std::string currentRecord() const;

    // The generator's state just before this game's shuffle: set back to it,
    // the generator deals the same cards again. None for a game started with a
    // given deck, and before the first game.
    std::optional<std::uint32_t> dealNumber() const { return dealNumber_; }

    // What the board shows.
    bool gameon() const { return gameon_; }
    int score() const { return score_; }
    int dealpos() const { return dealpos_; }
    int chain() const { return chain_; }
    int drawcount() const { return drawcount_; }
    int deckAt(int position) const { return deck_[position]; }
    int slotValue(int slot) const { return slots_[slot].value; }
    bool slotFaceUp(int slot) const { return slots_[slot].faceUp; }
    int discardValue() const { return discard_; }
    bool stockShowsBack() const { return stockShowsBack_; }
    const std::string& scoreText() const { return scoreText_; }
    const std::string& bonusText() const { return bonusText_; }
    const std::string& cardsLeftText() const { return cardsLeftText_; }
    bool undoButtonVisible() const { return undoButtonVisible_; }
    bool undoMenuEnabled() const { return undoMenuEnabled_; }
    std::size_t journalSize() const { return journal_.size(); }
    const CoverTable& covers() const { return covers_; }

private:
    void shufflecards();
    void resetForNewGame();
    void deal();
    void greet();
    void savestatus();
    bool checkforover();
    void flipall();
    void loseGame(bool bringPanelToFront);
    void restore(const JournalRecord& record);
    JournalRecord snapshot() const;
    void showScore();
    void showCardsLeft();
    GameTally& tally() const;

    Random& random_;
    GameHost& host_;
    GameTally* tally_;

    Deck deck_{};
    std::optional<std::uint32_t> dealNumber_;
    std::array<JournalRecord::Slot, kSlotCount + 1> slots_{};
    CoverTable covers_;
    int dealpos_ = 0;
    int chain_ = 0;
    int drawcount_ = 0;
    int score_ = 0;
    int discard_ = 0;
    bool gameon_ = false;
    bool stockShowsBack_ = false;

    std::string scoreText_;
    std::string bonusText_;
    std::string cardsLeftText_;

    std::deque<std::string> journal_;   // newest first
    bool undoButtonVisible_ = false;
    bool undoMenuEnabled_ = true;
};

} // namespace kestrova
