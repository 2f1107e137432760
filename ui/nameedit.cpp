#include "ui/nameedit.h"

#include <algorithm>

namespace kestrova {

NameEdit::NameEdit(int typingLimit, QWidget* parent) : QLineEdit(parent), typingLimit_(typingLimit)
{
    setMaxLength(typingLimit_);
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

} // namespace kestrova
