// SPDX-FileCopyrightText: 2026 The QUORVEL developers
// SPDX-License-Identifier: GPL-3.0-or-later

// The explore window on the run of 196,608 points (three ranges -32768..32767, t 0,5, epsilon
// 0,001) with a drawing of 1920x1080 pixels: from a changed BETA to the finished drawing on the
// window, and one zoom step, each against the curve window's own run of the same points
// ("Cancella ed esegui" on a maximised 1920x1080 window); then a step of "Passo passo" on a run
// of 10^8 dots, from the key to the canvas painted again.

#include "BenchSupport.h"

#include "curve/Form4.h"
#include "explore/ExploreWindow.h"
#include "player/ConstructionPlayer.h"
#include "player/PlayerPanel.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QKeyEvent>
#include <QLineEdit>
#include <QTimer>

#include <cstdio>

using namespace quorvel;
using namespace quorvel::curve;
using namespace quorvel::model;

namespace {

constexpr int kWidth = 1920;
constexpr int kHeight = 1080;
constexpr int kRuns = 41;

// Processes events until the explore window shows the finished drawing of its latest run and
// has painted it; false after five seconds.
bool waitFinished(explore::ExploreWindow &window)
{
    QElapsedTimer clock;
    clock.start();
    // Wakes the wait below should the frame never come.
    QTimer wake;
    wake.start(100);
    while (!window.finishedShown()) {
        if (clock.elapsed() > 5000)
            return false;
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
    window.canvas()->repaint();
    return true;
}

} // namespace

int main(int argc, char *argv[])
{
    bench::CurveWindowSession session(argc, argv, kWidth, kHeight);
    if (session.curveWindow() == nullptr)
        return 1;
    Form4 &form4 = *session.curveWindow();
    // A message would end a run early: the session records them instead of opening boxes.
    const QStringList &messages = session.messages();
    form4.setRunTiming({});
    bench::setFields(form4, bench::longRunFields());
    const double curveMs = bench::medianMs(
        kRuns, [&form4] { form4.Command1_Click(); }, [] { QCoreApplication::processEvents(); });
    if (form4.lastRun().points() != 196608 || !messages.isEmpty()) {
        std::fprintf(stderr, "explore_bench: the curve window's run was not whole\n");
        return 1;
    }

    explore::ExploreWindow *window = explore::ExploreWindow::open(form4);
    // The drawing 1920x1080 pixels, the controls beside it.
    window->resize(window->size() + (QSize(kWidth, kHeight) - window->canvas()->size()));
    QCoreApplication::processEvents();
    if (window->canvas()->size() != QSize(kWidth, kHeight) || !waitFinished(*window)) {
        std::fprintf(stderr, "explore_bench: the explore window did not draw at %dx%d\n", kWidth,
                     kHeight);
        return 1;
    }
    int step = 0;
    bool whole = true;
    const double frameMs = bench::medianMs(kRuns, [&] {
        window->setText(explore::Field::Beta,
                        (++step % 2) ? QStringLiteral("55,5") : QStringLiteral("55"));
        whole = waitFinished(*window) && whole;
    });
    const QPointF middle = QRectF(window->canvas()->rect()).center();
    const double zoomMs = bench::medianMs(kRuns, [&] {
        window->zoomAbout(middle, (++step % 2) ? 1.25 : 1 / 1.25);
        whole = waitFinished(*window) && whole;
    });
    if (!whole || !window->endLabel()->text().startsWith(QStringLiteral("196.608 punti"))) {
        std::fprintf(stderr, "explore_bench: a drawing was not finished (%s)\n",
                     qPrintable(window->endLabel()->text()));
        return 1;
    }

    // "Passo passo" on a run of 10^8 dots, its drawing taken to dot 5 x 10^7 first: from the
    // Right or Left arrow reaching the window to the canvas painted again, alternately.
    window->setText(explore::Field::Epsilon, QStringLiteral("0,000001"));
    window->setText(explore::Field::T, QStringLiteral("0,000001"));
    window->setText(explore::Field::Inx, QStringLiteral("0,001"));
    window->setText(explore::Field::Iny, QStringLiteral("0,001"));
    window->setText(explore::Field::From1, QStringLiteral("0"));
    window->setText(explore::Field::To1, QStringLiteral("100000000"));
    window->setStepByStep(true);
    player::ConstructionPlayer *const stepper = window->stepPanel()->player();
    constexpr std::uint64_t kMiddle = 50'000'000;
    if (stepper == nullptr) {
        std::fprintf(stderr, "explore_bench: Passo passo has no run\n");
        return 1;
    }
    stepper->seek(kMiddle);
    while (!stepper->work(20)) { }
    QCoreApplication::processEvents();
    bool forward = true;
    const double stepMs = bench::medianMs(kRuns, [&] {
        QKeyEvent key(QEvent::KeyPress, forward ? Qt::Key_Right : Qt::Key_Left, Qt::NoModifier);
        QCoreApplication::sendEvent(window, &key);
        window->canvas()->repaint();
        forward = !forward;
    });
    // An odd number of steps ends one dot on.
    if (stepper->position() != kMiddle + (kRuns % 2)) {
        std::fprintf(stderr, "explore_bench: Passo passo left dot %llu\n",
                     static_cast<unsigned long long>(stepper->position()));
        return 1;
    }
    std::printf("BENCH player_step_key_1e8 median_ms=%.4f ratio=%.2f\n", stepMs, stepMs / curveMs);
    std::printf("BENCH explore_frame_196608 median_ms=%.4f ratio=%.2f\n", frameMs,
                frameMs / curveMs);
    std::printf("BENCH explore_zoom_196608 median_ms=%.4f ratio=%.2f\n", zoomMs, zoomMs / curveMs);
    std::printf("BENCH explore_curve_window_run median_ms=%.4f ratio=1.00\n", curveMs);
    delete window;
    return 0;
}
