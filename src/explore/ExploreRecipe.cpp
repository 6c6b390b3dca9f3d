// SPDX-FileCopyrightText: 2026 The QUORVEL developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "ExploreRecipe.h"

#include "model/Degrees.h"
#include "model/NumericText.h"
#include "model/Variant.h"

#include <algorithm>
#include <cmath>

namespace quorvel::explore {

using namespace model;

namespace {

constexpr int kCurveFieldNumbers[kFieldCount] = {10, 11, 12, 1, 2, 3, 4, 5, 6, 7, 8};
constexpr const char *kNames[kFieldCount]
    = {"Epsilon", "BETA", "t", "INX", "INY", "For1", "To1", "For2", "To2", "For3", "To3"};
// The curve window's starting texts, by Field.
constexpr const char *kStartingTexts[kFieldCount]
    = {"0,86", "55", "1", "1", "1", "0", "180", "0", "0", "0", "0"};

Field rangeField(int range, bool to)
{
    return static_cast<Field>(static_cast<int>(Field::From1) + 2 * (range - 1) + (to ? 1 : 0));
}

} // namespace

int curveFieldNumber(Field field)
{
    return kCurveFieldNumbers[static_cast<int>(field)];
}

QString fieldName(Field field)
{
    return QString::fromLatin1(kNames[static_cast<int>(field)]);
}

Texts startingTexts()
{
    Texts t;
    for (int i = 0; i < kFieldCount; ++i)
        t.text[static_cast<std::size_t>(i)] = QString::fromLatin1(kStartingTexts[i]);
    return t;
}

Reading readTexts(const Texts &texts)
{
    Reading out;
    const auto number = [&](Field f, const QString &notNumber) -> std::optional<double> {
        const std::optional<double> x = toNumber(texts[f]);
        if (!x)
            out.refusals.push_back({f, notNumber});
        return x;
    };
    const auto increment = [&](Field f, const QString &notNumber) -> std::optional<double> {
        const std::optional<double> x = number(f, notNumber);
        if (x && *x == 0.0) {
            out.refusals.push_back({f, QStringLiteral("Non è ammesso 0")});
            return std::nullopt;
        }
        return x;
    };
    const QString notNumber = QStringLiteral("Non è un numero");
    const std::optional<double> inx = increment(Field::Inx, QStringLiteral("INX non è un numero"));
    const std::optional<double> iny = increment(Field::Iny, QStringLiteral("INY non è un numero"));
    const std::optional<double> epsilon = number(Field::Epsilon, notNumber);
    const std::optional<double> beta = number(Field::Beta, notNumber);
    const std::optional<double> t = number(Field::T, notNumber);

    model::PointParameters params;
    if (inx && iny && epsilon && beta && t) {
        params.ep1 = *epsilon * 1.0;
        params.inx = *inx;
        params.iny = *iny;
        // Degrees to radians with the single-precision factor, the product in double precision.
        params.beta1 = *beta * static_cast<double>(kDegreesToRadians);
        params.ve = *t * 1.0;
        params.p1 = kDegreesToRadians;
    }

    Recipe recipe;
    bool ended = false; // a range from 0 to 0 ended the run: later ranges are not walked
    for (int range = 1; range <= model::kRangeCount; ++range) {
        const Field fromField = rangeField(range, false);
        const Field toField = rangeField(range, true);
        const QString &fromText = texts[fromField];
        const QString &toText = texts[toField];
        if (fromText.isEmpty() || toText.isEmpty()) {
            for (Field f : {fromField, toField}) {
                if (texts[f].isEmpty())
                    out.refusals.push_back({f, QStringLiteral("For o To senza numero")});
            }
            continue;
        }
        const std::optional<double> from = toNumber(fromText);
        const std::optional<double> to = toNumber(toText);
        for (auto [f, x] : {std::pair {fromField, from}, std::pair {toField, to}}) {
            if (!x)
                out.refusals.push_back({f, QStringLiteral("For o To non numero")});
        }
        if (!from || !to || ended)
            continue;
        const Variant step = model::stepFor(*from, *to);
        if (step.equalsNumber(model::kEndMarker)) {
            ended = true;
            continue;
        }
        model::RangePlan plan;
        plan.params = params;
        plan.cosine = texts.cosine;
        plan.from = *from;
        plan.to = *to;
        plan.step = step.toDouble();
        recipe.ranges[static_cast<std::size_t>(range - 1)] = plan;
    }
    if (out.refusals.empty())
        out.recipe = recipe;
    return out;
}

QString animatedText(Field field, double from, double to, double phase)
{
    const SliderScale scale = SliderScale::of(field);
    const int decimals = scale.step == 0.0 ? 8 : scale.decimals + 2;
    return positionalText(from + (to - from) * phase, decimals);
}

QString positionalText(double value, int decimals)
{
    if (!std::isfinite(value))
        return QStringLiteral("0");
    QString s = QString::number(value, 'f', std::clamp(decimals, 0, 40));
    if (s.contains(QLatin1Char('.'))) {
        while (s.endsWith(QLatin1Char('0')))
            s.chop(1);
        if (s.endsWith(QLatin1Char('.')))
            s.chop(1);
    }
    if (s == QLatin1String("-0"))
        s = QStringLiteral("0");
    s.replace(QLatin1Char('.'), QLatin1Char(','));
    return s;
}

SliderScale SliderScale::of(Field field)
{
    switch (field) {
    case Field::Epsilon: // 0,000001 to 10
        return {0, 700, 100, 0.0, 0};
    case Field::Beta: // -360 to 360 degrees in tenths
        return {-3600, 3600, 150, 0.1, 1};
    case Field::T: // -10 to 10 in hundredths
    case Field::Inx:
    case Field::Iny:
        return {-1000, 1000, 10, 0.01, 2};
    case Field::From1:
    case Field::To1:
    case Field::From2:
    case Field::To2:
    case Field::From3:
    case Field::To3:
        break;
    }
    return {-32768, 32767, 1000, 1.0, 0};
}

namespace {
// The logarithmic scale: position p is m x 10^k with k = p / 100 - 6 and m = 10^((p % 100) /
// 100) to two decimals.
struct LogPosition
{
    int power;
    double mantissa;
};
LogPosition logPosition(int position)
{
    const int decade = position / 100;
    const int within = position % 100;
    const double mantissa = std::round(std::pow(10.0, within / 100.0) * 100.0) / 100.0;
    return {decade - 6, mantissa};
}
} // namespace

double SliderScale::value(int position) const
{
    position = std::clamp(position, minimum, maximum);
    if (step == 0.0) {
        const LogPosition p = logPosition(position);
        return p.mantissa * std::pow(10.0, p.power);
    }
    return position * step;
}

int SliderScale::position(double v) const
{
    double p = 0;
    if (step == 0.0)
        p = v > 0 ? std::round((std::log10(v) + 6.0) * 100.0) : minimum;
    else
        p = std::round(v / step);
    if (!(p >= minimum)) // below, or not a number
        return minimum;
    if (p > maximum)
        return maximum;
    return static_cast<int>(p);
}

QString SliderScale::text(int position) const
{
    if (step == 0.0) {
        const LogPosition p = logPosition(std::clamp(position, minimum, maximum));
        return positionalText(value(position), std::max(0, 2 - p.power));
    }
    return positionalText(value(position), decimals);
}

} // namespace quorvel::explore
