// SPDX-FileCopyrightText: 2026 The QUORVEL developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "Palette.h"

namespace quorvel::raster {

// Sees every drawing operation in user units, exactly as the program passes them.
class DrawingObserver
{
public:
    virtual ~DrawingObserver() = default;
    virtual void scaleChanged(float scaleWidth, float scaleHeight) = 0;
    virtual void cleared() = 0;
    virtual void lineDrawn(float x1, float y1, float x2, float y2, int drawWidth,
                           ColourValue colour)
        = 0;
    virtual void pointSet(float x, float y, int drawWidth, int paletteIndex) = 0;
};

} // namespace quorvel::raster
