// SPDX-FileCopyrightText: 2026 The QUORVEL developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "DirectionTable.h"
#include "NumericText.h"
#include "Variant.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <type_traits>
#include <utility>

namespace quorvel::model {

// The curve window's user scale is this many units wide; its height follows the aspect factor.
inline constexpr float kCurveScaleWidth = 1000.0f;
// The axes cross this far from the middle of the drawing: left of it, and below it.
inline constexpr float kAxesLeftOfMiddle = 70.0f;
inline constexpr float kAxesBelowMiddle = 50.0f;

// The chain starts 15 units right of and 30 units above the axes' crossing, in user units
// relative to that crossing (x to the right, y upwards).
inline constexpr double kStartX = 15.0;
inline constexpr double kStartY = 30.0;

// ValStep's value that ends a run: a range from 0 to 0, or a range whose fields were refused.
inline constexpr std::int16_t kEndMarker = 999;

// PrimVol's value once the window has been activated for the first time.
inline constexpr std::int16_t kActivatedMarker = 9;

// A run has at most this many ranges (From/To pairs).
inline constexpr int kRangeCount = 3;

// Pen width of the chain's dots, in pixels.
inline constexpr int kDotWidth = 3;

// The step of ALFA for a range from `from` to `to` (both finite), in the form in which it is
// stored: the end marker for 0 to 0; the double To / |To| when only From is 0; otherwise the
// 16-bit integer -1 when From is greater than To, +1 when not.
Variant stepFor(double from, double to);

// t x ALFA to whole degrees, half to even; nothing when it does not fit in 16 bits.
inline std::optional<std::int16_t> angleA2(double alfa, double ve)
{
    return roundToInt16(alfa * ve);
}

// Whether a coordinate relative to the axes' crossing lies within `limit` units of it. A value
// that is not a number or is infinite is never within.
inline bool withinField(double value, float limit)
{
    return std::fabs(value) <= static_cast<double>(limit);
}

// The colour counter Miocolor: nothing until the first range is drawn (it then counts from 0),
// advanced once for every range that reaches its points, and wrapped from 14 back to 1 at the
// start of a range and after every dot. Dots are drawn in palette colour counter + 1, so a
// range's colours run 2, 3 ... 14, then 15 for one dot followed by 2.
class ColourCycle
{
public:
    static constexpr std::int16_t kWrapAt = 14;

    ColourCycle() = default;
    explicit ColourCycle(std::optional<std::int16_t> counter)
        : m_counter(counter)
    {
    }
    std::optional<std::int16_t> counter() const { return m_counter; }

    void wrap()
    {
        if (m_counter == kWrapAt)
            m_counter = 1;
    }
    void advance() { m_counter = static_cast<std::int16_t>(m_counter.value_or(0) + 1); }
    int dotColour() const { return m_counter.value_or(0) + 1; }

private:
    std::optional<std::int16_t> m_counter;
};

inline constexpr bool kSine = false;
inline constexpr bool kCosine = true;

// One range as the window's fields give it: the parameters of its points and ALFA's walk.
struct RangePlan
{
    PointParameters params;
    // Whether the direction uses the cosine of t x ALFA ("In Coseno") rather than its sine, when
    // the range starts; the caller may change it after any point (CurveChain::Taken).
    bool cosine = kSine;
    double from = 0; // ALFA's first value, degrees
    double to = 0; // and its last
    double step = 1; // +1 or -1
};

// One dot of the chain. x and y are user units relative to the axes' crossing, y upwards.
struct ChainPoint
{
    int range; // 1 to 3
    double alfa; // degrees
    std::int16_t a2; // t x ALFA, whole degrees
    double x;
    double y;
    int paletteIndex;
};

// Points of one range in a row that share their displacement and their colour, every one of
// them within the field: point k (0 to count - 1) has ALFA alfa + k x step and lies at the
// previous point plus (dx, dy). A long run is mostly made of them: t x ALFA keeps its whole
// value for many points in a row when t is small. walk() makes the points with exactly the
// chain's own operations.
class ChainSpan
{
public:
    int range = 1;
    double alfa = 0; // ALFA of the first point, a whole number below 2^52 in magnitude
    double step = 1; // +1 or -1
    std::int16_t a2 = 0;
    int paletteIndex = 0;
    int count = 0;
    double dx = 0;
    double dy = 0;

    // Starts the span after the point (x10, y10).
    void start(double x10, double y10)
    {
        m_x = x10;
        m_y = y10;
        m_done = 0;
    }
    // The next n points (no more than count - done()), in order: put(x, y) for each.
    template<typename Put>
    void walk(int n, Put &&put)
    {
        double x = m_x;
        double y = m_y;
        for (int k = 0; k < n; ++k) {
            x = dx + x;
            y = dy + y;
            put(x, y);
        }
        m_x = x;
        m_y = y;
        m_done += n;
    }
    // How many points walk() has made; the latest of them (or the point before the span).
    int done() const { return m_done; }
    double x() const { return m_x; }
    double y() const { return m_y; }
    // The next point's coordinates, as walk() will make them.
    double nextX() const { return dx + m_x; }
    double nextY() const { return dy + m_y; }
    // ALFA of point k: exact, the values being whole and below 2^52.
    double alfaAt(int k) const { return alfa + static_cast<double>(k) * step; }

private:
    double m_x = 0;
    double m_y = 0;
    int m_done = 0;
};

// Why a range, and with it possibly the run, stopped.
enum class RangeEnd {
    Done, // the range's last ALFA was drawn
    OutOfFieldX, // |X11| beyond CX; value: X11
    OutOfFieldY, // |Y11| beyond CY; value: Y11
    AngleTooLarge, // t x ALFA does not fit in 16 bits; value: t x ALFA
    AlfaStuck, // ALFA so large that a whole step no longer changes it; value: ALFA
    Stopped, // the caller asked to stop (Esc)
};

struct RangeOutcome
{
    RangeEnd end = RangeEnd::Done;
    double value = 0; // the value that ended the range, see RangeEnd
    std::size_t points = 0; // dots drawn in this range
};

// The message that reports a range which did not reach its last ALFA, as "fuori campo X11 ="
// followed by the value; empty for a finished range and for one stopped by the caller.
QString rangeEndMessage(const RangeOutcome &outcome);

struct RunOutcome
{
    int range = 1; // the range at which the run ended
    bool endedByFields = false; // nextRange gave nothing for that range
    RangeOutcome last; // how that range ended, when it was walked
    std::size_t points = 0; // dots drawn by the whole run
};

// Where a run stands after one of its dots: what the chain needs to make the dots after it
// again, with the very same bits.
struct ChainPosition
{
    int range = 1; // the range of that dot
    double alfa = 0; // ALFA of the next dot of the range
    double x10 = kStartX; // that dot
    double y10 = kStartY;
    std::int16_t lastA2 = 0; // t x ALFA of that dot
    std::int16_t counter = 0; // the colour counter after it
};

// The position after dot `p` of a range whose ALFA moves by `step`: the chain's own operations.
inline ChainPosition positionAfter(const ChainPoint &p, double step)
{
    ColourCycle colour(static_cast<std::int16_t>(p.paletteIndex - 1));
    colour.wrap();
    return {p.range, p.alfa + step, p.x, p.y, p.a2, *colour.counter()};
}

// The chain of points of one run, free of any window: it starts at (15, 30), continues from
// range to range, and yields each dot to the caller, which draws it.
class CurveChain
{
public:
    // cx, cy: the field's limits, the distance a point may lie from the axes' crossing along
    // each axis (user units).
    // a2: the value lastA2() keeps until a point is computed (the window's member A2).
    // `directions` keeps the displacement of each distinct angle; it is started afresh here,
    // for the run this chain makes.
    CurveChain(DirectionTable &directions, float cx, float cy, std::int16_t a2 = 0)
        : m_directions(directions)
        , m_cx(cx)
        , m_cy(cy)
        , m_lastA2(a2)
    {
        m_directions.newRun();
    }

    double x10() const { return m_x10; }
    double y10() const { return m_y10; }
    // t x ALFA of the latest point computed (drawn or refused as out of the field).
    std::int16_t lastA2() const { return m_lastA2; }

    // What a caller did with a stretch of points handed to it.
    struct Taken
    {
        int points; // how many of them, from the first, it drew (at least 1)
        // false: the run stops after them. true: the run goes on after them; the rest of the
        // stretch, if any, is made again.
        bool goOn;
        // The choice of function (kCosine or kSine) for the points after them, when the caller
        // has one: the window's, which a dot's observer or the events let in during the
        // stretch may have changed. Nothing: the choice stays.
        std::optional<bool> cosine = std::nullopt;
    };

    // A whole run from range `firstRange` on, a stretch at a time: `visit(const ChainPoint
    // *points, int count)` gets the next `count` dots (count >= 1), in order, with their
    // colours, and returns a Taken. At the start of each range the colour counter wraps, then
    // `nextRange(int range)` reads that range's fields and returns its plan, or nothing to end the
    // run (a refused field, a range from 0 to 0); a range that gets a plan advances the colour and
    // is walked. The run ends after range 3, or with the first range that does not end with its
    // last ALFA.
    template<typename NextRange, typename VisitStretch>
    RunOutcome runStretches(int firstRange, ColourCycle &colour, NextRange &&nextRange,
                            VisitStretch &&visit)
    {
        return runStretches(firstRange, colour, std::forward<NextRange>(nextRange),
                            std::forward<VisitStretch>(visit), NoSpans {});
    }
    // The same, with the long runs of points that share their displacement handed over as spans:
    // `visitSpan(ChainSpan &span)` walks at least one of its points (walk()) and returns a Taken
    // whose `points` is span.done(). Every other point comes through `visit`, as above.
    template<typename NextRange, typename VisitStretch, typename VisitSpan>
    RunOutcome runStretches(int firstRange, ColourCycle &colour, NextRange &&nextRange,
                            VisitStretch &&visit, VisitSpan &&visitSpan);

    // The same run from a position after one of its dots (positionAfter()), as runStretches()
    // would go on from there: the same dots, the same outcome, but for `points`, which counts
    // the dots from there only. The dot of the position must not have ended its range with an
    // ALFA that a whole step no longer changes (runStretches() tells so).
    template<typename NextRange, typename VisitStretch, typename VisitSpan>
    RunOutcome resumeStretches(const ChainPosition &at, NextRange &&nextRange, VisitStretch &&visit,
                               VisitSpan &&visitSpan);

    // The same a dot at a time: `visit(const ChainPoint &)` is called once per dot, in order,
    // and returns false to stop the run after that dot.
    template<typename NextRange, typename Visit>
    RunOutcome run(int firstRange, ColourCycle &colour, NextRange &&nextRange, Visit &&visit)
    {
        return runStretches(firstRange, colour, std::forward<NextRange>(nextRange),
                            [&visit](const ChainPoint *points, int count) -> Taken {
                                for (int k = 0; k < count; ++k) {
                                    if (!visit(points[k]))
                                        return {k + 1, false};
                                }
                                return {count, true};
                            });
    }

private:
    struct NoSpans
    {
        Taken operator()(ChainSpan &) const { return {0, false}; }
    };
    // The dots of range number `range`, continuing the chain, for runStretches().
    template<typename VisitStretch, typename VisitSpan>
    RangeOutcome walkStretches(int range, const RangePlan &plan, ColourCycle &colour,
                               VisitStretch &&visit, VisitSpan &&visitSpan);

    // The chain's state while a range is walked: the next ALFA, the latest point, and t x ALFA
    // of the latest point computed.
    struct Walk
    {
        double alfa;
        double x10;
        double y10;
        std::int16_t lastA2;
    };
    enum class StretchEnd {
        Full, // the range goes on after the stretch's last point
        Done, // the range's last ALFA is in the stretch
        Unknown, // the next point needs a direction not yet computed: prepare, then go on
        AngleTooLarge, // the next point's t x ALFA does not fit in 16 bits (value)
        OutOfFieldX, // the next point lies out of the field (value)
        OutOfFieldY,
        AlfaStuck, // the next ALFA would be the last point's own (value)
    };
    // Points computed ahead of their visits, so that the arithmetic runs in a loop with no call
    // and keeps the chain's state in registers: about 12 KB, well within the cache.
    static constexpr int kStretchPoints = 256;
    struct Stretch
    {
        StretchEnd end = StretchEnd::Full;
        double value = 0;
        bool cosine = false; // the choice of function the points were made with
        int count = 0;
        ChainPoint points[kStretchPoints];
    };
    // The next points of range `range` from `state`, which it advances past them, with the
    // colour counter `counter` (Miocolor) as it moves on and the function `cosine`; it stops
    // before a point that cannot be made, with the reason.
    void computeStretch(Walk &state, int range, int &counter, const RangePlan &plan, bool cosine,
                        Stretch &out);
    template<bool Upwards>
    void computeStretchTowards(Walk &state, int range, int &counter, const RangePlan &plan,
                               Stretch &out) const;
    // A span of at least kShortestSpan points from `state` on, when there is one.
    bool findSpan(const Walk &state, int range, int counter, const RangePlan &plan, bool cosine,
                  ChainSpan &span);
    // Shorter runs of points that share their displacement come through stretches.
    static constexpr int kShortestSpan = 4096;
    static constexpr int kLongestSpan = 1 << 22;
    // Computes the directions of the rest of the range from ALFA `alfa` on.
    void prepareDirections(double alfa, const RangePlan &plan);
    static RangeOutcome outcomeOf(const Stretch &stretch);

    DirectionTable &m_directions;
    std::unique_ptr<Stretch> m_stretch = std::make_unique<Stretch>();
    float m_cx;
    float m_cy;
    std::int16_t m_lastA2;
    double m_x10 = kStartX;
    double m_y10 = kStartY;
};

template<typename VisitStretch, typename VisitSpan>
RangeOutcome CurveChain::walkStretches(int range, const RangePlan &plan, ColourCycle &colour,
                                       VisitStretch &&visit, VisitSpan &&visitSpan)
{
    m_directions.setParameters(plan.params);
    Walk state {plan.from, m_x10, m_y10, m_lastA2};
    int counter = colour.counter().value_or(0);
    bool cosine = plan.cosine;
    std::size_t points = 0;
    Stretch &stretch = *m_stretch;
    RangeOutcome out;
    ChainSpan span;
    for (;;) {
        if constexpr (!std::is_same_v<std::decay_t<VisitSpan>, NoSpans>) {
            if (findSpan(state, range, counter, plan, cosine, span)) {
                const Taken taken = visitSpan(span);
                if (span.done() == 0)
                    span.walk(1, [](double, double) {});
                cosine = taken.cosine.value_or(cosine);
                points += static_cast<std::size_t>(span.done());
                const double last = span.alfaAt(span.done() - 1);
                if (!taken.goOn) {
                    state = {last, span.x(), span.y(), span.a2};
                    out = {RangeEnd::Stopped, 0, 0};
                    break;
                }
                state = {last + plan.step, span.x(), span.y(), span.a2};
                continue;
            }
        }
        computeStretch(state, range, counter, plan, cosine, stretch);
        if (stretch.count > 0) {
            Taken taken = visit(static_cast<const ChainPoint *>(stretch.points), stretch.count);
            taken.points = std::clamp(taken.points, 1, stretch.count);
            cosine = taken.cosine.value_or(cosine);
            points += static_cast<std::size_t>(taken.points);
            const ChainPoint &last = stretch.points[taken.points - 1];
            // Past 2^53 a whole step no longer changes ALFA: that ends the range, even if the
            // caller stops at the same point.
            const bool stuck
                = taken.points == stretch.count && stretch.end == StretchEnd::AlfaStuck;
            if (!taken.goOn && !stuck) {
                // The chain stays at the point the caller stopped on.
                state = {last.alfa, last.x, last.y, last.a2};
                out = {RangeEnd::Stopped, 0, 0};
                break;
            }
            if (taken.points < stretch.count || (!stuck && cosine != stretch.cosine)) {
                // The chain goes on from the point after the last one drawn.
                state = {last.alfa + plan.step, last.x, last.y, last.a2};
                continue;
            }
        }
        if (stretch.end == StretchEnd::Unknown) {
            prepareDirections(state.alfa, plan);
            continue;
        }
        if (stretch.end != StretchEnd::Full) {
            out = outcomeOf(stretch);
            break;
        }
    }
    out.points = points;
    m_x10 = state.x10;
    m_y10 = state.y10;
    m_lastA2 = state.lastA2;
    if (colour.counter())
        colour = ColourCycle(static_cast<std::int16_t>(counter));
    return out;
}

template<typename NextRange, typename VisitStretch, typename VisitSpan>
RunOutcome CurveChain::runStretches(int firstRange, ColourCycle &colour, NextRange &&nextRange,
                                    VisitStretch &&visit, VisitSpan &&visitSpan)
{
    RunOutcome out;
    for (int range = firstRange;; ++range) {
        out.range = range;
        colour.wrap();
        const std::optional<RangePlan> plan = nextRange(range);
        if (!plan) {
            out.endedByFields = true;
            return out;
        }
        colour.advance();
        out.last = walkStretches(range, *plan, colour, visit, visitSpan);
        out.points += out.last.points;
        if (out.last.end != RangeEnd::Done || range >= kRangeCount)
            return out;
    }
}

template<typename NextRange, typename VisitStretch, typename VisitSpan>
RunOutcome CurveChain::resumeStretches(const ChainPosition &at, NextRange &&nextRange,
                                       VisitStretch &&visit, VisitSpan &&visitSpan)
{
    m_x10 = at.x10;
    m_y10 = at.y10;
    m_lastA2 = at.lastA2;
    ColourCycle colour(at.counter);
    RunOutcome out;
    out.range = at.range;
    std::optional<RangePlan> plan = nextRange(at.range);
    if (!plan) {
        out.endedByFields = true;
        return out;
    }
    // The rest of the range: its walk goes on from the next ALFA as it would have.
    plan->from = at.alfa;
    out.last = walkStretches(at.range, *plan, colour, visit, visitSpan);
    out.points = out.last.points;
    if (out.last.end != RangeEnd::Done || at.range >= kRangeCount)
        return out;
    RunOutcome rest
        = runStretches(at.range + 1, colour, std::forward<NextRange>(nextRange),
                       std::forward<VisitStretch>(visit), std::forward<VisitSpan>(visitSpan));
    rest.points += out.points;
    return rest;
}

} // namespace quorvel::model
