// Thighscore: the high-score window, so far only its frame: a captioned window
// of the right size with the main window's tiled background and nothing in it.
#pragma once

#include "ui/tiledwindow.h"

namespace kestrova {

class Thighscore : public TiledWindow {
    Q_OBJECT
public:
    explicit Thighscore(const QPixmap& backgroundPicture, QWidget* parent = nullptr);
};

} // namespace kestrova
