// The columns of the tally table, named once for everything that addresses
// them: the tally's rules and window, and the game that reports to them.
#pragma once

namespace kestrova {

// Row 0 holds the counters in columns 1 to 6; columns 0, 7 and 8 are not used.
enum TallyColumn : int {
    TotalGames = 1,
    GamesCleared = 2,
    WinPercentage = 3,
    LongestChain = 4,
    LowestWinningScore = 5,
    RunningTotal = 6,
};

// Rows 1 to 10 hold the ten best scores in columns 0 to 2.
enum TallyRankColumn : int {
    RankDate = 0,
    RankScore = 1,
    RankName = 2,
};

} // namespace kestrova
