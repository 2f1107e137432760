#include "ui/aboutform.h"

namespace kestrova {

Tabout::Tabout(const QPixmap& backgroundPicture, QWidget* parent)
    : TiledWindow(QStringLiteral("about"), QStringLiteral("Kestrova - About"), QSize(304, 193),
                  backgroundPicture, parent)
{
}

} // namespace kestrova
