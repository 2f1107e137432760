#include "app/boardparts.h"

#include "ui/flatpanel.h"
#include "ui/nameedit.h"
#include "ui/picturecontrol.h"
#include "ui/textlabels.h"

#include <QAccessible>

namespace kestrova {

namespace {

constexpr QSize kButtonSize{126, 40};
constexpr int kNameLimit = 10;

} // namespace

PictureControl* makePicture(QWidget* parent, const QString& name, const QRect& geometry, const PictureDrawer& draw)
{
    auto* control = new PictureControl(parent);
    control->setObjectName(name);
    control->setGeometry(geometry);
    if (draw)
        control->setPicture(draw);
    return control;
}

PictureControl* makePictureButton(QWidget* parent, const QString& name, const QPoint& position, PictureButton kind)
{
    auto* button = makePicture(parent, name, QRect(position, kButtonSize),
                               [kind](qreal ratio) { return pictureButton(kind, ratio); });
    button->setCursor(Qt::PointingHandCursor);
    // Reached with Tab and pressed with Space while its panel shows.
    button->setFocusPolicy(Qt::TabFocus);
    button->setAccessibleRole(QAccessible::Button);
    button->setAccessibleName(pictureButtonCaption(kind));
    return button;
}

TFlatPanel* makeOverlayPanel(QWidget* parent, const QString& name, const QRect& geometry)
{
    auto* panel = new TFlatPanel(parent);
    panel->setObjectName(name);
    panel->setGeometry(geometry);
    panel->setColor(kNavy);
    panel->setFrameColor(Qt::white);
    panel->hide();
    return panel;
}

NameEdit* makeNameEdit(QWidget* parent, const QString& name, const QRect& geometry)
{
    auto* edit = new NameEdit(kNameLimit, parent);
    edit->setObjectName(name);
    edit->setGeometry(geometry);
    edit->setFont(houseFont(19));
    return edit;
}

} // namespace kestrova
