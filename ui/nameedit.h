// A one-line edit for a player name whose length limit binds typing only:
// text the program puts in may be longer and stays whole, but typing can never
// make the text longer than the limit (or than it already is).
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

private:
    void fitLimitTo(int length);

    int typingLimit_;
};

} // namespace kestrova
