// A game host for play that nobody watches: the solver's deals, replays in
// tests and tools. Every call is ignored; the player has no name.
#pragma once

#include "game/gamehost.h"

namespace kestrova {

class SilentGameHost : public GameHost {
public:
    void playsounds(std::string_view) override {}
    std::string playerName() const override { return {}; }
    void showGreeting(const std::string&) override {}
    void hideOverlayPanels() override {}
    void showLostPanel(bool) override {}
    void showClearedPanel(const std::string&, const std::string&) override {}
};

} // namespace kestrova
