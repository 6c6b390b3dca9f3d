// SPDX-FileCopyrightText: 2026 The QUORVEL developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "raster/DrawingObserver.h"

#include <QImage>
#include <QSet>

#include <vector>

// What tests of drawings need, without widgets.
namespace quorvel::test {

// How many pixels of `image` are exactly `colour`.
int countPixels(const QImage &image, QRgb colour);
// The distinct colours in `image`.
QSet<QRgb> coloursIn(const QImage &image);

// Every drawing operation as the program made it, in user units.
struct SurfaceOp
{
    enum Kind { Scale, Clear, Line, Point } kind;
    float a = 0, b = 0, c = 0, d = 0; // scale: width, height; line: x1 y1 x2 y2; point: x y
    int width = 0; // DrawWidth
    unsigned colour = 0; // line: colour value; point: palette index
};

class RecordingObserver : public raster::DrawingObserver
{
public:
    std::vector<SurfaceOp> ops;
    void scaleChanged(float w, float h) override;
    void cleared() override;
    void lineDrawn(float x1, float y1, float x2, float y2, int width,
                   raster::ColourValue c) override;
    void pointSet(float x, float y, int width, int index) override;

    std::vector<SurfaceOp> points() const;
    std::vector<SurfaceOp> lines() const;
    int count(SurfaceOp::Kind kind) const;
};

// The bit pattern of a float, for exact comparisons.
quint32 bitsOf(float f);
quint64 bitsOf(double d);

} // namespace quorvel::test
