// Fuzz target: the settings file's rules over any contents. Reading never fails;
// writing a key makes it read back as written (line breaks as blanks) and leaves
// every other key reading as before.
// Input: SECTION NUL KEY NUL VALUE NUL CONTENTS, or just CONTENTS.
#include "platform/inifile.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace {

using kestrova::IniFile;

bool isBlank(char c) { return c == ' ' || c == '\t'; }

std::string_view trimmed(std::string_view s)
{
    const std::size_t first = s.find_first_not_of(" \t");
    return first == std::string_view::npos ? std::string_view()
                                           : s.substr(first, s.find_last_not_of(" \t") - first + 1);
}

// A name a program would give: printable, not starting or ending with a blank, and
// free of the characters that mark sections, comments and values.
bool isName(std::string_view name)
{
    if (name.empty() || isBlank(name.front()) || isBlank(name.back()))
        return false;
    return std::none_of(name.begin(), name.end(), [](char c) {
        return static_cast<unsigned char>(c) < 0x20 || c == '=' || c == '[' || c == ']' || c == ';' ||
               c == '#';
    });
}

// What a read gives back for a written value: breaks as blanks, no surrounding
// blanks, one pair of enclosing quotes gone.
std::string expectedRead(std::string_view written)
{
    std::string clean(written);
    std::replace(clean.begin(), clean.end(), '\r', ' ');
    std::replace(clean.begin(), clean.end(), '\n', ' ');
    std::string_view v = trimmed(clean);
    if (v.size() >= 2 && (v.front() == '"' || v.front() == '\'') && v.back() == v.front())
        v = v.substr(1, v.size() - 2);
    return std::string(v);
}

// Every section name and key name the contents might hold, loosely: whatever
// stands between '[' and ']' and whatever stands before an '='.
void collectNames(std::string_view content, std::vector<std::string>& sections, std::vector<std::string>& keys)
{
    constexpr std::size_t kMaxNames = 48;
    std::size_t start = 0;
    while (start <= content.size() && (sections.size() < kMaxNames || keys.size() < kMaxNames)) {
        std::size_t end = content.find('\n', start);
        if (end == std::string_view::npos)
            end = content.size();
        const std::string_view line = content.substr(start, end - start);
        const std::size_t open = line.find('[');
        const std::size_t close = line.find(']');
        if (open != std::string_view::npos && close != std::string_view::npos && open < close &&
            sections.size() < kMaxNames)
            sections.emplace_back(trimmed(line.substr(open + 1, close - open - 1)));
        const std::size_t eq = line.find('=');
        if (eq != std::string_view::npos && keys.size() < kMaxNames)
            keys.emplace_back(trimmed(line.substr(0, eq)));
        start = end + 1;
    }
}

bool sameName(std::string_view a, std::string_view b)
{
    const auto lower = [](char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; };
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [&](char x, char y) {
               return lower(x) == lower(y);
           });
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    std::string_view input(reinterpret_cast<const char*>(data), size);
    std::string_view section = "kestrova";
    std::string_view key = "Name";
    std::string_view value = "Ann";
    std::string_view content = input;
    const std::size_t first = input.find('\0');
    const std::size_t second = first == std::string_view::npos ? first : input.find('\0', first + 1);
    const std::size_t third = second == std::string_view::npos ? second : input.find('\0', second + 1);
    if (third != std::string_view::npos) {
        section = input.substr(0, first);
        key = input.substr(first + 1, second - first - 1);
        value = input.substr(second + 1, third - second - 1);
        content = input.substr(third + 1);
    }

    // Reading takes anything, and a number read is a number written.
    const std::optional<std::string> before = IniFile::findValue(content, section, key);
    int number = 0;
    if (before && IniFile::parseInteger(*before, number)) {
        int again = 0;
        if (!IniFile::parseInteger(std::to_string(number), again) || again != number)
            std::abort();
    }
    if (!isName(section) || !isName(key))
        return 0;

    std::vector<std::string> sections{std::string(section)};
    std::vector<std::string> keys{std::string(key)};
    collectNames(content, sections, keys);

    const std::string written = IniFile::withValue(content, section, key, value);
    const std::optional<std::string> read = IniFile::findValue(written, section, key);
    if (!read || *read != expectedRead(value))
        std::abort();
    for (const std::string& s : sections) {
        for (const std::string& k : keys) {
            if (sameName(s, section) && sameName(k, key))
                continue;
            if (IniFile::findValue(content, s, k) != IniFile::findValue(written, s, k))
                std::abort();
        }
    }

    // An integer written reads back exactly.
    const std::string numberText = std::to_string(number ^ static_cast<int>(size));
    int back = 0;
    const std::string withNumber = IniFile::withValue(written, section, key, numberText);
    const std::optional<std::string> readNumber = IniFile::findValue(withNumber, section, key);
    if (!readNumber || !IniFile::parseInteger(*readNumber, back) || std::to_string(back) != numberText)
        std::abort();
    return 0;
}
