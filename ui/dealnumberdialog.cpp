#include "ui/dealnumberdialog.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>

#include <limits>

namespace kestrova {

DealNumberDialog::DealNumberDialog(std::optional<std::uint32_t> current, QWidget* parent)
    : QDialog(parent), edit_(new QLineEdit(this)), message_(new QLabel(this))
{
    setObjectName(QStringLiteral("dealnumber"));
    setWindowTitle(QStringLiteral("Kestrova - Select Deal"));
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
    auto* prompt = new QLabel(QStringLiteral("Deal number (0 to 4294967295):"), this);
    prompt->setBuddy(edit_);
    edit_->setObjectName(QStringLiteral("edit_dealnumber"));
    if (current)
        edit_->setText(QString::number(*current));
    edit_->selectAll();
    message_->setObjectName(QStringLiteral("label_dealmessage"));
    QPalette palette = message_->palette();
    palette.setColor(QPalette::WindowText, Qt::darkRed);
    message_->setPalette(palette);
    message_->hide();
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &DealNumberDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &DealNumberDialog::reject);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(prompt);
    layout->addWidget(edit_);
    layout->addWidget(message_);
    layout->addWidget(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);
}

std::optional<std::uint32_t> DealNumberDialog::ask(std::optional<std::uint32_t> current, QWidget* parent)
{
    DealNumberDialog dialog(current, parent);
    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    return dialog.number();
}

// Decimal digits only: no sign, no other base, no digits of other scripts.
std::optional<std::uint32_t> DealNumberDialog::parse(const QString& text)
{
    const QString digits = text.trimmed();
    if (digits.isEmpty())
        return std::nullopt;
    for (const QChar c : digits)
        if (c < u'0' || c > u'9')
            return std::nullopt;
    bool ok = false;
    const qulonglong value = digits.toULongLong(&ok, 10);
    if (!ok || value > std::numeric_limits<std::uint32_t>::max())
        return std::nullopt;
    return static_cast<std::uint32_t>(value);
}

void DealNumberDialog::accept()
{
    number_ = parse(edit_->text());
    if (!number_) {
        message_->setText(QStringLiteral("Please enter a deal number from 0 to 4294967295."));
        message_->show();
        edit_->setFocus(Qt::OtherFocusReason);
        edit_->selectAll();
        return;
    }
    QDialog::accept();
}

} // namespace kestrova
