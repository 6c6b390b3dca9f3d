// SPDX-FileCopyrightText: 2026 The QUORVEL developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

// The frames of an animation of the explore window's curve, drawn one after the other into a
// drawing: the chain growing dot by dot, or the whole run redrawn as a parameter moves.

#include "explore/ExploreRecipe.h"
#include "explore/ExploreRender.h"
#include "raster/RetainedDrawing.h"

#include <QSize>
#include <QString>

#include <cstddef>
#include <cstdint>
#include <functional>

namespace quorvel::animation {

// The view for a picture of `size` pixels of what `view` shows on a canvas of `canvas` pixels:
// the same middle, scaled so that all of it fits, a unit across and a unit down keeping their
// ratio of pixels.
explore::View viewForSize(const explore::View &view, QSize canvas, QSize size);

// Called with the drawing of every frame, in order; `same`: nothing was drawn since the frame
// before. False stops the drawing.
using FrameSink = std::function<bool(const raster::RetainedDrawing &drawing, bool same)>;

// What a drawing of frames came to.
struct Drawn
{
    std::int64_t frames = 0; // handed to the sink
    std::size_t dots = 0; // of the chain, in the last frame (the construction)
    bool cut = false; // the frames would have gone on past the most allowed
    bool stopped = false; // the sink or the caller stopped it
    QString error {}; // why nothing could be drawn, in Italian
};

// The chain growing: frame k shows the axes and the run's first round(k x dotsPerFrame) dots,
// so the first shows the axes alone; after the frame where the run ends, one more with the whole
// run if the last did not have all of it.
struct Construction
{
    explore::Recipe recipe;
    explore::Scene scene;
    explore::View view;
    double dotsPerFrame = 1;
    std::int64_t maxFrames = 1; // at most, the first included
};
// Draws into `drawing`, whose area is already set.
Drawn drawConstruction(raster::RetainedDrawing &drawing, const Construction &construction,
                       const FrameSink &sink);

// The explore window's animation of a parameter, a whole run at each frame: the value of
// `field` goes from `from` to `to` in `seconds` (there and back in twice the time with
// `bounce`); played once, the last frame is at `to` (with `bounce`, back at `from`); played
// again and again, the frame that would repeat the first is left out.
struct ParameterAnimation
{
    explore::Texts texts; // the other parameters
    explore::Field field = explore::Field::Beta;
    double from = 0;
    double to = 0;
    double seconds = 1;
    bool bounce = false;
    bool loop = false;
    explore::Scene scene;
    explore::View view;
    int framesPerSecond = 25;
    std::int64_t maxFrames = 1;
};
// The frames the animation has, left alone by maxFrames.
std::int64_t frameCount(const ParameterAnimation &animation);
// Draws into `drawing`, whose area is already set. `goOn` is asked between stretches of a run,
// which may be long: false stops the drawing. A value whose texts are refused keeps the run of
// the value before.
Drawn drawParameterAnimation(raster::RetainedDrawing &drawing, const ParameterAnimation &animation,
                             const FrameSink &sink, const std::function<bool()> &goOn);

} // namespace quorvel::animation
