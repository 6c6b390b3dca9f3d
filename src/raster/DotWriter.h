// SPDX-FileCopyrightText: 2026 The QUORVEL developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "Palette.h"

#include <QtGlobal>

#include <algorithm>

namespace quorvel::raster {

class RetainedDrawing;

// Sets dot after dot at the drawing's current DrawWidth with no call into the drawing for a dot
// that lies whole inside it: a run of the curve window sets hundreds of thousands. It holds a
// copy of the drawing's settings and keeps the area it drew to itself, so it serves only until
// anything else touches the drawing (an event, a Line, a Cls, a new area, a message box): call
// finish() before that, and take a new one after.
class DotWriter
{
public:
    // As PSet(x, y, paletteIndex).
    void put(float x, float y, int paletteIndex)
    {
        if (!tryPut(x, y, paletteIndex)) [[unlikely]]
            putThroughDrawing(x, y, paletteIndex);
    }
    // The dot when it can be set here without a call: a pen of 3 pixels, an indexed drawing
    // nobody observes, a palette colour and the whole dot inside the drawing. False, with
    // nothing done, for any other: PSet() sets it.
    bool tryPut(float x, float y, int paletteIndex)
    {
        // For a position of at least 0 the conversion to int is its floor, as in PSet().
        const double px = static_cast<double>(x) * m_kx;
        const double py = static_cast<double>(y) * m_ky;
        if (!(m_writable && static_cast<unsigned>(paletteIndex) < unsigned {kPaletteSize}
              && px >= 1.0 && px < m_right && py >= 1.0 && py < m_bottom))
            return false;
        const int left = static_cast<int>(px) - 1;
        const int top = static_cast<int>(py) - 1;
        const auto entry = static_cast<uchar>(kFirstPaletteEntry + paletteIndex);
        // A dot on the very pixels of the previous one, in its colour, changes nothing: a
        // chain of small steps sets hundreds in a row.
        if (left == m_lastLeft && top == m_lastTop && entry == m_lastEntry)
            return true;
        m_lastLeft = left;
        m_lastTop = top;
        m_lastEntry = entry;
        uchar *line = m_bits + top * m_stride + left;
        for (int row = 0; row < 3; ++row, line += m_stride) {
            line[0] = entry;
            line[1] = entry;
            line[2] = entry;
        }
        m_x0 = std::min(m_x0, left);
        m_y0 = std::min(m_y0, top);
        m_x1 = std::max(m_x1, left + 3);
        m_y1 = std::max(m_y1, top + 3);
        return true;
    }
    // Hands the area drawn to the drawing, which counts it as changed. Calling it again does
    // nothing until more dots are set.
    void finish()
    {
        if (m_x0 < m_x1)
            handOver();
    }

    // Colour-table entry of palette index 0 in an indexed drawing (entry 0 is the background).
    static constexpr unsigned kFirstPaletteEntry = 1;

private:
    friend class RetainedDrawing;
    static constexpr int kNone = 1 << 30;
    explicit DotWriter(RetainedDrawing *drawing);
    // A dot this writer cannot set itself: observed, at the edge, another pen or colour format.
    void putThroughDrawing(float x, float y, int paletteIndex);
    void handOver();

    RetainedDrawing *m_drawing;
    uchar *m_bits;
    qsizetype m_stride;
    double m_kx;
    double m_ky;
    double m_right; // the last left edge plus one at which a whole dot fits, in device pixels
    double m_bottom;
    bool m_writable;
    // The latest dot this writer set: its top-left pixel and colour-table entry.
    int m_lastLeft = kNone;
    int m_lastTop = kNone;
    uchar m_lastEntry = 0;
    // The area drawn, in device pixels: [x0, x1) x [y0, y1), empty when x0 >= x1.
    int m_x0 = kNone;
    int m_y0 = kNone;
    int m_x1 = -kNone;
    int m_y1 = -kNone;
};

} // namespace quorvel::raster
