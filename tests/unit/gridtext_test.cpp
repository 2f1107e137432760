// The grid text form: the tally table's 110 lines, exact rewrites, other shapes, refusals.
#include "game/gamehost.h"
#include "tally/gridtext.h"
#include "tally/tallymodel.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace kestrova {
namespace {

std::vector<std::string> linesOf(const std::string& text)
{
    std::vector<std::string> lines;
    std::size_t start = 0;
    for (std::size_t end; (end = text.find("\r\n", start)) != std::string::npos; start = end + 2)
        lines.push_back(text.substr(start, end - start));
    EXPECT_EQ(start, text.size()) << "text after the last CR LF";
    return lines;
}

void expectGridError(StringGrid& grid, const std::string& text, const std::string& message)
{
    try {
        loadgrid(grid, text);
        ADD_FAILURE() << "no error for " << text;
    } catch (const GridTextError& error) {
        EXPECT_EQ(std::string(error.what()), message) << "for " << text;
    }
}

TEST(GridText, TheNewTallyTableIs110LinesColumnByColumn)
{
    const std::vector<std::string> lines = linesOf(savegrid(TallyModel().grid()));
    ASSERT_EQ(lines.size(), 110u);
    EXPECT_EQ(lines[0], "9");
    EXPECT_EQ(lines[1], "12");
    // Column i, row j is on line 3 + 12 i + j (counted from 1).
    const auto at = [&](int column, int row) { return lines[2 + 12 * column + row]; };
    const char* const counters[9] = {"0", "0", "0", "0", "0", "1000", "0", "", ""};
    for (int column = 0; column < 9; ++column) {
        EXPECT_EQ(at(column, 0), counters[column]) << "column " << column;
        for (int row = 1; row < 12; ++row) {
            const bool scoreOfASlot = column == 1 && row <= 10;
            EXPECT_EQ(at(column, row), scoreOfASlot ? "-1000" : "") << column << ", " << row;
        }
    }
}

TEST(GridText, ReadingAndWritingAgainGivesTheSameBytes)
{
    StringGrid grid(9, 12);
    grid.setCell(0, 1, "07/12/2025");
    grid.setCell(1, 1, "412");
    grid.setCell(2, 1, "  Ann \t");
    grid.setCell(8, 11, "\xe9t\xe9"); // 8-bit text goes through as it is
    const std::string text = savegrid(grid);

    StringGrid read;
    loadgrid(read, text);
    EXPECT_EQ(read, grid);
    EXPECT_EQ(savegrid(read), text);
}

TEST(GridText, ALineBreakInACellNeverBreaksTheLinesAndOldFilesWithOneStillLoad)
{
    TallyModel tally;
    tally.checkscore(412, "Ann\nBob", "07/12/2025");
    tally.addtomineadd(RunningTotal, 412);
    StringGrid& grid = tally.grid();
    grid.setCell(8, 11, "x\r\ny\rz");

    // Written now: each cell is one line, its breaks turned into blanks.
    const std::string text = savegrid(grid);
    const std::vector<std::string> lines = linesOf(text);
    ASSERT_EQ(lines.size(), 110u);
    EXPECT_EQ(lines[2 + 12 * 2 + 1], "Ann Bob");
    EXPECT_EQ(lines[109], "x  y z");

    // Written by a writer that let the break through: CR LF ends the lines, so the
    // lone LF and CR are read as part of their cells and nothing shifts.
    std::string old = text;
    old.replace(old.find("Ann Bob"), 7, "Ann\nBob");
    old.replace(old.find("x  y z"), 6, "x\ny\rz");
    std::string rewritten = text;
    rewritten.replace(rewritten.find("x  y z"), 6, "x y z");
    StringGrid read;
    loadgrid(read, old);
    EXPECT_EQ(read.cell(2, 1), "Ann\nBob");
    EXPECT_EQ(read.cell(8, 11), "x\ny\rz");
    EXPECT_EQ(read.cell(1, 1), "412");
    EXPECT_EQ(read.cell(RunningTotal, 0), "412");
    EXPECT_EQ(read.cell(LowestWinningScore, 0), "1000");
    EXPECT_EQ(read.cell(LongestChain, 0), "0");
    EXPECT_EQ(savegrid(read), rewritten);
}

TEST(GridText, OtherShapesAreReadWithTheirShapeAndShortTextsEndInEmptyCells)
{
    StringGrid grid(9, 12);
    grid.setCell(0, 0, "old");
    loadgrid(grid, "2\r\n3\r\na\r\nb\r\nc\r\nd\r\ne\r\nf\r\n");
    EXPECT_EQ(grid.columnCount(), 2);
    EXPECT_EQ(grid.rowCount(), 3);
    EXPECT_EQ(grid.cell(0, 0), "a");
    EXPECT_EQ(grid.cell(1, 0), "d");
    EXPECT_EQ(grid.cell(1, 2), "f");
    EXPECT_EQ(savegrid(grid), "2\r\n3\r\na\r\nb\r\nc\r\nd\r\ne\r\nf\r\n");

    // LF line ends, a last line without one, a lone CR kept inside its cell, blanks
    // around a count, and cells past the end of the text.
    loadgrid(grid, " 3 \n\t2\nx\r\ny\rz\nlast");
    EXPECT_EQ(grid.columnCount(), 3);
    EXPECT_EQ(grid.rowCount(), 2);
    EXPECT_EQ(grid.cell(0, 0), "x");
    EXPECT_EQ(grid.cell(0, 1), "y\rz");
    EXPECT_EQ(grid.cell(1, 0), "last");
    EXPECT_EQ(grid.cell(1, 1), "");
    EXPECT_EQ(grid.cell(2, 1), "");

    loadgrid(grid, "0\r\n0\r\n");
    EXPECT_EQ(savegrid(grid), "0\r\n0\r\n");
    loadgrid(grid, "+1000\r\n1000");
    EXPECT_EQ(grid.columnCount(), 1000);
    EXPECT_EQ(grid.rowCount(), 1000);
}

TEST(GridText, CountsThatAreNotIntegersOrDoNotFitAreRefused)
{
    const std::string notColumns = "Invalid grid text: the column count on line 1 is not an integer";
    const std::string bigColumns = "Invalid grid text: the column count on line 1 is outside 0 to 1000";
    const std::string notRows = "Invalid grid text: the row count on line 2 is not an integer";
    const std::string bigRows = "Invalid grid text: the row count on line 2 is outside 0 to 1000";
    StringGrid grid(9, 12);
    grid.setCell(8, 11, "kept");
    for (const char* text : {"", "\r\n12", "abc\r\n12", "12abc\r\n1", "1.5\r\n1", "-\r\n1", "+\r\n1",
                             "+-1\r\n1", "0x10\r\n1", "1 2\r\n1"})
        expectGridError(grid, text, notColumns);
    expectGridError(grid, std::string("\0\x01\xff\n9", 5), notColumns);
    for (const char* text : {"-1\r\n12", "1001\r\n12", "99999999999999999999\r\n1",
                             "-99999999999999999999\r\n1"})
        expectGridError(grid, text, bigColumns);
    EXPECT_EQ(grid.columnCount(), 9);
    EXPECT_EQ(grid.rowCount(), 12);
    EXPECT_EQ(grid.cell(8, 11), "kept");

    // The column count read before the error stays, and so do the cells that fit it.
    expectGridError(grid, "9\r\nrows", notRows);
    expectGridError(grid, "9", notRows);
    expectGridError(grid, "9\r\n1001\r\n", bigRows);
    EXPECT_EQ(grid.cell(8, 11), "kept");
    expectGridError(grid, "3\r\n-5\r\n", bigRows);
    EXPECT_EQ(grid.columnCount(), 3);
    EXPECT_EQ(grid.rowCount(), 12);
}

TEST(StringGrid, ShapeChangesKeepTheCellsInsideAndBoundsAreChecked)
{
    StringGrid grid(2, 2);
    grid.setCell(1, 1, "x");
    grid.setRowCount(5);
    grid.setColumnCount(4);
    EXPECT_EQ(grid.cell(1, 1), "x");
    EXPECT_EQ(grid.cell(3, 4), "");
    grid.setColumnCount(1);
    grid.setColumnCount(2);
    EXPECT_EQ(grid.cell(1, 1), "");
    EXPECT_THROW(grid.cell(2, 0), std::out_of_range);
    EXPECT_THROW(grid.setCell(0, 5, "x"), std::out_of_range);
    EXPECT_THROW(grid.cell(-1, 0), std::out_of_range);
    EXPECT_THROW(grid.setRowCount(-1), std::out_of_range);
    EXPECT_THROW(grid.setColumnCount(1001), std::out_of_range);
}

} // namespace
} // namespace kestrova
