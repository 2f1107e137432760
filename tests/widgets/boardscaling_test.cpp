// "Scale Board to Window" and "Four-Colour Deck": off, the board is exactly the
// board made at start; on, it grows with the client area, centred, with every
// control scaled alike and every picture drawn at its shown size, and a click
// lands on the card under the pointer at every scale.

#include "app/boardscaler.h"
#include "app/mainform.h"
#include "game/random.h"
#include "support/decks.h"
#include "support/recordingsoundsink.h"
#include "ui/cardimages.h"
#include "ui/picturecontrol.h"

#include <QAction>
#include <QLabel>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QtTest>

#include <map>

using namespace kestrova;

namespace {

struct Look {
    QRect geometry;
    QFont font;
    QImage picture;
};

// Every control on the board panel: its place, its font and what it shows.
std::map<QString, Look> lookOf(QWidget* board)
{
    std::map<QString, Look> looks;
    for (QWidget* widget : board->findChildren<QWidget*>()) {
        if (widget->objectName().isEmpty())
            continue;
        QImage picture;
        if (auto* control = qobject_cast<PictureControl*>(widget))
            picture = control->picture().toImage();
        looks[widget->objectName()] = {widget->geometry(), widget->font(), picture};
    }
    return looks;
}

} // namespace

class BoardScalingTest : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void offTheBoardStaysAtItsPlaceAndSizeAsMade();
    void onTheBoardFillsTheClientAreaCentred_data();
    void onTheBoardFillsTheClientAreaCentred();
    void everyFreeCardIsPlayedByAClickAtEveryScale();
    void fourColourDeckRedrawsTheCardsOnTheBoard();

private:
    QWidget* widget(const char* name) const { return main->findChild<QWidget*>(name); }
    QAction* action(const char* name) const { return main->findChild<QAction*>(name); }
    // Resizes the client area and waits until the pictures have been drawn
    // for the new size, which happens once the size has rested.
    void setClientSize(const QSize& size)
    {
        main->resize(size + (main->size() - main->centralWidget()->size()));
        QTRY_COMPARE(main->centralWidget()->size(), size);
        auto* scaler = main->findChild<BoardScaler*>();
        QTRY_COMPARE(scaler->pictureScale(), scaler->scale());
    }

    QTemporaryDir dir;
    Random random;
    RecordingSoundSink sounds;
    Tmain* main = nullptr;
};

void BoardScalingTest::init()
{
    qputenv("KESTROVA_DATA_DIR", dir.path().toLocal8Bit());
    main = new Tmain(random, sounds);
    main->show();
    QVERIFY(QTest::qWaitForWindowExposed(main));
}

void BoardScalingTest::cleanup()
{
    delete main;
    main = nullptr;
    QFile::remove(dir.filePath("kestrova.ini"));
    qunsetenv("KESTROVA_DATA_DIR");
}

void BoardScalingTest::offTheBoardStaysAtItsPlaceAndSizeAsMade()
{
    main->dealDeck(testing::makeDeck({}));
    const std::map<QString, Look> made = lookOf(widget("panel_board"));
    QCOMPARE(made.at("card_19").picture.size(), QSize(71, 96));

    setClientSize(QSize(1500, 900));
    QCOMPARE(widget("panel_board")->geometry(), QRect(0, 0, 766, 495));
    QCOMPARE(widget("card_19")->geometry(), QRect(9, 211, 71, 96));

    // Switched on and off again, everything is back as it was made: places,
    // fonts (inherited ones inherited again) and pictures, pixel for pixel.
    action("ScaleBoardtoWindow1")->trigger();
    QVERIFY(widget("card_19")->width() > 100);
    action("ScaleBoardtoWindow1")->trigger();
    const std::map<QString, Look> after = lookOf(widget("panel_board"));
    QCOMPARE(after.size(), made.size());
    for (const auto& [name, look] : made) {
        const Look& now = after.at(name);
        QVERIFY2(now.geometry == look.geometry, qPrintable(name));
        QVERIFY2(now.font == look.font, qPrintable(name));
        QVERIFY2(now.picture == look.picture, qPrintable(name));
    }
    QVERIFY(!widget("panel_board")->testAttribute(Qt::WA_SetFont));
}

void BoardScalingTest::onTheBoardFillsTheClientAreaCentred_data()
{
    QTest::addColumn<QSize>("client");
    QTest::addColumn<qreal>("scale");
    QTest::newRow("smallest window") << QSize(771, 500) << 771.0 / 766;
    QTest::newRow("one and a half") << QSize(1149, 800) << 1.5;
    QTest::newRow("wide") << QSize(2540, 1386) << 2.8;
    QTest::newRow("tall") << QSize(1000, 1300) << 1000.0 / 766;
}

void BoardScalingTest::onTheBoardFillsTheClientAreaCentred()
{
    QFETCH(QSize, client);
    QFETCH(qreal, scale);
    main->dealDeck(testing::makeDeck({}));
    action("ScaleBoardtoWindow1")->trigger();
    setClientSize(client);
    auto* scaler = main->findChild<BoardScaler*>();
    QVERIFY(qAbs(scaler->scale() - scale) < 1e-9);

    // Centred, and as large as fits.
    const QRect board = widget("panel_board")->geometry();
    QCOMPARE(board.size(), BoardScaler::scaled(QRect(0, 0, 766, 495), scale).size());
    QVERIFY(qAbs(board.left() - (client.width() - board.right() - 1)) <= 1);
    QVERIFY(qAbs(board.top() - (client.height() - board.bottom() - 1)) <= 1);
    QVERIFY(board.width() == client.width() || board.height() == client.height()
            || qAbs(board.width() - client.width()) <= 1 || qAbs(board.height() - client.height()) <= 1);

    // Every control where its scaled design place is, fonts grown alike.
    QCOMPARE(widget("panel_board1")->geometry(), BoardScaler::scaled(QRect(15, 33, 737, 448), scale));
    QCOMPARE(widget("card_18")->geometry(), BoardScaler::scaled(QRect(622, 139, 71, 96), scale));
    QCOMPARE(widget("panel_cleared")->geometry(), BoardScaler::scaled(QRect(205, 65, 329, 233), scale));
    QCOMPARE(widget("edit_name")->geometry(), BoardScaler::scaled(QRect(83, 91, 161, 32), scale));
    QCOMPARE(widget("label_score")->pos(), BoardScaler::scaled(QRect(467, 369, 1, 1), scale).topLeft());
    QCOMPARE(widget("label_score")->font().pixelSize(), qRound(13 * scale));
    QCOMPARE(widget("edit_name")->font().pixelSize(), qRound(19 * scale));

    // Pictures drawn for the size they are shown at: the card's pixels are
    // those of a card drawn at that scale, not of a 71 x 96 one enlarged.
    const qreal dpr = main->devicePixelRatioF();
    auto* card = main->findChild<PictureControl*>("card_19");
    const CardImages drawn(dpr, CardColours::TwoColour, scale);
    QCOMPARE(card->picture().toImage(), drawn.picture(main->game().slotValue(19)).toImage());
    QVERIFY(qAbs(card->picture().deviceIndependentSize().width() - card->width()) <= 1);
    for (const char* name : {"Image1", "button_start", "image_logo", "image_stockend", "button_namedone"}) {
        auto* picture = main->findChild<PictureControl*>(name);
        QVERIFY2(qAbs(picture->picture().deviceIndependentSize().width() - picture->width()) <= 1, name);
        QVERIFY2(qAbs(picture->picture().deviceIndependentSize().height() - picture->height()) <= 1, name);
    }
}

void BoardScalingTest::everyFreeCardIsPlayedByAClickAtEveryScale()
{
    action("ScaleBoardtoWindow1")->trigger();
    for (const QSize& client : {QSize(771, 500), QSize(1200, 760), QSize(1900, 1100), QSize(2540, 1386)}) {
        setClientSize(client);
        main->dealDeck(testing::clearableDeck());
        for (int slot : testing::kClearingOrder) {
            // Where a player would click: the middle of the card's lower half,
            // which no other card covers once it is free.
            auto* card = main->findChild<PictureControl*>(QString("card_%1").arg(slot));
            const QPoint inWindow = card->mapTo(main, QPoint(card->width() / 2, card->height() * 3 / 4));
            QWidget* hit = main->childAt(inWindow);
            QVERIFY2(hit == card, qPrintable(QString("slot %1 at %2x%3").arg(slot).arg(client.width()).arg(client.height())));
            QTest::mouseClick(hit, Qt::LeftButton, {}, hit->mapFrom(main, inWindow));
            QCOMPARE(main->game().slotValue(slot), 0);
        }
        QVERIFY(widget("panel_cleared")->isVisible());
    }
}

void BoardScalingTest::fourColourDeckRedrawsTheCardsOnTheBoard()
{
    main->dealDeck(testing::makeDeck({}));
    auto* card = main->findChild<PictureControl*>("card_19");
    const QImage twoColour = card->picture().toImage();
    action("FourColourDeck1")->trigger();
    const int value = main->game().slotValue(19);
    QCOMPARE(card->picture().toImage(), cardPicture(value, main->devicePixelRatioF(), CardColours::FourColour).toImage());
    QVERIFY(card->picture().toImage() != twoColour);
    // Scaled as well: four colours at the shown size.
    action("ScaleBoardtoWindow1")->trigger();
    setClientSize(QSize(1149, 800));
    QCOMPARE(card->picture().toImage(),
             CardImages(main->devicePixelRatioF(), CardColours::FourColour, 1.5).picture(value).toImage());
    action("FourColourDeck1")->trigger();
    action("ScaleBoardtoWindow1")->trigger();
    QCOMPARE(card->picture().toImage(), twoColour);
}

QTEST_MAIN(BoardScalingTest)
#include "boardscaling_test.moc"
