// Builds the list page. Colours are set both as HTML attributes and as CSS:
// the game's display reads the former most reliably, browsers the latter.
#include "server/scorepage.h"

namespace kestrova::server {

namespace {

// The game's list panel: background 11412544 (red 64, green 36, blue 174),
// white Times New Roman text, red links, silver visited links.
constexpr const char* kHead = R"(<!DOCTYPE html>
<html>
<head>
<meta http-equiv="Content-Type" content="text/html; charset=utf-8">
<meta name="viewport" content="width=device-width, initial-scale=1">
<title>Kestrova High Scores</title>
<style type="text/css">
body { background-color: #4024ae; color: #ffffff; font-family: "Times New Roman", Times, serif; }
.title { font-size: 20px; margin-bottom: 4px; }
table { margin-left: auto; margin-right: auto; }
th { font-weight: bold; border-bottom: 1px solid #ffffff; }
td, th { padding: 2px 8px; }
a:link { color: #ff0000; }
a:visited { color: #c0c0c0; }
a:hover, a:active { color: #ff0000; }
</style>
</head>
<body bgcolor="#4024ae" text="#ffffff" link="#ff0000" vlink="#c0c0c0" alink="#ff0000">
<p class="title" align="center"><b>Kestrova High Score List</b></p>
<table align="center" border="0" cellspacing="0" cellpadding="2">
<tr><th align="right">Rank</th><th align="left">Name</th><th align="right">Score</th><th align="left">Date</th></tr>
)";

} // namespace

std::string htmlEscape(std::string_view text)
{
    std::string escaped;
    escaped.reserve(text.size());
    for (const char c : text) {
        switch (c) {
        case '&': escaped += "&amp;"; break;
        case '<': escaped += "&lt;"; break;
        case '>': escaped += "&gt;"; break;
        case '"': escaped += "&quot;"; break;
        case '\'': escaped += "&#39;"; break;
        default: escaped += c;
        }
    }
    return escaped;
}

std::string renderScorePage(const std::vector<ScoreEntry>& entries, const PageLinks& links)
{
    std::string page = kHead;
    page.reserve(page.size() + entries.size() * 120 + 512);
    int rank = 0;
    for (const ScoreEntry& entry : entries) {
        page += "<tr><td align=\"right\">";
        page += std::to_string(++rank);
        page += "</td><td>";
        page += htmlEscape(entry.name);
        page += "</td><td align=\"right\">";
        page += std::to_string(entry.score);
        page += "</td><td>";
        page += htmlEscape(entry.date);
        page += "</td></tr>\n";
    }
    if (entries.empty())
        page += "<tr><td colspan=\"4\" align=\"center\">No scores yet: clear a board and send yours.</td></tr>\n";
    page += "</table>\n<p align=\"center\">";
    if (!links.installerUrl.empty()) {
        page += "<a href=\"" + htmlEscape(links.installerUrl) + "\">Download Kestrova " + htmlEscape(links.version) +
                "</a> &nbsp; ";
    }
    page += "<a href=\"" + htmlEscape(links.listUrl) + "\">Link to this list</a></p>\n</body>\n</html>\n";
    return page;
}

} // namespace kestrova::server
