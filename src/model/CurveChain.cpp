// SPDX-FileCopyrightText: 2026 The QUORVEL developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "CurveChain.h"

#include <algorithm>
#include <cmath>

namespace quorvel::model {

Variant stepFor(double from, double to)
{
    if (from == 0.0 && to == 0.0)
        return Variant::int16(kEndMarker);
    if (from == 0.0)
        return Variant::real(to / std::fabs(to));
    if (to == 0.0)
        return Variant::int16(from > 0.0 ? -1 : 1);
    return Variant::int16(from > to ? -1 : 1);
}

namespace {

// Whether ALFA has not yet passed `to`, going up or down.
template<bool Upwards>
bool notPast(double alfa, double to)
{
    return Upwards ? alfa <= to : alfa >= to;
}

} // namespace

void CurveChain::computeStretch(Walk &state, int range, int &counter, const RangePlan &plan,
                                bool cosine, Stretch &out)
{
    out.cosine = cosine;
    m_directions.useFunction(out.cosine);
    if (plan.step > 0)
        computeStretchTowards<true>(state, range, counter, plan, out);
    else
        computeStretchTowards<false>(state, range, counter, plan, out);
}

template<bool Upwards>
void CurveChain::computeStretchTowards(Walk &state, int range, int &counter, const RangePlan &plan,
                                       Stretch &out) const
{
    const DirectionTable &directions = m_directions;
    const double step = plan.step;
    const double to = plan.to;
    const double ve = plan.params.ve;
    // withinField()'s test, with the limits widened once.
    const double cx = m_cx;
    const double cy = m_cy;
    double alfa = state.alfa;
    double x10 = state.x10;
    double y10 = state.y10;
    std::int16_t lastA2 = state.lastA2;
    int colourCounter = counter;
    int n = 0;
    out.end = StretchEnd::Full;
    out.value = 0;
    while (n < kStretchPoints) {
        if (!notPast<Upwards>(alfa, to)) {
            out.end = StretchEnd::Done;
            break;
        }
        const std::optional<std::int16_t> a2 = angleA2(alfa, ve);
        if (!a2) {
            out.end = StretchEnd::AngleTooLarge;
            out.value = alfa * ve;
            break;
        }
        lastA2 = *a2;
        const Displacement *d = directions.find(*a2);
        if (d == nullptr) {
            out.end = StretchEnd::Unknown;
            break;
        }
        // The same bits as (ep1 x inx) x cos(BETA x sin(t x ALFA)) + X10, and so on for Y.
        const double x11 = d->dx + x10;
        const double y11 = d->dy + y10;
        if (!(std::fabs(x11) <= cx)) {
            out.end = StretchEnd::OutOfFieldX;
            out.value = x11;
            break;
        }
        if (!(std::fabs(y11) <= cy)) {
            out.end = StretchEnd::OutOfFieldY;
            out.value = y11;
            break;
        }
        out.points[n++] = {range, alfa, *a2, x11, y11, colourCounter + 1};
        if (colourCounter == ColourCycle::kWrapAt)
            colourCounter = 1;
        x10 = x11;
        y10 = y11;
        const double following = alfa + step;
        if (following == alfa) {
            out.end = StretchEnd::AlfaStuck;
            out.value = alfa;
            break;
        }
        alfa = following;
    }
    out.count = n;
    state = {alfa, x10, y10, lastA2};
    counter = colourCounter;
}

namespace {

// Whether a chain of `count` steps of `d` from `start` certainly stays within `limit` of 0 (the
// same test as the points' own). Each sum moves monotonically, so its farthest point is one of
// its ends; the last end is bounded from the exact sum, with room for the rounding of every
// step (at most half a unit in the last place of a value no larger than twice the bound).
bool certainlyWithin(double start, double d, int count, double limit)
{
    const double reach = std::fabs(start) + static_cast<double>(count) * std::fabs(d);
    constexpr double kRoundingPerStep = 0x1p-51; // twice 2^-52: the values stay below 2 x reach
    const double drift = static_cast<double>(count) * kRoundingPerStep * reach;
    // A margin for the rounding of reach and drift themselves.
    return reach + drift + reach * 0x1p-40 <= limit;
}

} // namespace

bool CurveChain::findSpan(const Walk &state, int range, int counter, const RangePlan &plan,
                          bool cosine, ChainSpan &span)
{
    constexpr double kWhole = 0x1p52; // below this, ALFA + 1 is exact for a whole ALFA
    const double alfa = state.alfa;
    const double step = plan.step;
    const double to = plan.to;
    const double ve = plan.params.ve;
    // The colour changes after a point drawn with counter 14.
    if (counter == ColourCycle::kWrapAt || std::fabs(step) != 1.0)
        return false;
    if (!(std::fabs(alfa) < kWhole && std::fabs(to) < kWhole) || alfa != std::trunc(alfa))
        return false;
    const std::optional<std::int16_t> a2 = angleA2(alfa, ve);
    if (!a2)
        return false;
    m_directions.useFunction(cosine);
    const Displacement *d = m_directions.find(*a2);
    if (d == nullptr || !std::isfinite(d->dx) || !std::isfinite(d->dy) || !std::isfinite(state.x10)
        || !std::isfinite(state.y10))
        return false;
    // Point k belongs to the span while ALFA has not passed `to` and t x ALFA keeps its whole
    // value: both hold from k = 0 up to some k and never again, ALFA x t and its rounding being
    // monotonic in ALFA.
    const auto belongs = [&](int k) {
        const double a = alfa + static_cast<double>(k) * step;
        if (!(step > 0 ? a <= to : a >= to))
            return false;
        const std::optional<std::int16_t> other = angleA2(a, ve);
        return other && *other == *a2;
    };
    if (!belongs(kShortestSpan - 1))
        return false;
    int inside = kShortestSpan - 1; // belongs
    int outside = kLongestSpan; // does not, or is past the longest span
    while (outside - inside > 1) {
        const int middle = inside + (outside - inside) / 2;
        if (belongs(middle))
            inside = middle;
        else
            outside = middle;
    }
    int count = inside + 1;
    const double cx = m_cx;
    const double cy = m_cy;
    while (count >= kShortestSpan
           && !(certainlyWithin(state.x10, d->dx, count, cx)
                && certainlyWithin(state.y10, d->dy, count, cy)))
        count /= 2;
    if (count < kShortestSpan)
        return false;
    span.range = range;
    span.alfa = alfa;
    span.step = step;
    span.a2 = *a2;
    span.paletteIndex = counter + 1;
    span.count = count;
    span.dx = d->dx;
    span.dy = d->dy;
    span.start(state.x10, state.y10);
    return true;
}

RangeOutcome CurveChain::outcomeOf(const Stretch &stretch)
{
    switch (stretch.end) {
    case StretchEnd::AngleTooLarge:
        return {RangeEnd::AngleTooLarge, stretch.value, 0};
    case StretchEnd::OutOfFieldX:
        return {RangeEnd::OutOfFieldX, stretch.value, 0};
    case StretchEnd::OutOfFieldY:
        return {RangeEnd::OutOfFieldY, stretch.value, 0};
    case StretchEnd::AlfaStuck:
        return {RangeEnd::AlfaStuck, stretch.value, 0};
    case StretchEnd::Done:
    case StretchEnd::Full:
    case StretchEnd::Unknown:
        break;
    }
    return {};
}

void CurveChain::prepareDirections(double alfa, const RangePlan &plan)
{
    // t x ALFA moves one way through the range: the span runs from this point's to the last
    // ALFA's, widened by one against rounding and kept within 16 bits.
    const double ve = plan.params.ve;
    const auto whole = [](double v) {
        return std::isnan(v)
            ? std::int16_t {0}
            : static_cast<std::int16_t>(std::clamp(std::nearbyint(v), -32768.0, 32767.0));
    };
    const double first = alfa * ve;
    const double last = plan.to * ve;
    const double widen = last >= first ? 1.0 : -1.0;
    m_directions.prepare(whole(first - widen), whole(last + widen));
}

QString rangeEndMessage(const RangeOutcome &outcome)
{
    const char *what = nullptr;
    switch (outcome.end) {
    case RangeEnd::OutOfFieldX:
        what = "X11";
        break;
    case RangeEnd::OutOfFieldY:
        what = "Y11";
        break;
    case RangeEnd::AngleTooLarge:
        what = "t*ALFA";
        break;
    case RangeEnd::AlfaStuck:
        what = "ALFA";
        break;
    case RangeEnd::Done:
    case RangeEnd::Stopped:
        return {};
    }
    return QStringLiteral("fuori campo %1 =").arg(QLatin1String(what)) + decimalText(outcome.value);
}

} // namespace quorvel::model
