// SPDX-FileCopyrightText: 2026 The QUORVEL developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "raster/DrawingRecord.h"

#include <QPointF>
#include <QSize>

#include <cstddef>
#include <span>
#include <vector>

namespace quorvel::picture {

// Receives what a drawing's record holds, in drawing order, as a picture shows it: positions in
// the window's logical pixels, y downwards.
class RecordVisitor
{
public:
    virtual ~RecordVisitor() = default;
    virtual void line(const raster::RecordedLine &line) = 0;
    // Dots of one palette colour, each a square of side `pen` centred on its place.
    virtual void dots(int paletteIndex, double pen, std::span<const QPointF> centres) = 0;
    // Told every so many dots how many dots have been looked at so far; false stops the walk.
    virtual bool goOn(std::size_t /*dotsSeen*/) { return true; }
};

// A picture of `size` logical pixels, `pixelRatio` pixels of the drawing to a logical pixel.
struct WalkArea
{
    QSize size;
    double pixelRatio = 1;
};

// Walks `entries` in drawing order and hands `visitor` every line and the dots that show on the
// picture: a dot that lies wholly outside it is left out, and so is a dot whose every pixel at
// the drawing's resolution already shows its colour (the same colour on the same place, not
// covered since). A picture made from what the walk hands over therefore has the pixels of the
// drawing and grows with what is visible, not with the number of points computed. Dots of one
// colour come together, a few thousand at a time. False when the visitor stopped the walk.
bool walkRecord(const std::vector<raster::DrawingRecord::Entry> &entries, const WalkArea &area,
                RecordVisitor &visitor);

// How often RecordVisitor::goOn is told, in dots looked at.
inline constexpr std::size_t kDotsBetweenProgress = std::size_t {1} << 16;

} // namespace quorvel::picture
