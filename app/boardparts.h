// The board's building blocks: picture controls, picture buttons, the navy
// overlay panels and the name boxes, each made the one way the board uses.
#pragma once

#include "ui/artwork.h"

#include <QPoint>
#include <QRect>
#include <QString>

class QWidget;

namespace kestrova {

class NameEdit;
class PictureControl;
class TFlatPanel;

// A picture drawn in code is kept as its drawer, so that a scaled board can
// draw it again at its shown size.
PictureControl* makePicture(QWidget* parent, const QString& name, const QRect& geometry,
                            const PictureDrawer& draw = {});
PictureControl* makePictureButton(QWidget* parent, const QString& name, const QPoint& position, PictureButton kind);
// Hidden until its time comes.
TFlatPanel* makeOverlayPanel(QWidget* parent, const QString& name, const QRect& geometry);
NameEdit* makeNameEdit(QWidget* parent, const QString& name, const QRect& geometry);

} // namespace kestrova
