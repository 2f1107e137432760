// The program's icon for desktops and menus, kept as a handful of filled
// outlines so that one description gives both the PNGs and the SVG.
#pragma once

#include <QColor>
#include <QImage>
#include <QPainterPath>
#include <QString>

#include <vector>

namespace kestrova {

class ProgramIcon {
public:
    // The outlines live on a square of this many units.
    static constexpr int kCanvas = 256;

    ProgramIcon();

    // The icon as a square image of `size` pixels on a transparent ground.
    QImage render(int size) const;

    // The same outlines as a standalone SVG document.
    QString svg() const;

private:
    struct Shape {
        QPainterPath outline;
        QColor fill;
        QColor fillBottom;   // valid: a top-to-bottom gradient from `fill`
        QColor stroke;       // valid: an outline of `strokeWidth` units
        qreal strokeWidth = 0;
    };

    std::vector<Shape> shapes_;
};

} // namespace kestrova
