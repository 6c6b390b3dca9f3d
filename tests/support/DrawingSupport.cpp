// SPDX-FileCopyrightText: 2026 The QUORVEL developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "DrawingSupport.h"

#include <cstring>

namespace quorvel::test {

int countPixels(const QImage &image, QRgb colour)
{
    int n = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            n += image.pixel(x, y) == colour ? 1 : 0;
    return n;
}

QSet<QRgb> coloursIn(const QImage &image)
{
    QSet<QRgb> colours;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            colours.insert(image.pixel(x, y));
    return colours;
}

void RecordingObserver::scaleChanged(float w, float h)
{
    ops.push_back({SurfaceOp::Scale, w, h, 0, 0, 0, 0});
}

void RecordingObserver::cleared()
{
    ops.push_back({SurfaceOp::Clear, 0, 0, 0, 0, 0, 0});
}

void RecordingObserver::lineDrawn(float x1, float y1, float x2, float y2, int width,
                                  raster::ColourValue c)
{
    ops.push_back({SurfaceOp::Line, x1, y1, x2, y2, width, c});
}

void RecordingObserver::pointSet(float x, float y, int width, int index)
{
    ops.push_back({SurfaceOp::Point, x, y, 0, 0, width, static_cast<unsigned>(index)});
}

std::vector<SurfaceOp> RecordingObserver::points() const
{
    std::vector<SurfaceOp> out;
    for (const SurfaceOp &op : ops)
        if (op.kind == SurfaceOp::Point)
            out.push_back(op);
    return out;
}

std::vector<SurfaceOp> RecordingObserver::lines() const
{
    std::vector<SurfaceOp> out;
    for (const SurfaceOp &op : ops)
        if (op.kind == SurfaceOp::Line)
            out.push_back(op);
    return out;
}

int RecordingObserver::count(SurfaceOp::Kind kind) const
{
    int n = 0;
    for (const SurfaceOp &op : ops)
        n += op.kind == kind ? 1 : 0;
    return n;
}

quint32 bitsOf(float f)
{
    quint32 u = 0;
    std::memcpy(&u, &f, sizeof u);
    return u;
}

quint64 bitsOf(double d)
{
    quint64 u = 0;
    std::memcpy(&u, &d, sizeof u);
    return u;
}

} // namespace quorvel::test
