#include "ui/cardimages.h"

namespace kestrova {

CardImages::CardImages(qreal dpr, CardColours colours, qreal scale)
    : m_dpr(dpr), m_colours(colours), m_scale(scale), m_pictures(kCount)
{
}

const QPixmap& CardImages::picture(int index) const
{
    static const QPixmap none;
    if (index < 0 || index >= kCount)
        return none;
    QPixmap& picture = m_pictures[static_cast<std::size_t>(index)];
    if (picture.isNull())
        picture = drawnAtScale([index, colours = m_colours](qreal ratio) { return cardPicture(index, ratio, colours); },
                               m_scale, m_dpr);
    return picture;
}

bool CardImages::drawNext() const
{
    for (int index = 0; index < kCount; ++index)
        if (m_pictures[static_cast<std::size_t>(index)].isNull()) {
            picture(index);
            return true;
        }
    return false;
}

} // namespace kestrova
