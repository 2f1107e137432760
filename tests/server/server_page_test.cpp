// The list page: what a player can read in it, and that the game's display
// (Qt's rich text) shows it in the game's colours with working links.
#include "server/scorepage.h"
#include "support/guiapplicationenvironment.h"

#include <gtest/gtest.h>

#include <QTextBlock>
#include <QTextDocument>
#include <QTextFrame>
#include <QTextTable>

#include <string>
#include <vector>

namespace {

using namespace kestrova::server;

const PageLinks kLinks{"http://localhost/counter/kestrova.shtml", "http://localhost/kestrova/kessetup.exe", "1.0.2"};

class PageInQt : public testing::Test {
protected:
    // Every cell of the page's table as shown text, row by row.
    static std::vector<std::vector<QString>> cells(QTextDocument& document)
    {
        std::vector<std::vector<QString>> rows;
        for (QTextFrame* frame : document.rootFrame()->childFrames()) {
            auto* table = qobject_cast<QTextTable*>(frame);
            if (!table)
                continue;
            for (int r = 0; r < table->rows(); ++r) {
                rows.emplace_back();
                for (int c = 0; c < table->columns(); ++c) {
                    const QTextTableCell cell = table->cellAt(r, c);
                    QTextCursor cursor = cell.firstCursorPosition();
                    cursor.setPosition(cell.lastCursorPosition().position(), QTextCursor::KeepAnchor);
                    rows.back().push_back(cursor.selectedText());
                }
            }
        }
        return rows;
    }
};

TEST(ScorePage, EscapesEveryNameAndDate)
{
    EXPECT_EQ(htmlEscape(R"(<a href="x">Tom & 'Jo'</a>)"),
              "&lt;a href=&quot;x&quot;&gt;Tom &amp; &#39;Jo&#39;&lt;/a&gt;");
    const std::string page =
        renderScorePage({{"<script>alert(1)</script>", "<i>12/6/26</i>", 5}, {"\"onmouseover=x", "&amp;", 4}}, kLinks);
    EXPECT_EQ(page.find("<script>"), std::string::npos);
    EXPECT_EQ(page.find("<i>"), std::string::npos);
    EXPECT_NE(page.find("&lt;script&gt;alert(1)&lt;/script&gt;"), std::string::npos);
    EXPECT_NE(page.find("&quot;onmouseover=x"), std::string::npos);
    EXPECT_NE(page.find("&amp;amp;"), std::string::npos);
}

TEST_F(PageInQt, ShowsRankNameScoreAndDateInOrder)
{
    QTextDocument document;
    const std::string page = renderScorePage(
        {{"Ann & Bo", "12/6/26", 300}, {"Zo\xC3\xAB", "12.6.26", 120}, {"<i>x</i>", "1/2/27", -30}}, kLinks);
    document.setHtml(QString::fromStdString(page));
    const auto rows = cells(document);
    ASSERT_EQ(rows.size(), 4u);
    EXPECT_EQ(rows[0], (std::vector<QString>{"Rank", "Name", "Score", "Date"}));
    EXPECT_EQ(rows[1], (std::vector<QString>{"1", "Ann & Bo", "300", "12/6/26"}));
    EXPECT_EQ(rows[2], (std::vector<QString>{"2", QString::fromUtf8("Zo\xC3\xAB"), "120", "12.6.26"}));
    EXPECT_EQ(rows[3], (std::vector<QString>{"3", "<i>x</i>", "-30", "1/2/27"}));
}

TEST_F(PageInQt, AnEmptyListSaysSo)
{
    QTextDocument document;
    document.setHtml(QString::fromStdString(renderScorePage({}, kLinks)));
    EXPECT_TRUE(document.toPlainText().contains("No scores yet"));
}

TEST_F(PageInQt, ReadsInTheGamesColoursWithAbsoluteLinks)
{
    QTextDocument document;
    document.setHtml(QString::fromStdString(renderScorePage({{"Ann", "12/6/26", 10}}, kLinks)));
    EXPECT_EQ(document.rootFrame()->frameFormat().background().color(), QColor(64, 36, 174));

    QStringList links;
    bool sawWhiteText = false;
    for (QTextBlock block = document.begin(); block.isValid(); block = block.next()) {
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            const QTextCharFormat format = it.fragment().charFormat();
            if (format.isAnchor()) {
                links << format.anchorHref();
                EXPECT_EQ(format.foreground().color(), QColor(Qt::red)) << it.fragment().text().toStdString();
            } else if (it.fragment().text() == "Ann") {
                sawWhiteText = format.foreground().color() == QColor(Qt::white);
                EXPECT_TRUE(format.fontFamilies().toStringList().contains("Times New Roman"));
            }
        }
    }
    EXPECT_TRUE(sawWhiteText);
    EXPECT_EQ(links, (QStringList{"http://localhost/kestrova/kessetup.exe", "http://localhost/counter/kestrova.shtml"}));

    PageLinks withoutInstaller = kLinks;
    withoutInstaller.installerUrl.clear();
    document.setHtml(QString::fromStdString(renderScorePage({}, withoutInstaller)));
    EXPECT_FALSE(document.toPlainText().contains("Download"));
}

} // namespace
