// Time the high-score view spends on the UI thread for a page: the page handed
// over, laid out and painted, as the window does when a list arrives. The peer
// is the reference server's own page with its 100 best scores; every other
// page (the hostile ones from the network, and the worst that stays within
// the page bound) prints its time and its ratio to the peer.
//
//   htmlpage_bench [--runs N]
#include "server/scorepage.h"
#include "ui/htmlview.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QPixmap>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

namespace {

using namespace kestrova;

std::string repeat(const std::string& piece, std::size_t times)
{
    std::string out;
    out.reserve(piece.size() * times);
    for (std::size_t i = 0; i < times; ++i)
        out += piece;
    return out;
}

std::string nested(const std::string& open, const std::string& close, std::size_t bytes)
{
    const std::size_t levels = bytes / (open.size() + close.size());
    return repeat(open, levels) + "x" + repeat(close, levels);
}

std::string serverPage()
{
    std::vector<server::ScoreEntry> entries;
    for (int i = 0; i < 100; ++i)
        entries.push_back({"Player " + std::to_string(i), "12/6/26", 5000 - i * 37});
    return server::renderScorePage(entries, {"http://localhost/counter/kestrova.shtml", "", ""});
}

// Milliseconds from the page's hand-over to its painted frame: the median of `runs`.
double shownInMs(const std::string& page, int runs)
{
    std::vector<double> times;
    for (int run = 0; run < runs; ++run) {
        THtmlView view;
        view.resize(479, 505);
        view.show();
        const QString html = QString::fromStdString(page);
        QElapsedTimer clock;
        clock.start();
        view.LoadFromString(html);
        const QPixmap painted = view.grab();   // lays out what shows and paints it
        times.push_back(static_cast<double>(clock.nsecsElapsed()) / 1e6);
        Q_UNUSED(painted);
    }
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", qgetenv("QT_QPA_PLATFORM").isEmpty() ? "offscreen" : qgetenv("QT_QPA_PLATFORM"));
    QApplication app(argc, argv);
    int runs = 5;
    for (int i = 1; i + 1 < argc; ++i)
        if (std::strcmp(argv[i], "--runs") == 0)
            runs = std::max(1, std::atoi(argv[i + 1]));

    const std::string peer = serverPage();
    const std::string table = "<table><tr><td>";
    const std::string endTable = "</td></tr></table>";
    // Within the bound: tables in tables, as many cells as the bound keeps.
    const std::string inner = "<td><table><tr>" + repeat("<td>cell text</td>", 20) + "</tr></table></td>";
    const std::string widest = "<table>" + repeat("<tr>" + repeat(inner, 5) + "</tr>", 20) + "</table>";
    const std::vector<std::pair<const char*, std::string>> pages = {
        {"tables 30 deep (1 KB)", repeat(table, 30) + "x" + repeat(endTable, 30)},
        {"tables 2000 deep (30 KB)", repeat(table, 2000) + "x"},
        {"divs (600 KB)", nested("<div>", "</div>", 600 * 1024)},
        {"ul (650 KB)", nested("<ul><li>", "</li></ul>", 650 * 1024)},
        {"blockquote (400 KB)", nested("<blockquote>", "</blockquote>", 400 * 1024)},
        {"font (160 KB)", nested("<font size=+1>", "</font>", 160 * 1024)},
        {"a flat table of 3000 cells", "<table>" + repeat("<tr><td>1</td><td>name</td></tr>", 1500) + "</table>"},
        {"tables in tables, 2100 cells", widest},
        {"tables in tables, 250 KB of words",
         repeat("<table><tr><td><table><tr>" + repeat("<td>" + repeat("word ", 200) + "</td>", 4) +
                    "</tr></table></td></tr></table>", 60)},
        {"one 900 KB word", "<p>" + std::string(900 * 1024, 'w') + "</p>"},
        {"3000 paragraphs", repeat("<p>" + std::string(80, 'p') + " words words</p>", 3000)},
        {"3000 fonts of 8 faces", [] {
             std::string page;
             for (int i = 0; i < 3000; ++i)
                 page += "<font face=\"Face" + std::to_string(i % 8) + "\" size=\"" + std::to_string(i % 7 + 1) +
                         "\">f</font>";
             return page;
         }()},
    };

    const double peerMs = shownInMs(peer, runs);
    std::printf("%-34s %10s %8s\n", "page", "ms", "x peer");
    std::printf("%-34s %10.1f %8.2f\n", "peer: the server's 100 best", peerMs, 1.0);
    for (const auto& [name, page] : pages) {
        const double ms = shownInMs(page, runs);
        std::printf("%-34s %10.1f %8.2f\n", name, ms, ms / peerMs);
    }
    return 0;
}
