// A helper program on a socket: it gets our end as its input and output,
// a program that can't be started says why, and nothing of it outlives the
// object, whether it has finished, stalls or stopped reading.
#include "platform/spawnedprogram.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <string>

#include <poll.h>
#include <sys/wait.h>

namespace kestrova {
namespace {

bool noChildLeft()
{
    return waitpid(-1, nullptr, WNOHANG) < 0 && errno == ECHILD;
}

// Waits up to ten seconds for the program's socket to have something to read.
bool readable(const SpawnedProgram& program)
{
    pollfd watched{program.socket(), POLLIN, 0};
    return poll(&watched, 1, 10'000) == 1;
}

TEST(SpawnedProgram, TalksThroughItsStandardInputAndOutputAndIsReapedWithTheObject)
{
    std::string error;
    auto program = SpawnedProgram::start("/bin/cat", error);
    ASSERT_TRUE(program) << error;
    char buffer[16];
    EXPECT_EQ(program->receive(buffer, sizeof buffer), SpawnedProgram::kWouldBlock);
    ASSERT_EQ(program->send("ping"), 4);
    ASSERT_TRUE(readable(*program));
    ASSERT_EQ(program->receive(buffer, sizeof buffer), 4);
    EXPECT_EQ(std::string(buffer, 4), "ping");
    program.reset();   // cat would wait for more input for ever
    EXPECT_TRUE(noChildLeft());
}

TEST(SpawnedProgram, AnEndedProgramReadsAsBrokenAndAMissingOneSaysWhy)
{
    std::string error;
    auto program = SpawnedProgram::start("/bin/true", error);
    ASSERT_TRUE(program) << error;
    ASSERT_TRUE(readable(*program));
    char buffer[16];
    EXPECT_EQ(program->receive(buffer, sizeof buffer), SpawnedProgram::kBroken);
    // Whatever the send makes of a reader that is gone, it raises no SIGPIPE.
    EXPECT_NE(program->send("late"), 0);
    program.reset();
    EXPECT_TRUE(noChildLeft());

    EXPECT_FALSE(SpawnedProgram::start("/nonexistent/kestrova-helper", error));
    EXPECT_FALSE(error.empty());
    EXPECT_TRUE(noChildLeft());
}

} // namespace
} // namespace kestrova
