// The drawn pictures: their sizes at each pixel ratio, cards that can be told
// apart and carry their suit's colour, and a background tile without seams.
#include "support/guiapplicationenvironment.h"
#include "ui/artwork.h"
#include "ui/cardimages.h"

#include <QImage>
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <functional>
#include <map>

namespace kestrova {
namespace {

struct Picture {
    const char* name;
    QSize logicalSize;
    std::function<QPixmap(qreal)> draw;
};

const std::array<Picture, 10> kPictures{{
    {"card back", {71, 96}, [](qreal dpr) { return cardPicture(0, dpr); }},
    {"ace of clubs", {71, 96}, [](qreal dpr) { return cardPicture(1, dpr); }},
    {"king of spades", {71, 96}, [](qreal dpr) { return cardPicture(52, dpr); }},
    {"stock end", {72, 97}, [](qreal dpr) { return stockEndMarker(dpr); }},
    {"board", {735, 446}, [](qreal dpr) { return boardPicture(dpr); }},
    {"tile", {173, 171}, [](qreal dpr) { return backgroundTile(dpr); }},
    {"button", {126, 40}, [](qreal dpr) { return pictureButton(PictureButton::HighScores, dpr); }},
    {"logo", {214, 41}, [](qreal dpr) { return makerLogo(dpr); }},
    {"title", {217, 54}, [](qreal dpr) { return titlePicture(dpr); }},
    {"trophy", {96, 72}, [](qreal dpr) { return highScoreTrophy(dpr); }},
}};

QImage imageOf(const QPixmap& pixmap)
{
    return pixmap.toImage().convertToFormat(QImage::Format_ARGB32);
}

TEST(Artwork, everyPictureHasItsLogicalSizeAtRatiosOneAndTwo)
{
    for (const Picture& picture : kPictures) {
        for (qreal dpr : {1.0, 2.0}) {
            SCOPED_TRACE(std::string(picture.name) + " at " + std::to_string(dpr));
            const QPixmap pixmap = picture.draw(dpr);
            ASSERT_FALSE(pixmap.isNull());
            EXPECT_EQ(pixmap.devicePixelRatio(), dpr);
            EXPECT_EQ(pixmap.size(), picture.logicalSize * dpr);
            EXPECT_EQ(pixmap.deviceIndependentSize().toSize(), picture.logicalSize);
        }
    }
}

TEST(Artwork, aRatioOfTwoDrawsFinerDetailNotAnEnlargedCopy)
{
    // Scaling the ratio-1 picture up gives blocks of four equal pixels; real
    // detail at ratio 2 does not.
    const QImage fine = imageOf(cardPicture(10, 2.0));
    const QImage coarse = imageOf(cardPicture(10, 1.0)).scaled(fine.size());
    EXPECT_NE(fine, coarse);
    int differingBlocks = 0;
    for (int y = 0; y + 1 < fine.height(); y += 2)
        for (int x = 0; x + 1 < fine.width(); x += 2)
            if (fine.pixel(x, y) != fine.pixel(x + 1, y + 1))
                ++differingBlocks;
    EXPECT_GT(differingBlocks, 100);
}

TEST(Artwork, cardValuesOutsideTheDeckGiveNoPicture)
{
    EXPECT_TRUE(cardPicture(-1, 1.0).isNull());
    EXPECT_TRUE(cardPicture(53, 1.0).isNull());
}

TEST(Artwork, allFiftyThreeCardPicturesDifferFromEachOther)
{
    const CardImages cards(1.0);
    std::vector<QImage> images;
    for (int index = 0; index < CardImages::kCount; ++index)
        images.push_back(imageOf(cards.picture(index)));
    for (int a = 0; a < CardImages::kCount; ++a)
        for (int b = a + 1; b < CardImages::kCount; ++b)
            EXPECT_NE(images[static_cast<std::size_t>(a)], images[static_cast<std::size_t>(b)]) << a << " and " << b;
}

TEST(Artwork, cardsAreRoundedWhiteCardsWithTransparentCorners)
{
    for (int value : {0, 1, 23, 38, 52}) {
        SCOPED_TRACE(value);
        const QImage card = imageOf(cardPicture(value, 1.0));
        EXPECT_EQ(qAlpha(card.pixel(0, 0)), 0);
        EXPECT_EQ(qAlpha(card.pixel(70, 95)), 0);
        EXPECT_EQ(qAlpha(card.pixel(35, 48)), 255);
        EXPECT_EQ(card.pixel(2, 30), qRgb(255, 255, 255)) << "white margin";
    }
}

// Counts the strongly red and the near-black pixels in the top-left corner
// index, where a card shows its rank and suit.
std::pair<int, int> cornerInk(const QImage& card)
{
    int red = 0;
    int black = 0;
    for (int y = 3; y < 26; ++y) {
        for (int x = 3; x < 14; ++x) {
            const QRgb pixel = card.pixel(x, y);
            if (qRed(pixel) > 150 && qGreen(pixel) < 90 && qBlue(pixel) < 100)
                ++red;
            else if (qRed(pixel) < 70 && qGreen(pixel) < 70 && qBlue(pixel) < 70)
                ++black;
        }
    }
    return {red, black};
}

TEST(Artwork, diamondsAndHeartsAreRedClubsAndSpadesBlackInSuitOrder)
{
    for (int value = 1; value <= 52; ++value) {
        SCOPED_TRACE(value);
        const auto [red, black] = cornerInk(imageOf(cardPicture(value, 1.0)));
        const bool redSuit = value >= 14 && value <= 39;
        if (redSuit) {
            EXPECT_GT(red, 20);
            EXPECT_EQ(black, 0);
        } else {
            EXPECT_GT(black, 20);
            EXPECT_EQ(red, 0);
        }
    }
}

enum class Ink { Red, Black, Green, Blue, Other };

Ink inkOf(QRgb pixel)
{
    const int r = qRed(pixel), g = qGreen(pixel), b = qBlue(pixel);
    if (r > 150 && g < 90 && b < 100)
        return Ink::Red;
    if (r < 70 && g < 70 && b < 70)
        return Ink::Black;
    if (g > r + 50 && g > b + 30)
        return Ink::Green;
    if (b > r + 80 && b > g + 60)
        return Ink::Blue;
    return Ink::Other;
}

std::map<Ink, int> inkCount(const QImage& card, const QRect& area)
{
    std::map<Ink, int> count;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            ++count[inkOf(card.pixel(x, y))];
    return count;
}

TEST(Artwork, fourColourDeckInksClubsGreenDiamondsBlueHeartsRedSpadesBlack)
{
    const std::array<Ink, 4> suitInk{Ink::Green, Ink::Blue, Ink::Red, Ink::Black};
    const QRect corner(3, 3, 11, 23);
    const QRect middle(14, 9, 43, 78);   // the pips, the ace or the court figure
    for (int value = 1; value <= 52; ++value) {
        SCOPED_TRACE(value);
        const Ink ink = suitInk[static_cast<std::size_t>((value - 1) / 13)];
        const QImage card = imageOf(cardPicture(value, 1.0, CardColours::FourColour));
        std::map<Ink, int> inCorner = inkCount(card, corner);
        EXPECT_GT(inCorner[ink], 20);
        for (Ink other : {Ink::Red, Ink::Black, Ink::Green, Ink::Blue}) {
            if (other != ink) {
                EXPECT_LT(inCorner[other], 3) << "a second suit colour in the corner";
            }
        }
        // The middle carries the suit's colour too, the court figures' robes
        // included: far more of it than the two-colour card shows.
        const int fourColourInk = inkCount(card, middle)[ink];
        const int twoColourInk = inkCount(imageOf(cardPicture(value, 1.0)), middle)[ink];
        EXPECT_GT(fourColourInk, 40);
        if (ink == Ink::Green || ink == Ink::Blue) {
            EXPECT_GT(fourColourInk, 2 * twoColourInk + 20);
        }
    }
    // Hearts and spades look as they do in the two-colour deck.
    EXPECT_EQ(imageOf(cardPicture(27, 1.0, CardColours::FourColour)), imageOf(cardPicture(27, 1.0)));
    EXPECT_EQ(imageOf(cardPicture(0, 1.0, CardColours::FourColour)), imageOf(cardPicture(0, 1.0)));
}

TEST(Artwork, cardsDrawnAtAScaleAreDrawnForIt)
{
    // A card shown at 1.5 times its size on a ratio-2 screen: 3 device pixels
    // for each logical one, marked with the screen's ratio.
    const CardImages cards(2.0, CardColours::TwoColour, 1.5);
    EXPECT_EQ(cards.picture(10).devicePixelRatio(), 2.0);
    EXPECT_EQ(cards.picture(10).size(), QSize(213, 288));
    EXPECT_EQ(imageOf(cards.picture(10)), imageOf(cardPicture(10, 3.0)));
    EXPECT_EQ(imageOf(CardImages(2.0).picture(10)), imageOf(cardPicture(10, 2.0)));
}

TEST(Artwork, cardImagesHoldTheCardPicturesForTheirRatio)
{
    const CardImages cards(2.0);
    EXPECT_EQ(cards.devicePixelRatio(), 2.0);
    for (int index : {0, 1, 13, 14, 27, 40, 52}) {
        EXPECT_EQ(cards.picture(index).devicePixelRatio(), 2.0);
        EXPECT_EQ(imageOf(cards.picture(index)), imageOf(cardPicture(index, 2.0))) << index;
    }
    EXPECT_TRUE(cards.picture(-1).isNull());
    EXPECT_TRUE(cards.picture(53).isNull());
}

// A face that nothing shows any more is dropped when the next one is drawn and
// drawn again, the same, when it is asked for; a shown face and the back stay.
TEST(Artwork, cardImagesKeepOnlyTheFacesSomethingShows)
{
    const CardImages cards(1.0);
    const QPixmap shown = cards.picture(7);
    const qint64 backKey = cards.picture(0).cacheKey();
    const QImage dropped = imageOf(cards.picture(8));
    const qint64 droppedKey = cards.picture(8).cacheKey();
    EXPECT_EQ(cards.picture(8).cacheKey(), droppedKey) << "kept until another face is drawn";

    cards.picture(9);
    EXPECT_EQ(cards.picture(7).cacheKey(), shown.cacheKey());
    EXPECT_EQ(cards.picture(0).cacheKey(), backKey);
    const QPixmap redrawn = cards.picture(8);
    EXPECT_NE(redrawn.cacheKey(), droppedKey);
    EXPECT_EQ(imageOf(redrawn), dropped);
}

double pixelDistance(QRgb a, QRgb b)
{
    return std::abs(qRed(a) - qRed(b)) + std::abs(qGreen(a) - qGreen(b)) + std::abs(qBlue(a) - qBlue(b));
}

// Mean difference between two columns (or rows) of the image.
double lineDistance(const QImage& image, int a, int b, bool columns)
{
    const int length = columns ? image.height() : image.width();
    double sum = 0.0;
    for (int k = 0; k < length; ++k)
        sum += columns ? pixelDistance(image.pixel(a, k), image.pixel(b, k)) : pixelDistance(image.pixel(k, a), image.pixel(k, b));
    return sum / length;
}

TEST(Artwork, backgroundTileRepeatsWithoutSeams)
{
    for (qreal dpr : {1.0, 2.0}) {
        SCOPED_TRACE(dpr);
        const QImage tile = imageOf(backgroundTile(dpr));
        for (bool columns : {true, false}) {
            const int extent = columns ? tile.width() : tile.height();
            // The step from the last line to the first, as seen where two tiles
            // meet, must look like any step between neighbours inside the tile.
            double inside = 0.0;
            double largest = 0.0;
            for (int k = 0; k + 1 < extent; ++k) {
                const double step = lineDistance(tile, k, k + 1, columns);
                inside += step;
                largest = std::max(largest, step);
            }
            inside /= extent - 1;
            ASSERT_GT(inside, 1.0) << "a flat tile would prove nothing";
            EXPECT_LE(lineDistance(tile, extent - 1, 0, columns), largest) << (columns ? "left/right" : "top/bottom");
        }
        for (int y = 0; y < tile.height(); ++y)
            for (int x = 0; x < tile.width(); ++x)
                ASSERT_EQ(qAlpha(tile.pixel(x, y)), 255);
    }
}

TEST(Artwork, boardIsOpaqueGreenFelt)
{
    const QImage board = imageOf(boardPicture(1.0));
    double red = 0, green = 0, blue = 0;
    for (int y = 0; y < board.height(); ++y) {
        for (int x = 0; x < board.width(); ++x) {
            const QRgb pixel = board.pixel(x, y);
            ASSERT_EQ(qAlpha(pixel), 255) << x << "," << y;
            red += qRed(pixel);
            green += qGreen(pixel);
            blue += qBlue(pixel);
        }
    }
    EXPECT_GT(green, 1.5 * red);
    EXPECT_GT(green, 1.5 * blue);
    EXPECT_EQ(board, imageOf(boardPicture(1.0))) << "the felt's noise must be the same every time";
}

TEST(Artwork, pictureButtonsAllReadDifferently)
{
    const std::array buttons{PictureButton::StartGame, PictureButton::Undo, PictureButton::Done,
                             PictureButton::SendScore, PictureButton::HighScores, PictureButton::Cancel,
                             PictureButton::ResetTally, PictureButton::UpdateYes, PictureButton::UpdateNo};
    std::vector<QImage> images;
    for (PictureButton button : buttons)
        images.push_back(imageOf(pictureButton(button, 1.0)));
    for (std::size_t a = 0; a < images.size(); ++a)
        for (std::size_t b = a + 1; b < images.size(); ++b)
            EXPECT_NE(images[a], images[b]) << a << " and " << b;
}

TEST(Artwork, logoAndTitleLeaveTheirGroundTransparent)
{
    for (const QPixmap& picture : {makerLogo(1.0), titlePicture(1.0)}) {
        const QImage image = imageOf(picture);
        int clear = 0;
        int opaque = 0;
        for (int y = 0; y < image.height(); ++y) {
            for (int x = 0; x < image.width(); ++x) {
                const int alpha = qAlpha(image.pixel(x, y));
                clear += alpha == 0;
                opaque += alpha == 255;
            }
        }
        EXPECT_EQ(qAlpha(image.pixel(image.width() - 1, 0)), 0);
        EXPECT_GT(clear, image.width() * image.height() / 2);
        EXPECT_GT(opaque, 500);
    }
}

} // namespace
} // namespace kestrova
