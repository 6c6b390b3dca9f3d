// SPDX-FileCopyrightText: 2026 The QUORVEL developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QString>

#include <cstdint>
#include <optional>
#include <variant>

namespace quorvel::model {

// A value that carries its own kind, as the windows' members do. Nothing converts implicitly:
// every comparison, sum or conversion names the rule it follows.
class Variant
{
public:
    enum class Kind { Empty, Int16, Single, Double, Text, Bool };

    Variant() = default; // Empty: nothing stored yet
    static Variant int16(std::int16_t v) { return Variant(Value(v)); }
    static Variant single(float v) { return Variant(Value(v)); }
    static Variant real(double v) { return Variant(Value(v)); }
    static Variant text(const QString &v) { return Variant(Value(v)); }
    static Variant truth(bool v) { return Variant(Value(v)); }

    Kind kind() const { return static_cast<Kind>(m_value.index()); }
    bool isEmpty() const { return kind() == Kind::Empty; }
    bool isNumber() const;

    // The value as a number: Empty counts as 0, True as -1, a numeric text converts; nothing
    // for a text that is not numeric. This is the operand of every comparison with a number and
    // of all arithmetic.
    std::optional<double> numericValue() const;

    // Numeric value, for members known to hold a number (or Empty, which counts as 0).
    double toDouble() const { return numericValue().value_or(0.0); }

    // The stored single-precision value, or the value rounded to single precision.
    float toSingle() const;

    // Rounded half to even into 16 bits; nothing when out of range or not a number.
    std::optional<std::int16_t> toInt16() const;

    // Equality with a number: Empty counts as 0 (Empty == 9 is false, the integer 9 == 9 true).
    bool equalsNumber(double number) const;

    // Equality with the empty text: Empty and "" are equal to it, a number never is.
    bool equalsEmptyText() const;

    // The decimal text of a number (decimal comma, at most 15 significant digits), the text
    // itself, "" for Empty, "Vero"/"Falso" for a truth value.
    QString toText() const;

    // Member + an integer constant: Empty or a 16-bit integer gives a 16-bit integer (nothing
    // on overflow); any other number gives a double.
    std::optional<Variant> plusInt16(std::int16_t addend) const;

    bool operator==(const Variant &other) const = default;

private:
    using Value = std::variant<std::monostate, std::int16_t, float, double, QString, bool>;
    explicit Variant(Value v)
        : m_value(std::move(v))
    {
    }
    Value m_value;

    friend const char *kindName(const Variant &v);
    template<typename T>
    friend const T *get_if(const Variant &v);
};

template<typename T>
const T *get_if(const Variant &v)
{
    return std::get_if<T>(&v.m_value);
}

// "Empty", "int16", "single", "double", "text" or "bool": the kinds as tests and logs name them.
const char *kindName(const Variant &v);

} // namespace quorvel::model
