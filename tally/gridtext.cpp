// Writing and reading the grid text form.
#include "tally/gridtext.h"

#include <charconv>

namespace kestrova {

namespace {

// Hands out the text's lines one by one, and empty lines once it runs out.
// A text whose first line ends in CR LF is split at CR LF only: a lone LF or CR
// there is part of a cell (older writers let a name carry one), not a line end.
// A text with bare LF line ends, as a hand-made file may have, splits at LF.
class LineReader {
public:
    explicit LineReader(std::string_view text) : rest_(text)
    {
        const std::size_t newline = text.find('\n');
        crlf_ = newline != std::string_view::npos && newline > 0 && text[newline - 1] == '\r';
    }

    std::string_view next()
    {
        const std::string_view end = crlf_ ? std::string_view("\r\n") : std::string_view("\n");
        const std::size_t at = rest_.find(end);
        std::string_view line = rest_.substr(0, at);
        rest_ = at == std::string_view::npos ? std::string_view() : rest_.substr(at + end.size());
        if (!crlf_ && !line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        return line;
    }

private:
    std::string_view rest_;
    bool crlf_ = false;
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
            // One cell, one line, whatever a cell holds.
            for (const char c : grid.cell(column, row))
                text += (c == '\r' || c == '\n') ? ' ' : c;
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
