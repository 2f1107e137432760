// The tally file on disk: first start, round trips, rejected files, failed saves.
#include "tally/gridtext.h"
#include "tally/lzrw1.h"
#include "tally/tallyfile.h"
#include "tally/tallymodel.h"
#include "support/tempfolder.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

namespace kestrova {
namespace {

using testing::readBytes;
using testing::ReadOnlyFolder;
using testing::TempFolder;
using testing::writeBytes;

std::string packed(const std::string& text)
{
    const auto bytes = packContainer(
        std::span(reinterpret_cast<const std::uint8_t*>(text.data()), text.size()), TCompressMode::Fast);
    return std::string(bytes.begin(), bytes.end());
}

std::string unpacked(const std::string& file)
{
    const auto bytes = unpackContainer(
        std::span(reinterpret_cast<const std::uint8_t*>(file.data()), file.size()), "test");
    return std::string(bytes.begin(), bytes.end());
}

std::size_t entryCount(const std::filesystem::path& folder)
{
    return static_cast<std::size_t>(std::distance(std::filesystem::directory_iterator(folder),
                                                  std::filesystem::directory_iterator()));
}

TEST(TallyFile, AFirstStartWithoutAFileKeepsTheDefaultsAndTheExitWritesThem)
{
    TempFolder folder;
    const TallyFile file(folder / "kestrovatally.tld");
    TallyModel tally;
    const StringGrid defaults = tally.grid();
    EXPECT_EQ(file.load(tally.grid()), std::nullopt);
    EXPECT_EQ(tally.grid(), defaults);

    file.save(tally.grid());
    const std::string bytes = readBytes(file.path());
    EXPECT_EQ(bytes.substr(0, 4), "WRZL");
    EXPECT_EQ(unpacked(bytes), savegrid(defaults));
    EXPECT_EQ(entryCount(folder.path()), 1u); // nothing left beside it, no "temp.txt" anywhere
    EXPECT_FALSE(std::filesystem::exists("temp.txt"));
}

TEST(TallyFile, AnUnchangedTallyIsWrittenBackByteForByte)
{
    TempFolder folder;
    TallyFile file(folder / "kestrovatally.tld");
    int blocks = 0;
    file.onBlock = [&] { ++blocks; };
    TallyModel tally;
    tally.addtomineincrease(TotalGames);
    tally.checkscore(512, "Ann Lee", "07/12/2025");
    file.save(tally.grid());
    const std::string first = readBytes(file.path());

    TallyModel next;
    EXPECT_EQ(file.load(next.grid()), std::nullopt);
    next.loadtally();
    EXPECT_EQ(next.rankName(1), "Ann Lee");
    EXPECT_EQ(next.counterText(1), "1");
    file.save(next.grid());
    EXPECT_EQ(readBytes(file.path()), first);
    EXPECT_GE(blocks, 3); // two saves and a load, one block each at least
}

TEST(TallyFile, AnotherShapeIsReadWithItsShape)
{
    TempFolder folder;
    const TallyFile file(folder / "t.tld");
    writeBytes(file.path(), packed("2\r\n2\r\na\r\nb\r\nc\r\nd\r\n"));
    StringGrid grid = TallyModel().grid();
    EXPECT_EQ(file.load(grid), std::nullopt);
    EXPECT_EQ(grid.columnCount(), 2);
    EXPECT_EQ(grid.rowCount(), 2);
    EXPECT_EQ(grid.cell(1, 1), "d");
}

TEST(TallyFile, FilesThatAreNotTalliesGiveTheirErrorAndTheDefaultsStand)
{
    TempFolder folder;
    const TallyFile file(folder / "kestrovatally.tld");
    const StringGrid defaults = TallyModel().grid();
    StringGrid grid = defaults;

    writeBytes(file.path(), "9\r\n12\r\n0\r\n");
    EXPECT_EQ(file.load(grid),
              file.path().string() + " : Lzrw1 decompression : this file has no valid header !");
    EXPECT_EQ(grid, defaults);

    writeBytes(file.path(), "");
    EXPECT_EQ(file.load(grid), "Lzrw1 : Error reading from input file : " + file.path().string());
    EXPECT_EQ(grid, defaults);

    const std::string good = packed(savegrid(defaults));
    writeBytes(file.path(), good.substr(0, good.size() - 1));
    EXPECT_NE(file.load(grid), std::nullopt);
    EXPECT_EQ(grid, defaults);

    // A valid container with a damaged grid text: the cells read before the error stay.
    writeBytes(file.path(), packed("9\r\nlots\r\n"));
    EXPECT_EQ(file.load(grid), "Invalid grid text: the row count on line 2 is not an integer");
    EXPECT_EQ(grid, defaults);

    std::filesystem::remove(file.path());
    std::filesystem::create_directory(file.path());
    const auto message = file.load(grid);
    ASSERT_NE(message, std::nullopt);
    EXPECT_NE(message->find(file.path().string()), std::string::npos);
    EXPECT_EQ(grid, defaults);
}

// A small file whose container states, and really holds, far more than any
// tally is refused before it is unpacked.
TEST(TallyFile, ATallyStatingMoreThanTheBoundIsRefusedUnpacked)
{
    TempFolder folder;
    const TallyFile file(folder / "kestrovatally.tld");
    const StringGrid defaults = TallyModel().grid();
    StringGrid grid = defaults;

    std::string bomb = std::string("WRZL") + std::string("\x00\x00\x00\x40", 4);   // 1 GiB
    const std::string zeros = packed(std::string(32768, '\0'));
    const std::string zeroBlock = zeros.substr(8, zeros.size() - 8 - 3);   // less the header and the empty end block
    for (int k = 0; k < 32768; ++k)
        bomb += zeroBlock;
    bomb += std::string("\x01\x00\x80", 3);
    writeBytes(file.path(), bomb);
    EXPECT_EQ(file.load(grid), file.path().string() + " : Lzrw1 decompression : the stated size of 1073741824 "
                                                      "bytes is over the limit of 1048576 bytes !");
    EXPECT_EQ(grid, defaults);

    // The bound itself still loads.
    const std::string text = "1\r\n1\r\n" + std::string(TallyFile::maxUnpackedSize - 6, 'n');
    writeBytes(file.path(), packed(text));
    EXPECT_EQ(file.load(grid), std::nullopt);
    EXPECT_EQ(grid.cell(0, 0).size(), TallyFile::maxUnpackedSize - 6);
    writeBytes(file.path(), packed(text + "n"));
    EXPECT_NE(file.load(grid), std::nullopt);
}

TEST(TallyFile, AFailedSaveKeepsThePreviousFile)
{
    TempFolder folder;
    const TallyFile file(folder / "kestrovatally.tld");
    TallyModel tally;
    file.save(tally.grid());
    const std::string before = readBytes(file.path());

    tally.addtomineincrease(TotalGames);
    {
        ReadOnlyFolder readOnly(folder.path());
        if (!readOnly.ok())
            GTEST_SKIP() << "cannot make a folder read-only here";
        EXPECT_THROW(file.save(tally.grid()), ELzrw1Exception);
    }
    EXPECT_EQ(readBytes(file.path()), before);
    EXPECT_EQ(entryCount(folder.path()), 1u);

    writeBytes(folder / "plain", "");
    EXPECT_THROW(TallyFile(folder / "plain" / "t.tld").save(tally.grid()), ELzrw1Exception);
}

} // namespace
} // namespace kestrova
