#include "ui/textlabels.h"

namespace kestrova {

QFont houseFont(int pixelSize, bool bold)
{
    QFont font;
    // Liberation Sans keeps the widths the layout was measured in where the
    // original face is missing; DejaVu Sans runs wider and would clip captions.
    font.setFamilies({QStringLiteral("MS Sans Serif"), QStringLiteral("Liberation Sans"), QStringLiteral("Arial"),
                      QStringLiteral("DejaVu Sans")});
    font.setStyleHint(QFont::SansSerif);
    font.setPixelSize(pixelSize);
    font.setBold(bold);
    return font;
}

QLabel* makeLabel(QWidget* parent, const QString& objectName, const QPoint& position,
                  const QFont& font, const QColor& color, const QString& text)
{
    auto* label = new QLabel(parent);
    label->setObjectName(objectName);
    label->setFont(font);
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, color);
    label->setPalette(palette);
    label->move(position);
    setAutoSizedText(label, text);
    return label;
}

void setAutoSizedText(QLabel* label, const QString& text)
{
    label->setText(text);
    label->adjustSize();
}

void ShadowTitle::setText(const QString& title) const
{
    shadow->setText(title);
    text->setText(title);
}

ShadowTitle makeShadowTitle(QWidget* parent, const QString& shadowName, const QString& textName,
                            const QPoint& shadowAt, const QPoint& textAt, const QSize& size,
                            int pixelSize, const QString& text)
{
    const QFont font = houseFont(pixelSize, true);
    ShadowTitle title{makeLabel(parent, shadowName, shadowAt, font, kShadowGrey),
                      makeLabel(parent, textName, textAt, font, Qt::white)};
    for (QLabel* label : {title.shadow, title.text}) {
        label->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
        label->resize(size);
    }
    title.setText(text);
    return title;
}

} // namespace kestrova
