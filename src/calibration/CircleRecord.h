// SPDX-FileCopyrightText: 2026 The QUORVEL developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "raster/DrawingRecord.h"

namespace quorvel::calibration {

// The recipe of one test circle of the calibration window: its centre (user units, as widened
// from the window's CX and CY) and P1; the 3600 dots come again from the circle's offsets.
class CircleRecord : public raster::DotSource
{
public:
    CircleRecord(double cx, double cy, float p1)
        : m_cx(cx)
        , m_cy(cy)
        , m_p1(p1)
    {
    }
    void replayDots(raster::DotVisitor &visitor) const override;

private:
    double m_cx;
    double m_cy;
    float m_p1;
};

} // namespace quorvel::calibration
