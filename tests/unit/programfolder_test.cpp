// The data folder: beside the program while that folder takes files, else the user's own.
#include "platform/programfolder.h"
#include "tempfolder.h"

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

TEST(ProgramFolder, TheEnvironmentOverrideNamesTheDataFolderAndItsFiles)
{
    TempFolder folder;
    const std::filesystem::path data = folder / "portable" / "data";
    ::setenv("KESTROVA_DATA_DIR", data.c_str(), 1);
    EXPECT_EQ(ProgramFolder::dataFolder(), data);
    EXPECT_TRUE(std::filesystem::is_directory(data));
    EXPECT_EQ(ProgramFolder::settingsFilePath("kestrova"), data / "kestrova.ini");
    EXPECT_EQ(ProgramFolder::tallyFilePath("kestrova"), data / "kestrovatally.tld");
    ::unsetenv("KESTROVA_DATA_DIR");
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
