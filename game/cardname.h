// Card values in words, as a screen reader speaks them: "Seven of hearts".
#pragma once

#include <string>

namespace kestrova {

// "Ace of clubs" ... "King of spades" for 1..52; an empty text for any other
// value. The first letter is a capital, the rest lower case.
std::string cardName(int value);

} // namespace kestrova
