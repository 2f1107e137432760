// Bounds an HTML page from the network before the view lays it out. The view's
// layout time grows with nesting (it doubles with each level of nested tables)
// and with the number of elements, and it runs on the UI thread; so a page is
// read once, left to right, and written again with only what a list of scores
// needs: text, tables, fonts, colours, links and simple blocks, at most
// `maxDepth` elements deep and `maxElements` in all. The work is linear in the
// page's length, and the result reads back to itself: reducing it again
// changes nothing. Plain C++, so the fuzz target needs no Qt.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace kestrova::html {

struct ReduceLimits {
    // Elements nested deeper lose their tags; their text stays.
    int maxDepth = 12;
    // Tables inside tables, counted on their own: each level multiplies the layout's work.
    int maxTableDepth = 2;
    // Table cells cost the layout far more than other elements: the 100
    // best scores of the reference server take about 400. A cell of a
    // nested table counts three times.
    int maxCells = 600;
    // Once this many elements (or maxCells cells) are kept, the rest of the
    // page is left out.
    int maxElements = 3000;
    // The page stops where its text and tags would pass this many bytes.
    std::size_t maxOutput = 256 * 1024;
    // All style sheets together; a sheet that does not fit is left out whole.
    std::size_t maxStyleSheet = 4 * 1024;
    // A font face is a look-up in the system's fonts; beyond this many
    // different faces, the rest fall back to the page's default font.
    int maxFontFaces = 8;
};

// The page with every element outside the allow-list, every attribute outside
// it, scripts, comments and pictures left out, and what stays well formed:
// each kept element closed in order, each attribute quoted, each bare "<" or
// "&" of the text escaped. Bytes that are not markup pass unchanged, so UTF-8
// stays UTF-8.
std::string reducePage(std::string_view page, const ReduceLimits& limits = {});

} // namespace kestrova::html
