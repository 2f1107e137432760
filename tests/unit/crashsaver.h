// What the crash-injection saver writes in its n-th save, so that the test can
// tell a complete file of some save from anything else.
#pragma once

#include "tally/stringgrid.h"

#include <string>

namespace kestrova::testing {

// Grows and shrinks with n, so that a file cut short or mixed from two saves
// cannot pass for a complete one.
inline std::string savePayload(long n)
{
    return std::to_string(n) + ":" + std::string(static_cast<std::size_t>(n % 3000 + 1), char('a' + n % 26));
}

// The settings file as it stands after the n-th save.
inline std::string settingsAfterSave(long n)
{
    return "[kestrova]\nName=Guest\nCounter=" + savePayload(n) + "\nSounds=yes\n";
}

// The tally table of the n-th save: the counter in row 0, the payload as a name.
inline StringGrid tallyOfSave(long n)
{
    StringGrid grid(9, 12);
    grid.setCell(1, 0, std::to_string(n));
    grid.setCell(2, 1, savePayload(n));
    return grid;
}

} // namespace kestrova::testing
