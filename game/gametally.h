// What the game table tells the player's statistics, in the order the rules
// give. The tally model keeps it; tests and tools may record it instead.
#pragma once

#include "game/tallycolumn.h"

#include <string>

namespace kestrova {

class GameTally {
public:
    virtual ~GameTally() = default;

    virtual void addtomineincrease(TallyColumn column) = 0;
    virtual void checkforhigher(TallyColumn column, int value) = 0;
    // A cleared board's score, offered to the ten best; true when it entered.
    virtual bool checkscore(int score, const std::string& name) = 0;
    virtual void checkforlower(TallyColumn column, int value) = 0;
    virtual void addtomineadd(TallyColumn column, int value) = 0;
};

} // namespace kestrova
