// Writing and reading the grid text form.
#include "tally/gridtext.h"

#include <charconv>

namespace kestrova {

namespace {

// Hands out the text's lines one by one, and empty lines once it runs out.
class LineReader {
public:
    explicit LineReader(std::string_view text) : rest_(text) {}

    std::string_view next()
    {
        const std::size_t newline = rest_.find('\n');
        std::string_view line = rest_.substr(0, newline);
        rest_ = newline == std::string_view::npos ? std::string_view() : rest_.substr(newline + 1);
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        return line;
    }

private:
    std::string_view rest_;
};

bool isBlank(char c) { return c == ' ' || c == '\t'; }

int readCount(std::string_view line, int lineNumber, const char* what, int max)
{
    while (!line.empty() && isBlank(line.front()))
        line.remove_prefix(1);
    while (!line.empty() && isBlank(line.back()))
        line.remove_suffix(1);
    if (line.size() > 1 && line.front() == '+' && line[1] != '-')
        line.remove_prefix(1);

    const std::string where = std::string("Invalid grid text: the ") + what + " on line " +
                              std::to_string(lineNumber);
    long long value = 0;
    const auto [end, error] = std::from_chars(line.data(), line.data() + line.size(), value);
    if (line.empty() || end != line.data() + line.size() ||
        (error != std::errc() && error != std::errc::result_out_of_range)) {
        throw GridTextError(where + " is not an integer");
    }
    if (error == std::errc::result_out_of_range || value < 0 || value > max) {
        throw GridTextError(where + " is outside 0 to " + std::to_string(max));
    }
    return static_cast<int>(value);
}

} // namespace

std::string savegrid(const StringGrid& grid)
{
    std::string text;
    text += std::to_string(grid.columnCount());
    text += "\r\n";
    text += std::to_string(grid.rowCount());
    text += "\r\n";
    for (int column = 0; column < grid.columnCount(); ++column) {
        for (int row = 0; row < grid.rowCount(); ++row) {
            text += grid.cell(column, row);
            text += "\r\n";
        }
    }
    return text;
}

void loadgrid(StringGrid& grid, std::string_view text)
{
    LineReader lines(text);
    grid.setColumnCount(readCount(lines.next(), 1, "column count", StringGrid::maxColumns));
    grid.setRowCount(readCount(lines.next(), 2, "row count", StringGrid::maxRows));
    for (int column = 0; column < grid.columnCount(); ++column) {
        for (int row = 0; row < grid.rowCount(); ++row)
            grid.setCell(column, row, lines.next());
    }
}

} // namespace kestrova
