// The bound on pages from the network: what a list of scores needs passes
// unchanged, hostile nesting and markup are cut down, and what comes out is
// well formed and reads back to itself.
#include "ui/htmlreducer.h"

#include <gtest/gtest.h>

#include <string>

namespace kestrova::html {
namespace {

std::string repeat(std::string_view piece, int times)
{
    std::string out;
    for (int i = 0; i < times; ++i)
        out += piece;
    return out;
}

// How deep the reduced page nests (its text and values hold no "<").
int deepest(const std::string& page, std::string_view element = {})
{
    int depth = 0;
    int most = 0;
    for (std::size_t at = page.find('<'); at != std::string::npos; at = page.find('<', at + 1)) {
        const bool end = page[at + 1] == '/';
        const std::size_t from = at + (end ? 2 : 1);
        const std::string name = page.substr(from, page.find_first_of(" >", from) - from);
        if (name == "br" || name == "hr" || (!element.empty() && name != element))
            continue;
        depth += end ? -1 : 1;
        most = std::max(most, depth);
    }
    EXPECT_EQ(depth, 0) << "unbalanced: " << page.substr(0, 300);
    return most;
}

TEST(HtmlReducer, AListPageOfTheScoreServerPassesAsWritten)
{
    const std::string page =
        "<html>\n<body bgcolor=\"#4024ae\" text=\"#ffffff\" link=\"#ff0000\" vlink=\"#c0c0c0\" alink=\"#ff0000\">\n"
        "<p align=\"center\" class=\"title\"><b>Kestrova High Score List</b></p>\n"
        "<table align=\"center\" border=\"0\" cellpadding=\"2\" cellspacing=\"0\">\n"
        "<tr><th align=\"right\">Rank</th><th align=\"left\">Name</th></tr>\n"
        "<tr><td align=\"right\">1</td><td>J\xc3\xbcrg &amp; &lt;Co&gt; &#39;x&#39;</td></tr>\n"
        "<tr><td colspan=\"4\" align=\"center\">No scores yet</td></tr>\n"
        "</table>\n<p align=\"center\"><a href=\"http://scores.test/counter/kestrova.shtml?a=1&amp;b=2\">"
        "Link</a> &nbsp; <font face=\"Arial\" size=\"2\" color=\"white\"><i>small</i></font></p>\n"
        "<ul><li>one</li><li>two</li></ul>\n</body>\n</html>\n";
    EXPECT_EQ(reducePage(page), page);
}

TEST(HtmlReducer, TheHeadKeepsItsStyleSheetAndLosesTheRest)
{
    EXPECT_EQ(reducePage("<head><meta charset=\"utf-8\"><title>Scores</title>"
                         "<style type=\"text/css\">td { color: red }</style></head>"),
              "<head><style>td { color: red }</style></head>");
    // A sheet with markup in it, or past its budget, goes whole.
    EXPECT_EQ(reducePage("<style>a{}</style><p>x</p><style>b{}</p></style>"), "<style>a{}</style><p>x</p>");
    ReduceLimits limits;
    limits.maxStyleSheet = 6;
    EXPECT_EQ(reducePage("<style>a{}</style><style>b{c:d}</style>", limits), "<style>a{}</style>");
}

TEST(HtmlReducer, NestingStopsAtTheBoundsAndTheTextStays)
{
    const std::string tables = repeat("<table><tr><td>", 30) + "deep" + repeat("</td></tr></table>", 30);
    const std::string reduced = reducePage(tables);
    EXPECT_EQ(deepest(reduced), 6);
    EXPECT_EQ(deepest(reduced, "table"), 2);
    EXPECT_NE(reduced.find("<td>deep</td>"), std::string::npos);
    const std::string flat = repeat("<div><table><tr><td>x", 8) + "deep";
    EXPECT_EQ(deepest(reducePage(flat, {.maxTableDepth = 3}), "table"), 3);

    // A list is opened only where an item fits in it.
    for (const auto& [element, kept] : {std::pair{"div", 12}, std::pair{"ul", 11}, std::pair{"blockquote", 12},
                                        std::pair{"font", 12}, std::pair{"b", 12}}) {
        SCOPED_TRACE(element);
        const std::string open = std::string("<") + element + ">";
        const std::string close = std::string("</") + element + ">";
        const std::string page = repeat(open, 20000) + "x" + repeat(close, 20000) + "<p>after</p>";
        const std::string out = reducePage(page);
        EXPECT_EQ(deepest(out), kept);
        // The end tags of the left-out elements close nothing kept: what
        // follows the nest is outside it again.
        EXPECT_EQ(out, repeat(open, kept) + "x" + repeat(close, kept) + "<p>after</p>");
    }

    // Never closed: all closed at the end, in order.
    EXPECT_EQ(reducePage("<div><b><i>x"), "<div><b><i>x</i></b></div>");
    // Where a table has no room for a cell, it goes with its rows, and its text stays.
    EXPECT_EQ(reducePage(repeat("<div>", 10) + "<table><tr><td>t</td></tr></table>" + repeat("</div>", 10)),
              repeat("<div>", 10) + "t" + repeat("</div>", 10));
}

TEST(HtmlReducer, ElementsAndLengthStopAtTheirBounds)
{
    ReduceLimits limits;
    limits.maxElements = 3;
    EXPECT_EQ(reducePage("<p>a</p><p>b</p><p>c</p><p>d</p>", limits), "<p>a</p><p>b</p><p>c</p>");

    limits = {};
    limits.maxCells = 3;
    EXPECT_EQ(reducePage("<table><tr><td>1<td>2</tr><tr><th>3<td>4</table><p>after</p>", limits),
              "<table><tr><td>1</td><td>2</td></tr><tr><th>3</th></tr></table>");

    limits = {};
    limits.maxOutput = 20;
    EXPECT_EQ(reducePage("<div>abcdef</div><div>ghijklmn</div>", limits), "<div>abcdef</div>");

    const std::string cells = "<table>" + repeat("<tr><td>1</td></tr>", 100000) + "</table>";
    const std::string out = reducePage(cells);
    EXPECT_LE(out.size(), ReduceLimits{}.maxOutput + 8);
    EXPECT_EQ(out.substr(out.size() - 8), "</table>");
}

TEST(HtmlReducer, ScriptsCommentsPicturesAndUnknownMarkupGo)
{
    EXPECT_EQ(reducePage("a<script>document.write('<table>')</script>b"), "ab");
    EXPECT_EQ(reducePage("a<SCRIPT>x</script >b<script>never ended"), "ab");
    EXPECT_EQ(reducePage("a<!-- <table> -->b<!doctype html>c<?xml x?>d</ >e"), "abcde");
    EXPECT_EQ(reducePage("<img src=\"data:image/png;base64,AAAA\" width=9999><form><input value=v>x</form>"), "x");
    EXPECT_EQ(reducePage("<p onclick=\"run()\" style=\"font-family: a\" ALIGN=right align=left>x</P>"),
              "<p align=\"right\">x</p>");
    EXPECT_EQ(reducePage("<a style=\"COLOR:#00f ;font-family:x; background:url(http://x/); font-weight: bold;"
                         "color: expression(&quot;x&quot;); margin: 9999px\">l</a>"),
              "<a style=\"color: #00f; font-weight: bold\">l</a>");
    EXPECT_EQ(reducePage("<title>t</title><textarea><b>u</b></textarea><blink>v</blink>"), "v");
}

TEST(HtmlReducer, AttributeValuesAreCheckedAndQuoted)
{
    EXPECT_EQ(reducePage("<td colspan=100 rowspan=101 width=50% height=12345 border=x>"),
              "<td colspan=\"100\" width=\"50%\"></td>");
    EXPECT_EQ(reducePage("<a href='x\"y<z>&q=1&amp;r'>l</a>"),
              "<a href=\"x&quot;y&lt;z&gt;&amp;q=1&amp;r\">l</a>");
    EXPECT_EQ(reducePage("<a href=" + std::string(3000, 'h') + ">l</a>"), "<a>l</a>");
    // Only the first few font faces are looked up; the rest fall back.
    std::string faces;
    for (int i = 0; i < 10; ++i)
        faces += "<font face=\"f" + std::to_string(i) + "\">" + std::to_string(i) + "</font>";
    const std::string out = reducePage(faces);
    EXPECT_NE(out.find("face=\"f7\""), std::string::npos);
    EXPECT_EQ(out.find("face=\"f8\""), std::string::npos);
    EXPECT_NE(out.find("<font>8</font>"), std::string::npos);
    // A tag cut off by the end of the page counts for nothing.
    EXPECT_EQ(reducePage("x<a href=\"y"), "x");
}

TEST(HtmlReducer, TextKeepsItsReferencesAndEscapesTheRest)
{
    EXPECT_EQ(reducePage("a & b < c > d &amp; &nbsp; &#65; &#x42; &#0; &#xD800; &bogus &x;"),
              "a &amp; b &lt; c &gt; d &amp; &nbsp; &#65; &#x42; &amp;#0; &amp;#xD800; &amp;bogus &x;");
    EXPECT_EQ(reducePage(std::string("a\0b\xff\xfe", 5)), "ab\xff\xfe");
}

TEST(HtmlReducer, MissingEndTagsAreImpliedAsInHtml)
{
    EXPECT_EQ(reducePage("<table><tr><td>1<td>2<tr><th>3</table>"),
              "<table><tr><td>1</td><td>2</td></tr><tr><th>3</th></tr></table>");
    EXPECT_EQ(reducePage("<ul><li>a<li>b<ul><li>c</ul><li>d</ul>"),
              "<ul><li>a</li><li>b<ul><li>c</li></ul></li><li>d</li></ul>");
    EXPECT_EQ(reducePage("<p>a<p>b<div>c</div>"), "<p>a</p><p>b</p><div>c</div>");
    EXPECT_EQ(reducePage("<dl><dt>t<dd>d<dt>u</dl>"), "<dl><dt>t</dt><dd>d</dd><dt>u</dt></dl>");
    // A cell's end tag does not reach out of a nested table.
    EXPECT_EQ(reducePage("<table><tr><td><table><tr><td>x</table>y</td></tr></table>"),
              "<table><tr><td><table><tr><td>x</td></tr></table>y</td></tr></table>");
}

TEST(HtmlReducer, WhatComesOutReadsBackToItself)
{
    const std::string pages[] = {
        repeat("<table><tr><td>", 40) + "x",
        repeat("<div><span>", 5000) + repeat("</b>", 50) + "y" + repeat("</div>", 100),
        "<p>a<table><tr><td>b<table><tr><td>c<p>d<li>e</table>f<style>g{}</style><hr><br></p>",
        repeat("<font face=a><font face=b><font face=c>", 10) + "<a href=\"&&amp;\">&&</a>",
    };
    for (const std::string& page : pages) {
        const std::string once = reducePage(page);
        EXPECT_EQ(reducePage(once), once);
    }
}

} // namespace
} // namespace kestrova::html
