// SPDX-FileCopyrightText: 2026 The QUORVEL developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <vector>

namespace quorvel::model {

// The calibration window's user scale: fixed width, height = Incr x width (user units).
inline constexpr float kCircleScaleWidth = 146367.36f; // held as 146367.359375
// The vertical axis (and the circle's centre) lies this far right of the width's middle.
inline constexpr float kAxisShift = 20000.0f;
// Radius of the test circle, user units.
inline constexpr double kRadius = 36367.36328125;
// Angle step of the circle, degrees; the angle runs from 0 while it is <= 360.
inline constexpr double kAngleStep = 0.1;
inline constexpr double kLastAngle = 360.0;
// Palette index of the circle's points (red).
inline constexpr int kCircleColour = 4;

// Offset of one circle point from the centre, user units: (cos(a x P1) x R, sin(a x P1) x R)
// for the angle a in degrees, P1 widened from single precision.
struct CircleOffset
{
    double xr;
    double yr;
};

// The 3600 offsets of the test circle, for angles 0, 0.1, 0.2 ... added up one step at a time
// while <= 360 (the last is 359.90000000001334). They depend on P1 alone, so they are worked
// out once and reused by every redraw.
const std::vector<CircleOffset> &circleOffsets(float p1);

// Factor of the scroll position p: p x 0.02 + 0.51, in double precision.
double factorForPosition(int position);

// Factor set by each activation, and the one "OK - continua" must exceed.
inline constexpr double kStartFactor = 0.51;
inline constexpr double kAcceptThreshold = 0.53;

} // namespace quorvel::model
