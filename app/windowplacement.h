// WindowPlacement: a top-level window's outer bounds, frame included, as the
// settings file keeps them. Bounds asked for before the window manager has
// framed the window are put right once the frame is known.
#pragma once

#include <QRect>

class QWidget;

namespace kestrova {

class WindowPlacement {
public:
    explicit WindowPlacement(QWidget& window) : window_(window) {}

    QRect outerBounds() const;
    void setOuterBounds(const QRect& bounds);
    // To be called on every show, move and resize of the window: the frame
    // arrives with one of them, depending on the window manager.
    void fitToFrame();

    // The bounds as read from the settings, the window placed there.
    void placeAsLoaded(const QRect& bounds);
    // At closing: a window moved or resized beyond the work area comes back 3
    // pixels smaller in that direction, exactly.
    void settleForClosing();

private:
    QWidget& window_;
    QRect loaded_;                  // as read, or as put right at closing
    QRect requested_;               // the last outer bounds asked for
    bool frameFitPending_ = false;  // they were applied before the frame was known
};

} // namespace kestrova
