#include "tally/tallylistform.h"

#include "platform/localdate.h"

namespace kestrova {

Ttallylist::Ttallylist(const QPixmap& backgroundPicture, QWidget* parent)
    : TiledWindow(QStringLiteral("tallylist"), QStringLiteral("Kestrova - Tally List"), QSize(342, 462),
                  backgroundPicture, parent)
{
}

void Ttallylist::addtomineincrease(int column)
{
    model_.addtomineincrease(column);
}

void Ttallylist::checkforhigher(int column, int value)
{
    model_.checkforhigher(column, value);
}

bool Ttallylist::checkscore(int score, const std::string& name)
{
    return model_.checkscore(score, name, localShortDate().toStdString());
}

void Ttallylist::checkforlower(int column, int value)
{
    model_.checkforlower(column, value);
}

void Ttallylist::addtomineadd(int column, int value)
{
    model_.addtomineadd(column, value);
}

} // namespace kestrova
