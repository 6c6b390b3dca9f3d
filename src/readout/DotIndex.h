// SPDX-FileCopyrightText: 2026 The QUORVEL developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

// The nearest dot to a point of a view, among the dots of runs of the chain that are kept as
// recipes: the runs are replayed once, and each pixel of the view keeps the dot that shows on
// it (the last one drawn there). Plain C++ and Qt Core: no widgets, usable on any thread.

#include "model/CurveChain.h"

#include <QPointF>

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <unordered_map>
#include <vector>

namespace quorvel::readout {

// A run whose dots can be produced again, exactly, in drawing order.
class ReadableRun
{
public:
    virtual ~ReadableRun() = default;
    // The run's number as the window counts them (the curve window: since its last clearing).
    virtual int runNumber() const = 0;
    // Calls `visit` once per dot, in order, until it returns false or the dots end.
    virtual void replayChain(const std::function<bool(const model::ChainPoint &)> &visit) const = 0;
};

// Where a dot of the chain lands in a view: x and y (user units relative to the axes' crossing,
// y upwards) at logical pixel (originX + x * kx, originY - y * ky).
struct ChainMapping
{
    double originX = 0; // the axes' crossing, logical pixels from the view's left edge
    double originY = 0; // and from its top
    double kx = 1; // logical pixels per user unit across
    double ky = 1; // and upwards

    QPointF toView(double x, double y) const { return {originX + x * kx, originY - y * ky}; }
    // The user units, relative to the axes' crossing, of a point of the view.
    QPointF toChain(QPointF view) const
    {
        return {(view.x() - originX) / kx, (originY - view.y()) / ky};
    }
    bool operator==(const ChainMapping &) const = default;
};

struct PlacedRun
{
    std::shared_ptr<const ReadableRun> run;
    ChainMapping mapping; // the one its dots were drawn with
    bool operator==(const PlacedRun &) const = default;
};

// A dot as the readout tells it.
struct FoundDot
{
    int run = 0; // the run's number
    int range = 0; // 1 to 3
    double alfa = 0; // degrees
    std::int16_t a2 = 0; // t x ALFA, whole degrees
    double x11 = 0; // user units from the axes' crossing, y upwards
    double y11 = 0;
    QPointF view; // where it lies in the view, logical pixels
};

class DotIndex
{
public:
    // How far from the cursor a dot is found, logical pixels.
    static constexpr double kReach = 3.0;

    // Replays `runs` in order and keeps, for each pixel of the view [0, width) x [0, height),
    // the last dot drawn on it; dots outside it are left out. Stops early, with an index of what
    // was replayed, once `cancel` is set.
    static DotIndex build(const std::vector<PlacedRun> &runs, int width, int height,
                          const std::atomic<bool> &cancel);

    // The dot nearest to `cursor` (logical pixels) no farther than kReach; of dots equally near,
    // the one drawn last.
    std::optional<FoundDot> nearest(QPointF cursor) const;

    std::size_t pixelsHeld() const { return m_dots.size(); }

private:
    // A pixel's dot, small: a window full of dots holds a couple of million.
    struct Held
    {
        double alfa;
        double x11;
        double y11;
        double viewX; // where it lies in the view, logical pixels
        double viewY;
        std::uint64_t order; // drawing order across all runs
        int run;
        std::int16_t a2;
        std::int8_t range;
    };
    static std::uint64_t key(int px, int py)
    {
        return (static_cast<std::uint64_t>(static_cast<std::uint32_t>(py)) << 32)
            | static_cast<std::uint32_t>(px);
    }
    std::vector<Held> m_dots;
    std::unordered_map<std::uint64_t, std::uint32_t> m_byPixel; // pixel to m_dots index
};

} // namespace quorvel::readout
