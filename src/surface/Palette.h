#pragma once

#include <QRgb>

#include <cstdint>

namespace quorvel {

// Colour values as the program passes them: 24 bits, 0x00BBGGRR (255 is pure red).
using ColourValue = std::uint32_t;

inline constexpr int kPaletteSize = 16;

// The colour value of palette index 0..15 (black, blue, green, cyan, red, magenta, yellow,
// white, grey, then their light variants up to bright white). An index outside 0..15 is an
// invalid-argument run-time error that ends the program.
ColourValue QBColor(int index);

// 0x00BBGGRR to the 0xAARRGGBB of a Format_RGB32 pixel.
constexpr QRgb toRgb(ColourValue c)
{
    return 0xff000000u | ((c & 0xffu) << 16) | (c & 0xff00u) | ((c >> 16) & 0xffu);
}

} // namespace quorvel
