// Card values and the rank rule that every move is judged by.
#pragma once

namespace kestrova {

// A card is 1..52 (0 = no card): clubs 1-13, diamonds 14-26, hearts 27-39,
// spades 40-52, each suit ace to king.
inline constexpr int kCardCount = 52;

enum class Suit { Clubs = 0, Diamonds = 1, Hearts = 2, Spades = 3 };

constexpr Suit suitOf(int value) { return static_cast<Suit>((value - 1) / 13); }

// 1 = ace ... 13 = king, as printed on the card.
constexpr int faceOf(int value) { return (value - 1) % 13 + 1; }

// The class the rules compare: 1 ace, 2..10 pips, 11 jack, 12 queen, 0 king.
constexpr int rankClass(int value) { return value % 13; }

// One rank above or below, counted in a circle so that king and ace touch.
constexpr bool areRankNeighbours(int discardValue, int otherValue)
{
    const int difference = ((rankClass(discardValue) - rankClass(otherValue)) % 13 + 13) % 13;
    return difference == 1 || difference == 12;
}

} // namespace kestrova
