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

QString rangeEndMessage(const RangeOutcome &outcome)
{
    const char *what = nullptr;
    switch (outcome.end) {
    case RangeEnd::OutOfFieldX:
        what = "X11";
        break;
    case RangeEnd::OutOfFieldY:
        what = "Y11";
        break;
    case RangeEnd::AngleTooLarge:
        what = "t*ALFA";
        break;
    case RangeEnd::AlfaStuck:
        what = "ALFA";
        break;
    case RangeEnd::Done:
    case RangeEnd::Stopped:
        return {};
    }
    return QStringLiteral("fuori campo %1 =").arg(QLatin1String(what)) + decimalText(outcome.value);
}

} // namespace quorvel::curve
