#include "app/windowplacement.h"

#include "platform/workarea.h"

#include <QWidget>

namespace kestrova {

QRect WindowPlacement::outerBounds() const
{
    return window_.frameGeometry();
}

void WindowPlacement::setOuterBounds(const QRect& bounds)
{
    requested_ = bounds;
    const QSize frame = window_.frameGeometry().size() - window_.geometry().size();
    // Before the window manager has framed the window the frame counts as
    // nothing; fitToFrame() corrects the size once the frame is known.
    frameFitPending_ = frame.isNull();
    window_.move(bounds.topLeft());
    window_.resize(bounds.size() - frame);
}

void WindowPlacement::fitToFrame()
{
    if (!frameFitPending_ || !window_.isVisible())
        return;
    const QSize frame = window_.frameGeometry().size() - window_.geometry().size();
    if (frame.isNull())
        return;
    frameFitPending_ = false;
    window_.resize(requested_.size() - frame);
}

void WindowPlacement::placeAsLoaded(const QRect& bounds)
{
    loaded_ = bounds;
    setOuterBounds(bounds);
}

void WindowPlacement::settleForClosing()
{
    if (outerBounds() == loaded_)
        return;
    const QRect workArea = desktopWorkArea();
    QRect bounds = outerBounds();
    if (bounds.width() > workArea.width())
        bounds.setWidth(bounds.width() - 3);
    if (bounds.height() > workArea.height())
        bounds.setHeight(bounds.height() - 3);
    setOuterBounds(bounds);
    loaded_ = outerBounds();
}

} // namespace kestrova
