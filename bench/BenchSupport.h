// SPDX-FileCopyrightText: 2026 The QUORVEL developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

// What the benchmarks share: a median timer, a quiet offscreen platform and the curve window.
#include <QTemporaryDir>
#include <QtGlobal>

#include <algorithm>
#include <chrono>
#include <cstddef>
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

} // namespace quorvel::bench
