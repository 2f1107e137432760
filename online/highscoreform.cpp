#include "online/highscoreform.h"

namespace kestrova {

Thighscore::Thighscore(const QPixmap& backgroundPicture, QWidget* parent)
    : TiledWindow(QStringLiteral("highscore"), QStringLiteral("Kestrova - High Scores"), QSize(603, 561),
                  backgroundPicture, parent)
{
}

} // namespace kestrova
