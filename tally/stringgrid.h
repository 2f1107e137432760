// A table of text cells addressed by column and row, both from 0: the in-memory form of
// the tally table and of anything read from the grid text form.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace kestrova {

class StringGrid {
public:
    // The largest shape a grid takes; the grid text reader refuses anything larger.
    static constexpr int maxColumns = 1000;
    static constexpr int maxRows = 1000;

    StringGrid() = default;
    StringGrid(int columns, int rows);

    int columnCount() const { return static_cast<int>(columns_.size()); }
    int rowCount() const { return rows_; }

    // Changing the shape keeps the cells that stay inside it; new cells are empty.
    // A count below 0 or above the maximum throws std::out_of_range.
    void setColumnCount(int columns);
    void setRowCount(int rows);

    // Both throw std::out_of_range for a cell outside the grid's shape.
    const std::string& cell(int column, int row) const;
    void setCell(int column, int row, std::string_view text);

    bool contains(int column, int row) const
    {
        return column >= 0 && column < columnCount() && row >= 0 && row < rows_;
    }

    bool operator==(const StringGrid&) const = default;

private:
    std::vector<std::vector<std::string>> columns_;
    int rows_ = 0;
};

} // namespace kestrova
