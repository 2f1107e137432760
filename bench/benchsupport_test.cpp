// The measuring parts the start-up and click benchmarks stand on: their
// percentiles, the watched child process, and the observer that sees a
// window's first paint from outside.
#include "bench/benchdisplay.h"
#include "bench/distribution.h"
#include "bench/spawnedprocess.h"
#include "bench/windowobserver.h"
#include "support/tempfolder.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace kestrova::bench {
namespace {

using namespace std::chrono_literals;

TEST(DistributionTest, NearestRankPercentiles)
{
    Distribution hundred;
    for (int value = 100; value >= 1; --value)   // unsorted on purpose
        hundred.add(value);
    EXPECT_EQ(hundred.min(), 1);
    EXPECT_EQ(hundred.median(), 50);
    EXPECT_EQ(hundred.percentile(90), 90);
    EXPECT_EQ(hundred.percentile(99), 99);
    EXPECT_EQ(hundred.max(), 100);
    EXPECT_DOUBLE_EQ(hundred.mean(), 50.5);

    // A value added after a query still counts.
    hundred.add(0);
    EXPECT_EQ(hundred.min(), 0);
    EXPECT_EQ(hundred.count(), 101);

    const Distribution one({7.5});
    EXPECT_EQ(one.min(), 7.5);
    EXPECT_EQ(one.percentile(99), 7.5);
    EXPECT_EQ(Distribution({3, 1}).median(), 1);
    EXPECT_EQ(Distribution().median(), 0);
}

class BenchSupportTest : public ::testing::Test {
protected:
    std::string output() const { return (folder_ / "output.txt").string(); }
    std::string printed() const
    {
        std::ifstream in(output());
        std::stringstream text;
        text << in.rdbuf();
        return text.str();
    }
    SpawnedProcess shell(const std::string& script, std::map<std::string, std::string> environment = {})
    {
        return SpawnedProcess({"/bin/sh", "-c", script}, SpawnedProcess::Options{std::move(environment), output(), -1});
    }
    kestrova::testing::TempFolder folder_;
};

TEST_F(BenchSupportTest, EndingsAndEnvironment)
{
    ::setenv("BENCH_GONE", "inherited", 1);
    SpawnedProcess exits = shell("printf '%s|%s' \"$BENCH_SET\" \"${BENCH_GONE-unset}\"; exit 3",
                                 {{"BENCH_SET", "yes"}, {"BENCH_GONE", ""}});
    ::unsetenv("BENCH_GONE");
    const SpawnedProcess::Ending& exited = exits.waitForEnd(Clock::now() + 10s);
    EXPECT_TRUE(exited.finished);
    EXPECT_EQ(exited.exitCode, 3);
    EXPECT_GT(exited.peakResidentKb, 0);
    EXPECT_EQ(printed(), "yes|unset");

    SpawnedProcess terminated = shell("exec sleep 30");
    terminated.sendSignal(SIGTERM);
    EXPECT_EQ(terminated.waitForEnd(Clock::now() + 10s).exitCode, -SIGTERM);

    SpawnedProcess overrun = shell("exec sleep 30");
    const SpawnedProcess::Ending& killed = overrun.waitForEnd(Clock::now() + 50ms);
    EXPECT_FALSE(killed.finished);
    EXPECT_EQ(killed.exitCode, -SIGKILL);
    EXPECT_FALSE(overrun.running());
}

TEST_F(BenchSupportTest, SettlesOnlyWhenIdle)
{
    // The answer is when the quiet stretch began, not when it was seen to end.
    SpawnedProcess idle = shell("exec sleep 30");
    const auto settled = idle.waitUntilSettled(50ms, 500us, Clock::now() + 10s);
    ASSERT_TRUE(settled.has_value());
    EXPECT_LE(idle.startedAt(), *settled);
    EXPECT_LE(*settled + 50ms, Clock::now());

    // However little CPU a loaded machine gives it, a spinning process takes
    // more than the allowance.
    SpawnedProcess busy = shell("while :; do :; done");
    EXPECT_FALSE(busy.waitUntilSettled(50ms, 500us, Clock::now() + 300ms).has_value());
    EXPECT_GT(busy.cpuTime().value_or(0ns), 0ns);

    SpawnedProcess ended = shell("exit 0");
    EXPECT_FALSE(ended.waitUntilSettled(50ms, 500us, Clock::now() + 10s).has_value());
}

TEST_F(BenchSupportTest, ObserverSeesTheBareWindowMappedThenPainted)
{
    BenchDisplay display(false, output());
    WindowObserver observer(display.name());
    const std::map<std::string, std::string> environment{
        {"DISPLAY", display.name()}, {"QT_QPA_PLATFORM", "xcb"}, {"XDG_RUNTIME_DIR", folder_.path().string()}};

    SpawnedProcess bare({BARE_WINDOW_PATH}, SpawnedProcess::Options{environment, output(), -1});
    const auto frame = observer.waitForFirstFrame(bare.pid(), Clock::now() + 20s);
    ASSERT_TRUE(frame.has_value()) << printed();
    EXPECT_LE(bare.startedAt(), frame->mappedAt);
    EXPECT_LE(frame->mappedAt, frame->paintedAt);
    // Once the program is idle and the observer has caught up, no paint is
    // left over to be taken for a new one.
    ASSERT_TRUE(bare.waitUntilSettled(50ms, 500us, Clock::now() + 10s).has_value());
    observer.catchUp();
    const Clock::time_point since = Clock::now();
    EXPECT_FALSE(observer.waitForPaint(frame->window, since, since + 100ms).has_value());

    // A process without a window is never taken for one.
    SpawnedProcess windowless = shell("exec sleep 30", environment);
    EXPECT_FALSE(observer.waitForFirstFrame(windowless.pid(), Clock::now() + 300ms).has_value());
}

} // namespace
} // namespace kestrova::bench
