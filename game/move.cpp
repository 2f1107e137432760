#include "game/move.h"

namespace kestrova {

std::string Move::token() const
{
    return isStock() ? std::string("s") : "c" + std::to_string(slot);
}

std::string formatLine(const Line& line)
{
    std::string text;
    for (const Move& move : line) {
        if (!text.empty())
            text += ' ';
        text += move.token();
    }
    return text;
}

} // namespace kestrova
