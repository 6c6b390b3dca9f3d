// SPDX-FileCopyrightText: 2026 The QUORVEL developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "model/CurveChain.h"
#include "raster/DrawingRecord.h"
#include "readout/DotIndex.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>

namespace quorvel::curve {

// The recipe of one run of the curve window: the ranges that reached their points, the axes'
// crossing, the colour counter before the run and how many dots were drawn. Replaying it
// through the chain gives the very same dots, bit for bit, without keeping them.
class RunRecord : public raster::DotSource, public readout::ReadableRun
{
public:
    // number: the run's number since the window was last cleared (from 1); cx, cy: the axes'
    // crossing in user units (the window's CX, CY); colourBefore: Miocolor before the run;
    // firstRange: the range the run started at.
    RunRecord(int number, float cx, float cy, std::optional<std::int16_t> colourBefore,
              int firstRange);

    // Keeps the range that `plan` describes and passes the plan on; nothing is kept for nothing.
    std::optional<model::RangePlan> keep(int range, std::optional<model::RangePlan> plan);
    void setDots(std::size_t dots) { m_dots = dots; }

    int number() const { return m_number; }
    std::size_t dots() const { return m_dots; }
    float cx() const { return m_cx; }
    float cy() const { return m_cy; }

    // The run's dots again: `visit(const ChainPoint &)` once per dot; false stops.
    template<typename Visit>
    void replay(Visit &&visit) const;

    // The dots where the window set them: (CX + x, CY - y), user units, y downwards.
    void replayDots(raster::DotVisitor &visitor) const override;

    // The run's dots as the chain made them, for the readout under the cursor.
    int runNumber() const override { return m_number; }
    void replayChain(const std::function<bool(const model::ChainPoint &)> &visit) const override
    {
        replay(visit);
    }

private:
    int m_number;
    float m_cx;
    float m_cy;
    std::optional<std::int16_t> m_colourBefore;
    int m_firstRange;
    std::array<std::optional<model::RangePlan>, model::kRangeCount + 1> m_ranges; // by range number
    std::size_t m_dots = 0;
};

template<typename Visit>
void RunRecord::replay(Visit &&visit) const
{
    if (m_dots == 0)
        return;
    model::DirectionTable directions;
    model::CurveChain chain(directions, m_cx, m_cy);
    model::ColourCycle colour(m_colourBefore);
    const auto nextRange = [this](int range) -> std::optional<model::RangePlan> {
        if (range < 0 || range >= static_cast<int>(m_ranges.size()))
            return std::nullopt;
        return m_ranges[static_cast<std::size_t>(range)];
    };
    std::size_t seen = 0;
    bool goOn = true;
    chain.run(m_firstRange, colour, nextRange, [&](const model::ChainPoint &p) {
        if (goOn)
            goOn = visit(p);
        // The run ended after as many dots as were drawn, whatever ended it.
        return ++seen < m_dots && goOn;
    });
}

} // namespace quorvel::curve
