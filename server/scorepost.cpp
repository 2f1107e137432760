// Checks a score post field by field; the first fault found is the reason given.
#include "server/scorepost.h"

#include "server/querytext.h"

#include <algorithm>
#include <charconv>

namespace kestrova::server {

namespace {

ScorePost refuse(std::string reason)
{
    return ScorePost{std::nullopt, std::move(reason)};
}

// Below U+0020 and U+007F: a line break, NUL or escape sequence has no place
// in a name or date and would reach every page and log that shows it.
bool hasControlCharacter(const std::string& text)
{
    return std::any_of(text.begin(), text.end(), [](char c) {
        const auto byte = static_cast<unsigned char>(c);
        return byte < 0x20 || byte == 0x7F;
    });
}

// Text fields share their rules: decodable, bounded, UTF-8, printable.
std::optional<std::string> checkText(const std::string& decoded, const char* field, std::size_t maxBytes,
                                     std::string& reason)
{
    if (decoded.size() > maxBytes) {
        reason = std::string(field) + " is longer than " + std::to_string(maxBytes) + " bytes";
        return std::nullopt;
    }
    if (!isValidUtf8(decoded)) {
        reason = std::string(field) + " is not valid UTF-8";
        return std::nullopt;
    }
    if (hasControlCharacter(decoded)) {
        reason = std::string(field) + " holds a control character";
        return std::nullopt;
    }
    return decoded;
}

} // namespace

ScorePost readScorePost(std::string_view query)
{
    if (query.size() > kMaxQueryBytes)
        return refuse("query is longer than " + std::to_string(kMaxQueryBytes) + " bytes");

    std::optional<std::string> name, date, score;
    for (const auto& [rawKey, rawValue] : splitQuery(query)) {
        const std::optional<std::string> key = percentDecode(rawKey);
        const std::optional<std::string> value = percentDecode(rawValue);
        if (!key || !value)
            return refuse("query has a broken percent escape");
        std::optional<std::string>* slot = *key == "name"    ? &name
                                           : *key == "date"  ? &date
                                           : *key == "score" ? &score
                                                             : nullptr;
        if (slot && !*slot)
            *slot = *value;
    }

    if (!score || score->empty())
        return refuse("score is missing");
    const std::string& digits = *score;
    long long value = 0;
    const char* end = digits.data() + digits.size();
    const auto [stop, error] = std::from_chars(digits.data(), end, value);
    // from_chars takes an optional minus and digits, nothing else; a number
    // too long for its type still reads to the end and says out of range.
    if (stop != end || error == std::errc::invalid_argument)
        return refuse("score is not an integer");
    if (error == std::errc::result_out_of_range || value < kLowestScore || value > kHighestScore)
        return refuse("score is outside " + std::to_string(kLowestScore) + " to " + std::to_string(kHighestScore));

    std::string reason;
    ScoreEntry entry;
    entry.score = static_cast<std::int32_t>(value);
    const std::optional<std::string> checkedName = checkText(name.value_or(""), "name", kMaxNameBytes, reason);
    if (!checkedName)
        return refuse(reason);
    const std::optional<std::string> checkedDate = checkText(date.value_or(""), "date", kMaxDateBytes, reason);
    if (!checkedDate)
        return refuse(reason);
    entry.name = *checkedName;
    entry.date = *checkedDate;
    return ScorePost{entry, {}};
}

} // namespace kestrova::server
