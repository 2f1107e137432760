// The string grid, stored column by column like its text form.
#include "tally/stringgrid.h"

#include <stdexcept>

namespace kestrova {

namespace {

void checkCount(int count, int max, const char* what)
{
    if (count < 0 || count > max) {
        throw std::out_of_range(std::string("StringGrid: ") + what + " " + std::to_string(count) +
                                " is outside 0 to " + std::to_string(max));
    }
}

} // namespace

StringGrid::StringGrid(int columns, int rows)
{
    setRowCount(rows);
    setColumnCount(columns);
}

void StringGrid::setColumnCount(int columns)
{
    checkCount(columns, maxColumns, "column count");
    columns_.resize(static_cast<std::size_t>(columns),
                    std::vector<std::string>(static_cast<std::size_t>(rows_)));
}

void StringGrid::setRowCount(int rows)
{
    checkCount(rows, maxRows, "row count");
    for (auto& column : columns_)
        column.resize(static_cast<std::size_t>(rows));
    rows_ = rows;
}

const std::string& StringGrid::cell(int column, int row) const
{
    if (!contains(column, row)) {
        throw std::out_of_range("StringGrid: cell " + std::to_string(column) + ", " +
                                std::to_string(row) + " is outside the grid");
    }
    return columns_[static_cast<std::size_t>(column)][static_cast<std::size_t>(row)];
}

void StringGrid::setCell(int column, int row, std::string_view text)
{
    if (!contains(column, row)) {
        throw std::out_of_range("StringGrid: cell " + std::to_string(column) + ", " +
                                std::to_string(row) + " is outside the grid");
    }
    columns_[static_cast<std::size_t>(column)][static_cast<std::size_t>(row)] = text;
}

} // namespace kestrova
