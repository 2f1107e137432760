// The program's five windows: the main window first, since the others copy
// its background, then the tally window, which keeps the tally for the whole
// run. The about, help and high-score windows are built the first time they
// are needed. Destroyed in reverse order, so the tally window saves while the
// main window still exists.
#pragma once

#include "app/mainform.h"
#include "online/highscoreform.h"
#include "tally/tallylistform.h"
#include "ui/aboutform.h"
#include "ui/helpform.h"

#include <memory>

namespace kestrova {

class ProgramWindows {
public:
    ProgramWindows(Random& random, SoundSink& sounds);
    ~ProgramWindows();

    Tabout& about();
    Thelp& help();
    Thighscore& highscore();

    Tmain main;
    Ttallylist tallylist;

private:
    std::unique_ptr<Tabout> about_;
    std::unique_ptr<Thelp> help_;
    std::unique_ptr<Thighscore> highscore_;
};

} // namespace kestrova
