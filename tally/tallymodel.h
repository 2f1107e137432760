// The tally: the player's counters and ten best scores in the tally table, with the
// texts that the tally window shows for them. UI-free; the window draws from it.
#pragma once

#include "game/gametally.h"
#include "tally/stringgrid.h"

#include <array>
#include <functional>
#include <string>
#include <string_view>

namespace kestrova {

class TallyModel : public GameTally {
public:
    static constexpr int columns = 9;  // of the table as created
    static constexpr int rows = 12;
    static constexpr int ranks = 10;   // rows 1 to 10; row 11 is spare
    static constexpr int counters = RunningTotal; // columns 1 to 6 of row 0
    static constexpr int emptyScore = -1000;
    static constexpr int noLowestScore = 1000;

    // A 9 × 12 table holding the defaults, shown (loadtally has run).
    TallyModel();

    // The table itself: the tally file reads into it and writes from it. Call
    // loadtally() after changing it from outside.
    StringGrid& grid() { return grid_; }
    const StringGrid& grid() const { return grid_; }

    // Row count 12, then the default counters ("0", "1000" for the lowest winning score)
    // in row 0, columns 0 to 6, and empty slots in rows 1 to 10. Other cells keep their
    // texts. Shows nothing by itself.
    void setDefaults();

    // Shows the whole table and completes missing values: an empty lowest-winning-score
    // cell becomes "1000" (its label stays empty until the counter next changes), an
    // empty score cell becomes "-1000".
    void loadtally();

    // The cell read as an integer (0 when it is not one) plus 1, written back and returned.
    int addit(int column, int row);
    // Counter plus 1; after column 1 (a game dealt) also the win percentage.
    void addtomineincrease(TallyColumn column) override;
    // An empty cell counts as "0"; the counter becomes cell + value.
    void addtomineadd(TallyColumn column, int value) override;
    void addtomineset(int column, std::string_view text);
    // The counter becomes `value` when that is higher / lower than the cell read as an
    // integer (0 when it is not one).
    void checkforhigher(TallyColumn column, int value) override;
    void checkforlower(TallyColumn column, int value) override;
    // Enters a cleared board's score into the ten best: above every score it equals or
    // beats, shifting the lower ranks down and dropping rank 10. The new entry is
    // highlighted; any earlier highlight is cleared even when the score does not enter.
    // `dateText` is the caller's local short date. True when the score entered.
    bool checkscore(int score, std::string_view name, std::string_view dateText);
    // The same, dated by `today` (no date while it is unset).
    bool checkscore(int score, const std::string& name) override;
    // Counters to "0" ("1000" for the lowest winning score), every slot of rows 1 to 11
    // empty, the row count back to 12, the highlight cleared.
    void reset();

    // What the window shows. Counters are columns 1 to 6 ("%" follows column 3); ranks
    // are 1 to 10. Other numbers throw std::out_of_range.
    std::string counterText(int column) const;
    std::string rankDate(int rank) const;
    std::string rankName(int rank) const;
    // The score label: empty for a slot shown empty at load, else the score's text.
    std::string rankScoreText(int rank) const;
    // The score the ranking compares against: -1000 for an empty slot.
    int heldScore(int rank) const;
    // The newest entry: red and bold.
    bool isHighlighted(int rank) const;
    // Bold: every rank until the first ranking or reset (as the window is designed),
    // afterwards only the highlighted one.
    bool isBold(int rank) const;

    // Called after every change, so a window can refresh at once.
    std::function<void()> onChanged;
    // The date a new entry of the ten best gets: the local short date.
    std::function<std::string()> today;

private:
    struct Rank {
        std::string date;
        std::string name;
        std::string scoreText;
        int held = emptyScore;
    };

    // Cells outside the table's shape (a table read with a smaller shape) read as empty
    // and take no writes: the table keeps the shape it was read with.
    std::string cellText(int column, int row) const;
    void putCell(int column, int row, std::string_view text);
    int increment(int column, int row);
    void showCounter(int column, std::string_view text);
    void updateWinPercentage();
    const Rank& rankAt(int rank) const;
    void changed();

    StringGrid grid_;
    std::array<std::string, counters + 1> counterTexts_; // [0] unused
    std::array<Rank, ranks + 1> ranks_;                   // [0] unused
    int highlighted_ = 0;                                 // 0: none
    bool designStyle_ = true;
};

} // namespace kestrova
