// SPDX-FileCopyrightText: 2026 The QUORVEL developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QString>

#include <algorithm>
#include <array>
#include <cstddef>

namespace quorvel::model {

struct ChainPoint;

// What one run of the curve window drew, gathered while it runs, so that it can be told in
// words to a user who cannot see the drawing. Coordinates are user units relative to the axes'
// crossing, x to the right, y upwards.
struct RunSummary
{
    enum class End {
        RangesDone, // every range asked for was drawn, or a range from 0 to 0 ended the sequence
        OutOfField, // a point or an angle out of the field: `message` says which and its value
        Stopped, // the user pressed Esc
        Refused, // a field was refused: `message` is the message shown
    };

    std::array<int, 16> pointsByColour {}; // by palette index
    std::array<int, 4> pointsByQuadrant {}; // upper right, upper left, lower left, lower right
    double left = 0;
    double right = 0;
    double bottom = 0;
    double top = 0;
    int drawn = 0; // points in all
    int rangesDone = 0;
    End end = End::RangesDone;
    QString message; // the last message the run showed

    // `count` dots of the chain in a row, each of palette colour paletteIndex (0..15) at (x,
    // y): the curve window adds them a stretch at a time.
    void addChain(const ChainPoint *points, int count);
    // `count` dots in a row of one colour whose x and y each move one way only, from the first
    // (x0, y0) to the last (x1, y1), with `quadrants` of them upper right, upper left and lower
    // left (the rest lower right).
    void addStraight(double x0, double y0, double x1, double y1, int count, int paletteIndex,
                     const std::array<int, 3> &quadrants);
    int points() const { return drawn; }
};

// The Italian names of the sixteen palette colours, index order.
QString colourName(int paletteIndex);

// The run told in Italian: how many points in which colours, how it ended, where the points lie
// relative to the axes.
QString describeRun(const RunSummary &run);

} // namespace quorvel::model
