// SPDX-FileCopyrightText: 2026 The QUORVEL developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

// The explore window's run as the readout under the cursor needs it: its recipe, replayed
// through the chain exactly as the worker draws it, and where its dots land in a view.

#include "ExploreRecipe.h"
#include "ExploreRender.h"

#include "readout/DotIndex.h"

#include <QSize>

#include <cstddef>

namespace quorvel::explore {

// Where a dot of the chain lands on a canvas of `canvas` logical pixels showing `view` of
// `scene`: the axes' crossing and the pixels per user unit across and upwards.
readout::ChainMapping chainMapping(const Scene &scene, const View &view, QSize canvas);

// A run of the explore window: from a cleared window, range 1 first, its dots computed again
// from the recipe and the axes' crossing, as many as were drawn.
class ExploreRun : public readout::ReadableRun
{
public:
    ExploreRun(const Recipe &recipe, const Scene &scene, std::size_t dots);

    std::size_t dots() const { return m_dots; }

    // The explore window shows one run at a time: always the first.
    int runNumber() const override { return 1; }
    void replayChain(const std::function<bool(const model::ChainPoint &)> &visit) const override;

private:
    Recipe m_recipe;
    float m_cx;
    float m_cy;
    std::size_t m_dots;
};

} // namespace quorvel::explore
