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

// Takes the canvas over, so that its pixels become the pixmap's without a copy.
QPixmap toPixmap(QImage&& canvas);

// A repeatable pseudo-random value in 0 .. 1 for a pair of integers. Inline:
// the board's felt asks for it once per device pixel.
inline double hashNoise(std::uint32_t x, std::uint32_t y, std::uint32_t seed)
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
