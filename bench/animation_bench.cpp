// SPDX-FileCopyrightText: 2026 The QUORVEL developers
// SPDX-License-Identifier: GPL-3.0-or-later

// "Esporta animazione…" of the run of 196,608 points (three ranges -32768..32767, t 0,5,
// epsilon 0,001) growing: 10 seconds at 25 frames a second, 1920x1080, written as a GIF
// through a temporary file; median of 3, and the file's size.

#include "BenchSupport.h"

#include "animation/AnimationExport.h"
#include "explore/ExploreRecipe.h"
#include "explore/ExploreRender.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QTemporaryDir>

#include <cstdio>

using namespace quorvel;

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    animation::ExportSource source;
    source.texts = explore::startingTexts();
    for (const auto &[number, text] : bench::longRunFields()) {
        for (int f = 0; f < explore::kFieldCount; ++f) {
            if (explore::curveFieldNumber(static_cast<explore::Field>(f)) == number)
                source.texts.text[static_cast<std::size_t>(f)] = text;
        }
    }
    const QSize size(1920, 1080);
    source.scene = explore::sceneFor(0.55, size);
    source.canvas = size;
    source.view = explore::oneToOne(source.scene, size);
    source.background = 0xfff0f0f0;
    source.finishedDots = bench::kLongRunPoints;
    animation::ExportChoice choice;
    choice.bySpeed = false;
    choice.seconds = 10;
    choice.framesPerSecond = 25;
    choice.size = size;
    choice.loop = true;

    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("curva.gif"));
    animation::ExportResult result;
    const double ms
        = bench::medianMs(3, [&] { result = animation::writeAnimation(path, source, choice); });
    if (!result.reason.isEmpty() || result.cut || result.frames != 251) {
        std::fprintf(stderr,
                     "animation_bench: the animation was not written whole (%s, %lld frames)\n",
                     qPrintable(result.reason), static_cast<long long>(result.frames));
        return 1;
    }
    const double mb = static_cast<double>(QFileInfo(path).size()) / (1024.0 * 1024.0);
    std::printf("BENCH animation_gif_10s median_ms=%.0f file_mb=%.2f\n", ms, mb);
    return 0;
}
