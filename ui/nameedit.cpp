#include "ui/nameedit.h"

#include <QKeyEvent>
#include <QValidator>

#include <algorithm>

namespace kestrova {

namespace {

// Accepts every text, with its control characters and line separators turned
// into blanks in place.
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
        return Acceptable;
    }
};

} // namespace

NameEdit::NameEdit(int typingLimit, QWidget* parent) : QLineEdit(parent), typingLimit_(typingLimit)
{
    setMaxLength(typingLimit_);
    setValidator(new OneLineValidator(this));
    // Once the player shortens a long text, the limit follows it down.
    connect(this, &QLineEdit::textEdited, this, [this](const QString& text) { fitLimitTo(int(text.size())); });
}

void NameEdit::setText(const QString& text)
{
    fitLimitTo(int(text.size()));
    QLineEdit::setText(text);
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
