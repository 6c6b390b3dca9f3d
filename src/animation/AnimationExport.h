// SPDX-FileCopyrightText: 2026 The QUORVEL developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

// "Esporta animazione…": the explore window's curve as an animated GIF, the chain growing or a
// parameter moving, written whole or not at all.

#include "explore/ExploreWindow.h"
#include "picture/PictureFiles.h"

#include <QRgb>
#include <QSize>
#include <QString>

#include <cstddef>
#include <cstdint>
#include <optional>

namespace quorvel::animation {

// The dialog's choices.
struct ExportChoice
{
    enum class What { Construction, Parameter };
    What what = What::Construction;
    // The construction at a speed in dots a second (1 to 100,000), or fitted to a duration.
    bool bySpeed = true;
    double dotsPerSecond = 1000;
    double seconds = 10;
    QSize size; // pixels
    int framesPerSecond = 25; // 10 to 50
    bool loop = true; // played again and again, else once
    int maxMinutes = 10; // the animation is cut at this length (1 to 60 minutes)
};

// What an export takes from the explore window, copied when it starts.
struct ExportSource
{
    explore::Texts texts;
    explore::Scene scene;
    explore::View view;
    QSize canvas; // the drawing's logical pixels
    QRgb background = 0xffffffff;
    std::optional<std::size_t> finishedDots; // of the run shown, when it came to its end
    explore::ExploreWindow::AnimationSettings animation;
    // The speed "Passo passo" plays at, while it is on: the construction's speed to start with.
    std::optional<double> stepSpeed = std::nullopt;
};
ExportSource sourceOf(const explore::ExploreWindow &window);

// Why `choice` cannot be exported from `source`, in Italian; empty when it can.
QString reasonAgainst(const ExportSource &source, const ExportChoice &choice);

// The frames an export will have: an estimate, the most allowed, when the run's length is not
// known.
std::int64_t expectedFrames(const ExportSource &source, const ExportChoice &choice);

struct ExportResult
{
    QString reason; // empty when written; "annullato" when `progress` stopped it
    bool cut = false; // stopped at the most minutes allowed
    std::int64_t frames = 0;
};
// Writes the animation at `path`, told to `progress` a frame at a time (the total is an
// estimate when the run's length is not known).
ExportResult writeAnimation(const QString &path, const ExportSource &source,
                            const ExportChoice &choice, const picture::Progress &progress = {});

// The dialog, the save dialog and the writing with its progress, for `window`.
void exportAnimation(explore::ExploreWindow &window);
// Gives `window` "Esporta animazione…" (Ctrl+Maiusc+A): a button and an item of its drawing's
// menu.
void addAnimationExport(explore::ExploreWindow &window);

} // namespace quorvel::animation
