// The help texts against the program: every number the rules and the scoring
// quote is measured on the game table, so a change on either side shows here.

#include "game/gametable.h"
#include "game/random.h"
#include "support/decks.h"
#include "support/recordinggamehost.h"
#include "ui/helptexts.h"

#include <QRegularExpression>
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

namespace kestrova {
namespace {

using testing::card;
using testing::clearableDeck;
using testing::kClearingOrder;
using testing::makeDeck;
using testing::RecordingGameHost;
using Numbers = std::vector<int>;

// What the game table does, found by playing it.
struct Measured {
    int startScore = 0;
    int deckSize = 0;
    int dealt = 0;
    int stockSize = 0;
    Numbers turnCosts;      // three stock turns in a row
    Numbers runGains;       // three tableau plays in a row
    int costAfterPlay = 0;  // a turn right after a play
    int gainAfterTurn = 0;  // a play right after a turn that ended a run
    int undoCost = 0;
    int peakExtra = 0;      // a peak top's gain beyond its place in the run
    int bonusFullStock = 0;
    int stockLeftFull = 0;
    int bonusEmptyStock = 0;
    int stockLeftEmpty = 0;

    int bonusPerCard() const { return (bonusFullStock - bonusEmptyStock) / (stockLeftFull - stockLeftEmpty); }
    int bonusBase() const { return bonusEmptyStock - bonusPerCard() * stockLeftEmpty; }
};

int bonusOf(const GameTable& game)
{
    return std::stoi(game.bonusText().substr(1));
}

Measured measure()
{
    Measured measured;
    Random random{7};
    RecordingGameHost host;
    GameTable game{random, host, &host};

    // Three turns, a run of three from the last turned card, a turn, a play on
    // it, and an undo of that play.
    game.startWithDeck(makeDeck({{32, card(Suit::Clubs, 1)}, {19, card(Suit::Clubs, 2)}, {20, card(Suit::Clubs, 3)},
                                 {21, card(Suit::Clubs, 4)}, {33, card(Suit::Diamonds, 7)},
                                 {22, card(Suit::Diamonds, 8)}}));
    measured.startScore = game.score();
    for (int slot = 1; slot <= kSlotCount; ++slot)
        measured.dealt += game.slotValue(slot) != 0;
    measured.stockSize = kCardCount - game.dealpos();
    measured.deckSize = measured.dealt + 1 + measured.stockSize;
    auto scoreChange = [&game](const std::function<void()>& move) {
        const int before = game.score();
        move();
        return game.score() - before;
    };
    for (int turn = 0; turn < 3; ++turn)
        measured.turnCosts.push_back(-scoreChange([&] { game.image_stockClick(); }));
    for (int slot : {19, 20, 21})
        measured.runGains.push_back(scoreChange([&] { game.card_19Click(slot); }));
    measured.costAfterPlay = -scoreChange([&] { game.image_stockClick(); });
    const int beforePlay = game.score();
    measured.gainAfterTurn = scoreChange([&] { game.card_19Click(22); });
    game.button_undoClick();
    measured.undoCost = beforePlay - game.score();

    // Whole boards in one run: with the full stock, and after turning all of it.
    game.startWithDeck(clearableDeck());
    for (int i = 0; i + 1 < kSlotCount; ++i) {
        const int gain = scoreChange([&] { game.card_19Click(kClearingOrder[i]); });
        if (kClearingOrder[i] == 1)
            measured.peakExtra = gain - game.chain();
    }
    measured.stockLeftFull = kCardCount - game.dealpos();
    game.card_19Click(kClearingOrder[kSlotCount - 1]);
    measured.bonusFullStock = bonusOf(game);

    game.startWithDeck(clearableDeck(kCardCount));
    while (game.dealpos() < kCardCount)
        game.image_stockClick();
    measured.stockLeftEmpty = kCardCount - game.dealpos();
    for (int slot : kClearingOrder)
        game.card_19Click(slot);
    measured.bonusEmptyStock = bonusOf(game);
    return measured;
}

const Measured& table()
{
    static const Measured measured = measure();
    return measured;
}

// A sentence of a help text that quotes numbers, and what they must be, given
// the numbers it quotes (for examples built on another number of the text).
struct Claim {
    const char* pattern;
    std::function<Numbers(const Numbers& quoted)> expected;
    std::vector<HelpSection> requiredIn;
};

const std::vector<Claim>& claims()
{
    using S = HelpSection;
    static const std::vector<Claim> all{
        {R"(starts with a score of (\d+))", [](const Numbers&) { return Numbers{table().startScore}; }, {S::Scoring}},
        {R"(the first card earns (\d+) points?, the second (\d+) points?, the third (\d+) points?)",
         [](const Numbers&) { return table().runGains; }, {S::Scoring}},
        {R"(next card you play from the peaks earns (\d+) points? again)",
         [](const Numbers&) { return Numbers{table().gainAfterTurn}; }, {S::Scoring}},
        {R"(earns (\d+) points more than its place in the run)",
         [](const Numbers&) { return Numbers{table().peakExtra}; }, {S::Scoring}},
        {R"(peak top played as card (\d+) of a run earns (\d+) points)",
         [](const Numbers& quoted) { return Numbers{quoted[0], quoted[0] + table().peakExtra}; }, {}},
        {R"(the first turn costs (\d+) points?, the second (\d+) points?, the third (\d+) points?)",
         [](const Numbers&) { return table().turnCosts; }, {S::Scoring}},
        {R"(next turn costs (\d+) points? again)", [](const Numbers&) { return Numbers{table().costAfterPlay}; },
         {S::Scoring}},
        {R"(Each undo costs (\d+) points)", [](const Numbers&) { return Numbers{table().undoCost}; },
         {S::Scoring, S::GamePlay}},
        {R"(UNDO -(\d+))", [](const Numbers&) { return Numbers{table().undoCost}; }, {S::GamePlay}},
        {R"(bonus of (\d+) points for every card left in the stock, plus (\d+))",
         [](const Numbers&) { return Numbers{table().bonusPerCard(), table().bonusBase()}; }, {S::Scoring}},
        {R"(without turning a single card from the stock earns a bonus of (\d+) points)",
         [](const Numbers&) { return Numbers{table().bonusFullStock}; }, {S::Scoring}},
        {R"(right after turning the last card of the stock earns (\d+))",
         [](const Numbers&) { return Numbers{table().bonusEmptyStock}; }, {S::Scoring}},
        {R"(one deck of (\d+) cards)", [](const Numbers&) { return Numbers{table().deckSize}; }, {S::GamePlay}},
        {R"((\d+) cards are dealt into three peaks)", [](const Numbers&) { return Numbers{table().dealt}; },
         {S::GamePlay}},
        {R"(remaining (\d+) cards form the stock)", [](const Numbers&) { return Numbers{table().stockSize}; },
         {S::GamePlay}},
    };
    return all;
}

// Checks every claim found in the text and blanks it out; what is left must
// hold no number at all, or it is a number nobody checked.
void expectEveryNumberMatchesTheTable(HelpSection section)
{
    QString text = helpSectionText(section);
    ASSERT_FALSE(text.isEmpty());
    for (const Claim& claim : claims()) {
        const QRegularExpression pattern(QString::fromLatin1(claim.pattern));
        int found = 0;
        for (auto it = pattern.globalMatch(text); it.hasNext();) {
            const QRegularExpressionMatch match = it.next();
            Numbers quoted;
            for (int group = 1; group <= pattern.captureCount(); ++group)
                quoted.push_back(match.captured(group).toInt());
            EXPECT_EQ(quoted, claim.expected(quoted)) << "in: " << match.captured().toStdString();
            text.replace(match.capturedStart(), match.capturedLength(), QString(match.capturedLength(), u'_'));
            ++found;
        }
        const bool required = std::find(claim.requiredIn.begin(), claim.requiredIn.end(), section) !=
                              claim.requiredIn.end();
        if (required) {
            EXPECT_GT(found, 0) << "the text no longer says: " << claim.pattern;
        }
    }
    const QRegularExpressionMatch unchecked = QRegularExpression(QStringLiteral(R"([^\n]*\d[^\n]*)")).match(text);
    EXPECT_FALSE(unchecked.hasMatch()) << "a number no claim checks, in: " << unchecked.captured().toStdString();
}

TEST(HelpText, everyNumberInTheScoringIsTheGameTablesOwn)
{
    expectEveryNumberMatchesTheTable(HelpSection::Scoring);
}

TEST(HelpText, everyNumberInTheRulesIsTheGameTablesOwn)
{
    expectEveryNumberMatchesTheTable(HelpSection::GamePlay);
}

TEST(HelpText, historyListsEveryReleaseNewestFirstWithADate)
{
    const QRegularExpression release(QStringLiteral(R"(^(1\.0\.(\d)\.(\d+)) - \w+ \d{1,2}, (\d{4})$)"),
                                     QRegularExpression::MultilineOption);
    std::vector<std::pair<int, int>> versions;   // (minor, build)
    std::vector<int> years;
    QStringList names;
    for (auto it = release.globalMatch(helpSectionText(HelpSection::History)); it.hasNext();) {
        const QRegularExpressionMatch match = it.next();
        names << match.captured(1);
        versions.emplace_back(match.captured(2).toInt(), match.captured(3).toInt());
        years.push_back(match.captured(4).toInt());
    }
    ASSERT_GE(names.size(), 2);
    EXPECT_EQ(names.front(), "1.0.2.6");   // the version the about window shows
    EXPECT_EQ(names.back(), "1.0.0.1");
    for (std::size_t i = 1; i < versions.size(); ++i) {
        EXPECT_GT(versions[i - 1], versions[i]) << names[static_cast<int>(i)].toStdString();
        EXPECT_GE(years[i - 1], years[i]) << names[static_cast<int>(i)].toStdString();
    }
}

} // namespace
} // namespace kestrova
