// SPDX-FileCopyrightText: 2026 The QUORVEL developers
// SPDX-License-Identifier: GPL-3.0-or-later

// Drives the whole program for the memory benchmark (memory_bench.sh), the way a user would on a
// 1920x1080 screen (QUORVEL_BENCH_SCREEN=WIDTHxHEIGHT for another): the introduction window,
// AVANTI, two steps of the calibration scroll bar, "OK - continua", then ESEGUI on the curve window
// with its starting values. With the three windows open and the plot drawn it lets the windows
// paint, then ends (status 0; 1 if any step did not happen). With the argument --ten-long-runs
// it then also runs ESEGUI ten times over three ranges -32768..32767 (196,608 points each),
// whose recipes the window keeps for pictures and the table of points. With --explore it runs
// ESEGUI once over those three ranges and opens the explore window, maximised, on the same run.
#include "BenchSupport.h"
#include "app/Program.h"
#include "calibration/Form2.h"
#include "curve/Form4.h"
#include "explore/ExploreWindow.h"
#include "intro/Form1.h"
#include "shell/FormRegistry.h"
#include "shell/MessageBox.h"
#include "surface/ScopedSurfaceObserver.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QLabel>
#include <QScrollBar>
#include <QStringList>
#include <QTemporaryDir>

#include <cstdio>
#include <functional>
#include <utility>

namespace {

using namespace quorvel;
using namespace quorvel::curve;
using namespace quorvel::calibration;
using namespace quorvel::intro;
using namespace quorvel::model;

// Processes events until `done` holds, for at most two seconds.
bool waitFor(const std::function<bool()> &done)
{
    QElapsedTimer clock;
    clock.start();
    while (!done() && clock.elapsed() < 2000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    return done();
}

int fail(const char *what)
{
    std::fprintf(stderr, "memory_driver: %s\n", what);
    return 1;
}

} // namespace

int main(int argc, char *argv[])
{
    // An offscreen screen at 96 dpi, 1920x1080 unless told otherwise: the two drawing windows
    // open maximised on it, and their drawings and window buffers grow with it.
    int width = 1920;
    int height = 1080;
    const QByteArray screen = qgetenv("QUORVEL_BENCH_SCREEN");
    if (!screen.isEmpty()) {
        const QList<QByteArray> wh = screen.split('x');
        bool okW = false;
        bool okH = false;
        if (wh.size() == 2) {
            width = wh[0].toInt(&okW);
            height = wh[1].toInt(&okH);
        }
        if (!okW || !okH || width < 100 || height < 100)
            return fail("QUORVEL_BENCH_SCREEN is not WIDTHxHEIGHT");
    }
    const QTemporaryDir configDir;
    if (!bench::useOffscreenScreen(configDir, width, height))
        return 1;

    QApplication app(argc, argv);
    QStringList messages;
    const ScopedMessageSink recordMessages([&messages](const QString &text) { messages << text; });
    FormRegistry registry;
    startProgram(app, registry);
    if (!waitFor(
            [&] { return registry.lastActiveForm() == &registry.form(QStringLiteral("Form1")); }))
        return fail("the introduction window was not activated");
    registry.formAs<Form1>(QStringLiteral("Form1")).Command1_Click(); // AVANTI
    auto &form2 = registry.formAs<Form2>(QStringLiteral("Form2"));
    if (!waitFor([&] { return registry.lastActiveForm() == &form2; }))
        return fail("the calibration window was not activated");
    form2.HScroll1()->setValue(form2.HScroll1()->value() + 2); // Incr 0.55
    form2.Command1_Click(); // "OK - continua"
    auto &form4 = registry.formAs<Form4>(QStringLiteral("Form4"));
    if (!waitFor([&] { return registry.lastActiveForm() == &form4; }))
        return fail("the curve window was not activated");
    int points = 0;
    struct Counter : raster::DrawingObserver
    {
        int &n;
        explicit Counter(int &count)
            : n(count)
        {
        }
        void scaleChanged(float, float) override { }
        void cleared() override { }
        void lineDrawn(float, float, float, float, int, raster::ColourValue) override { }
        void pointSet(float, float, int, int) override { ++n; }
    } counter(points);
    {
        const ScopedSurfaceObserver watch(*form4.surface(), &counter);
        form4.Command5_Click(); // ESEGUI
    }
    QCoreApplication::processEvents();
    if (points != 181 || !messages.isEmpty())
        return fail("the starting plot was not drawn");
    if (!form2.window() || !form2.window()->isVisible()
        || !registry.form(QStringLiteral("Form1")).window()->isVisible())
        return fail("a window is not open");
    if (app.arguments().contains(QStringLiteral("--explore"))) {
        bench::setFields(form4, bench::longRunFields());
        form4.Command5_Click();
        QCoreApplication::processEvents();
        if (form4.lastRun().points() != 196608 || !messages.isEmpty())
            return fail("the long run was not drawn whole");
        explore::ExploreWindow *explorer = explore::ExploreWindow::open(form4);
        explorer->showMaximized();
        if (!waitFor([&] {
                return explorer->finishedShown()
                    && explorer->endLabel()->text().startsWith(QStringLiteral("196.608 punti"));
            }))
            return fail("the explore window did not draw the long run");
    }
    if (app.arguments().contains(QStringLiteral("--ten-long-runs"))) {
        bench::setFields(form4, bench::longRunFields());
        form4.surface()->setObserver(&counter);
        points = 0;
        for (int run = 0; run < 10; ++run) {
            form4.Command5_Click();
            QCoreApplication::processEvents();
        }
        form4.surface()->setObserver(nullptr);
        if (points != 10 * 196608 || !messages.isEmpty()
            || form4.surface()->raster().record().dotBatchCount() != 11)
            return fail("the ten long runs were not drawn whole");
    }
    // Let every window paint before the end.
    QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    return 0;
}
