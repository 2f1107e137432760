// TLbBackground: tiles a picture over a window's background, under whatever
// the window paints itself. It takes over the owner's paint event by filtering
// it, and hands it back when destroyed.
#pragma once

#include <QObject>
#include <QPixmap>

class QWidget;

namespace kestrova {

class TLbBackground : public QObject {
    Q_OBJECT
public:
    explicit TLbBackground(QWidget* owner);
    ~TLbBackground() override;

    const QPixmap& image() const { return image_; }
    void setImage(const QPixmap& image);

    bool isEnabled() const { return enabled_; }
    void setEnabled(bool enabled);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void paintTiles();

    QWidget* owner_;
    QPixmap image_;
    bool enabled_ = true;
};

} // namespace kestrova
