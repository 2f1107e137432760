// Tabout: the about window with the title picture, the maker's link, the
// credits and the version.
#pragma once

#include "ui/tiledwindow.h"

namespace kestrova {

class Tabout : public TiledWindow {
    Q_OBJECT
public:
    explicit Tabout(const QPixmap& backgroundPicture, QWidget* parent = nullptr);
};

} // namespace kestrova
