// SPDX-FileCopyrightText: 2026 The QUORVEL developers
// SPDX-License-Identifier: GPL-3.0-or-later

// The construction player on a run of 10^8 points (range 1 from 0 to 100000000, epsilon and t
// 0,000001, INX and INY 0,001, so that the chain stays within the field) with a drawing of
// 1920x1080 pixels: from the drawing at dot 5 x 10^7, one step forward or back until the drawing
// is up to date, alternately; then the jump to the run's last dot. Ratio against drawing the
// first 5 x 10^7 dots, what a step would cost if it drew the run again from its first dot.

#include "BenchSupport.h"

#include "explore/ExploreRecipe.h"
#include "explore/ExploreRender.h"
#include "player/ConstructionPlayer.h"

#include <QElapsedTimer>

#include <cstdint>
#include <cstdio>

using namespace quorvel;

namespace {

constexpr int kWidth = 1920;
constexpr int kHeight = 1080;
constexpr int kSteps = 401;
constexpr std::uint64_t kMiddle = 50'000'000;

// Calls work() with a budget of `budgetMs` until the target is reached.
void finish(player::ConstructionPlayer &p, double budgetMs)
{
    while (!p.work(budgetMs)) { }
}

} // namespace

int main()
{
    explore::Texts texts = explore::startingTexts();
    texts[explore::Field::Epsilon] = QStringLiteral("0,000001");
    texts[explore::Field::T] = QStringLiteral("0,000001");
    texts[explore::Field::Inx] = QStringLiteral("0,001");
    texts[explore::Field::Iny] = QStringLiteral("0,001");
    texts[explore::Field::From1] = QStringLiteral("0");
    texts[explore::Field::To1] = QStringLiteral("100000000");
    const explore::Reading reading = explore::readTexts(texts);
    if (!reading.recipe) {
        std::fprintf(stderr, "recipe refused\n");
        return 1;
    }
    const QSize canvas(kWidth, kHeight);
    const explore::Scene scene = explore::sceneFor(0.55, canvas);
    player::ConstructionPlayer p(*reading.recipe, scene, qRgb(255, 255, 255));
    p.setView(explore::oneToOne(scene, canvas), canvas, 1.0);

    QElapsedTimer clock;
    clock.start();
    p.seek(kMiddle);
    finish(p, 20);
    const double reachMs = static_cast<double>(clock.nsecsElapsed()) / 1e6;
    if (p.position() != kMiddle) {
        std::fprintf(stderr, "the drawing stopped at dot %llu\n",
                     static_cast<unsigned long long>(p.position()));
        return 1;
    }
    bool forward = true;
    const double stepMs = bench::medianMs(kSteps, [&] {
        if (forward)
            p.stepForward();
        else
            p.stepBack();
        forward = !forward;
        finish(p, 5);
    });
    clock.restart();
    p.toEnd();
    finish(p, 20);
    const double endMs = static_cast<double>(clock.nsecsElapsed()) / 1e6;
    std::printf("# first %llu dots drawn in %.0f ms; the run has %llu dots\n",
                static_cast<unsigned long long>(kMiddle), reachMs,
                static_cast<unsigned long long>(p.length().value_or(0)));
    // Four decimals: a step takes microseconds.
    std::printf("BENCH player_step_1e8 median_ms=%.4f ratio=%.6f\n", stepMs, stepMs / reachMs);
    std::printf("BENCH player_to_end_1e8 median_ms=%.1f ratio=%.2f\n", endMs, endMs / reachMs);
    return 0;
}
