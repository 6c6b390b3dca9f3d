// SPDX-FileCopyrightText: 2026 The QUORVEL developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "CircleModel.h"

#include <cmath>

namespace quorvel::model {

const std::vector<CircleOffset> &circleOffsets(float p1)
{
    static float cachedP1 = 0.0f;
    static std::vector<CircleOffset> cached;
    if (cached.empty() || cachedP1 != p1) {
        cached.clear();
        const double radians = p1;
        for (double a = 0; a <= kLastAngle; a += kAngleStep)
            cached.push_back({std::cos(a * radians) * kRadius, std::sin(a * radians) * kRadius});
        cachedP1 = p1;
    }
    return cached;
}

double factorForPosition(int position)
{
    return static_cast<double>(position) * 0.02 + 0.51;
}

} // namespace quorvel::model
