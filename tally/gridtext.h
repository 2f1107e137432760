// The grid text form: the column count, the row count, then one cell per line column by
// column, every line ended by CR LF. Cells are written as they are, without escaping,
// except that a CR or LF inside a cell is written as a blank.
#pragma once

#include "tally/stringgrid.h"

#include <stdexcept>
#include <string>
#include <string_view>

namespace kestrova {

// A grid text whose counts cannot be followed.
class GridTextError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

std::string savegrid(const StringGrid& grid);

// Reads the text into `grid`: its column count from line 1, its row count from line 2,
// then its cells. Lines end in CR LF (then a lone CR or LF belongs to its cell) or, in a
// text whose first line ends in a bare LF, in LF; the last one may end in nothing. Lines missing at
// the end read as empty cells. A count line that is not a decimal integer, or a count
// the grid cannot take (below 0, above 1000), throws GridTextError. The grid takes each
// count as soon as it is read, and the cells of an earlier shape that fit the new one
// stay, so a failure leaves whatever was already there or already read.
void loadgrid(StringGrid& grid, std::string_view text);

} // namespace kestrova
