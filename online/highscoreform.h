// Thighscore: the online high-score list.
#pragma once

#include "ui/tiledwindow.h"

namespace kestrova {

class Thighscore : public TiledWindow {
    Q_OBJECT
public:
    explicit Thighscore(const QPixmap& backgroundPicture, QWidget* parent = nullptr);
};

} // namespace kestrova
