// The INI profile file: parsing into lines that remember their own line ends, so a
// rewrite changes exactly one line and nothing else.
#include "platform/inifile.h"

#include "platform/durablefile.h"

#include <cstdint>
#include <fstream>
#include <iterator>
#include <optional>
#include <sstream>
#include <system_error>
#include <vector>

namespace kestrova {

namespace {

#ifdef _WIN32
constexpr std::string_view nativeLineEnd = "\r\n";
#else
constexpr std::string_view nativeLineEnd = "\n";
#endif

struct Line {
    std::string text; // without its line end
    std::string end;  // "\r\n", "\n" or "" for a last line without one
};

bool isBlank(char c) { return c == ' ' || c == '\t'; }

std::string_view trimmed(std::string_view s)
{
    while (!s.empty() && isBlank(s.front()))
        s.remove_prefix(1);
    while (!s.empty() && isBlank(s.back()))
        s.remove_suffix(1);
    return s;
}

char lowerAscii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

bool sameName(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (lowerAscii(a[i]) != lowerAscii(b[i]))
            return false;
    }
    return true;
}

std::vector<Line> splitLines(std::string_view content)
{
    std::vector<Line> lines;
    std::size_t start = 0;
    while (start < content.size()) {
        const std::size_t newline = content.find('\n', start);
        if (newline == std::string::npos) {
            lines.push_back({std::string(content.substr(start)), ""});
            break;
        }
        std::size_t textEnd = newline;
        std::string end = "\n";
        if (textEnd > start && content[textEnd - 1] == '\r') {
            --textEnd;
            end = "\r\n";
        }
        lines.push_back({std::string(content.substr(start, textEnd - start)), std::move(end)});
        start = newline + 1;
    }
    return lines;
}

std::string joinLines(const std::vector<Line>& lines)
{
    std::string out;
    for (const Line& line : lines) {
        out += line.text;
        out += line.end;
    }
    return out;
}

// Gives the file's last line a line end. A lone CR at its end stays part of its text
// only when a whole CR LF follows, since CR LF together would end the line there.
void endLastLine(Line& line, std::string_view lineEnd)
{
    line.end = !line.text.empty() && line.text.back() == '\r' ? "\r\n" : lineEnd;
}

// A section header's name, if the line is one.
std::optional<std::string_view> sectionName(std::string_view text)
{
    const std::string_view t = trimmed(text);
    if (t.empty() || t.front() != '[')
        return std::nullopt;
    const std::size_t close = t.find(']');
    if (close == std::string_view::npos)
        return std::nullopt;
    return trimmed(t.substr(1, close - 1));
}

bool isComment(std::string_view text)
{
    const std::string_view t = trimmed(text);
    return !t.empty() && (t.front() == ';' || t.front() == '#');
}

// For a "key=value" line: the position of its '=' and the key name.
std::optional<std::pair<std::size_t, std::string_view>> keyOf(std::string_view text)
{
    if (isComment(text) || sectionName(text))
        return std::nullopt;
    const std::size_t eq = text.find('=');
    if (eq == std::string_view::npos)
        return std::nullopt;
    const std::string_view key = trimmed(text.substr(0, eq));
    if (key.empty())
        return std::nullopt;
    return std::make_pair(eq, key);
}

std::optional<std::size_t> findKey(const std::vector<Line>& lines, std::string_view section,
                                   std::string_view key)
{
    bool inSection = false;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        if (const auto name = sectionName(lines[i].text)) {
            inSection = sameName(*name, section);
            continue;
        }
        if (!inSection)
            continue;
        if (const auto k = keyOf(lines[i].text); k && sameName(k->second, key))
            return i;
    }
    return std::nullopt;
}

std::string_view valueOf(std::string_view text, std::size_t eq)
{
    std::string_view v = trimmed(text.substr(eq + 1));
    if (v.size() >= 2 && (v.front() == '"' || v.front() == '\'') && v.back() == v.front()) {
        v.remove_prefix(1);
        v.remove_suffix(1);
    }
    return v;
}

// The whole file, or nothing when it is missing or cannot be read.
std::optional<std::string> readFile(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return std::nullopt;
    std::ostringstream buffer;
    buffer << in.rdbuf();
    if (in.bad())
        return std::nullopt;
    return std::move(buffer).str();
}

std::string fullPathText(const std::filesystem::path& path)
{
    std::error_code ec;
    const std::filesystem::path full = std::filesystem::absolute(path, ec);
    return (ec ? path : full).string();
}

int hexDigit(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    c = lowerAscii(c);
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

} // namespace

IniFile::IniFile(std::filesystem::path path) : path_(std::move(path)) {}

std::string IniFile::readString(std::string_view section, std::string_view key,
                                std::string_view defaultValue) const
{
    const std::optional<std::string> content = readFile(path_);
    std::optional<std::string> value = content ? findValue(*content, section, key) : std::nullopt;
    return value ? std::move(*value) : std::string(defaultValue);
}

std::optional<std::string> IniFile::findValue(std::string_view content, std::string_view section,
                                              std::string_view key)
{
    const std::vector<Line> lines = splitLines(content);
    const auto index = findKey(lines, section, key);
    if (!index)
        return std::nullopt;
    const std::string& text = lines[*index].text;
    return std::string(valueOf(text, keyOf(text)->first));
}

bool IniFile::hasKey(std::string_view section, std::string_view key) const
{
    const std::optional<std::string> content = readFile(path_);
    return content && findKey(splitLines(*content), section, key).has_value();
}

int IniFile::readInteger(std::string_view section, std::string_view key, int defaultValue) const
{
    // A sentinel default cannot tell a missing key from one that holds the sentinel,
    // so "missing" travels as an empty text, which is never a number.
    const std::string text = readString(section, key, "");
    int value = 0;
    return parseInteger(text, value) ? value : defaultValue;
}

bool IniFile::parseInteger(std::string_view text, int& result)
{
    bool negative = false;
    if (!text.empty() && (text.front() == '-' || text.front() == '+')) {
        negative = text.front() == '-';
        text.remove_prefix(1);
    }
    bool hex = false;
    if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        hex = true;
        text.remove_prefix(2);
    } else if (text.size() > 1 && text[0] == '$') {
        hex = true;
        text.remove_prefix(1);
    }
    if (text.empty())
        return false;

    const std::uint64_t base = hex ? 16 : 10;
    const std::uint64_t limit = hex ? 0xFFFFFFFFull : (negative ? 0x80000000ull : 0x7FFFFFFFull);
    std::uint64_t magnitude = 0;
    for (char c : text) {
        const int digit = hex ? hexDigit(c) : ((c >= '0' && c <= '9') ? c - '0' : -1);
        if (digit < 0)
            return false;
        magnitude = magnitude * base + static_cast<std::uint64_t>(digit);
        if (magnitude > limit)
            return false;
    }
    // Two's complement wrap for hexadecimal, exact range for decimal.
    std::uint32_t bits = static_cast<std::uint32_t>(magnitude);
    if (negative)
        bits = 0u - bits;
    result = static_cast<int>(bits);
    return true;
}

void IniFile::writeString(std::string_view section, std::string_view key, std::string_view value)
{
    const auto fail = [this] { throw IniFileError("Unable to write to " + fullPathText(path_)); };

    std::string content;
    std::error_code ec;
    const bool exists = std::filesystem::exists(path_, ec);
    if (ec)
        fail();
    if (exists) {
        // A file that is there but cannot be read must not be replaced by one key.
        std::optional<std::string> read = readFile(path_);
        if (!read)
            fail();
        content = std::move(*read);
    }
    try {
        replaceFileDurably(path_, withValue(content, section, key, value));
    } catch (const FileReplaceError&) {
        fail();
    }
}

std::string IniFile::withValue(std::string_view content, std::string_view section,
                               std::string_view key, std::string_view value)
{
    std::string cleanValue(value);
    for (char& c : cleanValue) {
        if (c == '\r' || c == '\n')
            c = ' ';
    }

    std::vector<Line> lines = splitLines(content);

    std::string lineEnd(nativeLineEnd);
    for (const Line& line : lines) {
        if (!line.end.empty()) {
            lineEnd = line.end;
            break;
        }
    }
    std::string newLine = std::string(key) + "=" + cleanValue;

    if (const auto index = findKey(lines, section, key)) {
        Line& line = lines[*index];
        line.text = line.text.substr(0, keyOf(line.text)->first + 1) + cleanValue;
    } else {
        std::optional<std::size_t> header;
        for (std::size_t i = 0; i < lines.size() && !header; ++i) {
            if (const auto name = sectionName(lines[i].text); name && sameName(*name, section))
                header = i;
        }
        if (header) {
            // After the section's last non-blank line, so blank separators stay put.
            std::size_t insertAt = *header + 1;
            for (std::size_t i = *header + 1; i < lines.size() && !sectionName(lines[i].text); ++i) {
                if (!trimmed(lines[i].text).empty())
                    insertAt = i + 1;
            }
            if (lines[insertAt - 1].end.empty()) // only the file's last line lacks one
                endLastLine(lines[insertAt - 1], lineEnd);
            lines.insert(lines.begin() + static_cast<std::ptrdiff_t>(insertAt),
                         Line{std::move(newLine), lineEnd});
        } else {
            if (!lines.empty() && lines.back().end.empty())
                endLastLine(lines.back(), lineEnd);
            lines.push_back({"[" + std::string(section) + "]", lineEnd});
            lines.push_back({std::move(newLine), lineEnd});
        }
    }

    return joinLines(lines);
}

void IniFile::writeInteger(std::string_view section, std::string_view key, int value)
{
    writeString(section, key, std::to_string(value));
}

} // namespace kestrova
