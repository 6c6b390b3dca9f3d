// SPDX-FileCopyrightText: 2026 The QUORVEL developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "model/CurveChain.h"

#include <QString>

#include <array>
#include <optional>
#include <vector>

namespace quorvel::explore {

// The curve window's parameters the explore window shows, in the order of its panel.
enum class Field { Epsilon, Beta, T, Inx, Iny, From1, To1, From2, To2, From3, To3 };
inline constexpr int kFieldCount = 11;

// The curve window's field (Text<n>) that holds each parameter.
int curveFieldNumber(Field field);
// The parameter's short name, as the curve window's code and guide call it.
QString fieldName(Field field);

// The texts of the parameters, by Field, and the choice of "In Coseno" over "In Seno".
struct Texts
{
    std::array<QString, kFieldCount> text;
    bool cosine = model::kSine;
    QString &operator[](Field f) { return text[static_cast<std::size_t>(f)]; }
    const QString &operator[](Field f) const { return text[static_cast<std::size_t>(f)]; }
    bool operator==(const Texts &) const = default;
};

// The curve window's starting texts and choice.
Texts startingTexts();

// What a run is made of: the plans of its ranges, read from the texts as the curve window reads
// its fields when ESEGUI is pressed (epsilon, BETA and t with the same conversions, BETA to
// radians with the single-precision factor). The run ends at the first range without a plan
// (From 0 to 0).
struct Recipe
{
    std::array<std::optional<model::RangePlan>, model::kRangeCount> ranges;
};

// A text refused, and why, in the curve window's words.
struct Refusal
{
    Field field;
    QString reason;
};

struct Reading
{
    std::optional<Recipe> recipe; // nothing when any text is refused
    std::vector<Refusal> refusals;
};

// Reads every text: a recipe when all are accepted, otherwise each refused text with its reason
// (the curve window would put up a box, or read the increment as 1).
Reading readTexts(const Texts &texts);

// The text the animation gives `field` at `phase` (0 to 1) of the way from `from` to `to`.
QString animatedText(Field field, double from, double to, double phase);

// A value as a positional decimal text with the comma, at most `decimals` decimals, no trailing
// zeros and no exponent, which the curve window's fields read back as the nearest double to it.
QString positionalText(double value, int decimals);

// A slider's whole positions for one parameter: linear in steps of `step`, or for epsilon
// logarithmic, 100 positions to a power of ten, three significant digits.
struct SliderScale
{
    int minimum;
    int maximum;
    int pageStep;
    double step; // linear: the value of one position; 0 for the logarithmic scale
    int decimals; // of the texts the positions give

    static SliderScale of(Field field);
    double value(int position) const;
    // The position nearest to `value`, held at the ends of the range.
    int position(double value) const;
    QString text(int position) const;
};

} // namespace quorvel::explore
