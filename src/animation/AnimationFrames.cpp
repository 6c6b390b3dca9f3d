// SPDX-FileCopyrightText: 2026 The QUORVEL developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "AnimationFrames.h"

#include "model/CurveChain.h"
#include "model/DirectionTable.h"
#include "model/NumericText.h"

#include <algorithm>
#include <cmath>
#include <memory>

namespace quorvel::animation {

using explore::View;

View viewForSize(const View &view, QSize canvas, QSize size)
{
    if (canvas.isEmpty() || size.isEmpty())
        return view;
    // Pixels per unit on the canvas, across and down, both scaled by the same factor.
    const double factor = std::min(static_cast<double>(size.width()) / canvas.width(),
                                   static_cast<double>(size.height()) / canvas.height());
    const double kx = canvas.width() / view.width * factor;
    const double ky = canvas.height() / view.height * factor;
    View v;
    v.width = size.width() / kx;
    v.height = size.height() / ky;
    v.left = view.left + view.width / 2 - v.width / 2;
    v.top = view.top + view.height / 2 - v.height / 2;
    return v;
}

Drawn drawConstruction(raster::RetainedDrawing &drawing, const Construction &construction,
                       const FrameSink &sink)
{
    Drawn drawn;
    const auto directions = std::make_unique<model::DirectionTable>();
    const explore::Scene &scene = construction.scene;
    const View &view = construction.view;
    explore::drawAxes(drawing, scene, view);
    drawing.setDrawWidth(model::kDotWidth);
    // Where the crossing lies in the view's units, as the explore window's drawing has it.
    const double originX = static_cast<double>(scene.cx) - view.left;
    const double originY = static_cast<double>(scene.cy) - view.top;
    // The dots frame k ends with.
    const auto target = [&construction](std::int64_t k) {
        return static_cast<std::size_t>(
            std::llround(static_cast<double>(k) * construction.dotsPerFrame));
    };
    std::size_t dots = 0; // drawn
    std::size_t shown = 0; // in the latest frame
    bool atMost = false; // the latest frame allowed is out: any further dot is cut
    const auto frame = [&](bool same) {
        ++drawn.frames;
        shown = dots;
        if (!sink(drawing, same)) {
            drawn.stopped = true;
            return false;
        }
        if (drawn.frames >= construction.maxFrames)
            atMost = true;
        return true;
    };
    if (!frame(false) || atMost) {
        drawn.dots = dots;
        return drawn;
    }
    std::size_t next = target(drawn.frames);
    raster::DotWriter writer = drawing.dotWriter();
    model::CurveChain chain(*directions, scene.cx, scene.cy);
    model::ColourCycle colour;
    chain.runStretches(
        1, colour,
        [&construction](int range) -> std::optional<model::RangePlan> {
            return construction.recipe.ranges[static_cast<std::size_t>(range - 1)];
        },
        [&](const model::ChainPoint *points, int count) -> model::CurveChain::Taken {
            if (atMost) {
                // More dots than the frames allowed could show.
                drawn.cut = true;
                return {1, false};
            }
            int k = 0;
            while (k < count) {
                // Frames that end before the next dot repeat the one before.
                while (next <= dots) {
                    if (!frame(true))
                        return {std::max(k, 1), false};
                    if (atMost) {
                        drawn.cut = true;
                        return {std::max(k, 1), false};
                    }
                    next = target(drawn.frames);
                }
                const int take = static_cast<int>(
                    std::min<std::size_t>(static_cast<std::size_t>(count - k), next - dots));
                for (int i = k; i < k + take; ++i) {
                    const model::ChainPoint &p = points[i];
                    writer.put(static_cast<float>(originX + p.x), static_cast<float>(originY - p.y),
                               p.paletteIndex);
                }
                k += take;
                dots += static_cast<std::size_t>(take);
                if (dots == next) {
                    writer.finish();
                    if (!frame(false))
                        return {k, false};
                    next = target(drawn.frames);
                    writer = drawing.dotWriter();
                    if (atMost) {
                        if (k < count)
                            drawn.cut = true;
                        return {k, k == count};
                    }
                }
            }
            return {count, true};
        });
    writer.finish();
    // The whole run in the last frame.
    if (!drawn.stopped && !drawn.cut && dots != shown)
        frame(false);
    drawn.dots = dots;
    return drawn;
}

std::int64_t frameCount(const ParameterAnimation &animation)
{
    const double perPass = std::max(1.0, std::round(animation.seconds * animation.framesPerSecond));
    const double pass = animation.bounce ? 2 * perPass : perPass;
    // Beyond anything asked for: the most frames allowed cut it long before.
    const double frames = std::min(pass + (animation.loop ? 0 : 1), 1e15);
    return static_cast<std::int64_t>(frames);
}

Drawn drawParameterAnimation(raster::RetainedDrawing &drawing, const ParameterAnimation &animation,
                             const FrameSink &sink, const std::function<bool()> &goOn)
{
    Drawn drawn;
    const std::int64_t all = frameCount(animation);
    const std::int64_t frames = std::min(all, animation.maxFrames);
    drawn.cut = frames < all;
    const double perPass = std::max(1.0, std::round(animation.seconds * animation.framesPerSecond));
    explore::Renderer renderer;
    std::optional<explore::Recipe> recipe;
    // The texts of the latest recipe read, and of the run in the drawing.
    std::optional<explore::Texts> accepted;
    std::optional<explore::Texts> inDrawing;
    explore::Texts texts = animation.texts;
    for (std::int64_t k = 0; k < frames; ++k) {
        double phase = static_cast<double>(k) / perPass;
        if (phase > 1)
            phase = 2 - phase;
        texts[animation.field]
            = explore::animatedText(animation.field, animation.from, animation.to, phase);
        if (std::optional<explore::Recipe> read = explore::readTexts(texts).recipe) {
            recipe = read;
            accepted = texts;
        }
        if (!recipe) {
            drawn.error = QStringLiteral("i valori del parametro %1 non sono accettati")
                              .arg(explore::fieldName(animation.field));
            return drawn;
        }
        bool same = false;
        if (inDrawing && *inDrawing == *accepted) {
            same = true;
        } else {
            const explore::RunResult result = renderer.render(
                drawing, animation.scene, animation.view, *recipe, [&goOn](std::size_t) {
                    return !goOn || goOn() ? explore::Renderer::Next::GoOn
                                           : explore::Renderer::Next::Stop;
                });
            if (result.stopped) {
                drawn.stopped = true;
                return drawn;
            }
            inDrawing = accepted;
        }
        ++drawn.frames;
        if (!sink(drawing, same)) {
            drawn.stopped = true;
            return drawn;
        }
    }
    return drawn;
}

} // namespace quorvel::animation
