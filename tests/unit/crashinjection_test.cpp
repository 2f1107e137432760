// Saves killed with SIGKILL at random moments: after every kill the file on
// disk is a complete file of one save, the old one or the new one, and loads
// without an error. For the settings file, the tally file and the container
// tool's output.
#include "crashsaver.h"
#include "platform/inifile.h"
#include "tally/lzrw1.h"
#include "tally/tallyfile.h"
#include "support/tempfolder.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <random>
#include <set>
#include <thread>
#include <vector>

#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>

extern char** environ;

namespace kestrova {
namespace {

using testing::readBytes;
using testing::TempFolder;
using testing::writeBytes;

constexpr int kKills = 200;

pid_t spawn(const std::vector<std::string>& arguments)
{
    std::vector<char*> argv;
    for (const std::string& argument : arguments)
        argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);
    pid_t pid = 0;
    return ::posix_spawn(&pid, argv[0], nullptr, nullptr, argv.data(), environ) == 0 ? pid : -1;
}

// The span over which kills are spread: from before the program's first save to
// well after it. A run with one save is timed first, since starting a process
// takes far longer on a loaded machine or in an instrumented build.
std::chrono::microseconds killSpan(const std::vector<std::string>& oneSaveRun)
{
    const auto start = std::chrono::steady_clock::now();
    const pid_t pid = spawn(oneSaveRun);
    int status = 0;
    if (pid > 0)
        ::waitpid(pid, &status, 0);
    const auto oneRun = std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now() - start);
    return oneRun * 3 / 2 + std::chrono::milliseconds(80);
}

// Starts the program, lets it run for a random moment within `span`, kills it
// and reaps it. True when the kill, not the program, ended it.
bool runAndKill(const std::vector<std::string>& arguments, std::chrono::microseconds span, std::mt19937& random)
{
    const pid_t pid = spawn(arguments);
    if (pid <= 0)
        return false;
    // The moment of the kill is what is tested: a random one, from before the
    // first save to many saves in.
    std::this_thread::sleep_for(
        std::chrono::microseconds(std::uniform_int_distribution<std::int64_t>(0, span.count())(random)));
    ::kill(pid, SIGKILL);
    int status = 0;
    ::waitpid(pid, &status, 0);
    return WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL;
}

// The save number in a payload "n:aaa…", or -1 when it is not one.
long saveNumberOf(const std::string& payload)
{
    const std::size_t colon = payload.find(':');
    if (colon == std::string::npos || colon == 0)
        return -1;
    const long n = std::atol(payload.substr(0, colon).c_str());
    return testing::savePayload(n) == payload ? n : -1;
}

std::size_t leftOverNewFiles(const std::filesystem::path& folder)
{
    std::size_t count = 0;
    for (const auto& entry : std::filesystem::directory_iterator(folder))
        count += entry.path().filename().string().find(".~new.") != std::string::npos;
    return count;
}

TEST(CrashInjection, AKilledSettingsSaveLeavesTheOldFileOrTheNewOne)
{
    TempFolder folder;
    const auto file = folder / "kestrova.ini";
    writeBytes(file, testing::settingsAfterSave(0));
    std::mt19937 random(20261208);
    TempFolder scratch;
    const auto span = killSpan({KESTROVA_CRASH_SAVER_PATH, "ini", (scratch / "k.ini").string(), "1", "1"});
    std::set<long> seen{0};
    long next = 1;
    int kills = 0;
    for (int round = 0; round < kKills; ++round) {
        kills += runAndKill({KESTROVA_CRASH_SAVER_PATH, "ini", file.string(), std::to_string(next)}, span, random);
        const std::string text = readBytes(file);
        const long n = saveNumberOf(IniFile(file).readString("kestrova", "Counter", ""));
        ASSERT_GE(n, 0) << "round " << round << ": not a complete settings file:\n" << text;
        ASSERT_EQ(text, testing::settingsAfterSave(n)) << "round " << round;
        ASSERT_TRUE(n == 0 || n >= next || seen.count(n)) << "round " << round << ": save " << n << " out of nowhere";
        seen.insert(n);
        next = std::max(next, n + 1) + 100000;   // each run's saves are told apart
    }
    EXPECT_GE(kills, kKills * 9 / 10);
    EXPECT_GT(seen.size(), 20u) << "the kills hardly ever came after a save";

    // The next save that completes clears what the killed ones left beside the file.
    ASSERT_EQ(std::system(("\"" KESTROVA_CRASH_SAVER_PATH "\" ini \"" + file.string() + "\" 1 1").c_str()), 0);
    EXPECT_EQ(leftOverNewFiles(folder.path()), 0u);
    EXPECT_EQ(readBytes(file), testing::settingsAfterSave(1));
}

TEST(CrashInjection, AKilledTallySaveLeavesTheOldFileOrTheNewOne)
{
    TempFolder folder;
    const auto file = folder / "kestrovatally.tld";
    TallyFile(file).save(testing::tallyOfSave(0));
    std::mt19937 random(8122026);
    TempFolder scratch;
    const auto span = killSpan({KESTROVA_CRASH_SAVER_PATH, "tally", (scratch / "t.tld").string(), "1", "1"});
    std::set<long> seen;
    long next = 1;
    for (int round = 0; round < kKills; ++round) {
        runAndKill({KESTROVA_CRASH_SAVER_PATH, "tally", file.string(), std::to_string(next)}, span, random);
        StringGrid grid;
        const std::optional<std::string> error = TallyFile(file).load(grid);
        ASSERT_FALSE(error) << "round " << round << ": " << *error;
        const long n = std::atol(grid.cell(1, 0).c_str());
        ASSERT_EQ(grid, testing::tallyOfSave(n)) << "round " << round;
        seen.insert(n);
        next = std::max(next, n + 1) + 100000;
    }
    EXPECT_GT(seen.size(), 20u) << "the kills hardly ever came after a save";
    ASSERT_EQ(std::system(("\"" KESTROVA_CRASH_SAVER_PATH "\" tally \"" + file.string() + "\" 1 1").c_str()), 0);
    EXPECT_EQ(leftOverNewFiles(folder.path()), 0u);
}

TEST(CrashInjection, AKilledContainerToolLeavesTheOldOutputOrTheNewOne)
{
    TempFolder folder;
    // Two inputs of different sizes that pack differently.
    std::mt19937 random(42);
    std::string first(300000, '\0');
    std::string second(170000, '\0');
    for (char& c : first)
        c = char('a' + random() % 4);
    for (char& c : second)
        c = char(random() % 256);
    writeBytes(folder / "first", first);
    writeBytes(folder / "second", second);
    const auto out = folder / "out.wrzl";

    TempFolder scratch;
    const auto span = killSpan({KESTROVA_WRZL_PATH, "pack", (folder / "first").string(), (scratch / "o").string()});
    std::set<std::string> seen;
    for (int round = 0; round < kKills; ++round) {
        const char* input = round % 2 ? "second" : "first";
        runAndKill({KESTROVA_WRZL_PATH, "pack", (folder / input).string(), out.string()}, span, random);
        if (!std::filesystem::exists(out))
            continue;   // killed before the first pack completed
        Tlzrw1 container;
        container.InputFile = out.string();
        container.OutputFile = (folder / "unpacked").string();
        ASSERT_NO_THROW(container.Decompress()) << "round " << round;
        const std::string unpacked = readBytes(folder / "unpacked");
        ASSERT_TRUE(unpacked == first || unpacked == second) << "round " << round;
        seen.insert(unpacked == first ? "first" : "second");
    }
    EXPECT_EQ(seen.size(), 2u) << "the kills never let both packs complete";
}

} // namespace
} // namespace kestrova
