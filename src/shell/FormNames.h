// SPDX-FileCopyrightText: 2026 The QUORVEL developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

namespace quorvel {

// The three windows' names: each is the key of its form in the registry and the title its
// window bears. Every piece of code that registers, shows or reads a form names it through
// these, so that a misspelt name cannot compile; an unknown one ends the program at once.
inline constexpr char16_t kIntroductionForm[] = u"Form1";
inline constexpr char16_t kCalibrationForm[] = u"Form2";
inline constexpr char16_t kCurveForm[] = u"Form4";

} // namespace quorvel
