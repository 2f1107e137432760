// A small INI profile file of our own: case-blind section and key names, writes that
// change one key in place and keep everything else in the file byte for byte.
#pragma once

#include <filesystem>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>

namespace kestrova {

// Raised when a write cannot reach the file; the message names the file's full path.
class IniFileError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Every call reads or rewrites the file on its own: there is no cache to go stale and
// nothing to flush. Reading never fails (a missing or unreadable file reads as empty);
// a write either replaces the whole file or leaves it untouched.
class IniFile {
public:
    explicit IniFile(std::filesystem::path path);

    const std::filesystem::path& path() const { return path_; }

    // The key's value with surrounding blanks and one pair of enclosing quotes (" or ')
    // removed; `defaultValue` when the section or key is missing. The first of
    // duplicate keys wins.
    std::string readString(std::string_view section, std::string_view key,
                           std::string_view defaultValue) const;

    // Whether the section holds the key, whatever its value.
    bool hasKey(std::string_view section, std::string_view key) const;

    // Decimal, or hexadecimal after "0x" or "$" (an optional sign in front of either).
    // Hexadecimal takes up to 32 bits and wraps into the signed range, so "$FFFFFFFF"
    // is -1. Anything else, including an empty value or a decimal outside the 32-bit
    // range, gives `defaultValue`.
    int readInteger(std::string_view section, std::string_view key, int defaultValue) const;

    // Sets the key in place, or adds it at the end of its section, or appends the
    // section. Line breaks inside `value` become blanks so the file keeps its shape.
    // Throws IniFileError("Unable to write to " + full path) when the file cannot be
    // written; the file on disk is then unchanged.
    void writeString(std::string_view section, std::string_view key, std::string_view value);
    void writeInteger(std::string_view section, std::string_view key, int value);

    // The number parser of readInteger, for callers with a value already in hand.
    static bool parseInteger(std::string_view text, int& result);

    // The rules of readString and writeString on a file's contents in hand. findValue
    // gives nothing for a missing section or key; withValue gives the whole new contents.
    static std::optional<std::string> findValue(std::string_view content, std::string_view section,
                                                std::string_view key);
    static std::string withValue(std::string_view content, std::string_view section,
                                 std::string_view key, std::string_view value);

private:
    std::filesystem::path path_;
};

} // namespace kestrova
