// Tabout: the about window, so far only its frame: a captioned window of the
// right size with the main window's tiled background and nothing in it.
#pragma once

#include "ui/tiledwindow.h"

namespace kestrova {

class Tabout : public TiledWindow {
    Q_OBJECT
public:
    explicit Tabout(const QPixmap& backgroundPicture, QWidget* parent = nullptr);
};

} // namespace kestrova
