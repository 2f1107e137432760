// Fuzz target: the grid text reader takes any text, and what it reads is
// written back in the grid text form and read again to the same grid.
#include "tally/gridtext.h"
#include "tally/stringgrid.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    using namespace kestrova;
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    StringGrid grid;
    try {
        loadgrid(grid, text);
    } catch (const GridTextError&) {
        return 0;
    }
    // Cells holding a line break cannot survive the line-based form; others must.
    for (int c = 0; c < grid.columnCount(); ++c)
        for (int r = 0; r < grid.rowCount(); ++r)
            if (grid.cell(c, r).find_first_of("\r\n") != std::string::npos)
                return 0;
    StringGrid again;
    loadgrid(again, savegrid(grid));
    if (!(again == grid))
        std::abort();
    return 0;
}
