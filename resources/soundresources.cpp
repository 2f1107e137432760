#include "resources/soundresources.h"

#include <algorithm>

namespace kestrova {

const std::array<std::string_view, 8>& soundNames()
{
    static constexpr std::array<std::string_view, 8> names{
        "entered", "startgame", "placecard", "replace", "invalid", "winner", "winner1", "winner2"};
    return names;
}

QString soundResourcePath(std::string_view name)
{
    if (std::ranges::find(soundNames(), name) == soundNames().end())
        return {};
    return QStringLiteral(":/sounds/") + QString::fromLatin1(name.data(), static_cast<qsizetype>(name.size()))
        + QStringLiteral(".wav");
}

} // namespace kestrova
