// kestrova-solve run as the program it is, its lines played through
// kestrova-sim to see that they end where it says.

#include "support/programrun.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using kestrova::testing::ProgramRun;
using kestrova::testing::runProgram;
using kestrova::testing::split;

struct SolvedDeal {
    std::string seed;
    std::string winnable;
    int bestScore = 0;
    int longestChain = 0;
    std::string winLine;
    std::string bestLine;
};

// The driver's line after the last token of `line`, split into its fields,
// and the tally's longest chain.
struct Replay {
    std::vector<std::string> last;
    int tallyLongestChain = 0;
};

Replay replayInSim(const std::string& seed, const std::string& line)
{
    const ProgramRun run = runProgram(KESTROVA_SIM_PATH, seed + " n " + line);
    EXPECT_EQ(run.exitCode, 0) << line;
    const std::vector<std::string> lines = split(run.out, '\n');
    if (lines.size() < 3)
        return {};
    const std::vector<std::string> tally = split(lines[lines.size() - 2], '|');
    return {split(lines[lines.size() - 3], '|'), std::stoi(tally.at(4))};
}

TEST(SolveTool, LinesEndTheGameAsPromised)
{
    const std::vector<std::string> seeds{"0", "1", "12345", "77", "4294967295", "3000000000", "31337", "2024"};
    std::string arguments;
    for (const std::string& seed : seeds)
        arguments += seed + " ";
    const ProgramRun run = runProgram(KESTROVA_SOLVE_PATH, arguments);
    ASSERT_EQ(run.exitCode, 0);
    const std::vector<std::string> lines = split(run.out, '\n');
    ASSERT_EQ(lines.size(), seeds.size() + 1);   // one per seed, then the empty piece after the last newline

    int winnable = 0;
    for (std::size_t i = 0; i < seeds.size(); ++i) {
        const std::vector<std::string> fields = split(lines[i], '|');
        ASSERT_EQ(fields.size(), 6u) << lines[i];
        const SolvedDeal deal{fields[0], fields[1], std::stoi(fields[2]), std::stoi(fields[3]), fields[4], fields[5]};
        SCOPED_TRACE(lines[i]);
        EXPECT_EQ(deal.seed, seeds[i]);
        ASSERT_TRUE(deal.winnable == "1" || deal.winnable == "0");
        EXPECT_EQ(deal.winLine.empty(), deal.winnable == "0");
        ASSERT_FALSE(deal.bestLine.empty());

        const Replay best = replayInSim(deal.seed, deal.bestLine);
        ASSERT_EQ(best.last.size(), 10u);
        EXPECT_EQ(best.last[1], std::to_string(deal.bestScore));
        EXPECT_EQ(best.last[5], "0");   // the game is over
        EXPECT_LE(best.tallyLongestChain, deal.longestChain);

        if (deal.winnable == "1") {
            ++winnable;
            const Replay won = replayInSim(deal.seed, deal.winLine);
            ASSERT_EQ(won.last.size(), 10u);
            EXPECT_EQ(won.last[7], "cleared");
            EXPECT_LE(std::stoi(won.last[1]), deal.bestScore);
            EXPECT_LE(won.tallyLongestChain, deal.longestChain);
        } else {
            EXPECT_EQ(best.last[7], "lost");
        }
    }
    EXPECT_GT(winnable, 0);
    EXPECT_LT(winnable, static_cast<int>(seeds.size()));
}

TEST(SolveTool, BadArgumentsExit2BeforeAnythingIsSolved)
{
    for (const char* arguments : {"", "x", "-1", "+1", "1.5", "4294967296", "99999999999999999999", "0x10", "12 x",
                                  "'' 12", "12 ' 7'"}) {
        const ProgramRun run = runProgram(KESTROVA_SOLVE_PATH, arguments);
        EXPECT_EQ(run.exitCode, 2) << arguments;
        EXPECT_EQ(run.out, "") << arguments;
    }
}

} // namespace
