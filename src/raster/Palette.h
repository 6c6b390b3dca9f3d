// SPDX-FileCopyrightText: 2026 The QUORVEL developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QRgb>

#include <cstdint>

namespace quorvel::raster {

// Colour values as the program passes them: 24 bits, 0x00BBGGRR (255 is pure red).
using ColourValue = std::uint32_t;

inline constexpr int kPaletteSize = 16;

// The sixteen palette colours, index order, as 0x00BBGGRR.
inline constexpr ColourValue kPalette[kPaletteSize] = {
    0x000000, 0x800000, 0x008000, 0x808000, 0x000080, 0x800080, 0x008080, 0xC0C0C0,
    0x808080, 0xFF0000, 0x00FF00, 0xFFFF00, 0x0000FF, 0xFF00FF, 0x00FFFF, 0xFFFFFF,
};

[[noreturn]] void invalidPaletteIndex(int index);

// The colour value of palette index 0..15 (black, blue, green, cyan, red, magenta, yellow,
// white, grey, then their light variants up to bright white). An index outside 0..15 is an
// invalid-argument run-time error that ends the program.
inline ColourValue QBColor(int index)
{
    if (index < 0 || index >= kPaletteSize) [[unlikely]]
        invalidPaletteIndex(index);
    return kPalette[index];
}

// 0x00BBGGRR to the 0xAARRGGBB of a Format_RGB32 pixel.
constexpr QRgb toRgb(ColourValue c)
{
    return 0xff000000u | ((c & 0xffu) << 16) | (c & 0xff00u) | ((c >> 16) & 0xffu);
}

} // namespace quorvel::raster
