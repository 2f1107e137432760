// What the game table asks of the window around it. The main window implements
// it for real; tests and the headless driver implement it with recorders.
#pragma once

#include <string>
#include <string_view>

namespace kestrova {

class GameHost {
public:
    virtual ~GameHost() = default;

    // Sounds, by their lower-case names.
    virtual void playsounds(std::string_view name) = 0;

    // The current player name, read at the moment of use.
    virtual std::string playerName() const = 0;
    virtual void showGreeting(const std::string& text) = 0;

    // Overlay panels of the board.
    virtual void hideOverlayPanels() = 0;
    virtual void showLostPanel(bool bringToFront) = 0;
    virtual void showClearedPanel(const std::string& title, const std::string& scoreText) = 0;
};

} // namespace kestrova
