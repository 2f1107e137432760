// kestrova-solve: solves the deals that START GAME makes from given generator
// states, for play without undo. Its command line and output are a contract:
//
//   kestrova-solve SEED...
//
// SEED is the generator's 32-bit state before anything is drawn, as for
// kestrova-sim. One line per seed:
//   SEED|WINNABLE|BEST_SCORE|LONGEST_CHAIN|WIN_LINE|BEST_LINE
// WINNABLE is 1 or 0; the lines are kestrova-sim tokens (cN, s) separated by
// spaces, empty when there is none. `kestrova-sim SEED n` followed by WIN_LINE
// clears the board; followed by BEST_LINE it ends the game with BEST_SCORE.
// Bad arguments print one line to standard error and exit 2 before anything
// is solved.

#include "game/position.h"
#include "game/solver.h"

#include <charconv>
#include <cstdint>
#include <iostream>
#include <string_view>
#include <vector>

int main(int argc, char** argv)
{
    using namespace kestrova;
    if (argc < 2) {
        std::cerr << "usage: kestrova-solve SEED...\n";
        return 2;
    }
    std::vector<std::uint32_t> seeds;
    for (int i = 1; i < argc; ++i) {
        const std::string_view text = argv[i];
        std::uint32_t seed = 0;
        const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), seed);
        const bool digitsOnly = !text.empty() && text.find_first_not_of("0123456789") == std::string_view::npos;
        if (!digitsOnly || error != std::errc{} || end != text.data() + text.size()) {
            std::cerr << "kestrova-solve: seed must be a 32-bit decimal number: " << text << '\n';
            return 2;
        }
        seeds.push_back(seed);
    }

    for (const std::uint32_t seed : seeds) {
        const Position deal = Position::dealtFromState(seed);
        const Solution solution = *Solver(deal.deck).solve(deal);
        std::cout << seed << '|' << (solution.winnable ? 1 : 0) << '|' << solution.bestScore << '|'
                  << solution.longestChain << '|' << formatLine(solution.winLine) << '|'
                  << formatLine(solution.bestLine) << '\n';
    }
    return 0;
}
