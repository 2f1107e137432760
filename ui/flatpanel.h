// TFlatPanel: a panel with a one-pixel two-colour frame and a caption. In
// transparent mode it shows its parent's background, aligned with whatever the
// parent paints around it.
#pragma once

#include <QColor>
#include <QWidget>

namespace kestrova {

class TFlatPanel : public QWidget {
    Q_OBJECT
    Q_PROPERTY(QColor ColorHighLight READ colorHighLight WRITE setColorHighLight)
    Q_PROPERTY(QColor ColorShadow READ colorShadow WRITE setColorShadow)
    Q_PROPERTY(bool Transparent READ isTransparent WRITE setTransparent)
public:
    explicit TFlatPanel(QWidget* parent = nullptr);

    QColor colorHighLight() const { return colorHighLight_; }
    void setColorHighLight(const QColor& color);
    QColor colorShadow() const { return colorShadow_; }
    void setColorShadow(const QColor& color);
    // Both frame colours at once, as most panels use a single colour.
    void setFrameColor(const QColor& color);

    bool isTransparent() const { return transparent_; }
    void setTransparent(bool transparent);

    QColor color() const { return color_; }
    void setColor(const QColor& color);

    QString caption() const { return caption_; }
    void setCaption(const QString& caption);

    Qt::Alignment alignment() const { return alignment_; }
    void setAlignment(Qt::Alignment alignment);

protected:
    void paintEvent(QPaintEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void updateOpacity();
    void paintParentBackground(QPainter& painter, const QRect& area);
    void paintFrameAndCaption(QPainter& painter);

    QColor colorHighLight_{160, 150, 131};
    QColor colorShadow_{160, 150, 131};
    QColor color_;
    bool transparent_ = false;
    QString caption_;
    Qt::Alignment alignment_ = Qt::AlignHCenter;
};

} // namespace kestrova
