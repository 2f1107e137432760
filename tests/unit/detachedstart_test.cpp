// Detached starts: the parameter text reaches the program as separate
// arguments, and a program that can't run is reported, not taken as started.
#include "platform/detachedstart.h"
#include "support/tempfolder.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

namespace kestrova {
namespace {

using testing::TempFolder;
using testing::writeBytes;

TEST(DetachedStart, TheProgramRunsWithTheParametersSplitIntoArguments)
{
    TempFolder folder;
    const std::filesystem::path pipe = folder / "arguments";
    ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
    const std::filesystem::path program = folder / "kessetup.exe";
    writeBytes(program, "#!/bin/sh\nprintf '[%s]' \"$@\" > '" + pipe.string() + "'\n");
    std::filesystem::permissions(program, std::filesystem::perms::owner_all);

    ASSERT_TRUE(startDetached(QString::fromStdString(program.string()), QStringLiteral("/SP- /silent /noicons")));
    // Opening the pipe waits for the program to open its end.
    EXPECT_EQ(testing::readBytes(pipe), "[/SP-][/silent][/noicons]");
}

TEST(DetachedStart, AProgramThatCantRunIsNotStarted)
{
    TempFolder folder;
    const std::filesystem::path notExecutable = folder / "kessetup.exe";
    writeBytes(notExecutable, "#!/bin/sh\n");
    EXPECT_FALSE(startDetached(QString::fromStdString(notExecutable.string()), QStringLiteral("/silent")));
    EXPECT_FALSE(startDetached(QString::fromStdString((folder / "missing.exe").string()), QStringLiteral("/silent")));
}

TEST(DetachedStart, AnInstalledStarterGetsTheCallInstead)
{
    QStringList seen;
    setDetachedStarter([&](const QString& program, const QStringList& arguments) {
        seen << program << arguments;
        return false;
    });
    EXPECT_FALSE(startDetached(QStringLiteral("/no/such/kessetup.exe"), QStringLiteral("/SP-  /silent")));
    setDetachedStarter({});
    EXPECT_EQ(seen, (QStringList{"/no/such/kessetup.exe", "/SP-", "/silent"}));
}

} // namespace
} // namespace kestrova
