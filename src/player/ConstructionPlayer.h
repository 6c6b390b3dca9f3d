// SPDX-FileCopyrightText: 2026 The QUORVEL developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "explore/ExploreRecipe.h"
#include "explore/ExploreRender.h"
#include "raster/RetainedDrawing.h"

#include <QPointF>
#include <QRgb>
#include <QSize>
#include <QString>

#include <cstdint>
#include <memory>
#include <optional>

namespace quorvel::player {

// What one dot of a run is: where the chain stands after it and how it got there.
struct DotFacts
{
    std::uint64_t number = 0; // in the run, from 1
    int range = 1; // 1 to 3
    double alfa = 0; // degrees
    std::int16_t a2 = 0; // t x ALFA, whole degrees
    bool cosine = false; // the direction follows the cosine of t x ALFA ("In Coseno")
    double direction = 0; // BETA x sin (or cos) of t x ALFA, degrees
    double x = 0; // X11 and Y11: user units from the axes' crossing, y upwards
    double y = 0;
    int paletteIndex = 0;
    std::optional<QPointF> previous; // the dot before it, same units; none for the first
};

// The construction of one run of the explore window, dot by dot: a drawing that holds the axes
// and exactly the run's first position() dots, bit for bit as the explore window draws them, at
// a view of the run's scene. Moves are asked (stepForward, seek...) and carried out by work(), a
// piece at a time, so that a run of billions of dots never blocks its caller. No widget.
class ConstructionPlayer
{
public:
    ConstructionPlayer(const explore::Recipe &recipe, const explore::Scene &scene, QRgb background);
    ~ConstructionPlayer();
    ConstructionPlayer(const ConstructionPlayer &) = delete;
    ConstructionPlayer &operator=(const ConstructionPlayer &) = delete;

    // The view and the canvas (logical pixels, density) the drawing shows; the dots already
    // shown are drawn again at it (by work()).
    void setView(const explore::View &view, QSize canvas, qreal devicePixelRatio);
    raster::RetainedDrawing &drawing();
    // Where a point of the chain (X11, Y11) lies on the canvas, in logical pixels.
    QPointF canvasPoint(double x, double y) const;

    std::uint64_t position() const; // dots on the drawing now
    std::uint64_t target() const; // where work() is taking the drawing
    // The number of dots of the run, once its end has been reached.
    std::optional<std::uint64_t> length() const;
    // How the run ended, in the explore window's words, once its end has been reached.
    std::optional<QString> endText() const;

    // The target one dot on (not past the end), one back (not before 0), 0 (the axes alone),
    // the last dot (which may take work() many calls to find), or dot n (held at the end).
    void stepForward();
    void stepBack();
    void toStart();
    void toEnd();
    void seek(std::uint64_t n);
    // Takes the drawing toward the target for about `budgetMs` milliseconds at most; true once
    // the target (or the run's end) is reached. A step of one dot always finishes in one call.
    bool work(double budgetMs);
    // Dot n (from 1) of the run, from the nearest checkpoint; nothing beyond the run's end or
    // for 0.
    std::optional<DotFacts> facts(std::uint64_t n);

private:
    struct State;
    std::unique_ptr<State> m_state;
};

} // namespace quorvel::player
