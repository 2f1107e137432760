// The card image list: the back and the 52 faces, drawn once for one pixel ratio.
#pragma once

#include <QPixmap>

#include <vector>

namespace kestrova {

class CardImages {
public:
    static constexpr int kCount = 53; // picture 0 is the back, 1-52 the faces

    explicit CardImages(qreal dpr);

    // The picture for an index 0 .. 52; a null pixmap for any other index,
    // which draws as nothing.
    const QPixmap& picture(int index) const;

    qreal devicePixelRatio() const { return m_dpr; }

private:
    qreal m_dpr;
    std::vector<QPixmap> m_pictures;
};

} // namespace kestrova
