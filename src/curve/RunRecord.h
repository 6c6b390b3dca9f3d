// SPDX-FileCopyrightText: 2026 The QUORVEL developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "model/CurveChain.h"
#include "model/RunSummary.h"
#include "model/Variant.h"
#include "raster/DrawingRecord.h"
#include "readout/DotIndex.h"

#include <QString>

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <utility>

namespace quorvel::curve {

// The curve window's members that a run changes, as they stood at one moment.
struct CurveMembers
{
    model::Variant INX, INY, EP1, BETA1, Ve, ContaStep, ValStep, DaA1, AA1, Miocolor;
    std::int16_t A2 = 0;
};

// What the window showed when a run started: the field texts by number (Text1 to Text12; 0 and
// 9 stay empty), the choice "In Coseno", the members before the run, and the aspect factor
// Incr whose field limits the run had.
struct RunStart
{
    std::array<QString, 13> texts;
    bool cosine = false;
    CurveMembers members;
    double calibration = 0;
};

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
    // The field's limits the chain was made with, when they differ from the axes' crossing (a
    // run replayed from a lesson drawn on a screen of another calibration).
    void setFieldLimits(float cx, float cy)
    {
        m_limitCx = cx;
        m_limitCy = cy;
    }
    // How the run started and ended, for lesson files, undo and the legend.
    void setStart(RunStart start) { m_start = std::move(start); }
    const RunStart &start() const { return m_start; }
    void setAfter(CurveMembers after, model::RunSummary::End end)
    {
        m_after = std::move(after);
        m_end = end;
    }
    const CurveMembers &after() const { return m_after; }
    model::RunSummary::End end() const { return m_end; }

    int number() const { return m_number; }
    int firstRange() const { return m_firstRange; }
    // The plan of range `range` (1 to 3) as the run walked it; nothing for a range not walked.
    std::optional<model::RangePlan> range(int range) const
    {
        if (range < 0 || range >= static_cast<int>(m_ranges.size()))
            return std::nullopt;
        return m_ranges[static_cast<std::size_t>(range)];
    }
    std::size_t dots() const { return m_dots; }
    float cx() const { return m_cx; }
    float cy() const { return m_cy; }

    // The run's dots again: `visit(const ChainPoint &)` once per dot; false stops.
    template<typename Visit>
    void replay(Visit &&visit) const
    {
        model::DirectionTable directions;
        replay(directions, std::forward<Visit>(visit));
    }
    // The same with a table of directions kept by the caller (started afresh here), which
    // saves making one for each run.
    template<typename Visit>
    void replay(model::DirectionTable &directions, Visit &&visit) const;

    // The run's dots a stretch at a time: `put(const ChainPoint *points, int count)`, count >= 1,
    // for drawing them again fast.
    template<typename Put>
    void replayStretches(model::DirectionTable &directions, Put &&put) const;

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
    float m_limitCx;
    float m_limitCy;
    RunStart m_start;
    CurveMembers m_after;
    model::RunSummary::End m_end = model::RunSummary::End::RangesDone;
};

template<typename Visit>
void RunRecord::replay(model::DirectionTable &directions, Visit &&visit) const
{
    if (m_dots == 0)
        return;
    model::CurveChain chain(directions, m_limitCx, m_limitCy);
    model::ColourCycle colour(m_colourBefore);
    const auto nextRange = [this](int range) { return this->range(range); };
    std::size_t seen = 0;
    bool goOn = true;
    chain.run(m_firstRange, colour, nextRange, [&](const model::ChainPoint &p) {
        if (goOn)
            goOn = visit(p);
        // The run ended after as many dots as were drawn, whatever ended it.
        return ++seen < m_dots && goOn;
    });
}

template<typename Put>
void RunRecord::replayStretches(model::DirectionTable &directions, Put &&put) const
{
    if (m_dots == 0)
        return;
    model::CurveChain chain(directions, m_limitCx, m_limitCy);
    model::ColourCycle colour(m_colourBefore);
    const auto nextRange = [this](int range) { return this->range(range); };
    std::size_t seen = 0;
    chain.runStretches(
        m_firstRange, colour, nextRange, [&](const model::ChainPoint *points, int count) {
            const int n
                = static_cast<int>(std::min(static_cast<std::size_t>(count), m_dots - seen));
            put(points, n);
            seen += static_cast<std::size_t>(n);
            return model::CurveChain::Taken {n, seen < m_dots};
        });
}

} // namespace quorvel::curve
