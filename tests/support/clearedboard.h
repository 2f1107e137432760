// The program's windows with the main window shown and its board just cleared
// by the known clearing deck, the cleared panel waiting for a name.
#pragma once

#include "app/programwindows.h"
#include "support/decks.h"

#include <memory>

namespace kestrova::testing {

inline std::unique_ptr<ProgramWindows> clearedBoard(Random& random, SoundSink& sounds)
{
    auto windows = std::make_unique<ProgramWindows>(random, sounds);
    windows->main.show();
    windows->main.game().startWithDeck(clearableDeck());
    for (int slot : kClearingOrder)
        windows->main.card_19Click(slot);
    return windows;
}

} // namespace kestrova::testing
