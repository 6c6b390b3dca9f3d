// SPDX-FileCopyrightText: 2026 The QUORVEL developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

namespace quorvel::model {

// Degrees to radians as both drawing windows form it (their member P1): pi in single precision
// over 180, the quotient rounded to single precision, 0.017453292 (bits 0x3C8EFA35) rather than
// the double pi / 180.
inline constexpr float kSinglePrecisionPi = 3.1415927f;
inline constexpr float kDegreesToRadians = kSinglePrecisionPi / 180.0f;

} // namespace quorvel::model
