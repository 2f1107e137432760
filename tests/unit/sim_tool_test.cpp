// kestrova-sim's command line and output, run as the program it is.

#include "support/programrun.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using kestrova::testing::ProgramRun;
using kestrova::testing::split;

ProgramRun runSim(const std::string& arguments)
{
    return kestrova::testing::runProgram(KESTROVA_SIM_PATH, arguments);
}

TEST(SimTool, PrintsOneLinePerTokenAndTheTallyRow)
{
    const ProgramRun run = runSim("12345 c19 n c19 s u");
    ASSERT_EQ(run.exitCode, 0);
    const std::vector<std::string> lines = split(run.out, '\n');
    ASSERT_EQ(lines.size(), 7u);   // five tokens, the tally row, the final empty piece

    const std::vector<std::string> beforeDeal = split(lines[0], '|');
    ASSERT_EQ(beforeDeal.size(), 10u);
    EXPECT_EQ(beforeDeal[0], "c19");
    EXPECT_EQ(beforeDeal[1], "0");
    EXPECT_EQ(beforeDeal[2], "");
    EXPECT_EQ(beforeDeal[4], "");
    EXPECT_EQ(beforeDeal[5], "0");

    // The deal from state 12345 puts the 4 of clubs on the discard and the
    // 5 of hearts on slot 19.
    const std::vector<std::string> dealt = split(lines[1], '|');
    EXPECT_EQ(dealt[2], "Score: 0");
    EXPECT_EQ(dealt[4], "Cards Left: 23");
    EXPECT_EQ(dealt[5], "1");
    EXPECT_EQ(dealt[8], "startgame");
    EXPECT_EQ(dealt[9].rfind("0**29*0*0*4*42*8*19*", 0), 0u) << dealt[9];

    const std::vector<std::string> played = split(lines[2], '|');
    EXPECT_EQ(played[1], "1");
    EXPECT_EQ(played[3], "+1");
    EXPECT_EQ(played[6], "1");
    EXPECT_EQ(played[8], "placecard");

    const std::vector<std::string> undone = split(lines[4], '|');
    EXPECT_EQ(undone[0], "u");
    EXPECT_EQ(undone[1], "-2");
    EXPECT_EQ(undone[3], "");
    EXPECT_EQ(undone[8], "");

    EXPECT_EQ(lines[5], "TALLY|1|0|0|1|1000|0");
}

TEST(SimTool, SameSeedAndTokensGiveTheSameOutput)
{
    const std::string tokens = "3000000000 n s s c19 c20 c21 s u u n s";
    const ProgramRun first = runSim(tokens);
    const ProgramRun second = runSim(tokens);
    ASSERT_EQ(first.exitCode, 0);
    EXPECT_EQ(first.out, second.out);
    EXPECT_NE(runSim("3000000001 n").out, runSim("3000000000 n").out);
}

TEST(SimTool, BadArgumentsExit2BeforeAnythingRuns)
{
    for (const char* arguments : {"", "x n", "-1 n", "4294967296 n", "12 n c0", "12 n c29", "12 n c", "12 n q",
                                  "12 n c1x", "12 n N"}) {
        const ProgramRun run = runSim(arguments);
        EXPECT_EQ(run.exitCode, 2) << arguments;
        EXPECT_EQ(run.out, "") << arguments;
    }
    EXPECT_EQ(runSim("4294967295 n").exitCode, 0);
}

} // namespace
