// The part of the desktop that windows may use: the primary screen without its panels.
#pragma once

#include <QRect>

namespace kestrova {

// The primary screen's available geometry; 1024 × 768 at 0, 0 when there is no screen
// (no GUI application yet, or a display without outputs).
QRect desktopWorkArea();

} // namespace kestrova
