// Replacing files: contents, permissions, links, failures that leave the old
// file whole, and the clean-up of new files that a killed save left behind.
#include "platform/durablefile.h"
#include "support/tempfolder.h"

#include <gtest/gtest.h>

#include <set>

#include <sys/stat.h>
#include <unistd.h>

namespace kestrova {
namespace {

using testing::readBytes;
using testing::TempFolder;
using testing::writeBytes;

std::set<std::string> namesIn(const std::filesystem::path& folder)
{
    std::set<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder))
        names.insert(entry.path().filename().string());
    return names;
}

mode_t permissionBits(const std::filesystem::path& path)
{
    struct stat st {};
    EXPECT_EQ(::stat(path.c_str(), &st), 0);
    return st.st_mode & 07777;
}

TEST(DurableFile, ReplacesTheContentsAndKeepsThePermissionsOfTheOldFile)
{
    TempFolder folder;
    const auto file = folder / "kestrova.ini";
    replaceFileDurably(file, "first");
    EXPECT_EQ(readBytes(file), "first");

    ASSERT_EQ(::chmod(file.c_str(), 0640), 0);
    replaceFileDurably(file, std::string("second\0with a nul", 17));
    EXPECT_EQ(readBytes(file), std::string("second\0with a nul", 17));
    EXPECT_EQ(permissionBits(file), 0640u);
    replaceFileDurably(file, "");
    EXPECT_EQ(readBytes(file), "");
    EXPECT_EQ(namesIn(folder.path()), std::set<std::string>{"kestrova.ini"});
}

TEST(DurableFile, ALinkKeepsPointingAtTheFileThatIsReplaced)
{
    TempFolder folder;
    std::filesystem::create_directory(folder / "real");
    writeBytes(folder / "real" / "kestrova.ini", "old");
    std::filesystem::create_symlink("real/kestrova.ini", folder / "link.ini");
    replaceFileDurably(folder / "link.ini", "new");
    EXPECT_TRUE(std::filesystem::is_symlink(folder / "link.ini"));
    EXPECT_EQ(readBytes(folder / "real" / "kestrova.ini"), "new");
    EXPECT_EQ(namesIn(folder / "real"), std::set<std::string>{"kestrova.ini"});
}

TEST(DurableFile, AFailureNamesTheStepAndLeavesTheOldFileWholeAndNoNewFile)
{
    TempFolder folder;
    try {
        replaceFileDurably(folder / "missing" / "kestrova.ini", "x");
        ADD_FAILURE() << "no error for a missing folder";
    } catch (const FileReplaceError& error) {
        EXPECT_EQ(error.stage(), FileReplaceError::Stage::Create);
        EXPECT_NE(std::string(error.what()).find((folder / "missing" / "kestrova.ini").string()), std::string::npos);
    }

    // A folder in the file's place cannot be renamed over: the last step fails.
    std::filesystem::create_directory(folder / "taken");
    writeBytes(folder / "taken" / "inside", "kept");
    try {
        replaceFileDurably(folder / "taken", "x");
        ADD_FAILURE() << "no error for a folder in the file's place";
    } catch (const FileReplaceError& error) {
        EXPECT_EQ(error.stage(), FileReplaceError::Stage::Write);
    }
    EXPECT_EQ(readBytes(folder / "taken" / "inside"), "kept");
    EXPECT_EQ(namesIn(folder.path()), std::set<std::string>{"taken"});

    writeBytes(folder / "kestrova.ini", "old");
    {
        testing::ReadOnlyFolder readOnly(folder.path());
        if (!readOnly.ok())
            GTEST_SKIP() << "cannot make a folder read-only here";
        EXPECT_THROW(replaceFileDurably(folder / "kestrova.ini", "new"), FileReplaceError);
    }
    EXPECT_EQ(readBytes(folder / "kestrova.ini"), "old");
}

TEST(DurableFile, NewFilesOfDeadSavesGoAndThoseOfLivingProcessesStay)
{
    TempFolder folder;
    // A process id that is not in use: one past the largest the system hands out.
    const std::string dead = std::to_string(std::stol(readBytes("/proc/sys/kernel/pid_max")));
    const std::string mine = std::to_string(::getpid());
    const std::string living = std::to_string(::getppid());
    for (const std::string& name : {"kestrova.ini.~new." + dead + ".3", "kestrova.ini.~new." + mine + ".9",
                                    "kestrova.ini.~new." + living + ".1", std::string("kestrova.ini.~new.x.1"),
                                    "kestrovatally.tld.~new." + dead + ".1"})
        writeBytes(folder / name, "half a save");
    replaceFileDurably(folder / "kestrova.ini", "whole");
    EXPECT_EQ(namesIn(folder.path()),
              (std::set<std::string>{"kestrova.ini", "kestrova.ini.~new." + living + ".1", std::string("kestrova.ini.~new.x.1"),
                                     "kestrovatally.tld.~new." + dead + ".1"}));
}

} // namespace
} // namespace kestrova
