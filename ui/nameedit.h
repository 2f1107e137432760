// A one-line edit for a player name whose length limit binds typing only:
// text the program puts in may be longer and stays whole, but typing can never
// make the text longer than the limit (or than it already is). Line breaks and
// other control characters, typed or pasted, become blanks: a name is one line
// wherever it is stored. Whatever its source, a name never passes
// kMaxNameBytes of UTF-8: the longest the score server takes. The window's
// Ctrl+Z stays the game's undo.
#pragma once

#include <QLineEdit>

namespace kestrova {

// The longest player name, in bytes of UTF-8, that the game keeps, stores and posts.
inline constexpr int kMaxNameBytes = 255;

// `name` cut to at most kMaxNameBytes of UTF-8, on a character boundary (a
// pair of UTF-16 halves stays whole).
QString boundedName(const QString& name);

class NameEdit : public QLineEdit {
    Q_OBJECT
public:
    NameEdit(int typingLimit, QWidget* parent = nullptr);

    // Sets the text whole, whatever its length up to kMaxNameBytes; a
    // longer one is cut (see boundedName). (QLineEdit::setText would cut it
    // to the current limit instead.)
    void setText(const QString& text);

protected:
    bool event(QEvent* event) override;

private:
    void fitLimitTo(int length);

    int typingLimit_;
};

} // namespace kestrova
