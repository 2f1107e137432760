// A plain picture with a click: card slots, the stock, the discard pile and
// the picture buttons. It has no states of its own; cleared, it shows nothing
// and lets what lies beneath show through.
#pragma once

#include "ui/artwork.h"

#include <QAccessible>
#include <QPixmap>
#include <QWidget>

namespace kestrova {

class PictureControl : public QWidget {
    Q_OBJECT
public:
    explicit PictureControl(QWidget* parent = nullptr);

    void setPicture(const QPixmap& picture);
    // A picture drawn in code: the control keeps the drawer, so that it can
    // draw the picture again when the control is shown at another size. It is
    // drawn when first painted or asked for: a control that stays hidden
    // never draws it.
    void setPicture(const PictureDrawer& draw);
    void clearPicture();
    bool hasPicture() const { return !picture().isNull(); }
    const QPixmap& picture() const;

    // How many times its logical size a drawn picture is drawn; 1 unless the
    // board is scaled. A picture given as a bitmap is left as it is.
    qreal pictureScale() const { return scale_; }
    void setPictureScale(qreal scale);

    // A text never shown to the player; the card slots keep their number here.
    QString hint() const { return hint_; }
    void setHint(const QString& hint) { hint_ = hint; }

    // What the control is to assistive technology: a Graphic unless it is
    // made a Button (which can be pressed) or a Link.
    QAccessible::Role accessibleRole() const { return role_; }
    void setAccessibleRole(QAccessible::Role role) { role_ = role; }

    // Acts as a completed left click does.
    void click();

    // Whether the board's keyboard ring stands on the control; assistive
    // technology then takes it for the one with the focus.
    bool isRinged() const { return ringed_; }
    void setRinged(bool ringed) { ringed_ = ringed; }

signals:
    void clicked();

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    // With the keyboard focus (reached by Tab), Space or Return clicks.
    void keyPressEvent(QKeyEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;

private:
    mutable QPixmap picture_;
    mutable bool drawPending_ = false;   // draw_ has not been drawn at the current scale
    PictureDrawer draw_;
    qreal scale_ = 1.0;
    QString hint_;
    QAccessible::Role role_ = QAccessible::Graphic;
    bool pressed_ = false;
    bool ringed_ = false;
};

} // namespace kestrova
