// Where the game's sound clips live among the program's compiled-in resources.
#pragma once

#include <QString>

#include <array>
#include <string_view>

namespace kestrova {

// The clips' names as callers give them, in lower case.
const std::array<std::string_view, 8>& soundNames();

// ":/sounds/<name>.wav" for a known clip, the name matched without regard to
// case; an empty string for any other name.
QString soundResourcePath(std::string_view name);

} // namespace kestrova
