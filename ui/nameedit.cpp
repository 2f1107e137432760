#include "ui/nameedit.h"

#include <QKeyEvent>
#include <QValidator>

#include <algorithm>

namespace kestrova {

namespace {

// The UTF-8 length of the character at `at`: 4 for a pair of UTF-16 halves
// (which then takes two places), 3 for a lone half (written as U+FFFD).
int utf8Width(const QString& text, qsizetype at)
{
    const char16_t c = text[at].unicode();
    if (QChar::isHighSurrogate(c) && at + 1 < text.size() && QChar::isLowSurrogate(text[at + 1].unicode()))
        return 4;
    return c < 0x80 ? 1 : c < 0x800 ? 2 : 3;
}

qsizetype utf8Length(const QString& text)
{
    qsizetype bytes = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const int width = utf8Width(text, i);
        bytes += width;
        i += width == 4 ? 1 : 0;
    }
    return bytes;
}

// Accepts every text up to kMaxNameBytes, with its control characters and
// line separators turned into blanks in place; refuses an edit that would
// make the name longer (a paste of many wide characters, say).
class OneLineValidator : public QValidator {
public:
    using QValidator::QValidator;

    State validate(QString& input, int&) const override
    {
        for (QChar& c : input) {
            const QChar::Category category = c.category();
            if (category == QChar::Other_Control || category == QChar::Separator_Line
                || category == QChar::Separator_Paragraph)
                c = u' ';
        }
        return utf8Length(input) <= kMaxNameBytes ? Acceptable : Invalid;
    }
};

} // namespace

QString boundedName(const QString& name)
{
    qsizetype bytes = 0;
    for (qsizetype i = 0; i < name.size(); ++i) {
        const int width = utf8Width(name, i);
        if (bytes + width > kMaxNameBytes)
            return name.left(i);
        bytes += width;
        i += width == 4 ? 1 : 0;
    }
    return name;
}

NameEdit::NameEdit(int typingLimit, QWidget* parent) : QLineEdit(parent), typingLimit_(typingLimit)
{
    setMaxLength(typingLimit_);
    setValidator(new OneLineValidator(this));
    // Once the player shortens a long text, the limit follows it down.
    connect(this, &QLineEdit::textEdited, this, [this](const QString& text) { fitLimitTo(int(text.size())); });
}

void NameEdit::setText(const QString& text)
{
    const QString bounded = boundedName(text);
    fitLimitTo(int(bounded.size()));
    QLineEdit::setText(bounded);
}

void NameEdit::fitLimitTo(int length)
{
    setMaxLength(std::max(typingLimit_, length));
}

bool NameEdit::event(QEvent* event)
{
    // A line edit claims Ctrl+Z for its own undo before the window's short-cut
    // sees it; here the key belongs to the game.
    if (event->type() == QEvent::ShortcutOverride
        && static_cast<QKeyEvent*>(event)->matches(QKeySequence::Undo))
        return false;
    return QLineEdit::event(event);
}

} // namespace kestrova
