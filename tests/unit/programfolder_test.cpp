// The data folder: beside a game run from its build tree or a folder of its own while that
// folder takes files, else (and always for an installed game) the user's own.
#include "platform/programfolder.h"
#include "support/tempfolder.h"

#include <QCoreApplication>

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

namespace kestrova {
namespace {

using testing::ReadOnlyFolder;
using testing::TempFolder;
using testing::writeBytes;

std::size_t entryCount(const std::filesystem::path& folder)
{
    return static_cast<std::size_t>(std::distance(std::filesystem::directory_iterator(folder),
                                                  std::filesystem::directory_iterator()));
}

// Points the per-user data folder into a scratch folder for the test's lifetime.
class UserDataHome {
public:
    explicit UserDataHome(const std::filesystem::path& home)
    {
        ::setenv("XDG_DATA_HOME", home.c_str(), 1);
        QCoreApplication::setOrganizationName(QString());
        QCoreApplication::setApplicationName(QStringLiteral("Kestrova"));
    }
    ~UserDataHome() { ::unsetenv("XDG_DATA_HOME"); }
};

TEST(ProgramFolder, TheProbeTellsWritableFoldersAndLeavesNothingBehind)
{
    TempFolder folder;
    EXPECT_TRUE(ProgramFolder::isWritableFolder(folder.path()));
    EXPECT_EQ(entryCount(folder.path()), 0u);

    writeBytes(folder / "plain", "");
    EXPECT_FALSE(ProgramFolder::isWritableFolder(folder / "plain" / "sub"));
    EXPECT_FALSE(ProgramFolder::isWritableFolder(folder / "missing"));

    ReadOnlyFolder readOnly(folder.path());
    if (!readOnly.ok())
        GTEST_SKIP() << "cannot make a folder read-only here";
    EXPECT_FALSE(ProgramFolder::isWritableFolder(folder.path()));
}

TEST(ProgramFolder, AnUnwritableProgramFolderFallsBackToTheUserDataFolder)
{
    TempFolder folder;
    const UserDataHome home(folder / "data");
    const std::filesystem::path userFolder = folder / "data" / "Kestrova";

    EXPECT_EQ(ProgramFolder::dataFolderFor(folder.path()), folder.path());
    writeBytes(folder / "plain", "");
    EXPECT_EQ(ProgramFolder::dataFolderFor(folder / "plain" / "bin"), userFolder);
    EXPECT_TRUE(std::filesystem::is_directory(userFolder)); // created on the way

    std::filesystem::create_directory(folder / "bin");
    ReadOnlyFolder readOnly(folder / "bin");
    if (!readOnly.ok())
        GTEST_SKIP() << "cannot make a folder read-only here";
    EXPECT_EQ(ProgramFolder::dataFolderFor(folder / "bin"), userFolder);
}

// A game laid out as the install rules lay it out under `prefix`, its companions in
// PREFIX/lib/games/kestrova; returns its program folder, PREFIX/games.
std::filesystem::path installGame(const std::filesystem::path& prefix)
{
    std::filesystem::create_directories(prefix / "games");
    std::filesystem::create_directories(prefix / "lib" / "games" / "kestrova");
    writeBytes(prefix / "games" / "kestrova", "");
    writeBytes(prefix / "lib" / "games" / "kestrova" / "kestrova-fetch", "");
    writeBytes(prefix / "lib" / "games" / "kestrova" / "kestrova-sound.so", "");
    return prefix / "games";
}

// A build tree or an unpacked folder: the companions beside the executable.
std::filesystem::path unpackGame(const std::filesystem::path& folder)
{
    std::filesystem::create_directories(folder);
    for (const char* name : {"kestrova", "kestrova-fetch", "kestrova-sound.so"})
        writeBytes(folder / name, "");
    return folder;
}

// Sets KESTROVA_DATA_DIR for the test's lifetime.
class DataDirOverride {
public:
    explicit DataDirOverride(const std::filesystem::path& folder) { ::setenv("KESTROVA_DATA_DIR", folder.c_str(), 1); }
    ~DataDirOverride() { ::unsetenv("KESTROVA_DATA_DIR"); }
};

TEST(ProgramFolder, ABuildTreeOrAFolderOfItsOwnKeepsTheFilesBesideTheGame)
{
    TempFolder folder;
    const UserDataHome home(folder / "data");
    // The build tree: build/bin, with build/lib holding the project's libraries.
    const std::filesystem::path bin = unpackGame(folder / "build" / "bin");
    std::filesystem::create_directories(folder / "build" / "lib");
    EXPECT_FALSE(ProgramFolder::isInstalledLayout(bin));
    EXPECT_EQ(ProgramFolder::dataFolderFor(bin), bin);

    // An unpacked folder beside other programs: a lib/games without our folder in it,
    // or a file where our folder would be, is not the installed layout.
    const std::filesystem::path portable = unpackGame(folder / "apps" / "Kestrova");
    std::filesystem::create_directories(folder / "apps" / "lib" / "games" / "other");
    EXPECT_EQ(ProgramFolder::dataFolderFor(portable), portable);
    writeBytes(folder / "apps" / "lib" / "games" / "kestrova", "");
    EXPECT_FALSE(ProgramFolder::isInstalledLayout(portable));
    EXPECT_EQ(ProgramFolder::dataFolderFor(portable), portable);
    EXPECT_EQ(entryCount(portable), 3u); // the probe left nothing

    ReadOnlyFolder readOnly(portable);
    if (!readOnly.ok())
        GTEST_SKIP() << "cannot make a folder read-only here";
    EXPECT_EQ(ProgramFolder::dataFolderFor(portable), folder / "data" / "Kestrova");
}

TEST(ProgramFolder, AnInstalledGameUsesTheUserDataFolderEvenWhereItCouldWriteItsOwn)
{
    TempFolder folder;
    const UserDataHome home(folder / "data");
    const std::filesystem::path userFolder = folder / "data" / "Kestrova";
    const std::filesystem::path games = installGame(folder / "usr");
    EXPECT_TRUE(ProgramFolder::isInstalledLayout(games));
    EXPECT_EQ(ProgramFolder::installedCompanionFolder(games), folder / "usr" / "lib" / "games" / "kestrova");
    // Its companions are found where its data folder rule looks for the layout.
    EXPECT_EQ(ProgramFolder::installedCompanionFolder(games) / "kestrova-fetch",
              (games / "../lib/games/kestrova/kestrova-fetch").lexically_normal());

    // Root writes /usr/games: the folder takes files, and still gets none.
    ASSERT_TRUE(ProgramFolder::isWritableFolder(games));
    EXPECT_EQ(ProgramFolder::dataFolderFor(games), userFolder);
    EXPECT_TRUE(std::filesystem::is_directory(userFolder));
    EXPECT_EQ(entryCount(games), 1u); // not even a probe was made there

    // A prefix reached through a trailing separator or a symbolic link is the same layout.
    EXPECT_EQ(ProgramFolder::dataFolderFor(games / ""), userFolder);
    std::filesystem::create_directory_symlink(folder / "usr", folder / "linked");
    EXPECT_EQ(ProgramFolder::dataFolderFor(folder / "linked" / "games"), userFolder);

    // A player cannot write it: the same answer.
    ReadOnlyFolder readOnly(games);
    if (!readOnly.ok())
        GTEST_SKIP() << "cannot make a folder read-only here";
    EXPECT_EQ(ProgramFolder::dataFolderFor(games), userFolder);
}

TEST(ProgramFolder, AnInstalledGameWhoseUserDataFolderCannotBeMadeStillLeavesItsFolderAlone)
{
    TempFolder folder;
    writeBytes(folder / "home", ""); // a file where the data home should be
    const UserDataHome home(folder / "home");
    const std::filesystem::path games = installGame(folder / "usr");
    EXPECT_EQ(ProgramFolder::dataFolderFor(games), folder / "home" / "Kestrova");
    EXPECT_EQ(entryCount(games), 1u);
}

TEST(ProgramFolder, TheEnvironmentOverrideNamesTheDataFolderWhereverTheGameLies)
{
    TempFolder folder;
    const std::filesystem::path data = folder / "portable" / "data";
    const UserDataHome home(folder / "home");
    const std::filesystem::path games = installGame(folder / "usr");
    const std::filesystem::path unpacked = unpackGame(folder / "Kestrova");
    {
        const DataDirOverride override(data);
        EXPECT_EQ(ProgramFolder::dataFolder(), data);
        EXPECT_TRUE(std::filesystem::is_directory(data)); // created on the way
        EXPECT_EQ(ProgramFolder::settingsFilePath("kestrova"), data / "kestrova.ini");
        EXPECT_EQ(ProgramFolder::tallyFilePath("kestrova"), data / "kestrovatally.tld");
        EXPECT_EQ(ProgramFolder::dataFolderFor(games), data);
        EXPECT_EQ(ProgramFolder::dataFolderFor(unpacked), data);
    }
    // Set but empty counts as unset.
    const DataDirOverride empty("");
    EXPECT_EQ(ProgramFolder::dataFolderFor(games), folder / "home" / "Kestrova");
    EXPECT_EQ(ProgramFolder::dataFolderFor(unpacked), unpacked);
}

TEST(ProgramFolder, WithoutOverrideTheDataFolderIsTheWritableProgramFolder)
{
    ::unsetenv("KESTROVA_DATA_DIR");
    const std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe");
    EXPECT_EQ(ProgramFolder::executableFolder(), self.parent_path());
    EXPECT_EQ(ProgramFolder::dataFolder(), self.parent_path()); // the build folder takes files
}

} // namespace
} // namespace kestrova
