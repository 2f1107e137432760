// The tally's update rules and what they show.
#include "tally/tallymodel.h"

#include <charconv>
#include <cstdint>
#include <optional>
#include <stdexcept>

namespace kestrova {

namespace {

// A cell as the standard integer conversion reads it: an optional sign and decimal
// digits within the 32-bit range, nothing else.
std::optional<int> cellInteger(std::string_view text)
{
    if (text.size() > 1 && text.front() == '+' && text[1] != '-')
        text.remove_prefix(1);
    int value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || error != std::errc() || end != text.data() + text.size())
        return std::nullopt;
    return value;
}

// Sums wrap around like the 32-bit integers the table was made for, never into
// undefined behaviour.
int wrappingAdd(int a, int b)
{
    return static_cast<int>(static_cast<std::uint32_t>(a) + static_cast<std::uint32_t>(b));
}

} // namespace

TallyModel::TallyModel() : grid_(columns, rows)
{
    setDefaults();
    loadtally();
}

void TallyModel::setDefaults()
{
    grid_.setRowCount(rows);
    for (int column = 0; column <= RunningTotal; ++column)
        putCell(column, 0, column == LowestWinningScore ? "1000" : "0");
    for (int rank = 1; rank <= ranks; ++rank) {
        putCell(RankDate, rank, "");
        putCell(RankScore, rank, "-1000");
        putCell(RankName, rank, "");
    }
}

void TallyModel::loadtally()
{
    for (int column = TotalGames; column <= RunningTotal; ++column)
        showCounter(column, cellText(column, 0));
    // The label stays empty on purpose: only the next change of the counter shows it.
    if (counterTexts_[LowestWinningScore].empty())
        putCell(LowestWinningScore, 0, "1000");
    for (int rank = 1; rank <= ranks; ++rank) {
        if (cellText(RankScore, rank).empty())
            putCell(RankScore, rank, "-1000");
        Rank& r = ranks_[static_cast<std::size_t>(rank)];
        r.date = cellText(RankDate, rank);
        r.name = cellText(RankName, rank);
        const std::string score = cellText(RankScore, rank);
        r.held = cellInteger(score).value_or(emptyScore);
        r.scoreText = r.held <= emptyScore ? std::string() : score;
    }
    changed();
}

int TallyModel::addit(int column, int row)
{
    const int sum = increment(column, row);
    changed();
    return sum;
}

void TallyModel::addtomineincrease(TallyColumn column)
{
    increment(column, 0);
    showCounter(column, cellText(column, 0));
    if (column == TotalGames)
        updateWinPercentage();
    changed();
}

void TallyModel::addtomineadd(TallyColumn column, int value)
{
    if (cellText(column, 0).empty())
        putCell(column, 0, "0");
    const std::string sum =
        std::to_string(wrappingAdd(cellInteger(cellText(column, 0)).value_or(0), value));
    putCell(column, 0, sum);
    showCounter(column, sum);
    changed();
}

void TallyModel::addtomineset(int column, std::string_view text)
{
    putCell(column, 0, text);
    showCounter(column, text);
    changed();
}

void TallyModel::checkforhigher(TallyColumn column, int value)
{
    if (value > cellInteger(cellText(column, 0)).value_or(0)) {
        putCell(column, 0, std::to_string(value));
        showCounter(column, std::to_string(value));
        changed();
    }
}

void TallyModel::checkforlower(TallyColumn column, int value)
{
    if (value < cellInteger(cellText(column, 0)).value_or(0)) {
        putCell(column, 0, std::to_string(value));
        showCounter(column, std::to_string(value));
        changed();
    }
}

bool TallyModel::checkscore(int score, const std::string& name)
{
    return checkscore(score, name, today ? today() : std::string());
}

bool TallyModel::checkscore(int score, std::string_view name, std::string_view dateText)
{
    highlighted_ = 0;
    designStyle_ = false;

    int slot = 0;
    for (int rank = 1; rank <= ranks && slot == 0; ++rank) {
        if (ranks_[static_cast<std::size_t>(rank)].held <= score)
            slot = rank;
    }
    if (slot == 0) {
        changed();
        return false;
    }

    for (int rank = ranks - 1; rank >= slot; --rank) {
        ranks_[static_cast<std::size_t>(rank + 1)] = ranks_[static_cast<std::size_t>(rank)];
        for (int column = RankDate; column <= RankName; ++column)
            putCell(column, rank + 1, cellText(column, rank));
    }

    Rank& entry = ranks_[static_cast<std::size_t>(slot)];
    entry.held = score;
    entry.scoreText = std::to_string(score);
    entry.date = dateText;
    entry.name = name;
    highlighted_ = slot;
    putCell(RankDate, slot, entry.date);
    putCell(RankScore, slot, entry.scoreText);
    putCell(RankName, slot, entry.name);
    changed();
    return true;
}

void TallyModel::reset()
{
    grid_.setRowCount(rows);
    for (int column = TotalGames; column <= RunningTotal; ++column)
        showCounter(column, column == LowestWinningScore ? "1000" : "0");
    // The unused columns 7 and 8 are reset as well.
    for (int column = TotalGames; column < columns; ++column)
        putCell(column, 0, column == LowestWinningScore ? "1000" : "0");
    for (int row = 1; row < grid_.rowCount(); ++row) {
        putCell(RankDate, row, "");
        putCell(RankScore, row, "-1000");
        putCell(RankName, row, "");
    }
    for (int rank = 1; rank <= ranks; ++rank)
        ranks_[static_cast<std::size_t>(rank)] = Rank{};
    highlighted_ = 0;
    designStyle_ = false;
    changed();
}

std::string TallyModel::counterText(int column) const
{
    if (column < TotalGames || column > RunningTotal)
        throw std::out_of_range("TallyModel: no counter in column " + std::to_string(column));
    return counterTexts_[static_cast<std::size_t>(column)];
}

std::string TallyModel::rankDate(int rank) const { return rankAt(rank).date; }
std::string TallyModel::rankName(int rank) const { return rankAt(rank).name; }
std::string TallyModel::rankScoreText(int rank) const { return rankAt(rank).scoreText; }
int TallyModel::heldScore(int rank) const { return rankAt(rank).held; }

bool TallyModel::isHighlighted(int rank) const
{
    rankAt(rank);
    return rank == highlighted_;
}

bool TallyModel::isBold(int rank) const
{
    return designStyle_ || isHighlighted(rank);
}

int TallyModel::increment(int column, int row)
{
    const int sum = wrappingAdd(cellInteger(cellText(column, row)).value_or(0), 1);
    putCell(column, row, std::to_string(sum));
    return sum;
}

std::string TallyModel::cellText(int column, int row) const
{
    return grid_.contains(column, row) ? grid_.cell(column, row) : std::string();
}

void TallyModel::putCell(int column, int row, std::string_view text)
{
    if (grid_.contains(column, row))
        grid_.setCell(column, row, text);
}

void TallyModel::showCounter(int column, std::string_view text)
{
    if (column < TotalGames || column > RunningTotal)
        return; // columns 0, 7 and 8 have no label
    std::string shown(text);
    if (column == WinPercentage)
        shown += '%';
    counterTexts_[static_cast<std::size_t>(column)] = std::move(shown);
}

void TallyModel::updateWinPercentage()
{
    const auto cleared = cellInteger(cellText(GamesCleared, 0));
    const auto games = cellInteger(cellText(TotalGames, 0));
    long long percent = 0;
    if (cleared && games && *games != 0)
        percent = static_cast<long long>(*cleared) * 100 / *games;
    const std::string text = std::to_string(percent);
    putCell(WinPercentage, 0, text);
    showCounter(WinPercentage, text);
}

const TallyModel::Rank& TallyModel::rankAt(int rank) const
{
    if (rank < 1 || rank > ranks)
        throw std::out_of_range("TallyModel: no rank " + std::to_string(rank));
    return ranks_[static_cast<std::size_t>(rank)];
}

void TallyModel::changed()
{
    if (onChanged)
        onChanged();
}

} // namespace kestrova
