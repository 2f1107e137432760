// The tiled background and the flat panel, judged by the pixels they paint.

#include "ui/flatpanel.h"
#include "ui/lbbackground.h"

#include <QPainter>
#include <QtTest>

using namespace kestrova;

namespace {

// A 10 x 10 tile whose every pixel says where in the tile it is.
QPixmap numberedTile()
{
    QImage image(10, 10, QImage::Format_RGB32);
    for (int y = 0; y < 10; ++y)
        for (int x = 0; x < 10; ++x)
            image.setPixelColor(x, y, QColor(x * 20, y * 20, 100));
    return QPixmap::fromImage(image);
}

QColor tileAt(int x, int y)
{
    return QColor((x % 10) * 20, (y % 10) * 20, 100);
}

// An owner window with painting of its own: a black dot at (5, 5).
class Owner : public QWidget {
public:
    Owner()
    {
        QPalette palette = this->palette();
        palette.setColor(QPalette::Window, Qt::yellow);
        setPalette(palette);
        setAutoFillBackground(true);
        resize(60, 40);
    }

protected:
    void paintEvent(QPaintEvent*) override { QPainter(this).fillRect(5, 5, 1, 1, Qt::black); }
};

QColor pixel(QWidget& widget, int x, int y)
{
    return widget.grab().toImage().pixelColor(x, y);
}

} // namespace

class LookComponentsTest : public QObject {
    Q_OBJECT

private slots:
    void tilesCoverTheOwnerUnderItsOwnPainting();
    void noPictureOrDisabledPaintsOnlyTheOwner();
    void tilesStayPutWhenTheWindowGrows();
    void transparentPanelShowsTheTilesAligned();
    void opaquePanelFillsAndFrames();
};

void LookComponentsTest::tilesCoverTheOwnerUnderItsOwnPainting()
{
    Owner owner;
    TLbBackground background(&owner);
    background.setImage(numberedTile());
    QCOMPARE(pixel(owner, 0, 0), tileAt(0, 0));
    QCOMPARE(pixel(owner, 13, 27), tileAt(13, 27));
    QCOMPARE(pixel(owner, 59, 39), tileAt(59, 39));
    QCOMPARE(pixel(owner, 5, 5), QColor(Qt::black));   // the owner's own painting on top
}

void LookComponentsTest::noPictureOrDisabledPaintsOnlyTheOwner()
{
    Owner owner;
    auto* background = new TLbBackground(&owner);
    QCOMPARE(pixel(owner, 20, 20), QColor(Qt::yellow));
    background->setImage(numberedTile());
    background->setEnabled(false);
    QCOMPARE(pixel(owner, 20, 20), QColor(Qt::yellow));
    QCOMPARE(pixel(owner, 5, 5), QColor(Qt::black));
    background->setEnabled(true);
    QCOMPARE(pixel(owner, 20, 21), tileAt(20, 21));
    delete background;   // the owner paints as before
    QCOMPARE(pixel(owner, 20, 21), QColor(Qt::yellow));
}

void LookComponentsTest::tilesStayPutWhenTheWindowGrows()
{
    Owner owner;
    TLbBackground background(&owner);
    background.setImage(numberedTile());
    const QColor before = pixel(owner, 37, 23);
    owner.resize(200, 150);
    QCOMPARE(pixel(owner, 37, 23), before);
    QCOMPARE(pixel(owner, 199, 149), tileAt(199, 149));
}

void LookComponentsTest::transparentPanelShowsTheTilesAligned()
{
    Owner owner;
    TLbBackground background(&owner);
    background.setImage(numberedTile());
    auto* panel = new TFlatPanel(&owner);
    panel->setGeometry(13, 7, 30, 20);
    panel->setTransparent(true);
    panel->setColorHighLight(Qt::white);
    panel->setColorShadow(Qt::red);
    QCOMPARE(pixel(owner, 20, 15), tileAt(20, 15));
    QCOMPARE(pixel(owner, 41, 25), tileAt(41, 25));
    QCOMPARE(pixel(owner, 13, 7), QColor(Qt::white));    // top-left frame
    QCOMPARE(pixel(owner, 30, 7), QColor(Qt::white));    // top edge
    QCOMPARE(pixel(owner, 42, 26), QColor(Qt::red));     // bottom-right frame
    QCOMPARE(pixel(owner, 13, 26), QColor(Qt::red));     // bottom edge
}

void LookComponentsTest::opaquePanelFillsAndFrames()
{
    Owner owner;
    auto* panel = new TFlatPanel(&owner);
    panel->setGeometry(0, 0, 40, 30);
    panel->setColor(Qt::darkBlue);
    QCOMPARE(panel->colorHighLight(), QColor(160, 150, 131));
    QCOMPARE(pixel(owner, 0, 0), QColor(160, 150, 131));
    QCOMPARE(pixel(owner, 20, 15), QColor(Qt::darkBlue));

    // A disabled caption is drawn twice: a light copy one pixel down-right
    // under the dark one.
    QPalette palette = panel->palette();
    palette.setColor(QPalette::Light, Qt::green);
    palette.setColor(QPalette::Dark, Qt::magenta);
    panel->setPalette(palette);
    QFont font = panel->font();
    font.setPixelSize(24);
    font.setStyleStrategy(QFont::NoAntialias);
    panel->setFont(font);
    panel->setCaption("II");
    panel->setEnabled(false);
    const QImage image = panel->grab().toImage();
    bool light = false, dark = false;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) {
            light |= image.pixelColor(x, y) == QColor(Qt::green);
            dark |= image.pixelColor(x, y) == QColor(Qt::magenta);
        }
    QVERIFY(light && dark);
}

QTEST_MAIN(LookComponentsTest)
#include "lookcomponents_test.moc"
