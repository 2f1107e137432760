#include "ui/cardimages.h"

namespace kestrova {

CardImages::CardImages(qreal dpr, CardColours colours, qreal scale)
    : m_dpr(dpr), m_colours(colours), m_scale(scale), m_pictures(kCount)
{
}

QPixmap CardImages::picture(int index) const
{
    if (index < 0 || index >= kCount)
        return {};
    QPixmap& picture = m_pictures[static_cast<std::size_t>(index)];
    if (picture.isNull()) {
        releaseUnheldFaces();
        picture = drawnAtScale([index, colours = m_colours](qreal ratio) { return cardPicture(index, ratio, colours); },
                               m_scale, m_dpr);
    }
    return picture;
}

// A face whose only holder is this list is shown nowhere.
void CardImages::releaseUnheldFaces() const
{
    for (std::size_t index = 1; index < m_pictures.size(); ++index)
        if (!m_pictures[index].isNull() && m_pictures[index].isDetached())
            m_pictures[index] = QPixmap();
}

} // namespace kestrova
