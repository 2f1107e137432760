// Thelp: the help window with its five text sections.
#pragma once

#include "ui/tiledwindow.h"

namespace kestrova {

class Thelp : public TiledWindow {
    Q_OBJECT
public:
    explicit Thelp(const QPixmap& backgroundPicture, QWidget* parent = nullptr);
};

} // namespace kestrova
