#include "ui/helpform.h"

namespace kestrova {

Thelp::Thelp(const QPixmap& backgroundPicture, QWidget* parent)
    : TiledWindow(QStringLiteral("help"), QStringLiteral("Kestrova - Help File"), QSize(523, 431),
                  backgroundPicture, parent)
{
}

} // namespace kestrova
