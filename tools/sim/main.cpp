// kestrova-sim: plays a game headless from a seed and a list of clicks, and
// prints the board after each one. Its command line and output are a contract:
//
//   kestrova-sim SEED TOKEN...
//
// SEED is the generator's 32-bit state before anything is drawn. Tokens: n
// (START GAME), cN (the control of slot N, 1-28), s (the stock), u (UNDO).
// After each token one line:
//   TOKEN|SCORE|LABEL_SCORE|LABEL_BONUS|LABEL_CARDSLEFT|GAMEON|UNDO|PANEL|SOUNDS|RECORD
// and after the last one the tally's counter row:
//   TALLY|TOTAL|CLEARED|PERCENT|LONGEST|LOWEST|RUNNING
// Bad arguments print one line to standard error and exit 2 before anything runs.

#include "game/gamehost.h"
#include "game/gametable.h"
#include "game/random.h"
#include "tally/tallymodel.h"

#include <charconv>
#include <cstdint>
#include <iostream>
#include <optional>
#include <string>
#include <vector>

namespace {

using namespace kestrova;

struct Token {
    enum Kind { Start, Slot, Stock, Undo } kind;
    int slot = 0;
    std::string text;
};

template <typename Number>
std::optional<Number> parseDecimal(std::string_view text)
{
    if (text.empty() || text.find_first_not_of("0123456789") != std::string_view::npos)
        return std::nullopt;
    Number value{};
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc{} || end != text.data() + text.size())
        return std::nullopt;
    return value;
}

std::optional<Token> parseToken(std::string_view text)
{
    if (text == "n")
        return Token{Token::Start, 0, std::string(text)};
    if (text == "s")
        return Token{Token::Stock, 0, std::string(text)};
    if (text == "u")
        return Token{Token::Undo, 0, std::string(text)};
    if (text.size() >= 2 && text[0] == 'c') {
        const auto slot = parseDecimal<int>(text.substr(1));
        if (slot && *slot >= 1 && *slot <= kSlotCount)
            return Token{Token::Slot, *slot, std::string(text)};
    }
    return std::nullopt;
}

// Records what the game asks of its window, beside a fresh in-memory tally
// that the game reports to.
class RecordingHost : public GameHost {
public:
    void playsounds(std::string_view name) override
    {
        if (!sounds.empty())
            sounds += ',';
        sounds += name;
    }
    std::string playerName() const override { return "Guest"; }
    void showGreeting(const std::string&) override {}
    void hideOverlayPanels() override { panel.clear(); }
    void showLostPanel(bool) override { panel = "lost"; }
    void showClearedPanel(const std::string&, const std::string&) override { panel = "cleared"; }

    TallyModel tally;
    std::string sounds;
    std::string panel;
};

void printState(const Token& token, const GameTable& game, RecordingHost& host)
{
    std::cout << token.text << '|' << game.score() << '|' << game.scoreText() << '|'
              << game.bonusText() << '|' << game.cardsLeftText() << '|' << (game.gameon() ? 1 : 0)
              << '|' << (game.undoButtonVisible() ? 1 : 0) << '|' << host.panel << '|'
              << host.sounds << '|' << game.currentRecord() << '\n';
}

} // namespace

int main(int argc, char** argv)
{
    if (argc < 2) {
        std::cerr << "usage: kestrova-sim SEED TOKEN...\n";
        return 2;
    }
    const auto seed = parseDecimal<std::uint32_t>(argv[1]);
    if (!seed) {
        std::cerr << "kestrova-sim: seed must be a 32-bit decimal number: " << argv[1] << '\n';
        return 2;
    }
    std::vector<Token> tokens;
    for (int i = 2; i < argc; ++i) {
        const auto token = parseToken(argv[i]);
        if (!token) {
            std::cerr << "kestrova-sim: unknown token (expected n, s, u or c1..c28): " << argv[i] << '\n';
            return 2;
        }
        tokens.push_back(*token);
    }

    Random random(*seed);
    RecordingHost host;
    GameTable game(random, host, &host.tally);
    for (const Token& token : tokens) {
        host.sounds.clear();
        switch (token.kind) {
        case Token::Start: game.button_startClick(); break;
        case Token::Slot: game.card_19Click(token.slot); break;
        case Token::Stock: game.image_stockClick(); break;
        case Token::Undo: game.button_undoClick(); break;
        }
        printState(token, game, host);
    }

    std::cout << "TALLY";
    for (int column = TotalGames; column <= RunningTotal; ++column)
        std::cout << '|' << host.tally.grid().cell(column, 0);
    std::cout << '\n';
    return 0;
}
