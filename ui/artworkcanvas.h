// Shared ground for the artwork: canvases at a device pixel ratio, and hashed noise.
#pragma once

#include <QImage>
#include <QPixmap>
#include <QSize>

#include <cstdint>

namespace kestrova::artwork {

// A transparent image of the logical size at the ratio; a painter on it draws
// in logical coordinates.
QImage newCanvas(QSize logicalSize, qreal dpr);

QPixmap toPixmap(const QImage& canvas);

// A repeatable pseudo-random value in 0 .. 1 for a pair of integers.
double hashNoise(std::uint32_t x, std::uint32_t y, std::uint32_t seed);

} // namespace kestrova::artwork
