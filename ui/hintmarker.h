// The ring that shows which card or stock a hint points at. It lies on top of
// its target as a child of it, so it moves, hides and stacks with the target,
// and it lets every click through to the target.
#pragma once

#include <QPointer>
#include <QWidget>

namespace kestrova {

class HintMarker : public QWidget {
    Q_OBJECT
public:
    explicit HintMarker(QWidget* parent = nullptr);

    // Rings `target` and shows the ring.
    void showOn(QWidget* target);
    // Hides the ring; target() is then none.
    void withdraw();
    QWidget* target() const { return target_; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    QPointer<QWidget> target_;
};

} // namespace kestrova
