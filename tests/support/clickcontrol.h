// Clicks a picture control of a window by its name, as a player's mouse would.
#pragma once

#include "ui/picturecontrol.h"

#include <QtTest>

namespace kestrova::testing {

// False when there is no such control or it is hidden (a hidden control
// can't be clicked).
inline bool clickControl(QWidget* window, const QString& name)
{
    auto* control = window->findChild<PictureControl*>(name);
    if (!control || !control->isVisible())
        return false;
    QTest::mouseClick(control, Qt::LeftButton, {}, control->rect().center());
    return true;
}

} // namespace kestrova::testing
