#include "CircleModel.h"

namespace quorvel::calibration {

double factorForPosition(int position)
{
    return static_cast<double>(position) * 0.02 + 0.51;
}

} // namespace quorvel::calibration
