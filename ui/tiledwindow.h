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

    // The window this one opens centred over, the first time it is shown;
    // later openings keep wherever the player put it.
    void setPlacementAnchor(const QWidget* anchor) { anchor_ = anchor; }

protected:
    TLbBackground* background() const { return background_; }
    void showEvent(QShowEvent* event) override;

private:
    TLbBackground* background_;
    const QWidget* anchor_ = nullptr;
    bool placed_ = false;
};

} // namespace kestrova
