#include "resources/soundresources.h"

#include <algorithm>
#include <cctype>

namespace kestrova {

const std::array<std::string_view, 8>& soundNames()
{
    static constexpr std::array<std::string_view, 8> names{
        "entered", "startgame", "placecard", "replace", "invalid", "winner", "winner1", "winner2"};
    return names;
}

QString soundResourcePath(std::string_view name)
{
    const auto sameIgnoringCase = [name](std::string_view known) {
        return known.size() == name.size()
            && std::equal(known.begin(), known.end(), name.begin(), [](char a, char b) {
                   return std::tolower(static_cast<unsigned char>(a)) == std::tolower(static_cast<unsigned char>(b));
               });
    };
    const auto& names = soundNames();
    const auto found = std::find_if(names.begin(), names.end(), sameIgnoringCase);
    if (found == names.end())
        return {};
    return QStringLiteral(":/sounds/") + QString::fromLatin1(found->data(), static_cast<qsizetype>(found->size()))
        + QStringLiteral(".wav");
}

} // namespace kestrova
