// The HTML display: it shows only the text it is given, hands on link
// targets as the page wrote them, and gives pages without colours its own.

#include "ui/htmlview.h"

#include <QDir>
#include <QImage>
#include <QTemporaryDir>
#include <QTextBlock>
#include <QtTest>

using namespace kestrova;

namespace {

const QColor kBlueViolet(64, 36, 174);

// The colour of the first fragment whose text contains `text`.
QColor colourOf(const QTextDocument* document, const QString& text)
{
    for (QTextBlock block = document->begin(); block.isValid(); block = block.next())
        for (auto it = block.begin(); !it.atEnd(); ++it)
            if (it.fragment().text().contains(text))
                return it.fragment().charFormat().foreground().color();
    return {};
}

// Where a click lands on the link with this target, in viewport coordinates.
QPoint pointOnLink(const THtmlView& view, const QString& href)
{
    const QTextDocument* document = view.document();
    for (QTextBlock block = document->begin(); block.isValid(); block = block.next())
        for (auto it = block.begin(); !it.atEnd(); ++it)
            if (it.fragment().charFormat().anchorHref() == href) {
                QTextCursor cursor(const_cast<QTextDocument*>(document));
                cursor.setPosition(it.fragment().position() + it.fragment().length() / 2);
                return view.cursorRect(cursor).center();
            }
    return {-1, -1};
}

int countPixels(const QImage& image, const QColor& colour)
{
    int count = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            count += image.pixelColor(x, y) == colour ? 1 : 0;
    return count;
}

} // namespace

class HtmlViewTest : public QObject {
    Q_OBJECT

private slots:
    void nothingIsLoadedFromTheDiskOrTheNetwork();
    void linksArriveAsWrittenAndTurnSilverOnceVisited();
    void pagesWithoutColoursGetTheDefaultsAndPagesWithColoursKeepTheirs();
    void theBorderShowsOnlyWithTheFocus();
};

void HtmlViewTest::nothingIsLoadedFromTheDiskOrTheNetwork()
{
    QTemporaryDir folder;
    QImage green(40, 40, QImage::Format_RGB32);
    green.fill(Qt::green);
    QVERIFY(green.save(folder.filePath("relative.png")));
    QFile sheet(folder.filePath("style.css"));
    QVERIFY(sheet.open(QIODevice::WriteOnly));
    sheet.write("body { background-color: #00ff00; }");
    sheet.close();
    const QString previous = QDir::currentPath();
    QDir::setCurrent(folder.path());

    const QString page = QStringLiteral(
                             "<html><head><link rel=\"stylesheet\" href=\"style.css\"></head><body>"
                             "<img src=\"relative.png\"><img src=\"%1\"><img src=\"http://127.0.0.1:9/x.png\">"
                             "</body></html>")
                             .arg(QUrl::fromLocalFile(folder.filePath("relative.png")).toString());
    THtmlView view;
    view.resize(300, 200);
    view.LoadFromString(page);
    const int shownByUs = countPixels(view.grab().toImage(), Qt::green);

    // The same page in a plain browser does show the file, so the check can see it.
    QTextBrowser plain;
    plain.resize(300, 200);
    plain.setHtml(page);
    const int shownByPlain = countPixels(plain.grab().toImage(), Qt::green);

    QDir::setCurrent(previous);
    QCOMPARE(shownByUs, 0);
    QVERIFY(shownByPlain > 1000);
}

void HtmlViewTest::linksArriveAsWrittenAndTurnSilverOnceVisited()
{
    const QStringList targets{"www.example.com", "list page.html", "http://x/?a=1&b=2", "HTTP://X/%41",
                              "mailto:a@b.org", "#top", "javascript:alert(1)"};
    QString page = "<p>";
    for (const QString& target : targets)
        page += QStringLiteral("<a href=\"%1\">link %2</a><br>").arg(target.toHtmlEscaped()).arg(targets.indexOf(target));
    THtmlView view;
    view.resize(400, 300);
    view.LoadFromString(page + "</p>");
    view.show();
    QVERIFY(QTest::qWaitForWindowExposed(&view));

    QStringList clicked;
    connect(&view, &THtmlView::OnHotSpotClick, this, [&](const QString& target) { clicked << target; });
    for (const QString& target : targets) {
        const QPoint point = pointOnLink(view, target);
        QVERIFY2(point.x() >= 0, qPrintable(target));
        QTest::mouseClick(view.viewport(), Qt::LeftButton, {}, point);
    }
    QCOMPARE(clicked, targets);

    const QColor silver(192, 192, 192);
    QCOMPARE(colourOf(view.document(), "link 0"), silver);
    QVERIFY(view.isVisited("list page.html"));
    view.LoadFromString("<a href=\"www.example.com\">seen</a> <a href=\"elsewhere\">new</a>");
    QCOMPARE(colourOf(view.document(), "seen"), silver);
    QCOMPARE(colourOf(view.document(), "new"), QColor(Qt::red));
}

void HtmlViewTest::pagesWithoutColoursGetTheDefaultsAndPagesWithColoursKeepTheirs()
{
    THtmlView view;
    view.resize(300, 200);
    view.LoadFromString("<html><body><p>Plain text</p><p><a href=\"x\">a link</a></p><pre>code</pre></body></html>");
    QCOMPARE(colourOf(view.document(), "Plain text"), QColor(Qt::white));
    QCOMPARE(colourOf(view.document(), "a link"), QColor(Qt::red));
    QCOMPARE(view.document()->defaultFont().family(), QString("Times New Roman"));
    QTextCursor inPre(view.document()->find("code"));
    QVERIFY(inPre.charFormat().fontFamilies().toStringList().contains("Arial"));
    const QImage shown = view.grab().toImage();
    QCOMPARE(shown.pixelColor(shown.width() / 2, shown.height() - 5), kBlueViolet);
    QCOMPARE(view.horizontalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);

    view.LoadFromString("<html><body bgcolor=\"#000000\"><p><font color=\"#00ff00\">Green text</font></p>"
                        "<p><a href=\"y\" style=\"color: #0000ff\">blue link</a></p></body></html>");
    QCOMPARE(colourOf(view.document(), "Green text"), QColor(Qt::green));
    QCOMPARE(colourOf(view.document(), "blue link"), QColor(Qt::blue));
    const QImage dark = view.grab().toImage();
    QCOMPARE(dark.pixelColor(dark.width() / 2, dark.height() - 5), QColor(Qt::black));
}

void HtmlViewTest::theBorderShowsOnlyWithTheFocus()
{
    THtmlView view;
    view.resize(200, 100);
    view.LoadFromString("<p>text</p>");
    QCOMPARE(view.grab().toImage().pixelColor(0, 50), kBlueViolet);
    QFocusEvent focusIn(QEvent::FocusIn, Qt::TabFocusReason);
    QApplication::sendEvent(&view, &focusIn);
    QCOMPARE(view.grab().toImage().pixelColor(0, 50), THtmlView::focusBorderColor());
    QFocusEvent focusOut(QEvent::FocusOut, Qt::TabFocusReason);
    QApplication::sendEvent(&view, &focusOut);
    QCOMPARE(view.grab().toImage().pixelColor(0, 50), kBlueViolet);
}

QTEST_MAIN(HtmlViewTest)
#include "htmlview_test.moc"
