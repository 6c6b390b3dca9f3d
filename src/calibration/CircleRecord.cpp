// SPDX-FileCopyrightText: 2026 The QUORVEL developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "CircleRecord.h"

#include "model/CircleModel.h"

namespace quorvel::calibration {

using namespace model;

void CircleRecord::replayDots(raster::DotVisitor &visitor) const
{
    for (const CircleOffset &o : circleOffsets(m_p1)) {
        if (!visitor.dot(
                {static_cast<float>(m_cx + o.xr), static_cast<float>(m_cy + o.yr), kCircleColour}))
            return;
    }
}

} // namespace quorvel::calibration
