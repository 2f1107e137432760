// The card image list: the back and the 52 faces for one pixel ratio, one
// colour scheme and one size, each drawn when it is asked for; a start-up
// that shows no card draws none. The back is kept from then on, a face only
// while something holds its picture: a card lies in one place at a time, and
// a face drawn again costs a fraction of a millisecond, where all 52 kept
// would hold 1.4 MB (four times that on a ratio-2 screen).
#pragma once

#include "ui/artwork.h"

#include <QPixmap>

#include <vector>

namespace kestrova {

class CardImages {
public:
    static constexpr int kCount = 53; // picture 0 is the back, 1-52 the faces

    // `scale` > 1 draws the cards that many times their logical 71 x 96, for
    // a board shown larger; the pictures are still marked with `dpr`.
    explicit CardImages(qreal dpr, CardColours colours = CardColours::TwoColour, qreal scale = 1.0);

    // The picture for an index 0 .. 52; a null pixmap for any other index,
    // which draws as nothing.
    QPixmap picture(int index) const;

    qreal devicePixelRatio() const { return m_dpr; }
    CardColours colours() const { return m_colours; }
    qreal scale() const { return m_scale; }

private:
    void releaseUnheldFaces() const;

    qreal m_dpr;
    CardColours m_colours;
    qreal m_scale;
    mutable std::vector<QPixmap> m_pictures;   // null until drawn
};

} // namespace kestrova
