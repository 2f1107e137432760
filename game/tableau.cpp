#include "game/tableau.h"

namespace kestrova {

CoverTable initialCovers()
{
    CoverTable covers{};
    covers[1] = {4, 5};
    covers[2] = {6, 7};
    covers[3] = {8, 9};
    covers[4] = {10, 11};
    covers[5] = {11, 12};
    covers[6] = {13, 14};
    covers[7] = {14, 15};
    covers[8] = {16, 17};
    covers[9] = {17, 18};
    for (int i = 0; i <= 8; ++i)
        covers[10 + i] = {19 + i, 20 + i};
    return covers;
}

} // namespace kestrova
