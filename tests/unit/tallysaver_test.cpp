// The tally file's background writer: the newest table wins, nothing asked for
// is lost at the end, and a failed save does not stop the worker.
#include "tally/stringgrid.h"
#include "tally/tallyfile.h"
#include "tally/tallysaver.h"
#include "support/tempfolder.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

namespace kestrova {
namespace {

using testing::TempFolder;

StringGrid gridSaying(const std::string& text)
{
    StringGrid grid(2, 2);
    grid.setCell(1, 1, text);
    return grid;
}

std::string cellOnDisk(const std::filesystem::path& path)
{
    StringGrid grid(2, 2);
    EXPECT_FALSE(TallyFile(path).load(grid).has_value());
    return grid.cell(1, 1);
}

TEST(TallySaverTest, TheNewestTableIsOnDiskOnceTheSavesAreWaitedFor)
{
    TempFolder folder;
    const auto path = folder.path() / "kestrovatally.tld";
    TallySaver saver(path);
    for (int round = 1; round <= 50; ++round)
        saver.save(gridSaying("round " + std::to_string(round)));
    saver.waitForSaves();
    EXPECT_EQ(cellOnDisk(path), "round 50");

    // Waiting again with nothing asked for returns at once.
    saver.waitForSaves();
    EXPECT_EQ(saver.failures(), 0u);
}

TEST(TallySaverTest, TheLastSaveIsWrittenBeforeTheSaverIsGone)
{
    TempFolder folder;
    const auto path = folder.path() / "kestrovatally.tld";
    {
        TallySaver saver(path);
        saver.save(gridSaying("first"));
        saver.save(gridSaying("at exit"));
    }
    EXPECT_EQ(cellOnDisk(path), "at exit");

    // A saver that was never asked leaves no file and starts no thread to end.
    const auto untouched = folder.path() / "untouched.tld";
    { TallySaver idle(untouched); }
    EXPECT_FALSE(std::filesystem::exists(untouched));
}

TEST(TallySaverTest, AFailedSaveIsCountedAndTheNextOneStillWrites)
{
    TempFolder folder;
    const auto path = folder.path() / "sub" / "kestrovatally.tld";
    TallySaver saver(path);
    saver.save(gridSaying("nowhere to go"));   // the folder does not exist yet
    saver.waitForSaves();
    EXPECT_EQ(saver.failures(), 1u);

    std::filesystem::create_directory(folder.path() / "sub");
    saver.save(gridSaying("written"));
    saver.waitForSaves();
    EXPECT_EQ(cellOnDisk(path), "written");
    EXPECT_EQ(saver.failures(), 1u);
}

} // namespace
} // namespace kestrova
