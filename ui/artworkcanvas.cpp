#include "ui/artworkcanvas.h"

#include <QtMath>

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

QPixmap toPixmap(const QImage& canvas)
{
    QPixmap pixmap = QPixmap::fromImage(canvas);
    pixmap.setDevicePixelRatio(canvas.devicePixelRatio());
    return pixmap;
}

double hashNoise(std::uint32_t x, std::uint32_t y, std::uint32_t seed)
{
    std::uint32_t h = x * 0x8da6b343u ^ y * 0xd8163841u ^ seed * 0xcb1ab31fu;
    h ^= h >> 15;
    h *= 0x2c1b3c6du;
    h ^= h >> 12;
    h *= 0x297a2d39u;
    h ^= h >> 15;
    return (h & 0xffffffu) / static_cast<double>(0xffffffu);
}

} // namespace kestrova::artwork
