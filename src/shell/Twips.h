// SPDX-FileCopyrightText: 2026 The QUORVEL developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QRect>
#include <QWidget>

#include <cmath>

namespace quorvel {

// Control positions are designed in twips: 1440 to the inch, 15 to a pixel at 96 dpi.
inline int twipsToPixels(int twips, int logicalDpi)
{
    return static_cast<int>(std::lround(twips * static_cast<double>(logicalDpi) / 1440.0));
}

// Places `w` at a designed twip rectangle, measured from its container's top-left corner.
inline void placeInTwips(QWidget *w, int left, int top, int width, int height)
{
    const int dx = w->logicalDpiX();
    const int dy = w->logicalDpiY();
    w->setGeometry(twipsToPixels(left, dx), twipsToPixels(top, dy), twipsToPixels(width, dx),
                   twipsToPixels(height, dy));
}

// Gives a top-level window a client area of the designed twip size.
inline void resizeInTwips(QWidget *w, int width, int height)
{
    w->resize(twipsToPixels(width, w->logicalDpiX()), twipsToPixels(height, w->logicalDpiY()));
}

} // namespace quorvel
