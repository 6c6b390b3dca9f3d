// SPDX-FileCopyrightText: 2026 The QUORVEL developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "DotIndex.h"

#include <cmath>
#include <limits>

namespace quorvel::readout {

DotIndex DotIndex::build(const std::vector<PlacedRun> &runs, int width, int height,
                         const std::atomic<bool> &cancel)
{
    DotIndex index;
    std::uint64_t order = 0;
    // A chain of small steps puts thousands of dots in a row on one pixel: the latest pixel is
    // kept apart from the table.
    std::uint64_t lastKey = std::numeric_limits<std::uint64_t>::max();
    std::uint32_t lastSlot = 0;
    for (const PlacedRun &placed : runs) {
        if (!placed.run || cancel.load(std::memory_order_relaxed))
            break;
        const ChainMapping m = placed.mapping;
        const int number = placed.run->runNumber();
        placed.run->replayChain([&](const model::ChainPoint &p) {
            ++order;
            if ((order & 4095U) == 0 && cancel.load(std::memory_order_relaxed))
                return false;
            const QPointF at = m.toView(p.x, p.y);
            if (!(at.x() >= 0 && at.x() < width && at.y() >= 0 && at.y() < height))
                return true;
            const std::uint64_t k
                = key(static_cast<int>(std::floor(at.x())), static_cast<int>(std::floor(at.y())));
            const Held held {p.alfa, p.x,    p.y,
                             at.x(), at.y(), order,
                             number, p.a2,   static_cast<std::int8_t>(p.range)};
            if (k == lastKey) {
                index.m_dots[lastSlot] = held;
                return true;
            }
            const auto [it, added]
                = index.m_byPixel.try_emplace(k, static_cast<std::uint32_t>(index.m_dots.size()));
            if (added)
                index.m_dots.push_back(held);
            else
                index.m_dots[it->second] = held;
            lastKey = k;
            lastSlot = it->second;
            return true;
        });
    }
    return index;
}

std::optional<FoundDot> DotIndex::nearest(QPointF cursor) const
{
    // Far beyond any view (and any pixel number) nothing is near.
    constexpr double kFar = 1e9;
    if (!(std::fabs(cursor.x()) < kFar && std::fabs(cursor.y()) < kFar) || m_dots.empty())
        return std::nullopt;
    const int cx = static_cast<int>(std::floor(cursor.x()));
    const int cy = static_cast<int>(std::floor(cursor.y()));
    const int reach = static_cast<int>(std::ceil(kReach));
    const Held *best = nullptr;
    double bestSquare = kReach * kReach;
    for (int py = cy - reach; py <= cy + reach; ++py) {
        for (int px = cx - reach; px <= cx + reach; ++px) {
            const auto it = m_byPixel.find(key(px, py));
            if (it == m_byPixel.end())
                continue;
            const Held &h = m_dots[it->second];
            const double dx = h.viewX - cursor.x();
            const double dy = h.viewY - cursor.y();
            const double square = dx * dx + dy * dy;
            if (square < bestSquare || (square == bestSquare && (!best || h.order > best->order))) {
                best = &h;
                bestSquare = square;
            }
        }
    }
    if (!best)
        return std::nullopt;
    return FoundDot {best->run,
                     best->range,
                     best->alfa,
                     best->a2,
                     best->x11,
                     best->y11,
                     {best->viewX, best->viewY}};
}

} // namespace quorvel::readout
