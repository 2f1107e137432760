// Query splitting, percent-decoding and UTF-8 checking for incoming requests.
#include "server/querytext.h"

namespace kestrova::server {

namespace {

int hexValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

} // namespace

std::vector<std::pair<std::string_view, std::string_view>> splitQuery(std::string_view query)
{
    std::vector<std::pair<std::string_view, std::string_view>> fields;
    while (!query.empty()) {
        const std::size_t end = query.find('&');
        const std::string_view piece = query.substr(0, end);
        query = end == std::string_view::npos ? std::string_view() : query.substr(end + 1);
        if (piece.empty())
            continue;
        const std::size_t equals = piece.find('=');
        if (equals == std::string_view::npos)
            fields.emplace_back(piece, std::string_view());
        else
            fields.emplace_back(piece.substr(0, equals), piece.substr(equals + 1));
    }
    return fields;
}

std::optional<std::string> percentDecode(std::string_view text)
{
    std::string decoded;
    decoded.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '%') {
            decoded += text[i];
            continue;
        }
        if (text.size() - i < 3)
            return std::nullopt;
        const int high = hexValue(text[i + 1]);
        const int low = hexValue(text[i + 2]);
        if (high < 0 || low < 0)
            return std::nullopt;
        decoded += static_cast<char>(high * 16 + low);
        i += 2;
    }
    return decoded;
}

bool isValidUtf8(std::string_view text)
{
    std::size_t i = 0;
    while (i < text.size()) {
        const auto lead = static_cast<unsigned char>(text[i]);
        if (lead < 0x80) {
            ++i;
            continue;
        }
        int length = 0;
        // The allowed range of the second byte narrows for the leads that
        // could otherwise start an overlong form, a surrogate or a value past
        // U+10FFFF.
        unsigned char low = 0x80, high = 0xBF;
        if (lead >= 0xC2 && lead <= 0xDF) {
            length = 2;
        } else if (lead >= 0xE0 && lead <= 0xEF) {
            length = 3;
            if (lead == 0xE0)
                low = 0xA0;
            else if (lead == 0xED)
                high = 0x9F;
        } else if (lead >= 0xF0 && lead <= 0xF4) {
            length = 4;
            if (lead == 0xF0)
                low = 0x90;
            else if (lead == 0xF4)
                high = 0x8F;
        } else {
            return false;
        }
        if (text.size() - i < static_cast<std::size_t>(length))
            return false;
        const auto second = static_cast<unsigned char>(text[i + 1]);
        if (second < low || second > high)
            return false;
        for (int k = 2; k < length; ++k) {
            const auto next = static_cast<unsigned char>(text[i + k]);
            if (next < 0x80 || next > 0xBF)
                return false;
        }
        i += length;
    }
    return true;
}

} // namespace kestrova::server
