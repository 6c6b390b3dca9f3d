// SPDX-FileCopyrightText: 2026 The QUORVEL developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "Variant.h"

#include "NumericText.h"

namespace quorvel::model {

bool Variant::isNumber() const
{
    const Kind k = kind();
    return k == Kind::Int16 || k == Kind::Single || k == Kind::Double;
}

std::optional<double> Variant::numericValue() const
{
    switch (kind()) {
    case Kind::Empty:
        return 0.0;
    case Kind::Int16:
        return static_cast<double>(std::get<std::int16_t>(m_value));
    case Kind::Single:
        return static_cast<double>(std::get<float>(m_value));
    case Kind::Double:
        return std::get<double>(m_value);
    case Kind::Text:
        return toNumber(std::get<QString>(m_value));
    case Kind::Bool:
        return std::get<bool>(m_value) ? -1.0 : 0.0;
    }
    return std::nullopt;
}

float Variant::toSingle() const
{
    if (const float *f = std::get_if<float>(&m_value))
        return *f;
    return static_cast<float>(toDouble());
}

std::optional<std::int16_t> Variant::toInt16() const
{
    if (const std::int16_t *i = std::get_if<std::int16_t>(&m_value))
        return *i;
    const std::optional<double> v = numericValue();
    if (!v)
        return std::nullopt;
    return roundToInt16(*v);
}

bool Variant::equalsNumber(double number) const
{
    const std::optional<double> v = numericValue();
    return v && *v == number;
}

bool Variant::equalsEmptyText() const
{
    if (isEmpty())
        return true;
    if (const QString *s = std::get_if<QString>(&m_value))
        return s->isEmpty();
    return false;
}

QString Variant::toText() const
{
    switch (kind()) {
    case Kind::Empty:
        return {};
    case Kind::Text:
        return std::get<QString>(m_value);
    case Kind::Bool:
        return std::get<bool>(m_value) ? QStringLiteral("Vero") : QStringLiteral("Falso");
    default:
        return decimalText(toDouble());
    }
}

std::optional<Variant> Variant::plusInt16(std::int16_t addend) const
{
    if (isEmpty())
        return Variant::int16(addend);
    if (const std::int16_t *i = std::get_if<std::int16_t>(&m_value)) {
        const int sum = int(*i) + int(addend);
        if (sum < -32768 || sum > 32767)
            return std::nullopt;
        return Variant::int16(static_cast<std::int16_t>(sum));
    }
    if (const float *f = std::get_if<float>(&m_value))
        return Variant::single(*f + static_cast<float>(addend));
    const std::optional<double> v = numericValue();
    if (!v)
        return std::nullopt;
    return Variant::real(*v + addend);
}

const char *kindName(const Variant &v)
{
    switch (v.kind()) {
    case Variant::Kind::Empty:
        return "Empty";
    case Variant::Kind::Int16:
        return "int16";
    case Variant::Kind::Single:
        return "single";
    case Variant::Kind::Double:
        return "double";
    case Variant::Kind::Text:
        return "text";
    case Variant::Kind::Bool:
        return "bool";
    }
    return "?";
}

} // namespace quorvel::model
