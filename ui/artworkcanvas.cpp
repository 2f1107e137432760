#include "ui/artworkcanvas.h"

#include <QtMath>

#include <utility>

namespace kestrova::artwork {

QImage newCanvas(QSize logicalSize, qreal dpr)
{
    const qreal ratio = dpr > 0 ? dpr : 1.0;
    QImage canvas(qCeil(logicalSize.width() * ratio - 1e-6), qCeil(logicalSize.height() * ratio - 1e-6),
                  QImage::Format_ARGB32_Premultiplied);
    canvas.setDevicePixelRatio(ratio);
    canvas.fill(Qt::transparent);
    return canvas;
}

QPixmap toPixmap(QImage&& canvas)
{
    const qreal ratio = canvas.devicePixelRatio();
    QPixmap pixmap = QPixmap::fromImage(std::move(canvas));
    pixmap.setDevicePixelRatio(ratio);
    return pixmap;
}

} // namespace kestrova::artwork
