// The keyboard's place on the board: a dashed yellow ring drawn around one
// control, over its neighbours, letting every click through to what lies
// beneath. The same ring marks a picture button reached by Tab.
#pragma once

#include <QPointer>
#include <QWidget>

class QPainter;

namespace kestrova {

class FocusRing : public QWidget {
    Q_OBJECT
public:
    explicit FocusRing(QWidget* board);

    // Stands around `target` (a child of the same board), a few pixels
    // outside it, the gap grown with the board's scale.
    void surround(QWidget* target, qreal scale);
    QWidget* target() const { return target_; }

    // Draws the ring along `ring`: a dark line under yellow dashes, so that it
    // shows on white cards and on the green board alike.
    // Its lines grow with `scale`.
    static void paint(QPainter& painter, const QRectF& ring, qreal scale = 1.0);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QPointer<QWidget> target_;
    qreal scale_ = 1.0;
};

} // namespace kestrova
