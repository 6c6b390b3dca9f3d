// SPDX-FileCopyrightText: 2026 The QUORVEL developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "ExploreRecipe.h"

#include "model/CurveChain.h"
#include "model/DirectionTable.h"
#include "raster/RetainedDrawing.h"

#include <QPointF>
#include <QSize>
#include <QSizeF>
#include <QString>

#include <functional>
#include <limits>

class QPainter;

namespace quorvel::explore {

// The curve window's frame, which every view of the explore window is a part of: its user
// scale (x from the left, y downwards), where its axes cross, which is also how far a point may
// lie from the crossing, and the size of its drawing in logical pixels.
struct Scene
{
    float cx = 0;
    float cy = 0;
    float scaleWidth = model::kCurveScaleWidth;
    float scaleHeight = model::kCurveScaleWidth;
    QSize area {1, 1};
};

// The frame the curve window sets up on a drawing of `area` logical pixels with the calibration
// factor `incr`.
Scene sceneFor(double incr, QSize area);

// The part of the scene a drawing shows, in the scene's user units.
struct View
{
    double left = 0;
    double top = 0;
    double width = 1;
    double height = 1;
};

// The curve window's own scale on a drawing of `canvas` logical pixels, centred on the middle of
// its drawing: for a canvas of the curve window's size, exactly its view.
View oneToOne(const Scene &scene, QSize canvas);
// The view magnified `factor` times about the point at logical pixel `at`, which stays there;
// the magnification against oneToOne() is held between 1/1000 and 1,000,000.
View zoomedAbout(const Scene &scene, const View &view, QSize canvas, QPointF at, double factor);
// The view moved so that the drawing follows a drag of `delta` logical pixels.
View panned(const View &view, QSize canvas, QPointF delta);
// The view for a canvas of a new size: the same scale, the same middle.
View resized(const View &view, QSize oldCanvas, QSize newCanvas);

// The extent of the dots of a run, in user units relative to the axes' crossing, y upwards.
struct Bounds
{
    double minX = std::numeric_limits<double>::infinity();
    double maxX = -std::numeric_limits<double>::infinity();
    double minY = std::numeric_limits<double>::infinity();
    double maxY = -std::numeric_limits<double>::infinity();
    bool empty() const { return !(minX <= maxX); }
    void add(double x, double y)
    {
        minX = x < minX ? x : minX;
        maxX = x > maxX ? x : maxX;
        minY = y < minY ? y : minY;
        maxY = y > maxY ? y : maxY;
    }
};

// The view with the whole chain in the canvas, with a margin, at the curve window's aspect
// (a unit across and a unit down keep their ratio of pixels); the current view when the
// chain has no dot.
View fitted(const Scene &scene, const View &view, QSize canvas, const Bounds &chain);

// The step between ticks of an axis: 1, 2 or 5 x 10^k user units, the smallest at least
// `minimumPixels` pixels apart at `pixelsPerUnit`.
double tickStep(double pixelsPerUnit, double minimumPixels);

// How a run of the explore window ended.
struct RunResult
{
    model::RunOutcome outcome;
    Bounds bounds;
    bool stopped = false; // a newer change, Esc or the closing of the window stopped it
};

// The run's end as the window tells it: the points drawn and how the run ended, with the curve
// window's message when a range did not reach its last ALFA.
QString endText(const RunResult &result);

// Draws runs of the curve window's chain into a drawing, at any view. The drawing holds the axes
// and the dots, as the curve window's drawing holds them; ticks, numbers and a grid are painted
// over a copy (paintScale) and never enter it.
class Renderer
{
public:
    // What the caller wants between two stretches of a few hundred points: go on, have the
    // drawing brought up to date and `show` called before going on, or stop the run there.
    enum class Next { GoOn, Show, Stop };
    // Asked with the points drawn so far.
    using Interrupt = std::function<Next(std::size_t points)>;
    // Called with the extent of the dots drawn so far, the drawing up to date.
    using Show = std::function<void(const Bounds &)>;

    // Clears `drawing` (its area already set), gives it the view's scale, draws the axes and the
    // chain of `recipe`, a run from a cleared curve window.
    RunResult render(raster::RetainedDrawing &drawing, const Scene &scene, const View &view,
                     const Recipe &recipe, const Interrupt &interrupt = {}, const Show &show = {});
    // Later runs draw at most `dots` dots and stop there (as if stopped after the last).
    void limitDots(std::size_t dots) { m_maxDots = dots; }

private:
    model::DirectionTable m_directions;
    std::size_t m_maxDots = std::numeric_limits<std::size_t>::max();
};

// What render() draws before the chain: clears `drawing` (its area already set), gives it the
// view's scale and draws the axes; the pen is then the dots' own.
void drawAxes(raster::RetainedDrawing &drawing, const Scene &scene, const View &view);

// Where render() puts a dot of the chain (X11, Y11) in the view's user units: from the axes'
// crossing, y downwards, in single precision.
struct DotPlacement
{
    double originX = 0; // the crossing, in the view's units
    double originY = 0;
    DotPlacement(const Scene &scene, const View &view)
        : originX(static_cast<double>(scene.cx) - view.left)
        , originY(static_cast<double>(scene.cy) - view.top)
    {
    }
    float x(double chainX) const { return static_cast<float>(originX + chainX); }
    float y(double chainY) const { return static_cast<float>(originY - chainY); }
};

// Numbers on both axes (held at the canvas' edge when an axis lies outside it) with ticks or,
// with `grid`, light lines across the drawing at every one; numbers are user units from the
// axes' crossing.
void paintScale(QPainter &painter, const Scene &scene, const View &view, QSize canvas, bool grid);

} // namespace quorvel::explore
