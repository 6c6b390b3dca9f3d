// SPDX-FileCopyrightText: 2026 The QUORVEL developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "ExploreRender.h"

#include "model/NumericText.h"

#include <QFontMetrics>
#include <QPainter>

#include <algorithm>
#include <cmath>

namespace quorvel::explore {

using namespace model;

using model::ChainPoint;
using model::CurveChain;

namespace {

constexpr double kLeastMagnification = 1e-3;
constexpr double kMostMagnification = 1e6;
// The share of the canvas left free around a fitted chain, on each side.
constexpr double kFitMargin = 0.05;

} // namespace

Scene sceneFor(double incr, QSize area)
{
    Scene s;
    s.scaleWidth = model::kCurveScaleWidth;
    s.scaleHeight = static_cast<float>(static_cast<double>(s.scaleWidth) * incr);
    s.cx = s.scaleWidth / 2 - model::kAxesLeftOfMiddle;
    s.cy = s.scaleHeight / 2 + model::kAxesBelowMiddle;
    s.area = area;
    return s;
}

View oneToOne(const Scene &scene, QSize canvas)
{
    const double areaW = std::max(1, scene.area.width());
    const double areaH = std::max(1, scene.area.height());
    View v;
    v.width = static_cast<double>(scene.scaleWidth) * (canvas.width() / areaW);
    v.height = static_cast<double>(scene.scaleHeight) * (canvas.height() / areaH);
    v.left = static_cast<double>(scene.scaleWidth) / 2 - v.width / 2;
    v.top = static_cast<double>(scene.scaleHeight) / 2 - v.height / 2;
    return v;
}

View zoomedAbout(const Scene &scene, const View &view, QSize canvas, QPointF at, double factor)
{
    const View one = oneToOne(scene, canvas);
    const double now = one.width / view.width;
    const double wanted = std::clamp(now * factor, kLeastMagnification, kMostMagnification);
    if (!(wanted > 0) || canvas.isEmpty())
        return view;
    const double f = wanted / now;
    const double fx = at.x() / canvas.width();
    const double fy = at.y() / canvas.height();
    View v;
    v.width = view.width / f;
    v.height = view.height / f;
    v.left = view.left + fx * (view.width - v.width);
    v.top = view.top + fy * (view.height - v.height);
    return v;
}

View panned(const View &view, QSize canvas, QPointF delta)
{
    if (canvas.isEmpty())
        return view;
    View v = view;
    v.left -= delta.x() * view.width / canvas.width();
    v.top -= delta.y() * view.height / canvas.height();
    return v;
}

View resized(const View &view, QSize oldCanvas, QSize newCanvas)
{
    if (oldCanvas.isEmpty() || newCanvas.isEmpty())
        return view;
    View v;
    v.width = view.width * newCanvas.width() / oldCanvas.width();
    v.height = view.height * newCanvas.height() / oldCanvas.height();
    v.left = view.left + (view.width - v.width) / 2;
    v.top = view.top + (view.height - v.height) / 2;
    return v;
}

View fitted(const Scene &scene, const View &view, QSize canvas, const Bounds &chain)
{
    if (chain.empty() || canvas.isEmpty())
        return view;
    const View one = oneToOne(scene, canvas);
    // Pixels per unit at 1:1 across and down: their ratio is kept.
    const double kx = canvas.width() / one.width;
    const double ky = canvas.height() / one.height;
    const double usable = 1.0 - 2 * kFitMargin;
    const double spanX = std::max(chain.maxX - chain.minX, 1e-9);
    const double spanY = std::max(chain.maxY - chain.minY, 1e-9);
    const double magnification = std::clamp(
        std::min(canvas.width() * usable / (spanX * kx), canvas.height() * usable / (spanY * ky)),
        kLeastMagnification, kMostMagnification);
    View v;
    v.width = one.width / magnification;
    v.height = one.height / magnification;
    const double midX = static_cast<double>(scene.cx) + (chain.minX + chain.maxX) / 2;
    const double midY = static_cast<double>(scene.cy) - (chain.minY + chain.maxY) / 2;
    v.left = midX - v.width / 2;
    v.top = midY - v.height / 2;
    return v;
}

double tickStep(double pixelsPerUnit, double minimumPixels)
{
    if (!(pixelsPerUnit > 0) || !std::isfinite(pixelsPerUnit))
        return 1.0;
    const double least = minimumPixels / pixelsPerUnit;
    double power = std::pow(10.0, std::floor(std::log10(least)));
    for (;;) {
        for (double m : {1.0, 2.0, 5.0}) {
            if (m * power >= least * (1 - 1e-12))
                return m * power;
        }
        power *= 10;
    }
}

QString endText(const RunResult &result)
{
    const QString points = groupedDecimalText(static_cast<double>(result.outcome.points));
    if (result.stopped)
        return QStringLiteral("Interrotta dopo %1 punti").arg(points);
    const QString message
        = result.outcome.endedByFields ? QString() : model::rangeEndMessage(result.outcome.last);
    if (!message.isEmpty())
        return QStringLiteral("%1 punti; intervallo %2: %3")
            .arg(points)
            .arg(result.outcome.range)
            .arg(message);
    return QStringLiteral("%1 punti, fine degli intervalli").arg(points);
}

void drawAxes(raster::RetainedDrawing &drawing, const Scene &scene, const View &view)
{
    drawing.Cls();
    drawing.setScaleMode(raster::RetainedDrawing::kUserScale);
    drawing.setScaleWidth(static_cast<float>(view.width));
    drawing.setScaleHeight(static_cast<float>(view.height));
    // The axes as the curve window draws them, at their place in the view.
    const double cx = scene.cx;
    const double cy = scene.cy;
    const auto ax = static_cast<float>(cx - view.left);
    const auto ay = static_cast<float>(cy - view.top);
    drawing.setDrawWidth(2);
    drawing.Line(ax, 0, ax, static_cast<float>(view.height), 0);
    drawing.Line(0, ay, static_cast<float>(view.width), ay, 0);
    drawing.setDrawWidth(model::kDotWidth);
}

RunResult Renderer::render(raster::RetainedDrawing &drawing, const Scene &scene, const View &view,
                           const Recipe &recipe, const Interrupt &interrupt, const Show &show)
{
    RunResult result;
    drawAxes(drawing, scene, view);
    raster::DotWriter dots = drawing.dotWriter();
    // A dot's position is the chain's point from the crossing, as the curve window's is.
    const DotPlacement place(scene, view);
    const std::size_t maxDots = m_maxDots;
    CurveChain chain(m_directions, scene.cx, scene.cy);
    model::ColourCycle colour;
    Bounds bounds;
    std::size_t drawn = 0;
    result.outcome = chain.runStretches(
        1, colour,
        [&recipe](int range) -> std::optional<model::RangePlan> {
            return recipe.ranges[static_cast<std::size_t>(range - 1)];
        },
        [&](const ChainPoint *points, int count) -> CurveChain::Taken {
            if (drawn >= maxDots)
                return {1, false};
            const int shown
                = static_cast<int>(std::min(static_cast<std::size_t>(count), maxDots - drawn));
            raster::DotWriter writer = dots;
            Bounds b = bounds;
            for (int k = 0; k < shown; ++k) {
                const ChainPoint &p = points[k];
                writer.put(place.x(p.x), place.y(p.y), p.paletteIndex);
                b.add(p.x, p.y);
            }
            dots = writer;
            bounds = b;
            drawn += static_cast<std::size_t>(shown);
            if (shown < count || drawn >= maxDots)
                return {shown, false};
            if (!interrupt)
                return {count, true};
            switch (interrupt(drawn)) {
            case Next::GoOn:
                break;
            case Next::Show:
                dots.finish();
                if (show)
                    show(bounds);
                drawing.setDrawWidth(model::kDotWidth);
                dots = drawing.dotWriter();
                break;
            case Next::Stop:
                result.stopped = true;
                return {count, false};
            }
            return {count, true};
        });
    dots.finish();
    result.bounds = bounds;
    return result;
}

void paintScale(QPainter &painter, const Scene &scene, const View &view, QSize canvas, bool grid)
{
    if (canvas.isEmpty() || !(view.width > 0) || !(view.height > 0))
        return;
    const double kx = canvas.width() / view.width;
    const double ky = canvas.height() / view.height;
    const double cx = scene.cx;
    const double cy = scene.cy;
    // The axes' crossing in pixels, and where the tick marks go: on the axes, or at the edge
    // they lie beyond.
    const double axisX = (cx - view.left) * kx;
    const double axisY = (cy - view.top) * ky;
    const double marksX = std::clamp(axisX, 0.0, canvas.width() - 1.0);
    const double marksY = std::clamp(axisY, 0.0, canvas.height() - 1.0);
    const double stepX = tickStep(kx, 80);
    const double stepY = tickStep(ky, 50);
    const auto decimalsOf = [](double step) {
        return std::max(0, static_cast<int>(std::ceil(-std::log10(step) - 1e-9)));
    };
    const int decimalsX = decimalsOf(stepX);
    const int decimalsY = decimalsOf(stepY);
    // The tick values seen: X from the crossing to the right, Y upwards.
    const double firstX = std::ceil((view.left - cx) / stepX);
    const double lastX = std::floor((view.left + view.width - cx) / stepX);
    const double firstY = std::ceil((cy - view.top - view.height) / stepY);
    const double lastY = std::floor((cy - view.top) / stepY);
    if (lastX - firstX > 1000 || lastY - firstY > 1000)
        return;
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, false);
    const QColor gridColour(0, 0, 0, 40);
    const QColor markColour(0, 0, 0);
    painter.setPen(markColour);
    const QFontMetrics metrics = painter.fontMetrics();
    for (double n = firstX; n <= lastX; ++n) {
        const double x = (cx + n * stepX - view.left) * kx;
        if (grid) {
            painter.setPen(gridColour);
            painter.drawLine(QPointF(x, 0), QPointF(x, canvas.height()));
            painter.setPen(markColour);
        } else {
            painter.drawLine(QPointF(x, marksY - 4), QPointF(x, marksY + 4));
        }
        if (n == 0)
            continue;
        const QString label = positionalText(n * stepX, decimalsX);
        const double below = marksY + 6 + metrics.ascent();
        const double y
            = below + metrics.descent() > canvas.height() ? marksY - 6 - metrics.descent() : below;
        painter.drawText(QPointF(x - metrics.horizontalAdvance(label) / 2.0, y), label);
    }
    for (double n = firstY; n <= lastY; ++n) {
        const double y = (cy - n * stepY - view.top) * ky;
        if (grid) {
            painter.setPen(gridColour);
            painter.drawLine(QPointF(0, y), QPointF(canvas.width(), y));
            painter.setPen(markColour);
        } else {
            painter.drawLine(QPointF(marksX - 4, y), QPointF(marksX + 4, y));
        }
        if (n == 0)
            continue;
        const QString label = positionalText(n * stepY, decimalsY);
        const double width = metrics.horizontalAdvance(label);
        const double x = marksX - 8 - width < 0 ? marksX + 8 : marksX - 8 - width;
        painter.drawText(QPointF(x, y + metrics.ascent() / 2.0 - 1), label);
    }
    painter.restore();
}

} // namespace quorvel::explore
