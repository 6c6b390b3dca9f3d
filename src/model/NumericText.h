// SPDX-FileCopyrightText: 2026 The QUORVEL developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QString>
#include <QStringView>

#include <cmath>
#include <cstdint>
#include <optional>

namespace quorvel::model {

// Numbers as the user types and reads them: always the Italian way, with the decimal comma,
// whatever the machine's locale.

// True when the text is exactly  -?digits(,digits)?  (ASCII digits) and its value lies within
// the range of a double. A value too small in magnitude is numeric and converts to the nearest
// double, which may be 0.
bool isNumeric(QStringView text);

// The nearest double to a numeric text; nothing for a text that isNumeric() refuses, so the
// test and the conversion always agree. Linear in the length of the text.
std::optional<double> toNumber(QStringView text);

// The decimal text of a number: comma separator, a leading minus when negative, a 0 before the
// comma for |v| < 1, at most 15 significant digits and no trailing zeros; positional for
// 1e-4 <= |v| < 1e15, exponent form otherwise ("1E+15", "1,5E-05"). Values that are not finite
// read "infinito", "-infinito" and "indefinito".
QString decimalText(double value);

// decimalText() for a reader: the digits of the whole part grouped by three with full stops, as
// Italian writes large numbers ("530.902.015", "-32.768", "1.234,5"). The exponent form stays
// as it is. For display only: toNumber() does not read it back.
QString groupedDecimalText(double value);

// The nearest 16-bit integer, a half going to the even neighbour (2.5 -> 2, 3.5 -> 4,
// -2.5 -> -2); nothing when the rounded value does not fit or the value is not a number.
// Inline: the curve window rounds once per plotted point.
inline std::optional<std::int16_t> roundToInt16(double value)
{
    // Far beyond 16 bits, infinite or not a number: never fits.
    if (!(std::fabs(value) < 65536.0))
        return std::nullopt;
    // Adding and taking away 1.5 x 2^52 leaves no fraction bits: the sum is rounded to a whole
    // number in the current rounding mode, to nearest with ties to even, as nearbyint would,
    // without its call and its saving of the floating-point state.
    constexpr double kWholeShift = 6755399441055744.0;
    const double r = (value + kWholeShift) - kWholeShift;
    if (r < -32768.0 || r > 32767.0)
        return std::nullopt;
    return static_cast<std::int16_t>(r);
}

} // namespace quorvel::model
