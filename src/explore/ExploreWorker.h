// SPDX-FileCopyrightText: 2026 The QUORVEL developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "ExploreRender.h"

#include <QFont>
#include <QImage>
#include <QRgb>
#include <QSize>
#include <QString>

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <thread>

namespace quorvel::explore {

// A run to draw, and how.
struct Request
{
    Recipe recipe;
    Scene scene;
    View view;
    QSize canvas; // logical pixels
    qreal devicePixelRatio = 1.0;
    bool grid = false; // a light grid instead of ticks on the axes
    QFont font; // of the numbers on the axes
};

// A picture of a run, whole or in progress.
struct Frame
{
    std::uint64_t generation = 0; // the request it answers
    QImage image; // 32-bit, at the request's density, with ticks or grid
    View view; // the view it shows
    Bounds bounds; // the dots drawn so far
    std::size_t points = 0; // drawn so far
    bool finished = false; // the run is over (ended, or stopped)
    bool stopped = false; // the run was stopped before its end
    QString endText; // how it ended, when finished
};

// Draws runs on a thread of its own, the latest request only: a new request, cancel() and the
// worker's end stop the run going on between two stretches of a few hundred points. A run that
// lasts longer than a frame of the screen sends pictures of its progress, one at a time: the
// next only after the receiver has called frameTaken().
class Worker
{
public:
    // `deliver` is called on the worker's thread with every frame.
    Worker(QRgb background, std::function<void(Frame)> deliver);
    ~Worker();
    Worker(const Worker &) = delete;
    Worker &operator=(const Worker &) = delete;

    // Starts drawing `request`, dropping the run in progress; returns its generation.
    std::uint64_t request(Request request);
    // Stops the run in progress (Esc); its frame so far is delivered, finished.
    void cancel();
    void frameTaken() { m_frameOut.store(false); }
    // Whether the latest request's finished frame has been delivered.
    bool idle() const { return m_delivered.load() == m_latest.load(); }

private:
    void loop();
    void draw(std::uint64_t generation, const Request &request);
    QImage picture(const Request &request, const View &view);

    std::function<void(Frame)> m_deliver;
    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::optional<Request> m_pending; // guarded by m_mutex
    bool m_quit = false; // guarded by m_mutex
    std::atomic<std::uint64_t> m_latest {0}; // the newest request
    std::atomic<std::uint64_t> m_cancelledUpTo {0}; // requests up to it are stopped
    std::atomic<std::uint64_t> m_delivered {0}; // the newest finished frame delivered
    std::atomic<bool> m_frameOut {false}; // a progress frame waits to be taken
    std::atomic<bool> m_stopAll {false};
    raster::RetainedDrawing m_drawing; // the worker's only
    Renderer m_renderer;
    QImage m_images[2]; // reused for frames once the receiver has let them go
    std::thread m_thread; // last: starts once everything else is ready
};

} // namespace quorvel::explore
