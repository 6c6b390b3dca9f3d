// SPDX-FileCopyrightText: 2026 The QUORVEL developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "NumericText.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <string>
#include <system_error>

namespace quorvel::model {

namespace {

bool isAsciiDigit(QChar c)
{
    return c.unicode() >= u'0' && c.unicode() <= u'9';
}

// The text rewritten for std::from_chars ('.' for the comma), or nothing when it does not have
// the shape  -?digits(,digits)? . `hasIntegerValue` tells whether a digit before the comma is
// not zero, i.e. whether the magnitude is at least 1.
std::optional<std::string> asciiNumber(QStringView text, bool &hasIntegerValue)
{
    const qsizetype n = text.size();
    qsizetype i = 0;
    if (i < n && text[i] == u'-')
        ++i;
    const qsizetype intStart = i;
    hasIntegerValue = false;
    while (i < n && isAsciiDigit(text[i])) {
        hasIntegerValue = hasIntegerValue || text[i] != u'0';
        ++i;
    }
    if (i == intStart)
        return std::nullopt;
    if (i < n) {
        if (text[i] != u',')
            return std::nullopt;
        ++i;
        const qsizetype fracStart = i;
        while (i < n && isAsciiDigit(text[i]))
            ++i;
        if (i == fracStart || i != n)
            return std::nullopt;
    }
    std::string ascii;
    ascii.resize(static_cast<std::size_t>(n));
    for (qsizetype k = 0; k < n; ++k) {
        const char16_t c = text[k].unicode();
        ascii[static_cast<std::size_t>(k)] = c == u',' ? '.' : static_cast<char>(c);
    }
    return ascii;
}

} // namespace

std::optional<double> toNumber(QStringView text)
{
    bool hasIntegerValue = false;
    const std::optional<std::string> ascii = asciiNumber(text, hasIntegerValue);
    if (!ascii)
        return std::nullopt;
    const char *first = ascii->data();
    const char *last = first + ascii->size();
    double value = 0.0;
    const auto [ptr, ec] = std::from_chars(first, last, value);
    if (ec == std::errc::result_out_of_range) {
        // Beyond the largest double: not a number this program can hold.
        if (hasIntegerValue)
            return std::nullopt;
        // Below the smallest subnormal: the nearest double is zero.
        return (*ascii)[0] == '-' ? -0.0 : 0.0;
    }
    if (ec != std::errc() || ptr != last)
        return std::nullopt;
    return value;
}

bool isNumeric(QStringView text)
{
    return toNumber(text).has_value();
}

QString groupedDecimalText(double value)
{
    QString text = decimalText(value);
    if (text.contains(u'E') || !std::isfinite(value))
        return text;
    const qsizetype start = text.startsWith(u'-') ? 1 : 0;
    qsizetype end = text.indexOf(u',');
    if (end < 0)
        end = text.size();
    for (qsizetype at = end - 3; at > start; at -= 3)
        text.insert(at, u'.');
    return text;
}

QString decimalText(double value)
{
    if (std::isnan(value))
        return QStringLiteral("indefinito");
    if (std::isinf(value))
        return value > 0 ? QStringLiteral("infinito") : QStringLiteral("-infinito");
    if (value == 0.0)
        return QStringLiteral("0");

    // 15 significant digits, correctly rounded: d.dddddddddddddde±x
    char buf[40];
    const int len = std::snprintf(buf, sizeof buf, "%.14e", value);
    const std::string s(buf, static_cast<std::size_t>(len));
    const bool negative = s[0] == '-';
    const std::size_t mantStart = negative ? 1 : 0;
    const std::size_t ePos = s.find('e');
    std::string digits;
    for (std::size_t k = mantStart; k < ePos; ++k) {
        if (s[k] != '.')
            digits += s[k];
    }
    const int exponent = std::stoi(s.substr(ePos + 1));
    while (digits.size() > 1 && digits.back() == '0')
        digits.pop_back();

    QString out;
    if (negative)
        out += u'-';
    if (exponent >= -4 && exponent < 15) {
        const int nd = static_cast<int>(digits.size());
        if (exponent < 0) {
            out += QStringLiteral("0,");
            out += QString(-exponent - 1, u'0');
            out += QString::fromLatin1(digits.data(), nd);
        } else if (nd <= exponent + 1) {
            out += QString::fromLatin1(digits.data(), nd);
            out += QString(exponent + 1 - nd, u'0');
        } else {
            out += QString::fromLatin1(digits.data(), exponent + 1);
            out += u',';
            out += QString::fromLatin1(digits.data() + exponent + 1, nd - exponent - 1);
        }
        return out;
    }
    out += QChar::fromLatin1(digits[0]);
    if (digits.size() > 1) {
        out += u',';
        out += QString::fromLatin1(digits.data() + 1, static_cast<qsizetype>(digits.size() - 1));
    }
    out += u'E';
    out += exponent < 0 ? u'-' : u'+';
    const int magnitude = exponent < 0 ? -exponent : exponent;
    out += QStringLiteral("%1").arg(magnitude, 2, 10, QChar(u'0'));
    return out;
}

} // namespace quorvel::model
