// Where the game's sound clips live among the program's compiled-in resources.
#pragma once

#include <QString>

#include <array>
#include <string_view>

namespace kestrova {

// The clips' names as callers give them, in lower case.
const std::array<std::string_view, 8>& soundNames();

// ":/sounds/<name>.wav" for a name of soundNames(); an empty string for any
// other name. Matching callers' names without regard to case is the sound
// player's business.
QString soundResourcePath(std::string_view name);

} // namespace kestrova
