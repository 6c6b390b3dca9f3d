// SPDX-FileCopyrightText: 2026 The QUORVEL developers
// SPDX-License-Identifier: GPL-3.0-or-later

// libFuzzer target for the numeric texts of src/model/NumericText.
//
// The input is read three ways at once:
//  - all of it as UTF-8 text, for isNumeric/toNumber (numbers are typed with a decimal comma);
//  - its first 8 bytes as the bits of a double, for decimalText and roundToInt16;
//  - its first 3 bytes as a signed count of 1/128ths, so that roundToInt16 is also tried on
//    halves and on the edges of the 16-bit range, which random doubles almost never hit.
//
// The properties checked are those a user relies on: the numeric test and the conversion agree;
// a conversion is the correctly rounded double (compared with the C library's strtod); every
// decimal text reads back to its number within 15 significant digits; rounding to 16 bits is to
// the nearest integer with halves to even.

#include "model/NumericText.h"

#include <QString>

#include <bit>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <optional>
#include <string>

namespace {

constexpr double kInfinity = std::numeric_limits<double>::infinity();

[[noreturn]] void fail(const char *what, const QString &text, double value)
{
    std::fprintf(stderr, "fuzz_numeric_text: %s\n  text: \"%s\"\n  value: %.17g (%a)\n", what,
                 text.toUtf8().constData(), value, value);
    std::abort();
}

// The text as plain ASCII with '.' for the comma when it has the shape  -?digits(,digits)? ,
// written independently of the code under test.
std::optional<std::string> numberShape(const QString &text)
{
    std::string out;
    bool seenComma = false;
    bool digitInPart = false;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t c = text[i].unicode();
        if (c >= u'0' && c <= u'9') {
            out += static_cast<char>(c);
            digitInPart = true;
        } else if (c == u'-' && i == 0) {
            out += '-';
        } else if (c == u',' && !seenComma && digitInPart) {
            out += '.';
            seenComma = true;
            digitInPart = false;
        } else {
            return std::nullopt;
        }
    }
    if (!digitInPart)
        return std::nullopt;
    return out;
}

// Digits of the integer part after its leading zeros: a double holds at most 309 of them.
std::size_t significantIntegerDigits(const std::string &ascii)
{
    std::size_t i = ascii[0] == '-' ? 1 : 0;
    while (i < ascii.size() && ascii[i] == '0')
        ++i;
    std::size_t n = 0;
    while (i < ascii.size() && ascii[i] != '.') {
        ++i;
        ++n;
    }
    return n;
}

bool sameDouble(double a, double b)
{
    return std::bit_cast<std::uint64_t>(a) == std::bit_cast<std::uint64_t>(b);
}

void checkNumericText(const QString &text)
{
    const bool numeric = quorvel::model::isNumeric(text);
    const std::optional<double> value = quorvel::model::toNumber(text);
    if (numeric != value.has_value())
        fail("isNumeric and toNumber disagree", text, value.value_or(0.0));

    const std::optional<std::string> ascii = numberShape(text);
    if (!ascii) {
        if (numeric)
            fail("a text without the shape -?digits(,digits)? is numeric", text, *value);
        return;
    }

    // The process runs in the "C" locale, where strtod reads '.' and rounds correctly.
    const double reference = std::strtod(ascii->c_str(), nullptr);
    if (std::isinf(reference)) {
        if (numeric)
            fail("a text beyond the range of a double is numeric", text, *value);
        if (significantIntegerDigits(*ascii) < 309)
            fail("a text refused as too large has fewer than 309 integer digits", text, 0.0);
        return;
    }
    if (!numeric)
        fail("a text within the range of a double is refused", text, reference);
    if (!std::isfinite(*value))
        fail("a numeric text converts to a value that is not finite", text, *value);
    if (!sameDouble(*value, reference))
        fail("the conversion is not the nearest double (as strtod)", text, *value);
}

struct DecimalParts
{
    bool exponentForm = false;
    // The position of the first significant digit: the number lies in [10^e, 10^(e+1)).
    int leadingExponent = 0;
    int significantDigits = 0;
};

// Checks the layout of a decimal text of a finite non-zero number and returns what it says.
DecimalParts decimalLayout(const QString &text, double value)
{
    const std::string s = text.toStdString();
    std::size_t i = 0;
    if (value < 0) {
        if (s.empty() || s[0] != '-')
            fail("a negative number's text does not start with '-'", text, value);
        ++i;
    }
    DecimalParts parts;
    const std::size_t e = s.find('E');
    parts.exponentForm = e != std::string::npos;
    const std::string mantissa = s.substr(i, parts.exponentForm ? e - i : std::string::npos);
    const std::size_t comma = mantissa.find(',');
    const std::string integer = mantissa.substr(0, comma);
    const std::string fraction = comma == std::string::npos ? "" : mantissa.substr(comma + 1);
    const auto allDigits = [](const std::string &d) {
        return d.find_first_not_of("0123456789") == std::string::npos;
    };
    if (integer.empty() || !allDigits(integer) || !allDigits(fraction))
        fail("malformed decimal text", text, value);
    if (comma != std::string::npos && (fraction.empty() || fraction.back() == '0'))
        fail("a decimal text ends its fraction with a zero", text, value);
    if (integer.size() > 1 && integer[0] == '0')
        fail("a decimal text has a superfluous leading zero", text, value);

    const std::string digits = integer + fraction;
    const std::size_t first = digits.find_first_not_of('0');
    if (first == std::string::npos)
        fail("the text of a non-zero number has no significant digit", text, value);
    parts.significantDigits = static_cast<int>(digits.size() - first);
    parts.leadingExponent = static_cast<int>(integer.size()) - 1 - static_cast<int>(first);

    if (parts.exponentForm) {
        if (integer.size() != 1 || integer[0] == '0')
            fail("an exponent form without one non-zero digit before the comma", text, value);
        const std::string exponent = s.substr(e + 1);
        if (exponent.size() < 3 || (exponent[0] != '+' && exponent[0] != '-')
            || !allDigits(exponent.substr(1)) || (exponent.size() > 3 && exponent[1] == '0'))
            fail("malformed exponent (sign and at least two digits expected)", text, value);
        parts.leadingExponent = std::atoi(exponent.c_str());
    }
    return parts;
}

void checkDecimalText(double value)
{
    const QString text = quorvel::model::decimalText(value);
    if (std::isnan(value)) {
        if (text != QStringLiteral("indefinito"))
            fail("NaN does not read \"indefinito\"", text, value);
        return;
    }
    if (std::isinf(value)) {
        if (text != (value > 0 ? QStringLiteral("infinito") : QStringLiteral("-infinito")))
            fail("an infinity does not read \"infinito\"/\"-infinito\"", text, value);
        return;
    }
    if (value == 0.0) {
        if (text != QStringLiteral("0"))
            fail("zero does not read \"0\"", text, value);
        return;
    }

    const DecimalParts parts = decimalLayout(text, value);
    if (parts.significantDigits > 15)
        fail("more than 15 significant digits", text, value);
    const bool positional = parts.leadingExponent >= -4 && parts.leadingExponent < 15;
    if (positional == parts.exponentForm)
        fail("positional form outside 1e-4 <= |v| < 1e15, or exponent form inside", text, value);

    // The value the text stands for, read in long double: its wider exponent range holds every
    // rounded decimal text exactly enough (a text of DBL_MAX rounds above DBL_MAX, and a
    // subnormal's text needs more precision than the subnormal has).
    std::string ascii = text.toStdString();
    for (char &c : ascii) {
        if (c == ',')
            c = '.';
    }
    const long double decimal = std::strtold(ascii.c_str(), nullptr);

    if (positional) {
        // The program reads its own positional texts back.
        checkNumericText(text);
        const double back = *quorvel::model::toNumber(text);
        if (std::signbit(back) != std::signbit(value))
            fail("the text reads back with the other sign", text, back);
    }

    // 15 significant digits, correctly rounded: the decimal is within half a unit of the 15th
    // digit, at most 5e-15 of the value; strtold adds at most 2^-64 of the decimal.
    const long double v = value;
    const long double error = std::fabs(decimal - v);
    const long double bound = 5e-15L * std::fabs(v) + std::ldexp(std::fabs(decimal), -63);
    if (!(error <= bound))
        fail("the decimal text is not within 15 significant digits of the value", text, value);
}

// Nearest integer, halves to the even neighbour, written without nearbyint: the fraction
// d - floor(d) of a double is exact.
std::optional<std::int16_t> referenceRound(double d)
{
    if (!std::isfinite(d))
        return std::nullopt;
    const double below = std::floor(d);
    const double fraction = d - below;
    double nearest = below;
    if (fraction > 0.5 || (fraction == 0.5 && std::fmod(below, 2.0) != 0.0))
        nearest = below + 1.0;
    if (nearest < -32768.0 || nearest > 32767.0)
        return std::nullopt;
    return static_cast<std::int16_t>(nearest);
}

QString roundedText(std::optional<std::int16_t> r)
{
    return r ? QString::number(*r) : QStringLiteral("nothing");
}

void checkRound(double value)
{
    const std::optional<std::int16_t> got = quorvel::model::roundToInt16(value);
    const std::optional<std::int16_t> want = referenceRound(value);
    if (got != want) {
        fail("roundToInt16 differs from the nearest integer with halves to even",
             roundedText(got) + QStringLiteral(" instead of ") + roundedText(want), value);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const QString text
        = QString::fromUtf8(reinterpret_cast<const char *>(data), static_cast<qsizetype>(size));
    checkNumericText(text);
    if (const std::optional<double> value = quorvel::model::toNumber(text)) {
        checkDecimalText(*value);
        checkRound(*value);
    }

    if (size >= sizeof(double)) {
        double bits = 0;
        std::memcpy(&bits, data, sizeof bits);
        checkDecimalText(bits);
        checkRound(bits);
    }

    if (size >= 3) {
        // A signed 24-bit count of 1/128ths: -65536 .. 65535.99, halves included.
        const std::int32_t raw = static_cast<std::int32_t>(
            static_cast<std::uint32_t>(data[0]) | static_cast<std::uint32_t>(data[1]) << 8
            | static_cast<std::uint32_t>(data[2]) << 16);
        const double steps = static_cast<double>(raw >= (1 << 23) ? raw - (1 << 24) : raw);
        const double near = steps / 128.0;
        checkRound(near);
        checkRound(std::nextafter(near, -kInfinity));
        checkRound(std::nextafter(near, kInfinity));
        checkDecimalText(near);
    }
    return 0;
}
