// SPDX-FileCopyrightText: 2026 The QUORVEL developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "ConstructionPlayer.h"

#include "model/CurveChain.h"
#include "model/DirectionTable.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <numbers>

namespace quorvel::player {

namespace {

// The target of toEnd() while the run's length is not known.
constexpr std::uint64_t kEnd = std::numeric_limits<std::uint64_t>::max();

} // namespace

struct ConstructionPlayer::State
{
    State(const explore::Recipe &r, const explore::Scene &s, QRgb background)
        : recipe(r)
        , scene(s)
        , drawing(background)
    {
    }

    std::optional<model::RangePlan> plan(int range) const
    {
        if (range < 1 || range > model::kRangeCount)
            return std::nullopt;
        return recipe.ranges[static_cast<std::size_t>(range - 1)];
    }
    std::uint64_t heldTarget() const { return length ? std::min(target, *length) : target; }
    void reachedEnd(const model::RunOutcome &outcome)
    {
        length = outcome.points;
        explore::RunResult result;
        result.outcome = outcome;
        endText = explore::endText(result);
    }
    // Draws the axes and the run's first n dots afresh.
    void drawFirst(std::uint64_t n);

    explore::Recipe recipe;
    explore::Scene scene;
    explore::View view;
    QSize canvas;
    qreal dpr = 1.0;
    raster::RetainedDrawing drawing;
    model::DirectionTable directions;
    std::uint64_t position = 0;
    std::uint64_t target = 0;
    std::optional<std::uint64_t> length;
    std::optional<QString> endText;
    bool stale = true; // the drawing does not show the view yet
};

void ConstructionPlayer::State::drawFirst(std::uint64_t n)
{
    drawing.setArea(canvas, dpr);
    explore::drawAxes(drawing, scene, view);
    position = 0;
    stale = false;
    if (n == 0)
        return;
    raster::DotWriter dots = drawing.dotWriter();
    const explore::DotPlacement place(scene, view);
    model::CurveChain chain(directions, scene.cx, scene.cy);
    model::ColourCycle colour;
    std::uint64_t drawn = 0;
    const model::RunOutcome outcome = chain.run(
        1, colour, [this](int range) { return plan(range); },
        [&](const model::ChainPoint &p) {
            dots.put(place.x(p.x), place.y(p.y), p.paletteIndex);
            return ++drawn < n;
        });
    dots.finish();
    position = drawn;
    if (outcome.last.end != model::RangeEnd::Stopped || outcome.endedByFields)
        reachedEnd(outcome);
}

ConstructionPlayer::ConstructionPlayer(const explore::Recipe &recipe, const explore::Scene &scene,
                                       QRgb background)
    : m_state(std::make_unique<State>(recipe, scene, background))
{
    m_state->canvas = scene.area;
    m_state->view = explore::oneToOne(scene, scene.area);
}

ConstructionPlayer::~ConstructionPlayer() = default;

void ConstructionPlayer::setView(const explore::View &view, QSize canvas, qreal devicePixelRatio)
{
    State &s = *m_state;
    s.view = view;
    s.canvas = canvas;
    s.dpr = devicePixelRatio;
    s.stale = true;
}

raster::RetainedDrawing &ConstructionPlayer::drawing()
{
    return m_state->drawing;
}

QPointF ConstructionPlayer::canvasPoint(double x, double y) const
{
    const State &s = *m_state;
    const explore::DotPlacement place(s.scene, s.view);
    // As the drawing maps its user scale onto its device pixels, back in logical pixels.
    const double devW = std::ceil(s.canvas.width() * s.dpr);
    const double devH = std::ceil(s.canvas.height() * s.dpr);
    const double kx = devW / static_cast<double>(static_cast<float>(s.view.width)) / s.dpr;
    const double ky = devH / static_cast<double>(static_cast<float>(s.view.height)) / s.dpr;
    return {static_cast<double>(place.x(x)) * kx, static_cast<double>(place.y(y)) * ky};
}

std::uint64_t ConstructionPlayer::position() const
{
    return m_state->position;
}

std::uint64_t ConstructionPlayer::target() const
{
    return m_state->heldTarget();
}

std::optional<std::uint64_t> ConstructionPlayer::length() const
{
    return m_state->length;
}

std::optional<QString> ConstructionPlayer::endText() const
{
    return m_state->endText;
}

void ConstructionPlayer::stepForward()
{
    State &s = *m_state;
    const std::uint64_t t = s.heldTarget();
    if (t != kEnd && !(s.length && t >= *s.length))
        s.target = t + 1;
}

void ConstructionPlayer::stepBack()
{
    State &s = *m_state;
    const std::uint64_t t = s.heldTarget() == kEnd ? s.position : s.heldTarget();
    s.target = t > 0 ? t - 1 : 0;
}

void ConstructionPlayer::toStart()
{
    m_state->target = 0;
}

void ConstructionPlayer::toEnd()
{
    State &s = *m_state;
    s.target = s.length ? *s.length : kEnd;
}

void ConstructionPlayer::seek(std::uint64_t n)
{
    m_state->target = n;
}

bool ConstructionPlayer::work(double budgetMs)
{
    (void)budgetMs;
    State &s = *m_state;
    if (!s.stale && s.position == s.heldTarget())
        return true;
    s.drawFirst(s.heldTarget());
    if (s.length)
        s.target = std::min(s.target, *s.length);
    return true;
}

std::optional<DotFacts> ConstructionPlayer::facts(std::uint64_t n)
{
    State &s = *m_state;
    if (n == 0 || (s.length && n > *s.length))
        return std::nullopt;
    model::DirectionTable directions;
    model::CurveChain chain(directions, s.scene.cx, s.scene.cy);
    model::ColourCycle colour;
    std::uint64_t seen = 0;
    std::optional<model::ChainPoint> previous;
    std::optional<model::ChainPoint> found;
    chain.run(
        1, colour, [&s](int range) { return s.plan(range); },
        [&](const model::ChainPoint &p) {
            if (++seen == n) {
                found = p;
                return false;
            }
            previous = p;
            return true;
        });
    if (!found)
        return std::nullopt;
    const model::RangePlan plan = *s.plan(found->range);
    DotFacts f;
    f.number = n;
    f.range = found->range;
    f.alfa = found->alfa;
    f.a2 = found->a2;
    f.cosine = plan.cosine;
    const double angle = static_cast<double>(static_cast<float>(found->a2) * plan.params.p1);
    const double turn = plan.params.beta1 * (f.cosine ? std::cos(angle) : std::sin(angle));
    f.direction = turn * (180.0 / std::numbers::pi);
    f.x = found->x;
    f.y = found->y;
    f.paletteIndex = found->paletteIndex;
    if (previous)
        f.previous = QPointF(previous->x, previous->y);
    return f;
}

} // namespace quorvel::player
