// The tiled background, the flat panel and the caption button, judged by the
// pixels they paint and the clicks they report.

#include "ui/flatpanel.h"
#include "ui/lbbackground.h"
#include "ui/selbutton.h"

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

// Caption buttons in colours that tell every part apart, on a shown window so
// that the mouse can reach them.
const QColor kFace(Qt::blue);
const QColor kOverFace(Qt::green);
const QColor kBorder(Qt::white);
const QColor kCaption(Qt::red);
const QColor kOverCaption(Qt::yellow);

class ButtonWindow : public QWidget {
public:
    TSelButton* add(const QString& caption, Qt::Alignment alignment = Qt::AlignLeft)
    {
        auto* button = new TSelButton(this);
        button->setCaption(caption);
        button->setGeometry(10, 10 + 30 * int(findChildren<TSelButton*>().size() - 1), 90, 24);
        button->setColor(kFace);
        button->setColorOver(kOverFace);
        button->setColorDown(kOverFace);
        button->setColorBorder(kBorder);
        button->setFontColor(kCaption);
        button->setColorOverCaption(kOverCaption);
        button->setAlignment(alignment);
        QFont font = button->font();
        font.setPixelSize(14);
        font.setStyleStrategy(QFont::NoAntialias);
        button->setFont(font);
        button->show();
        return button;
    }
};

void enter(TSelButton* button)
{
    QEnterEvent event(QPointF(5, 5), QPointF(5, 5), button->mapToGlobal(QPointF(5, 5)));
    QCoreApplication::sendEvent(button, &event);
}

void leave(TSelButton* button)
{
    QEvent event(QEvent::Leave);
    QCoreApplication::sendEvent(button, &event);
}

// The pixels of the given colour, as points.
QList<QPoint> pixelsOf(TSelButton* button, const QColor& color)
{
    const QImage image = button->grab().toImage();
    QList<QPoint> points;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (image.pixelColor(x, y) == color)
                points << QPoint(x, y);
    return points;
}

QRect boundsOf(const QList<QPoint>& points)
{
    QRect bounds;
    for (const QPoint& point : points)
        bounds |= QRect(point, QSize(1, 1));
    return bounds;
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
    void selButtonLooksFollowTheMouse();
    void selButtonCaptionPlacesForEachAlignment();
    void selButtonClicksOnlyOnACompletedPress();
    void disabledSelButtonIgnoresTheMouse();
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

void LookComponentsTest::selButtonLooksFollowTheMouse()
{
    ButtonWindow window;
    TSelButton* button = window.add("b");
    button->setBorderWidth(3);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    const int right = button->width() - 1;
    const int bottom = button->height() - 1;

    // Normal: three nested frame lines, the face inside them.
    for (int line = 0; line < 3; ++line) {
        QCOMPARE(pixel(*button, line, 12), kBorder);
        QCOMPARE(pixel(*button, right - line, 12), kBorder);
        QCOMPARE(pixel(*button, 40, line), kBorder);
        QCOMPARE(pixel(*button, 40, bottom - line), kBorder);
    }
    QCOMPARE(pixel(*button, 3, 12), kFace);
    QVERIFY(!pixelsOf(button, kCaption).isEmpty());

    enter(button);
    QCOMPARE(pixel(*button, 3, 12), kOverFace);
    QVERIFY(pixelsOf(button, kCaption).isEmpty());
    QVERIFY(!pixelsOf(button, kOverCaption).isEmpty());

    // Pressed, the caption keeps the colour it had under the mouse.
    QTest::mousePress(button, Qt::LeftButton, {}, QPoint(40, 12));
    QVERIFY(!pixelsOf(button, kOverCaption).isEmpty());
    QTest::mouseRelease(button, Qt::LeftButton, {}, QPoint(40, 12));
    QCOMPARE(pixel(*button, 3, 12), kOverFace);   // released over the button

    leave(button);
    QCOMPARE(pixel(*button, 3, 12), kFace);
    QVERIFY(!pixelsOf(button, kCaption).isEmpty());

    // Pressed without having entered first, the caption keeps its own colour.
    QTest::mousePress(button, Qt::LeftButton, {}, QPoint(40, 12));
    QCOMPARE(pixel(*button, 3, 12), kOverFace);
    QVERIFY(!pixelsOf(button, kCaption).isEmpty());
    QTest::mouseRelease(button, Qt::LeftButton, {}, QPoint(40, 12));
}

void LookComponentsTest::selButtonCaptionPlacesForEachAlignment()
{
    ButtonWindow window;
    TSelButton* left = window.add("II", Qt::AlignLeft);
    TSelButton* centre = window.add("II", Qt::AlignHCenter);
    TSelButton* right = window.add("II", Qt::AlignRight);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));

    const QRect leftInk = boundsOf(pixelsOf(left, kCaption));
    const QRect centreInk = boundsOf(pixelsOf(centre, kCaption));
    const QRect rightInk = boundsOf(pixelsOf(right, kCaption));
    // The ink sits within a side bearing of where each alignment puts the text.
    QVERIFY2(leftInk.left() >= 5 && leftInk.left() <= 8, qPrintable(QString::number(leftInk.left())));
    QVERIFY(qAbs(centreInk.center().x() - centre->width() / 2) <= 2);
    QVERIFY2(rightInk.right() <= right->width() - 7 && rightInk.right() >= right->width() - 10,
             qPrintable(QString::number(rightInk.right())));
    QVERIFY(qAbs(leftInk.center().y() - left->height() / 2) <= 3);

    // Pressed, the caption moves one pixel down, and right, except that a
    // right-aligned one moves left.
    const std::pair<TSelButton*, int> shifts[] = {{left, 1}, {centre, 1}, {right, -1}};
    for (const auto& [button, dx] : shifts) {
        enter(button);
        QList<QPoint> over = pixelsOf(button, kOverCaption);
        QTest::mousePress(button, Qt::LeftButton, {}, QPoint(2, 2));
        const QList<QPoint> down = pixelsOf(button, kOverCaption);
        QTest::mouseRelease(button, Qt::LeftButton, {}, QPoint(2, 2));
        QVERIFY(!over.isEmpty());
        for (QPoint& point : over)
            point += QPoint(dx, 1);
        QCOMPARE(down, over);
    }
}

void LookComponentsTest::selButtonClicksOnlyOnACompletedPress()
{
    ButtonWindow window;
    TSelButton* button = window.add("b");
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QSignalSpy clicks(button, &TSelButton::clicked);

    QTest::mouseClick(button, Qt::LeftButton, {}, QPoint(40, 12));
    QCOMPARE(clicks.count(), 1);
    QTest::mouseClick(button, Qt::RightButton, {}, QPoint(40, 12));
    QCOMPARE(clicks.count(), 1);

    // Pressed, then dragged off and released elsewhere: no click, and the
    // button no longer looks pressed once the mouse has left it.
    QTest::mousePress(button, Qt::LeftButton, {}, QPoint(40, 12));
    QTest::mouseMove(button, QPoint(140, 12));
    QCOMPARE(pixel(*button, 3, 12), kFace);
    QTest::mouseRelease(button, Qt::LeftButton, {}, QPoint(140, 12));
    QCOMPARE(clicks.count(), 1);
    QCOMPARE(pixel(*button, 3, 12), kFace);

    // A release with no press on the button is no click either.
    QTest::mouseRelease(button, Qt::LeftButton, {}, QPoint(40, 12));
    QCOMPARE(clicks.count(), 1);
}

void LookComponentsTest::disabledSelButtonIgnoresTheMouse()
{
    ButtonWindow window;
    TSelButton* button = window.add("b");
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    button->setEnabled(false);
    QSignalSpy clicks(button, &TSelButton::clicked);
    QSignalSpy entered(button, &TSelButton::mouseEntered);
    QSignalSpy pressed(button, &TSelButton::mousePressed);

    enter(button);
    QCOMPARE(pixel(*button, 3, 12), kFace);
    QTest::mousePress(button, Qt::LeftButton, {}, QPoint(40, 12));
    QCOMPARE(pixel(*button, 3, 12), kFace);
    QTest::mouseRelease(button, Qt::LeftButton, {}, QPoint(40, 12));
    QCOMPARE(clicks.count(), 0);
    QCOMPARE(entered.count(), 0);
    QCOMPARE(pressed.count(), 0);

    // Disabled while held down, it drops the press: enabled again, the
    // release is no click.
    button->setEnabled(true);
    QTest::mousePress(button, Qt::LeftButton, {}, QPoint(40, 12));
    button->setEnabled(false);
    QCOMPARE(pixel(*button, 3, 12), kFace);
    button->setEnabled(true);
    QTest::mouseRelease(button, Qt::LeftButton, {}, QPoint(40, 12));
    QCOMPARE(clicks.count(), 0);
}

QTEST_MAIN(LookComponentsTest)
#include "lookcomponents_test.moc"
