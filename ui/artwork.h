// The game's pictures, all drawn in code: cards, board, background tile,
// picture buttons, the maker's logo and the about window's title.
#pragma once

#include <QPixmap>
#include <QString>

#include <functional>

namespace kestrova {

// Every picture comes at its fixed logical size, drawn for the given device
// pixel ratio and marked with it, so it stays crisp on high-density screens.

// A picture shown `scale` times its logical size on a screen of ratio `dpr`:
// drawn for the ratio scale x dpr, then marked with dpr, so that every device
// pixel of the larger picture is drawn rather than stretched.
using PictureDrawer = std::function<QPixmap(qreal dpr)>;
QPixmap drawnAtScale(const PictureDrawer& draw, qreal scale, qreal dpr);

// The colours of the suits: the usual two (diamonds and hearts red, clubs and
// spades black), or four (clubs green, diamonds blue, hearts red, spades
// black), in the pips, the indices and the court figures alike.
enum class CardColours { TwoColour, FourColour };

// 71 x 96. 0 is the card back; 1-52 the faces: clubs 1-13, diamonds 14-26,
// hearts 27-39, spades 40-52, each ace, 2 .. 10, jack, queen, king.
// Any other value gives a null pixmap.
QPixmap cardPicture(int value, qreal dpr, CardColours colours = CardColours::TwoColour);

// 72 x 97, what lies under the stock once it is used up.
QPixmap stockEndMarker(qreal dpr);

// 735 x 446, the felt the cards lie on.
QPixmap boardPicture(qreal dpr);

// 173 x 171, a woven texture that repeats without seams.
QPixmap backgroundTile(qreal dpr);

enum class PictureButton { StartGame, Undo, Done, SendScore, HighScores, Cancel, ResetTally, UpdateYes, UpdateNo };

// 126 x 40, the button's caption on a framed navy face.
QPixmap pictureButton(PictureButton button, qreal dpr);
// The caption the button's picture shows, "START GAME", "UNDO -3" ...
QString pictureButtonCaption(PictureButton button);

// 214 x 41 on a transparent ground.
QPixmap makerLogo(qreal dpr);

// 217 x 54 on a transparent ground: the program's name above the maker's.
QPixmap titlePicture(qreal dpr);

// 96 x 72 on a transparent ground, the high-score window's emblem.
QPixmap highScoreTrophy(qreal dpr);

} // namespace kestrova
