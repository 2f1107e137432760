// The program's five windows, made in their fixed order: the main window
// first, since the others copy its background; destroyed in reverse order, so
// the tally window saves while the main window still exists.
#pragma once

#include "app/mainform.h"
#include "online/highscoreform.h"
#include "tally/tallylistform.h"
#include "ui/aboutform.h"
#include "ui/helpform.h"

namespace kestrova {

class ProgramWindows {
public:
    ProgramWindows(Random& random, SoundSink& sounds);

    Tmain main;
    Ttallylist tallylist;
    Tabout about;
    Thelp help;
    Thighscore highscore;
};

} // namespace kestrova
