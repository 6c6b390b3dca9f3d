// SPDX-FileCopyrightText: 2026 The QUORVEL developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "ExploreRun.h"

#include "model/DirectionTable.h"

namespace quorvel::explore {

readout::ChainMapping chainMapping(const Scene &scene, const View &view, QSize canvas)
{
    const double kx = canvas.width() / view.width;
    const double ky = canvas.height() / view.height;
    return {(static_cast<double>(scene.cx) - view.left) * kx,
            (static_cast<double>(scene.cy) - view.top) * ky, kx, ky};
}

ExploreRun::ExploreRun(const Recipe &recipe, const Scene &scene, std::size_t dots)
    : m_recipe(recipe)
    , m_cx(scene.cx)
    , m_cy(scene.cy)
    , m_dots(dots)
{
}

void ExploreRun::replayChain(const std::function<bool(const model::ChainPoint &)> &visit) const
{
    if (m_dots == 0)
        return;
    // The same chain as Renderer::render: the crossing in single precision, a fresh colour
    // counter, the ranges of the recipe from the first.
    model::DirectionTable directions;
    model::CurveChain chain(directions, m_cx, m_cy);
    model::ColourCycle colour;
    std::size_t seen = 0;
    bool goOn = true;
    chain.run(
        1, colour,
        [this](int range) -> std::optional<model::RangePlan> {
            if (range < 1 || range > model::kRangeCount)
                return std::nullopt;
            return m_recipe.ranges[static_cast<std::size_t>(range - 1)];
        },
        [&](const model::ChainPoint &p) {
            if (goOn)
                goOn = visit(p);
            // A run stopped early drew only its first dots.
            return ++seen < m_dots && goOn;
        });
}

} // namespace quorvel::explore
