// Reading the text of a request's query: splitting it into fields, undoing the
// percent-encoding, and checking that a value is well-formed UTF-8.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace kestrova::server {

// "a=1&b=2" as its key/value pieces in the order written, still encoded.
// A piece without "=" is a key with an empty value; empty pieces are skipped.
std::vector<std::pair<std::string_view, std::string_view>> splitQuery(std::string_view query);

// Undoes %XX escapes. A "+" stays a plus sign: the game writes a space as %20,
// and older clients sent their text unescaped, where "+" meant itself.
// Nothing when a "%" is not followed by two hexadecimal digits.
std::optional<std::string> percentDecode(std::string_view text);

// True when text is UTF-8 as the standard defines it: no overlong forms, no
// surrogates, nothing above U+10FFFF, no cut-off sequences.
bool isValidUtf8(std::string_view text);

} // namespace kestrova::server
