// A one-line edit for a player name whose length limit binds typing only:
// text the program puts in may be longer and stays whole, but typing can never
// make the text longer than the limit (or than it already is). Line breaks and
// other control characters, typed or pasted, become blanks: a name is one line
// wherever it is stored. The window's Ctrl+Z stays the game's undo.
#pragma once

#include <QLineEdit>

namespace kestrova {

class NameEdit : public QLineEdit {
    Q_OBJECT
public:
    NameEdit(int typingLimit, QWidget* parent = nullptr);

    // Sets the text whole, whatever its length. (QLineEdit::setText would cut
    // it to the current limit.)
    void setText(const QString& text);

protected:
    bool event(QEvent* event) override;

private:
    void fitLimitTo(int length);

    int typingLimit_;
};

} // namespace kestrova
