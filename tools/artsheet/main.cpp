// artsheet: renders every picture of the game onto contact sheets, at pixel
// ratios 1 and 2, so they can be looked at as a player would see them.
//   artsheet [--four-colour] OUTPUT-FOLDER
// Writes artsheet-dpr1.png, artsheet-dpr2.png, board-dpr1.png, board-dpr2.png
// and tile-dpr1.png (the background tile repeated 3 x 3, to show its seams).
// --four-colour draws the cards with green clubs and blue diamonds.
#include "ui/artwork.h"
#include "ui/cardimages.h"

#include <QDir>
#include <QFont>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>

#include <array>
#include <iostream>
#include <string_view>

namespace {

using namespace kestrova;

QImage newSheet(QSize logical, qreal dpr, const QColor& ground)
{
    QImage sheet(logical * dpr, QImage::Format_ARGB32_Premultiplied);
    sheet.setDevicePixelRatio(dpr);
    sheet.fill(ground);
    return sheet;
}

QImage contactSheet(qreal dpr, CardColours colours)
{
    const CardImages cards(dpr, colours);
    const int pitchX = 77;
    const int pitchY = 104;
    QImage sheet = newSheet(QSize(13 * pitchX + 16 + 2 * 77, 4 * pitchY + 16 + 3 * 52 + 60 + 180), dpr, QColor(24, 100, 50));
    QPainter painter(&sheet);
    for (int value = 1; value <= 52; ++value) {
        const int suit = (value - 1) / 13;
        const int face = (value - 1) % 13;
        painter.drawPixmap(8 + face * pitchX, 8 + suit * pitchY, cards.picture(value));
    }
    const int sideX = 8 + 13 * pitchX + 8;
    painter.drawPixmap(sideX, 8, cards.picture(0));
    painter.drawPixmap(sideX, 8 + pitchY, stockEndMarker(dpr));
    painter.drawPixmap(sideX + 1, 8 + 2 * pitchY + 1, stockEndMarker(dpr));
    painter.drawPixmap(sideX + 2, 8 + 2 * pitchY + 2, cards.picture(0));

    const int buttonsY = 8 + 4 * pitchY + 8;
    const std::array buttons{PictureButton::StartGame, PictureButton::Undo, PictureButton::Done,
                             PictureButton::SendScore, PictureButton::HighScores, PictureButton::Cancel,
                             PictureButton::ResetTally, PictureButton::UpdateYes, PictureButton::UpdateNo};
    for (std::size_t k = 0; k < buttons.size(); ++k) {
        const int column = static_cast<int>(k % 6);
        const int row = static_cast<int>(k / 6);
        painter.drawPixmap(8 + column * 134, buttonsY + row * 52, pictureButton(buttons[k], dpr));
    }

    const int logoY = buttonsY + 2 * 52 + 8;
    painter.drawPixmap(8, logoY, makerLogo(dpr));
    painter.fillRect(QRect(240, logoY - 4, 222, 49), QColor(0, 0, 128));
    painter.drawPixmap(244, logoY, makerLogo(dpr));

    const QPixmap tile = backgroundTile(dpr);
    const int tileY = logoY + 60;
    for (int k = 0; k < 5; ++k)
        painter.drawPixmap(8 + k * 173, tileY, tile);
    painter.end();
    return sheet;
}

// The board as it looks in the middle of a game, with labels, logo and buttons.
QImage boardMockup(qreal dpr, CardColours colours)
{
    struct Slot { int left, top; };
    static constexpr std::array<Slot, 28> slotPlaces{{
        {125, 11}, {333, 11}, {549, 11}, {89, 73}, {161, 73}, {297, 73}, {369, 73}, {513, 73}, {585, 73},
        {45, 139}, {117, 139}, {189, 139}, {261, 139}, {333, 139}, {405, 139}, {477, 139}, {549, 139}, {622, 139},
        {9, 211}, {81, 211}, {153, 211}, {225, 211}, {297, 211}, {369, 211}, {441, 211}, {513, 211}, {586, 211}, {659, 211},
    }};
    static constexpr std::array<int, 28> deal{
        7, 20, 33, 46, 9, 22, 35, 48, 11, 24, 37, 50, 13, 26, 39, 52, 2, 15, 28, 41, 4, 17, 30, 43, 6, 19, 32, 45};
    const CardImages cards(dpr, colours);
    QImage sheet = newSheet(QSize(737, 448), dpr, Qt::white);
    QPainter painter(&sheet);
    painter.drawPixmap(1, 1, boardPicture(dpr));
    painter.translate(1, 1);
    painter.drawPixmap(292, 322, stockEndMarker(dpr));
    for (std::size_t k = 0; k < slotPlaces.size(); ++k) {
        if (k == 20 || k == 21 || k == 26)
            continue; // played away
        const bool faceUp = k >= 18 || k == 10 || k == 11;
        painter.drawPixmap(slotPlaces[k].left, slotPlaces[k].top, cards.picture(faceUp ? deal[k] : 0));
    }
    painter.drawPixmap(293, 323, cards.picture(0));
    painter.drawPixmap(381, 323, cards.picture(38));
    painter.drawPixmap(6, 401, makerLogo(dpr));
    painter.drawPixmap(600, 400, pictureButton(PictureButton::StartGame, dpr));
    painter.drawPixmap(600, 360, pictureButton(PictureButton::Undo, dpr));
    QFont label(QStringLiteral("Liberation Sans"));
    label.setPixelSize(13);
    label.setBold(true);
    painter.setFont(label);
    painter.setPen(Qt::white);
    painter.drawText(291, 425 + 12, QStringLiteral("Cards Left: 17"));
    painter.drawText(467, 369 + 12, QStringLiteral("Score: 42"));
    painter.drawText(456, 403 + 12, QStringLiteral("+3"));
    painter.end();
    return sheet;
}

QImage tileRepeat()
{
    const QPixmap tile = backgroundTile(1.0);
    QImage sheet = newSheet(QSize(3 * 173, 3 * 171), 1.0, Qt::black);
    QPainter painter(&sheet);
    for (int row = 0; row < 3; ++row)
        for (int column = 0; column < 3; ++column)
            painter.drawPixmap(column * 173, row * 171, tile);
    painter.end();
    return sheet;
}

bool save(const QImage& image, const QDir& folder, const QString& name)
{
    const QString path = folder.filePath(name);
    if (!image.save(path, "PNG")) {
        std::cerr << "artsheet: cannot write " << path.toStdString() << '\n';
        return false;
    }
    std::cout << path.toStdString() << '\n';
    return true;
}

} // namespace

int main(int argc, char** argv)
{
    QGuiApplication app(argc, argv);
    const bool fourColour = argc == 3 && std::string_view(argv[1]) == "--four-colour";
    if (argc != 2 && !fourColour) {
        std::cerr << "usage: artsheet [--four-colour] OUTPUT-FOLDER\n";
        return 2;
    }
    const char* folderName = argv[argc - 1];
    const CardColours colours = fourColour ? CardColours::FourColour : CardColours::TwoColour;
    const QDir folder(QString::fromLocal8Bit(folderName));
    if (!folder.exists() && !QDir().mkpath(folder.path())) {
        std::cerr << "artsheet: cannot create " << folderName << '\n';
        return 1;
    }
    const bool ok = save(contactSheet(1.0, colours), folder, QStringLiteral("artsheet-dpr1.png"))
        && save(contactSheet(2.0, colours), folder, QStringLiteral("artsheet-dpr2.png"))
        && save(boardMockup(1.0, colours), folder, QStringLiteral("board-dpr1.png"))
        && save(boardMockup(2.0, colours), folder, QStringLiteral("board-dpr2.png"))
        && save(tileRepeat(), folder, QStringLiteral("tile-dpr1.png"));
    return ok ? 0 : 1;
}
