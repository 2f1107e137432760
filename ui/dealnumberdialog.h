// Asks which deal to play by its number: a decimal from 0 to 4294967295, with
// blanks around it allowed. Anything else keeps the dialog open and says what
// it takes.
#pragma once

#include <QDialog>

#include <cstdint>
#include <optional>

class QLabel;
class QLineEdit;

namespace kestrova {

class DealNumberDialog : public QDialog {
    Q_OBJECT
public:
    // `current` is offered as the text to start from.
    explicit DealNumberDialog(std::optional<std::uint32_t> current, QWidget* parent = nullptr);

    // Shows the dialog and waits for it: the number chosen, none when cancelled.
    static std::optional<std::uint32_t> ask(std::optional<std::uint32_t> current, QWidget* parent);

    // The number a text stands for, none when it stands for no deal.
    static std::optional<std::uint32_t> parse(const QString& text);

    // The accepted number; none before OK has taken one.
    std::optional<std::uint32_t> number() const { return number_; }

    void accept() override;

private:
    QLineEdit* edit_;
    QLabel* message_;
    std::optional<std::uint32_t> number_;
};

} // namespace kestrova
