// SPDX-FileCopyrightText: 2026 The QUORVEL developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

// What the benchmarks share: a median timer, a quiet offscreen platform and the curve window.
#include <QList>
#include <QString>
#include <QTemporaryDir>
#include <QtGlobal>

#include <algorithm>
#include <chrono>
#include <cstddef>
#include <utility>
#include <vector>

class QApplication;

namespace quorvel {
namespace curve {
class Form4;
} // namespace curve
class FormRegistry;
} // namespace quorvel

namespace quorvel::bench {

// Median wall time in milliseconds of `runs` calls of `f`; `between` runs after each call,
// outside the timing.
template<typename F, typename B>
double medianMs(int runs, F &&f, B &&between)
{
    using Clock = std::chrono::steady_clock;
    std::vector<double> t;
    t.reserve(static_cast<std::size_t>(runs));
    for (int i = 0; i < runs; ++i) {
        const auto start = Clock::now();
        f();
        t.push_back(std::chrono::duration<double, std::milli>(Clock::now() - start).count());
        between();
    }
    std::sort(t.begin(), t.end());
    return t[t.size() / 2];
}

template<typename F>
double medianMs(int runs, F &&f)
{
    return medianMs(runs, static_cast<F &&>(f), [] {});
}

// Makes the offscreen platform's screen exactly width x height at 96 dpi, with no window frames
// (a maximised window's client area is then the whole screen): a configuration file in `dir`,
// named in QT_QPA_PLATFORM; its notes are quietened too. Call before the application is created.
// False, with a line on stderr, if the file cannot be written.
bool useOffscreenScreen(const QTemporaryDir &dir, int width, int height);

// Sets up the application and opens the curve window straight away (the calibration factor set
// to 0,55), its activation done. Null, with a line on stderr, when it was not activated with a
// drawing of width x height pixels.
curve::Form4 *openCurveWindow(QApplication &app, FormRegistry &registry, int width, int height);

// Field texts by field number (Text<n>).
using Fields = QList<std::pair<int, QString>>;
// The long run of the curve window (a function, so that other files' static data may use it): three
// ranges -32768..32767, t 0,5 (t x ALFA within 16 bits), epsilon 0,001: 196,608 points that stay in
// the field.
const Fields &longRunFields();
inline constexpr int kLongRunPoints = 3 * 65536;
// Sets the curve window's fields to `fields`.
void setFields(curve::Form4 &form, const Fields &fields);

// Prints "BENCH <name> median_ms=<ms> ratio=<ms / reference>" at once.
void report(const char *name, double ms, double reference);

} // namespace quorvel::bench
