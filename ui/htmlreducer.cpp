#include "ui/htmlreducer.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <optional>
#include <utility>
#include <vector>

namespace kestrova::html {

namespace {

enum Kind : std::uint8_t {
    Normal,
    Void,          // never has content: <br>, <hr>
    StyleSheet,    // raw text, kept when small and free of markup
    Skipped,       // raw text, left out with its content: scripts and the like
    TableElement,
    Cell,          // td, th
    Row,
    Section,       // thead, tbody, tfoot
    List,          // ul, ol, dl
    ListItem,      // li
    DefinitionItem,   // dt, dd
    Paragraph,
    Block,         // closes an open paragraph, as in HTML
};

struct Element {
    std::string_view name;
    Kind kind;
};

// The allow-list. Anything not here loses its tag and keeps its text, except
// the Skipped ones, whose content goes too.
constexpr std::array kElements = {
    Element{"a", Normal},        Element{"address", Block},  Element{"b", Normal},
    Element{"big", Normal},      Element{"blockquote", Block}, Element{"body", Normal},
    Element{"br", Void},         Element{"caption", Normal}, Element{"center", Block},
    Element{"cite", Normal},     Element{"code", Normal},    Element{"dd", DefinitionItem},
    Element{"dfn", Normal},      Element{"div", Block},      Element{"dl", List},
    Element{"dt", DefinitionItem}, Element{"em", Normal},    Element{"font", Normal},
    Element{"h1", Block},        Element{"h2", Block},       Element{"h3", Block},
    Element{"h4", Block},        Element{"h5", Block},       Element{"h6", Block},
    Element{"head", Normal},     Element{"hr", Void},        Element{"html", Normal},
    Element{"i", Normal},        Element{"kbd", Normal},     Element{"li", ListItem},
    Element{"nobr", Normal},     Element{"ol", List},        Element{"p", Paragraph},
    Element{"pre", Block},       Element{"q", Normal},       Element{"s", Normal},
    Element{"samp", Normal},     Element{"small", Normal},   Element{"span", Normal},
    Element{"strike", Normal},   Element{"strong", Normal},  Element{"style", StyleSheet},
    Element{"sub", Normal},      Element{"sup", Normal},     Element{"table", TableElement},
    Element{"tbody", Section},   Element{"td", Cell},        Element{"tfoot", Section},
    Element{"th", Cell},         Element{"thead", Section},  Element{"tr", Row},
    Element{"tt", Normal},       Element{"u", Normal},       Element{"ul", List},
    Element{"var", Normal},
    // Content that is code, a frame or an edit, never text to show.
    Element{"iframe", Skipped},  Element{"noembed", Skipped}, Element{"noframes", Skipped},
    Element{"noscript", Skipped}, Element{"plaintext", Skipped}, Element{"script", Skipped},
    Element{"template", Skipped}, Element{"textarea", Skipped}, Element{"title", Skipped},
    Element{"xmp", Skipped},     Element{"object", Skipped}, Element{"svg", Skipped},
    Element{"math", Skipped},    Element{"select", Skipped},
};

enum class Value : std::uint8_t {
    Text,      // any text, escaped
    Link,      // an address, longer allowed
    Span,      // a count of cells: 1 to 100
    Length,    // pixels or a percentage: up to 4 digits and an optional %
    Face,      // a font family list, counted against maxFontFaces
    Style,     // declarations, of which only plain colours, weights and sizes stay
};

struct Attribute {
    std::string_view name;
    Value value;
};

constexpr std::array kAttributes = {
    Attribute{"align", Value::Text},     Attribute{"alink", Value::Text},    Attribute{"bgcolor", Value::Text},
    Attribute{"border", Value::Length},  Attribute{"cellpadding", Value::Length},
    Attribute{"cellspacing", Value::Length}, Attribute{"class", Value::Text}, Attribute{"color", Value::Text},
    Attribute{"colspan", Value::Span},   Attribute{"dir", Value::Text},      Attribute{"face", Value::Face},
    Attribute{"height", Value::Length},  Attribute{"href", Value::Link},     Attribute{"link", Value::Text},
    Attribute{"name", Value::Text},      Attribute{"nowrap", Value::Text},   Attribute{"rowspan", Value::Span},
    Attribute{"size", Value::Text},      Attribute{"start", Value::Length},  Attribute{"style", Value::Style},  Attribute{"text", Value::Text},
    Attribute{"type", Value::Text},      Attribute{"valign", Value::Text},   Attribute{"vlink", Value::Text},
    Attribute{"width", Value::Length},
};

// The longest escaped attribute value kept; a link may be longer than the rest.
constexpr std::size_t kMaxValue = 128;
constexpr std::size_t kMaxLinkValue = 2048;
// Open elements remembered for matching end tags; a deeper page only counts them.
constexpr std::size_t kMaxStack = 1024;
// An end tag looks this far up for its element; beyond, it is a stray.
constexpr std::size_t kMatchReach = 24;
// An entity name or number longer than this is not one.
constexpr std::size_t kMaxEntity = 32;

char lower(char c)
{
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

bool isSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f';
}

bool isAsciiLetter(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

bool isHexDigit(char c)
{
    return isDigit(c) || (lower(c) >= 'a' && lower(c) <= 'f');
}

bool equalsLower(std::string_view text, std::string_view lowerName)
{
    if (text.size() != lowerName.size())
        return false;
    for (std::size_t i = 0; i < text.size(); ++i)
        if (lower(text[i]) != lowerName[i])
            return false;
    return true;
}

int elementIndex(std::string_view name)
{
    for (std::size_t i = 0; i < kElements.size(); ++i)
        if (equalsLower(name, kElements[i].name))
            return static_cast<int>(i);
    return -1;
}

int attributeIndex(std::string_view name)
{
    for (std::size_t i = 0; i < kAttributes.size(); ++i)
        if (equalsLower(name, kAttributes[i].name))
            return static_cast<int>(i);
    return -1;
}

// The length of a well-formed character reference at `text` (which starts
// with "&"), or 0. Numbers must name a character that a document may hold.
std::size_t entityLength(std::string_view text)
{
    std::size_t at = 1;
    if (at < text.size() && text[at] == '#') {
        ++at;
        const bool hex = at < text.size() && lower(text[at]) == 'x';
        if (hex)
            ++at;
        const std::size_t digitsFrom = at;
        std::uint32_t value = 0;
        while (at < text.size() && (hex ? isHexDigit(text[at]) : isDigit(text[at])) && at - digitsFrom < 8) {
            const char c = lower(text[at]);
            value = value * (hex ? 16 : 10) + static_cast<std::uint32_t>(isDigit(c) ? c - '0' : c - 'a' + 10);
            ++at;
        }
        if (at == digitsFrom || at >= text.size() || text[at] != ';')
            return 0;
        if (value == 0 || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF))
            return 0;
        return at + 1;
    }
    const std::size_t nameFrom = at;
    while (at < text.size() && (isAsciiLetter(text[at]) || isDigit(text[at])) && at - nameFrom < kMaxEntity)
        ++at;
    if (at == nameFrom || !isAsciiLetter(text[nameFrom]) || at >= text.size() || text[at] != ';')
        return 0;
    return at + 1;
}

// Text as the document should read it: a bare "&" or "<" (and, in an
// attribute, a quote) written as a reference, a NUL left out, the rest as is.
void appendEscaped(std::string& out, std::string_view text, bool inAttribute)
{
    std::size_t at = 0;
    while (at < text.size()) {
        const char c = text[at];
        if (c == '&') {
            const std::size_t length = entityLength(text.substr(at));
            if (length > 0) {
                out.append(text.substr(at, length));
                at += length;
                continue;
            }
            out += "&amp;";
        } else if (c == '<') {
            out += "&lt;";
        } else if (c == '>') {
            out += "&gt;";
        } else if (c == '"' && inAttribute) {
            out += "&quot;";
        } else if (c != '\0') {
            out += c;
        }
        ++at;
    }
}

std::string_view trimmed(std::string_view text)
{
    while (!text.empty() && isSpace(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && isSpace(text.back()))
        text.remove_suffix(1);
    return text;
}

// The declarations of a style attribute that only colour, weigh, size or
// align the text, written again as "name: value; name: value". Anything that
// names a font, a picture or an address, or that the rest can't read plainly,
// is left out.
std::string plainStyle(std::string_view style)
{
    static constexpr std::array kProperties = {
        std::string_view("background-color"), std::string_view("color"),       std::string_view("font-size"),
        std::string_view("font-style"),       std::string_view("font-weight"), std::string_view("text-align"),
        std::string_view("text-decoration"),  std::string_view("vertical-align"),
    };
    std::string out;
    while (!style.empty()) {
        const std::size_t end = std::min(style.find(';'), style.size());
        const std::string_view declaration = style.substr(0, end);
        style.remove_prefix(std::min(end + 1, style.size()));
        const std::size_t colon = declaration.find(':');
        if (colon == std::string_view::npos)
            continue;
        const std::string_view property = trimmed(declaration.substr(0, colon));
        const std::string_view value = trimmed(declaration.substr(colon + 1));
        const bool known = std::any_of(kProperties.begin(), kProperties.end(),
                                       [&](std::string_view name) { return equalsLower(property, name); });
        const bool plain = !value.empty() && value.size() <= 32 && std::all_of(value.begin(), value.end(), [](char c) {
            return isAsciiLetter(c) || isDigit(c) || c == '#' || c == '%' || c == '.' || c == ',' || c == '-' ||
                   c == ' ' || c == '(' || c == ')';
        });
        if (!known || !plain)
            continue;
        if (!out.empty())
            out += "; ";
        for (const char c : property)
            out += lower(c);
        out += ": ";
        out += value;
    }
    return out;
}

bool isSpanValue(std::string_view value)
{
    if (value.empty() || value.size() > 3)
        return false;
    int number = 0;
    for (const char c : value) {
        if (!isDigit(c))
            return false;
        number = number * 10 + (c - '0');
    }
    return number >= 1 && number <= 100;
}

bool isLengthValue(std::string_view value)
{
    if (!value.empty() && value.back() == '%')
        value.remove_suffix(1);
    if (value.empty() || value.size() > 4)
        return false;
    return std::all_of(value.begin(), value.end(), isDigit);
}

class Reducer {
public:
    Reducer(std::string_view page, const ReduceLimits& limits) : in_(page), limits_(limits)
    {
        out_.reserve(std::min(page.size() + 64, limits.maxOutput + 1024));
    }

    std::string run()
    {
        while (at_ < in_.size() && !stopped_) {
            const std::size_t open = in_.find('<', at_);
            const std::size_t textEnd = open == std::string_view::npos ? in_.size() : open;
            if (textEnd > at_)
                text(in_.substr(at_, textEnd - at_));
            at_ = textEnd;
            if (at_ < in_.size() && !stopped_)
                markup();
        }
        closeDownTo(0);
        return std::move(out_);
    }

private:
    struct Open {
        std::uint8_t element;
        bool kept;
    };

    void markup()
    {
        const std::string_view rest = in_.substr(at_);
        if (rest.size() >= 2 && rest[1] == '/') {
            if (rest.size() >= 3 && isAsciiLetter(rest[2]))
                return endTag();
            return skipPast(">");
        }
        if (rest.size() >= 2 && isAsciiLetter(rest[1]))
            return startTag();
        if (rest.substr(0, 4) == "<!--")
            return skipPast("-->", 4);
        if (rest.size() >= 2 && (rest[1] == '!' || rest[1] == '?'))
            return skipPast(">");
        // A "<" that starts no markup is text.
        text(rest.substr(0, 1));
        ++at_;
    }

    // Leaves out everything up to and including `end`; an unended one takes the rest.
    void skipPast(std::string_view end, std::size_t from = 1)
    {
        const std::size_t found = in_.find(end, at_ + from);
        at_ = found == std::string_view::npos ? in_.size() : found + end.size();
    }

    std::string_view name(std::size_t& at) const
    {
        const std::size_t from = at;
        while (at < in_.size() && !isSpace(in_[at]) && in_[at] != '/' && in_[at] != '>')
            ++at;
        return in_.substr(from, at - from);
    }

    struct ParsedAttribute {
        std::string_view name;
        std::string_view value;
    };

    // Reads the attributes up to the tag's ">", handing each to `take`. False
    // when the page ends inside the tag, which then counts for nothing.
    template <typename Take>
    bool attributes(std::size_t& at, Take take) const
    {
        for (;;) {
            while (at < in_.size() && (isSpace(in_[at]) || in_[at] == '/'))
                ++at;
            if (at >= in_.size())
                return false;
            if (in_[at] == '>') {
                ++at;
                return true;
            }
            const std::size_t nameFrom = at++;   // a first "=" belongs to the name
            while (at < in_.size() && !isSpace(in_[at]) && in_[at] != '/' && in_[at] != '>' && in_[at] != '=')
                ++at;
            ParsedAttribute attribute{in_.substr(nameFrom, at - nameFrom), {}};
            std::size_t look = at;
            while (look < in_.size() && isSpace(in_[look]))
                ++look;
            if (look < in_.size() && in_[look] == '=') {
                at = look + 1;
                while (at < in_.size() && isSpace(in_[at]))
                    ++at;
                if (at >= in_.size())
                    return false;
                if (in_[at] == '"' || in_[at] == '\'') {
                    const std::size_t close = in_.find(in_[at], at + 1);
                    if (close == std::string_view::npos)
                        return false;
                    attribute.value = in_.substr(at + 1, close - at - 1);
                    at = close + 1;
                } else {
                    const std::size_t from = at;
                    while (at < in_.size() && !isSpace(in_[at]) && in_[at] != '>')
                        ++at;
                    attribute.value = in_.substr(from, at - from);
                }
            }
            take(attribute);
        }
    }

    void startTag()
    {
        std::size_t at = at_ + 1;
        const std::string_view tagName = name(at);
        const int index = elementIndex(tagName);
        // The first of each known name, as HTML reads a repeated one, in the page's order.
        std::array<bool, kAttributes.size()> seen{};
        std::vector<std::pair<std::size_t, std::string_view>> values;
        const bool complete = attributes(at, [&](const ParsedAttribute& attribute) {
            const int known = index >= 0 ? attributeIndex(attribute.name) : -1;
            if (known >= 0 && !seen[static_cast<std::size_t>(known)]) {
                seen[static_cast<std::size_t>(known)] = true;
                values.emplace_back(static_cast<std::size_t>(known), attribute.value);
            }
        });
        if (!complete) {
            at_ = in_.size();
            return;
        }
        at_ = at;
        if (index < 0)
            return;
        const Element& element = kElements[static_cast<std::size_t>(index)];
        switch (element.kind) {
        case Skipped: return skipRawText(element.name, false);
        case StyleSheet: return skipRawText(element.name, true);
        default: break;
        }
        closeImplied(element.kind);
        const bool void_ = element.kind == Void;
        if (!void_ && stack_.size() >= kMaxStack) {
            ++overflow_;
            return;
        }
        // Below an element that was left out, everything is left out, so that
        // what is kept nests the same way when it is read again.
        const bool fits = parentKept() && keptDepth_ + levelsNeeded(element.kind) <= limits_.maxDepth &&
                          (element.kind != TableElement || tableDepth_ < limits_.maxTableDepth);
        bool kept = false;
        if (fits) {
            std::string written;
            for (const auto& [known, value] : values)
                attributeInto(written, kAttributes[known], value);
            // A cell of a table inside a table is laid out over and over as the
            // outer one finds its widths: it counts three times.
            const int cellCost = element.kind != Cell ? 0 : tableDepth_ > 1 ? 3 : 1;
            if (keptElements_ >= limits_.maxElements || keptCells_ + cellCost > limits_.maxCells ||
                !room(element.name.size() + written.size() + 2)) {
                stopped_ = true;
                return;
            }
            keptCells_ += cellCost;
            out_ += '<';
            out_ += element.name;
            out_ += written;
            out_ += '>';
            ++keptElements_;
            kept = true;
        }
        if (void_)
            return;
        stack_.push_back({static_cast<std::uint8_t>(index), kept});
        if (kept) {
            ++keptDepth_;
            if (element.kind == TableElement)
                ++tableDepth_;
        }
    }

    // A table is kept only where a cell fits inside it, and a list only where
    // an item does: text straight inside either is lost by the view.
    static int levelsNeeded(Kind kind)
    {
        switch (kind) {
        case TableElement:
        case Section: return 3;
        case Row:
        case List: return 2;
        default: return 1;
        }
    }

    bool parentKept() const { return overflow_ == 0 && (stack_.empty() || stack_.back().kept); }

    void attributeInto(std::string& written, const Attribute& known, std::string_view raw)
    {
        switch (known.value) {
        case Value::Span:
            if (!isSpanValue(raw))
                return;
            break;
        case Value::Length:
            if (!isLengthValue(raw))
                return;
            break;
        default: break;
        }
        std::string value;
        if (known.value == Value::Style) {
            value = plainStyle(raw);
            if (value.empty())
                return;
        } else {
            appendEscaped(value, raw, true);
        }
        if (value.size() > (known.value == Value::Link ? kMaxLinkValue : kMaxValue))
            return;
        if (known.value == Value::Face && !knownFace(value))
            return;
        written += ' ';
        written += known.name;
        written += "=\"";
        written += value;
        written += '"';
    }

    // Whether the face is one of the first maxFontFaces different ones.
    bool knownFace(const std::string& face)
    {
        if (std::find(faces_.begin(), faces_.end(), face) != faces_.end())
            return true;
        if (static_cast<int>(faces_.size()) >= limits_.maxFontFaces)
            return false;
        faces_.push_back(face);
        return true;
    }

    // Reads up to the element's end tag. A style sheet is kept when it fits
    // the budget and holds no "<", which could end it early in another reader.
    void skipRawText(std::string_view elementName, bool keep)
    {
        const std::size_t from = at_;
        std::size_t end = in_.size();
        std::size_t after = in_.size();
        for (std::size_t look = in_.find("</", from); look != std::string_view::npos; look = in_.find("</", look + 2)) {
            const std::size_t nameEnd = look + 2 + elementName.size();
            if (nameEnd <= in_.size() && equalsLower(in_.substr(look + 2, elementName.size()), elementName) &&
                (nameEnd == in_.size() || isSpace(in_[nameEnd]) || in_[nameEnd] == '>' || in_[nameEnd] == '/')) {
                end = look;
                const std::size_t close = in_.find('>', nameEnd);
                after = close == std::string_view::npos ? in_.size() : close + 1;
                break;
            }
        }
        at_ = after;
        const std::string_view sheet = in_.substr(from, end - from);
        if (!keep || sheet.find('<') != std::string_view::npos || sheet.find('\0') != std::string_view::npos ||
            styleBytes_ + sheet.size() > limits_.maxStyleSheet || !parentKept() ||
            keptDepth_ >= limits_.maxDepth)
            return;
        if (keptElements_ >= limits_.maxElements || !room(sheet.size() + 15)) {
            stopped_ = true;
            return;
        }
        styleBytes_ += sheet.size();
        ++keptElements_;
        out_ += "<style>";
        out_ += sheet;
        out_ += "</style>";
    }

    void endTag()
    {
        std::size_t at = at_ + 2;
        const std::string_view tagName = name(at);
        if (!attributes(at, [](const ParsedAttribute&) {})) {
            at_ = in_.size();
            return;
        }
        at_ = at;
        const int index = elementIndex(tagName);
        if (index < 0)
            return;
        if (overflow_ > 0) {
            --overflow_;
            return;
        }
        const std::size_t reach = std::min(stack_.size(), kMatchReach);
        for (std::size_t i = 0; i < reach; ++i) {
            const std::size_t position = stack_.size() - 1 - i;
            if (stack_[position].element == index) {
                closeDownTo(position);
                return;
            }
        }
    }

    // As HTML does: a cell ends the open cell of its row, a row the open row
    // of its table, a list item the open item of its list, and a block the
    // open paragraph. The search stops at the container that would hold them.
    void closeImplied(Kind kind)
    {
        switch (kind) {
        case Cell: return closeOpen({Cell}, {TableElement, Row});
        case Row: return closeOpen({Row}, {TableElement, Section});
        case Section: return closeOpen({Section}, {TableElement});
        case ListItem: return closeOpen({ListItem}, {List});
        case DefinitionItem: return closeOpen({DefinitionItem}, {List});
        case Paragraph:
        case Block:
        case List:
        case TableElement: return closeOpen({Paragraph}, {Cell, ListItem, DefinitionItem, Block, TableElement});
        default: return;
        }
    }

    void closeOpen(std::initializer_list<Kind> targets, std::initializer_list<Kind> boundaries)
    {
        const std::size_t reach = std::min(stack_.size(), kMatchReach);
        for (std::size_t i = 0; i < reach; ++i) {
            const std::size_t position = stack_.size() - 1 - i;
            const Kind kind = kElements[stack_[position].element].kind;
            if (std::find(targets.begin(), targets.end(), kind) != targets.end()) {
                closeDownTo(position);
                return;
            }
            if (std::find(boundaries.begin(), boundaries.end(), kind) != boundaries.end())
                return;
        }
    }

    // Closes the open elements from the top down to `position`, that one included.
    void closeDownTo(std::size_t position)
    {
        while (stack_.size() > position) {
            const Open top = stack_.back();
            stack_.pop_back();
            if (!top.kept)
                continue;
            const Element& element = kElements[top.element];
            out_ += "</";
            out_ += element.name;
            out_ += '>';
            --keptDepth_;
            if (element.kind == TableElement)
                --tableDepth_;
        }
    }

    void text(std::string_view text)
    {
        std::string escaped;
        appendEscaped(escaped, text, false);
        if (!room(escaped.size())) {
            stopped_ = true;
            return;
        }
        out_ += escaped;
    }

    // End tags are not counted: whatever was opened gets closed.
    bool room(std::size_t bytes) const { return out_.size() + bytes <= limits_.maxOutput; }

    std::string_view in_;
    const ReduceLimits limits_;
    std::size_t at_ = 0;
    std::string out_;
    std::vector<Open> stack_;
    std::size_t overflow_ = 0;
    int keptDepth_ = 0;
    int tableDepth_ = 0;
    int keptElements_ = 0;
    int keptCells_ = 0;
    std::size_t styleBytes_ = 0;
    std::vector<std::string> faces_;
    bool stopped_ = false;
};

} // namespace

std::string reducePage(std::string_view page, const ReduceLimits& limits)
{
    return Reducer(page, limits).run();
}

} // namespace kestrova::html
