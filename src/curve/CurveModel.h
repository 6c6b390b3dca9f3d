#pragma once

#include "shell/NumericText.h"
#include "shell/Variant.h"

#include <cmath>
#include <cstdint>
#include <optional>

namespace quorvel::curve {

// The chain starts 15 units right of and 30 units above the axes' crossing, in user units
// relative to that crossing (x to the right, y upwards).
inline constexpr double kStartX = 15.0;
inline constexpr double kStartY = 30.0;

// ValStep's value that ends a run: a range from 0 to 0, or a range whose fields were refused.
inline constexpr std::int16_t kEndMarker = 999;

// The step of ALFA for a range from `from` to `to` (both finite), in the form in which it is
// stored: the end marker for 0 to 0; the double To / |To| when only From is 0; otherwise the
// 16-bit integer -1 when From is greater than To, +1 when not.
Variant stepFor(double from, double to);

// The parameters of one range, fixed while its points are computed.
struct PointParameters
{
    double ep1 = 0; // epsilon
    double inx = 0; // increment on the X axis
    double iny = 0; // increment on the Y axis
    double beta1 = 0; // BETA in radians
    double ve = 0; // multiplier t of ALFA
    float p1 = 0; // degrees to radians, single precision
};

// The direction factor of a point: the sine (or cosine) of A2 degrees, the angle A2 x P1 being
// formed in single precision and widened for the sine.
inline double senCos(std::int16_t a2, float p1, bool cosine)
{
    const float radians = static_cast<float>(a2) * p1;
    return cosine ? std::cos(static_cast<double>(radians)) : std::sin(static_cast<double>(radians));
}

// t x ALFA to whole degrees, half to even; nothing when it does not fit in 16 bits.
inline std::optional<std::int16_t> angleA2(double alfa, double ve)
{
    return roundToInt16(alfa * ve);
}

// One step of the chain: the new point from the previous one (x10, y10), given the direction
// factor. Products first, then the sum with the previous coordinate, all in double precision.
struct Point
{
    double x;
    double y;
};
inline Point nextPoint(const PointParameters &p, double senCosValue, double x10, double y10)
{
    const double direction = p.beta1 * senCosValue;
    return {p.ep1 * p.inx * std::cos(direction) + x10, p.ep1 * p.iny * std::sin(direction) + y10};
}

// Whether a coordinate relative to the axes' crossing lies within `limit` units of it. A value
// that is not a number or is infinite is never within.
inline bool withinField(double value, float limit)
{
    return std::fabs(value) <= static_cast<double>(limit);
}

} // namespace quorvel::curve
