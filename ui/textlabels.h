// Labels in the house style: transparent, a given pixel size, and the
// shadowed titles of the overlay panels (a grey copy under a white one).
#pragma once

#include <QColor>
#include <QLabel>
#include <QString>

namespace kestrova {

inline const QColor kNavy{0, 0, 128};
inline const QColor kShadowGrey{128, 128, 128};

// The face every window uses; fontconfig maps it to a metric-alike sans.
QFont houseFont(int pixelSize, bool bold = false);

// A transparent label that sizes itself to its text, like a design label.
QLabel* makeLabel(QWidget* parent, const QString& objectName, const QPoint& position,
                  const QFont& font, const QColor& color, const QString& text = {});

// Sets the text and lets the label grow or shrink to it.
void setAutoSizedText(QLabel* label, const QString& text);

// A centred title drawn twice: grey at `shadowAt`, white at `textAt`.
struct ShadowTitle {
    QLabel* shadow;
    QLabel* text;
    void setText(const QString& text) const;
};
ShadowTitle makeShadowTitle(QWidget* parent, const QString& shadowName, const QString& textName,
                            const QPoint& shadowAt, const QPoint& textAt, const QSize& size,
                            int pixelSize, const QString& text);

} // namespace kestrova
