#include "CurveChain.h"

#include <cmath>

namespace quorvel::curve {

Variant stepFor(double from, double to)
{
    if (from == 0.0 && to == 0.0)
        return Variant::int16(kEndMarker);
    if (from == 0.0)
        return Variant::real(to / std::fabs(to));
    if (to == 0.0)
        return Variant::int16(from > 0.0 ? -1 : 1);
    return Variant::int16(from > to ? -1 : 1);
}

} // namespace quorvel::curve
