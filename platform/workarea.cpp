// The desktop work area through Qt's screen list.
#include "platform/workarea.h"

#include <QGuiApplication>
#include <QScreen>

namespace kestrova {

QRect desktopWorkArea()
{
    const QRect fallback(0, 0, 1024, 768);
    if (!qobject_cast<QGuiApplication*>(QCoreApplication::instance()))
        return fallback;
    const QScreen* screen = QGuiApplication::primaryScreen();
    if (!screen)
        return fallback;
    const QRect area = screen->availableGeometry();
    return area.isValid() ? area : fallback;
}

} // namespace kestrova
