// SPDX-FileCopyrightText: 2026 The QUORVEL developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

// What the benchmarks share: a median timer, a quiet offscreen platform and the curve window.
#include <QList>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <QtGlobal>

#include <algorithm>
#include <chrono>
#include <cstddef>
#include <memory>
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

// What every benchmark of the curve window starts with: the offscreen screen of width x height
// pixels, the application, the forms, the curve window open and activated, and every message the
// program would show recorded instead of opening a box (a box would end a run early).
class CurveWindowSession
{
public:
    // `argc` must outlive the session (the application keeps it).
    CurveWindowSession(int &argc, char **argv, int width, int height);
    ~CurveWindowSession();
    CurveWindowSession(const CurveWindowSession &) = delete;
    CurveWindowSession &operator=(const CurveWindowSession &) = delete;

    // Null, with a line on stderr, when the window could not be opened at its size.
    curve::Form4 *curveWindow() const { return m_curveWindow; }
    FormRegistry &registry() { return *m_registry; }
    const QStringList &messages() const { return m_messages; }

private:
    QTemporaryDir m_configDir;
    std::unique_ptr<QApplication> m_app;
    std::unique_ptr<FormRegistry> m_registry;
    curve::Form4 *m_curveWindow = nullptr;
    QStringList m_messages;
};

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
