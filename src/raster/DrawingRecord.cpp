// SPDX-FileCopyrightText: 2026 The QUORVEL developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "DrawingRecord.h"

#include <cmath>
#include <utility>

namespace quorvel::raster {

void DrawingRecord::addLine(const DotMapping &mapping, double x1, double y1, double x2, double y2,
                            QRgb colour)
{
    const QPointF from(x1 * mapping.kx, y1 * mapping.ky);
    const QPointF to(x2 * mapping.kx, y2 * mapping.ky);
    // A line the surface cannot place is not drawn there either.
    if (!std::isfinite(from.x()) || !std::isfinite(from.y()) || !std::isfinite(to.x())
        || !std::isfinite(to.y()))
        return;
    m_entries.emplace_back(RecordedLine {from, to, mapping.pen, colour});
}

void DrawingRecord::addDots(std::shared_ptr<const DotSource> source, const DotMapping &mapping)
{
    if (source)
        m_entries.emplace_back(RecordedDots {std::move(source), mapping});
}

std::size_t DrawingRecord::dotBatchCount() const
{
    std::size_t n = 0;
    for (const Entry &e : m_entries)
        n += std::holds_alternative<RecordedDots>(e) ? 1 : 0;
    return n;
}

} // namespace quorvel::raster
