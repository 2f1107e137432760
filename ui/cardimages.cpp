#include "ui/cardimages.h"

namespace kestrova {

CardImages::CardImages(qreal dpr, CardColours colours, qreal scale) : m_dpr(dpr), m_colours(colours), m_scale(scale)
{
    m_pictures.reserve(kCount);
    for (int index = 0; index < kCount; ++index)
        m_pictures.push_back(
            drawnAtScale([index, colours](qreal ratio) { return cardPicture(index, ratio, colours); }, scale, dpr));
}

const QPixmap& CardImages::picture(int index) const
{
    static const QPixmap none;
    if (index < 0 || index >= kCount)
        return none;
    return m_pictures[static_cast<std::size_t>(index)];
}

} // namespace kestrova
