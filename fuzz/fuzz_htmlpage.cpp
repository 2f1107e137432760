// Fuzz target: the bound on a high-score page from the network. Whatever the
// page, the result stays within the limits (nesting, element count, length),
// its tags are balanced, it holds no markup the allow-list leaves out, and
// reducing it again gives it back unchanged.
// Input: one byte choosing the limits (the real ones, or small ones that the
// fuzzer can reach), then the page.
#include "ui/htmlreducer.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

namespace {

using kestrova::html::ReduceLimits;
using kestrova::html::reducePage;

void check(bool condition)
{
    if (!condition)
        std::abort();
}

ReduceLimits limitsFor(std::uint8_t choice)
{
    ReduceLimits limits;
    if ((choice & 0x80) == 0)
        return limits;
    limits.maxDepth = 1 + (choice & 0x07);
    limits.maxTableDepth = 1 + ((choice >> 3) & 0x01);
    limits.maxElements = 1 + ((choice >> 4) & 0x07) * 3;
    limits.maxCells = 1 + ((choice >> 2) & 0x03);
    limits.maxOutput = 64 + (choice & 0x0f) * 40;
    limits.maxStyleSheet = 32;
    limits.maxFontFaces = 1 + (choice & 0x01);
    return limits;
}

bool isVoid(std::string_view name)
{
    return name == "br" || name == "hr";
}

// Walks the reduced page: every "<" opens a tag (text and values have theirs
// escaped), so counting is enough to check the nesting.
void checkShape(const std::string& page, const ReduceLimits& limits)
{
    int depth = 0;
    int tables = 0;
    int elements = 0;
    int cells = 0;
    for (std::size_t at = page.find('<'); at != std::string::npos; at = page.find('<', at + 1)) {
        const bool end = at + 1 < page.size() && page[at + 1] == '/';
        const std::size_t nameFrom = at + (end ? 2 : 1);
        std::size_t nameEnd = nameFrom;
        while (nameEnd < page.size() && page[nameEnd] >= 'a' && page[nameEnd] <= 'z')
            ++nameEnd;
        while (nameEnd < page.size() && page[nameEnd] >= '1' && page[nameEnd] <= '6')
            ++nameEnd;
        const std::string_view name(page.data() + nameFrom, nameEnd - nameFrom);
        check(!name.empty());
        check(name != "script" && name != "img" && name != "title" && name != "iframe");
        if (name == "style" && !end) {
            const std::size_t close = page.find("</style>", at);
            check(close != std::string::npos);
            at = close + 7;   // its sheet holds no "<"; its end tag is past
            ++elements;
            continue;
        }
        if (end) {
            --depth;
            tables -= name == "table";
            check(depth >= 0 && tables >= 0);
        } else {
            ++elements;
            cells += name == "td" || name == "th";
            if (!isVoid(name)) {
                ++depth;
                tables += name == "table";
            }
            check(depth <= limits.maxDepth && tables <= limits.maxTableDepth);
        }
    }
    check(depth == 0);
    check(elements <= limits.maxElements);
    check(cells <= limits.maxCells);
    // Only end tags may pass the length bound, and at most one per level.
    check(page.size() <= limits.maxOutput + static_cast<std::size_t>(limits.maxDepth) * 14);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size == 0)
        return 0;
    const ReduceLimits limits = limitsFor(data[0]);
    const std::string_view page(reinterpret_cast<const char*>(data + 1), size - 1);
    const std::string reduced = reducePage(page, limits);
    checkShape(reduced, limits);
    check(reducePage(reduced, limits) == reduced);
    return 0;
}
