// Grows the board with the window: while on, the board with every control on
// it (cards, labels, buttons, panels, name boxes) is laid out at the largest
// scale that fits the client area, centred, its fonts scaled alike and its
// drawn pictures drawn again at the shown size. Off, every control is back at
// the place, size and font it was made with, the board at the top-left corner.
#pragma once

#include <QFont>
#include <QObject>
#include <QPointer>
#include <QRect>
#include <QTimer>

#include <vector>

class QWidget;

namespace kestrova {

class BoardScaler : public QObject {
    Q_OBJECT
public:
    // `board` is a child of `area`, at its top-left corner.
    BoardScaler(QWidget* area, QWidget* board);

    bool isEnabled() const { return enabled_; }
    // Lays the board out at once, its pictures drawn for the new scale.
    void setEnabled(bool enabled);
    qreal scale() const { return scale_; }
    // The scale the pictures are drawn at. While the window is being resized
    // it may lag behind the layout: drawing a large board takes a good part
    // of a second, so pictures are drawn again only once the size has rested.
    qreal pictureScale() const { return pictureScale_; }

    // The scale that fits a board of `boardSize` into `area`, never below 1.
    static qreal fittingScale(const QSize& area, const QSize& boardSize);
    // Scales a rectangle by its edges, so that neighbours that touch keep touching.
    static QRect scaled(const QRect& rect, qreal scale);

signals:
    // After the board has been laid out at a new scale.
    void laidOut(qreal scale);
    // After the drawn pictures on the board have been drawn at a new scale;
    // cards shown from bitmaps are for the window to draw again.
    void picturesScaled(qreal scale);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    struct Base {
        QPointer<QWidget> widget;
        QRect geometry;
        QFont font;
        bool ownFont;       // set on the widget, not inherited
        bool sizedToText;   // a label that fits itself to its text
    };
    void recordBase();
    void layOut();
    void apply(qreal scale, const QPoint& origin);
    void drawPictures();

    QWidget* area_;
    QWidget* board_;
    bool enabled_ = false;
    qreal scale_ = 1.0;
    qreal pictureScale_ = 1.0;
    QTimer restTimer_;   // runs while the size has not yet rested
    QFont inheritedFont_;   // the board's font at scale 1, from its window
    std::vector<Base> base_;
};

} // namespace kestrova
