// SPDX-FileCopyrightText: 2026 The QUORVEL developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QPointF>
#include <QRgb>

#include <cstddef>
#include <memory>
#include <variant>
#include <vector>

namespace quorvel::raster {

// One dot as it was set: user units exactly as passed to PSet (y downwards), palette index.
struct RecordedDot
{
    double x;
    double y;
    int paletteIndex;
};

// Receives the dots of a source in drawing order; returns false to stop early.
class DotVisitor
{
public:
    virtual ~DotVisitor() = default;
    virtual bool dot(const RecordedDot &d) = 0;
};

// Dots that can be produced again from a small recipe instead of being kept one by one (a run
// of the curve window keeps its ranges, the test circle its centre).
class DotSource
{
public:
    virtual ~DotSource() = default;
    virtual void replayDots(DotVisitor &visitor) const = 0;
};

// User units to the window's logical pixels, and the pen in logical pixels, in force when a
// batch of dots was drawn.
struct DotMapping
{
    double kx = 1; // logical pixels per user unit across
    double ky = 1; // and down
    double pen = 1; // side of a dot's square, logical pixels
};

// A straight line as drawn: ends in the window's logical pixels at the time, pen width in
// logical pixels, colour as a pixel colour.
struct RecordedLine
{
    QPointF from;
    QPointF to;
    double width;
    QRgb colour;
};

struct RecordedDots
{
    std::shared_ptr<const DotSource> source;
    DotMapping mapping;
};

// What has been drawn on a surface since it was last cleared, in drawing order, small enough to
// keep for any number of dots: lines as they were drawn, dots as the recipes that make them.
// Vector pictures and the table of points are made from it.
class DrawingRecord
{
public:
    using Entry = std::variant<RecordedLine, RecordedDots>;

    void clear() { m_entries.clear(); }
    void addLine(const DotMapping &mapping, double x1, double y1, double x2, double y2,
                 QRgb colour);
    void addDots(std::shared_ptr<const DotSource> source, const DotMapping &mapping);

    const std::vector<Entry> &entries() const { return m_entries; }
    std::size_t dotBatchCount() const;

private:
    std::vector<Entry> m_entries;
};

} // namespace quorvel::raster
