// The help and about windows as a player meets them: sections chosen with the
// side buttons, the about window over the help window, the credits, and the
// links that open the maker's site (caught before any browser starts).

#include "app/mainform.h"
#include "game/random.h"
#include "platform/shellopen.h"
#include "support/clickcontrol.h"
#include "support/recordingsoundsink.h"
#include "ui/aboutform.h"
#include "ui/artwork.h"
#include "ui/helpform.h"
#include "ui/helptexts.h"
#include "ui/selbutton.h"

#include <QDate>
#include <QLabel>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTextEdit>
#include <QtTest>

using namespace kestrova;

namespace {

void click(QWidget* window, const QString& buttonName)
{
    auto* button = window->findChild<TSelButton*>(buttonName);
    QVERIFY2(button, qPrintable(buttonName));
    QTest::mouseClick(button, Qt::LeftButton, {}, button->rect().center());
}

// The box a player sees: the one on top in the middle of the text panel.
QTextEdit* frontMemo(Thelp& help)
{
    auto* panel = help.findChild<QWidget*>("panel_main");
    QWidget* widget = panel->childAt(panel->rect().center());
    while (widget && !qobject_cast<QTextEdit*>(widget))
        widget = widget->parentWidget();
    return qobject_cast<QTextEdit*>(widget);
}

QString heading(QTextEdit* memo)
{
    return memo ? memo->toPlainText().section(u'\n', 0, 0) : QString();
}

QString caption(Thelp& help)
{
    return help.findChild<QLabel*>("label_caption")->text();
}

QString text(QWidget* window, const char* label)
{
    return window->findChild<QLabel*>(label)->text();
}

// Labels and buttons that share a parent never overlap, and each lies inside it.
void expectNoOverlaps(QWidget* window)
{
    QList<QWidget*> controls;
    for (QLabel* label : window->findChildren<QLabel*>())
        controls << label;
    for (TSelButton* button : window->findChildren<TSelButton*>())
        controls << button;
    for (QWidget* control : controls) {
        QVERIFY2(control->parentWidget()->rect().contains(control->geometry()), qPrintable(control->objectName()));
        for (QWidget* other : controls)
            if (other != control && other->parentWidget() == control->parentWidget())
                QVERIFY2(!control->geometry().intersects(other->geometry()),
                         qPrintable(control->objectName() + " overlaps " + other->objectName()));
    }
}

} // namespace

class HelpAboutTest : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void helpOpensOnOverviewAndEachButtonBringsItsBox();
    void reopenedHelpKeepsTheLastSection();
    void aboutOpensInFrontOfHelpAndBothStayOpen();
    void creditsShowTheCurrentYearAndNothingOverlaps();
    void aboutLinkAndLogoHandTheAddressToTheOpener();

private:
    QPixmap tile = backgroundTile(1.0);
    QStringList opened;
};

void HelpAboutTest::init()
{
    opened.clear();
    setShellOpener([this](const QString& target) {
        opened << target;
        return true;
    });
}

void HelpAboutTest::cleanup()
{
    setShellOpener({});
}

void HelpAboutTest::helpOpensOnOverviewAndEachButtonBringsItsBox()
{
    Thelp help(tile);
    help.show();
    QVERIFY(QTest::qWaitForWindowExposed(&help));
    QCOMPARE(heading(frontMemo(help)), QString("Overview"));
    QCOMPARE(caption(help), QString("Overview"));
    QVERIFY(frontMemo(help)->toPlainText().trimmed().endsWith("Thanks for checking it out!"));

    const struct {
        const char* button;
        const char* memo;
        const char* heading;
    } sections[] = {{"SelButton3", "memo3", "Game Play"},
                    {"SelButton4", "memo4", "Scoring"},
                    {"SelButton5", "memo5", "History"},
                    {"SelButton6", "memo6", "License Agreement"},
                    {"SelButton1", "memo1", "Overview"}};
    for (const auto& section : sections) {
        click(&help, section.button);
        QTextEdit* memo = frontMemo(help);
        QVERIFY(memo);
        QCOMPARE(memo->objectName(), QString(section.memo));
        QCOMPARE(heading(memo), QString(section.heading));
        QCOMPARE(caption(help), help.findChild<TSelButton*>(section.button)->caption());
        QVERIFY(memo->isReadOnly());
    }

    // The strip names the button, not the box.
    click(&help, "SelButton5");
    QCOMPARE(caption(help), QString("Documentation"));
    QCOMPARE(heading(frontMemo(help)), QString("History"));

    // A larger window gives the text the room; the side panel keeps its width.
    help.resize(700, 500);
    QCOMPARE(frontMemo(help)->geometry(), QRect(1, 20, 700 - 137 - 2, 500 - 20 - 1));
    QCOMPARE(help.findChild<QWidget*>("panel_side")->size(), QSize(137, 500));
}

void HelpAboutTest::reopenedHelpKeepsTheLastSection()
{
    Thelp help(tile);
    help.show();
    QVERIFY(QTest::qWaitForWindowExposed(&help));
    click(&help, "SelButton4");
    click(&help, "button_done");
    QVERIFY(!help.isVisible());
    help.show();
    QVERIFY(QTest::qWaitForWindowExposed(&help));
    QCOMPARE(heading(frontMemo(help)), QString("Scoring"));
    QCOMPARE(caption(help), QString("Scoring"));
}

void HelpAboutTest::aboutOpensInFrontOfHelpAndBothStayOpen()
{
    Thelp help(tile);
    Tabout about(tile, "example.org");
    help.setAboutWindow(&about);
    help.show();
    QVERIFY(QTest::qWaitForWindowActive(&help));
    click(&help, "button_about");
    QVERIFY(QTest::qWaitForWindowActive(&about));
    QVERIFY(help.isVisible());
    QCOMPARE(QApplication::activeWindow(), &about);

    click(&about, "button_done");
    QVERIFY(!about.isVisible());
    QVERIFY(help.isVisible());
}

void HelpAboutTest::creditsShowTheCurrentYearAndNothingOverlaps()
{
    Thelp help(tile);
    Tabout about(tile, "example.org");
    const QString year = QString::number(QDate::currentDate().year());
    QCOMPARE(text(&help, "label_year"), year);
    QCOMPARE(text(&about, "label_year"), year);

    // The credits start in the year of the first release in the history.
    const QString firstRelease = QRegularExpression(R"(^1\.0\.0\.1 - .*(\d{4})$)", QRegularExpression::MultilineOption)
                                     .match(helpSectionText(HelpSection::History))
                                     .captured(1);
    QVERIFY(!firstRelease.isEmpty());
    QVERIFY(text(&help, "Label3").contains(firstRelease));
    QVERIFY(text(&about, "Label3").contains(firstRelease));

    // The update check compares this label's text with the server's version.
    QCOMPARE(about.version(), QString("1.0.2"));

    expectNoOverlaps(&help);
    expectNoOverlaps(&about);
}

void HelpAboutTest::aboutLinkAndLogoHandTheAddressToTheOpener()
{
    Tabout about(tile, "scores.example.org");
    about.show();
    QVERIFY(QTest::qWaitForWindowExposed(&about));
    auto* link = about.findChild<QLabel*>("Label7");
    QCOMPARE(link->text(), QString("http://scores.example.org"));

    QTest::mouseClick(link, Qt::LeftButton, {}, link->rect().center());
    QCOMPARE(opened, QStringList{"http://scores.example.org"});

    // Pressed on the link but released off it: nothing opens.
    QTest::mousePress(link, Qt::LeftButton, {}, link->rect().center());
    QTest::mouseRelease(link, Qt::LeftButton, {}, link->rect().bottomRight() + QPoint(5, 5));
    QCOMPARE(opened.size(), 1);

    // No host, no address: nothing shown, nothing opened.
    Tabout nowhere(tile, QString());
    nowhere.Label7Click();
    QCOMPARE(nowhere.findChild<QLabel*>("Label7")->text(), QString());
    QCOMPARE(opened.size(), 1);

    QTemporaryDir dataDir;
    qputenv("KESTROVA_DATA_DIR", dataDir.path().toLocal8Bit());
    Random random;
    RecordingSoundSink sounds;
    Tmain main(random, sounds);
    main.show();
    QVERIFY(QTest::qWaitForWindowExposed(&main));
    main.setSecondaryWindows(nullptr, &about, nullptr, nullptr);
    QVERIFY(kestrova::testing::clickControl(&main, "image_logo"));
    QCOMPARE(opened, (QStringList{"http://scores.example.org", "http://scores.example.org"}));

    // Without an about window the logo opens nothing.
    QWidget notAbout;
    main.setSecondaryWindows(nullptr, &notAbout, nullptr, nullptr);
    QVERIFY(kestrova::testing::clickControl(&main, "image_logo"));
    QCOMPARE(opened.size(), 2);
    main.setSecondaryWindows(nullptr, nullptr, nullptr, nullptr);
}

QTEST_MAIN(HelpAboutTest)
#include "helpabout_test.moc"
