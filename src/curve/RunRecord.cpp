// SPDX-FileCopyrightText: 2026 The QUORVEL developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "RunRecord.h"

namespace quorvel::curve {

using namespace model;

RunRecord::RunRecord(int number, float cx, float cy, std::optional<std::int16_t> colourBefore,
                     int firstRange)
    : m_number(number)
    , m_cx(cx)
    , m_cy(cy)
    , m_colourBefore(colourBefore)
    , m_firstRange(firstRange)
    , m_limitCx(cx)
    , m_limitCy(cy)
{
}

std::optional<RangePlan> RunRecord::keep(int range, std::optional<RangePlan> plan)
{
    if (plan && range >= 0 && range < static_cast<int>(m_ranges.size()))
        m_ranges[static_cast<std::size_t>(range)] = plan;
    return plan;
}

void RunRecord::replayDots(raster::DotVisitor &visitor) const
{
    const double cxd = m_cx;
    const double cyd = m_cy;
    replay([&](const ChainPoint &p) {
        return visitor.dot(
            {static_cast<float>(cxd + p.x), static_cast<float>(cyd - p.y), p.paletteIndex});
    });
}

} // namespace quorvel::curve
