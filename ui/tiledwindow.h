// The frame shared by the secondary windows: a navy top-level window with the
// main window's tiled background, hidden rather than destroyed when closed.
#pragma once

#include <QWidget>

namespace kestrova {

class TLbBackground;

class TiledWindow : public QWidget {
    Q_OBJECT
public:
    TiledWindow(const QString& objectName, const QString& caption, const QSize& clientSize,
                const QPixmap& backgroundPicture, QWidget* parent = nullptr);

protected:
    TLbBackground* background() const { return background_; }

private:
    TLbBackground* background_;
};

} // namespace kestrova
