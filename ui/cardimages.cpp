#include "ui/cardimages.h"

#include "ui/artwork.h"

namespace kestrova {

CardImages::CardImages(qreal dpr) : m_dpr(dpr)
{
    m_pictures.reserve(kCount);
    for (int index = 0; index < kCount; ++index)
        m_pictures.push_back(cardPicture(index, dpr));
}

const QPixmap& CardImages::picture(int index) const
{
    static const QPixmap none;
    if (index < 0 || index >= kCount)
        return none;
    return m_pictures[static_cast<std::size_t>(index)];
}

} // namespace kestrova
