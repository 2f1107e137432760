// A plain picture with a click: card slots, the stock, the discard pile and
// the picture buttons. It has no states of its own; cleared, it shows nothing
// and lets what lies beneath show through.
#pragma once

#include <QPixmap>
#include <QWidget>

namespace kestrova {

class PictureControl : public QWidget {
    Q_OBJECT
public:
    explicit PictureControl(QWidget* parent = nullptr);

    void setPicture(const QPixmap& picture);
    void clearPicture();
    bool hasPicture() const { return !picture_.isNull(); }
    const QPixmap& picture() const { return picture_; }

    // A text never shown to the player; the card slots keep their number here.
    QString hint() const { return hint_; }
    void setHint(const QString& hint) { hint_ = hint; }

signals:
    void clicked();

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    QPixmap picture_;
    QString hint_;
    bool pressed_ = false;
};

} // namespace kestrova
