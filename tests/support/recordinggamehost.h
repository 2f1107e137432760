// A game host and tally that write down everything the game table asks of
// them, in one list, so that tests see the order across both.
#pragma once

#include "game/gamehost.h"
#include "game/gametally.h"

#include <string>
#include <vector>

namespace kestrova::testing {

class RecordingGameHost : public GameHost, public GameTally {
public:
    void playsounds(std::string_view name) override { sounds.emplace_back(name); }
    void addtomineincrease(TallyColumn column) override { calls.push_back("increase " + std::to_string(column)); }
    void checkforhigher(TallyColumn column, int value) override
    {
        calls.push_back("higher " + std::to_string(column) + " " + std::to_string(value));
    }
    bool checkscore(int score, const std::string& name) override
    {
        calls.push_back("score " + std::to_string(score) + " " + name);
        return true;
    }
    void checkforlower(TallyColumn column, int value) override
    {
        calls.push_back("lower " + std::to_string(column) + " " + std::to_string(value));
    }
    void addtomineadd(TallyColumn column, int value) override
    {
        calls.push_back("add " + std::to_string(column) + " " + std::to_string(value));
    }
    std::string playerName() const override { return name; }
    void showGreeting(const std::string& text) override { greeting = text; }
    void hideOverlayPanels() override { panel.clear(); }
    void showLostPanel(bool bringToFront) override
    {
        panel = "lost";
        lostBroughtToFront = bringToFront;
    }
    void showClearedPanel(const std::string& title, const std::string& scoreText) override
    {
        panel = "cleared";
        clearedTitle = title;
        clearedScoreText = scoreText;
    }

    void forget()
    {
        sounds.clear();
        calls.clear();
    }

    std::string name = "Guest";
    std::vector<std::string> sounds;
    std::vector<std::string> calls;
    std::string greeting;
    std::string panel;
    bool lostBroughtToFront = false;
    std::string clearedTitle;
    std::string clearedScoreText;
};

} // namespace kestrova::testing
