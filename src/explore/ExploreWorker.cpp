// SPDX-FileCopyrightText: 2026 The QUORVEL developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "ExploreWorker.h"

#include <QPainter>

#include <chrono>
#include <utility>

namespace quorvel::explore {

using namespace model;

namespace {
using Clock = std::chrono::steady_clock;
// A run shows its progress once it has lasted longer than a frame of a 60 Hz screen, then at
// most this often.
constexpr auto kFirstProgress = std::chrono::milliseconds(17);
constexpr auto kProgressEvery = std::chrono::milliseconds(40);
} // namespace

Worker::Worker(QRgb background, std::function<void(Frame)> deliver)
    : m_deliver(std::move(deliver))
    , m_drawing(background)
    , m_thread([this] { loop(); })
{
}

Worker::~Worker()
{
    {
        const std::lock_guard lock(m_mutex);
        m_quit = true;
    }
    m_stopAll.store(true);
    m_wake.notify_all();
    m_thread.join();
}

std::uint64_t Worker::request(Request request)
{
    std::uint64_t generation = 0;
    {
        const std::lock_guard lock(m_mutex);
        generation = m_latest.load() + 1;
        m_pending = std::move(request);
        m_latest.store(generation);
    }
    m_wake.notify_all();
    return generation;
}

void Worker::cancel()
{
    m_cancelledUpTo.store(m_latest.load());
}

void Worker::loop()
{
    for (;;) {
        Request next;
        std::uint64_t generation = 0;
        {
            std::unique_lock lock(m_mutex);
            m_wake.wait(lock, [this] { return m_quit || m_pending; });
            if (m_quit)
                return;
            next = std::move(*m_pending);
            m_pending.reset();
            generation = m_latest.load();
        }
        draw(generation, next);
    }
}

QImage Worker::picture(const Request &request, const View &view)
{
    const QSize device = (QSizeF(request.canvas) * request.devicePixelRatio).toSize();
    QImage *image = nullptr;
    for (QImage &candidate : m_images) {
        if (candidate.size() == device && candidate.isDetached()) {
            image = &candidate;
            break;
        }
    }
    if (!image) {
        // Both still shown, or the wrong size: the one not shown is made anew.
        QImage &spare
            = m_images[0].isDetached() || m_images[0].size() != device ? m_images[0] : m_images[1];
        spare = QImage(device, QImage::Format_RGB32);
        image = &spare;
    }
    image->setDevicePixelRatio(request.devicePixelRatio);
    {
        QPainter p(image);
        m_drawing.paint(p, QRect(QPoint(0, 0), request.canvas));
        // A font of this thread's own: the one asked for shares its caches with the other.
        QFont font(request.font.family());
        if (request.font.pointSizeF() > 0)
            font.setPointSizeF(request.font.pointSizeF());
        else if (request.font.pixelSize() > 0)
            font.setPixelSize(request.font.pixelSize());
        p.setFont(font);
        paintScale(p, request.scene, view, request.canvas, request.grid);
    }
    return *image;
}

void Worker::draw(std::uint64_t generation, const Request &request)
{
    const auto stopped = [this, generation] {
        return m_stopAll.load(std::memory_order_relaxed)
            || m_latest.load(std::memory_order_relaxed) != generation
            || m_cancelledUpTo.load(std::memory_order_relaxed) >= generation;
    };
    if (request.canvas.isEmpty() || !(request.view.width > 0) || !(request.view.height > 0)) {
        m_delivered.store(generation);
        return;
    }
    m_drawing.setArea(request.canvas, request.devicePixelRatio);
    const Clock::time_point start = Clock::now();
    Clock::time_point lastShown = start;
    m_frameOut.store(false);
    std::size_t drawn = 0;
    const RunResult result = m_renderer.render(
        m_drawing, request.scene, request.view, request.recipe,
        [&](std::size_t points) {
            drawn = points;
            if (stopped())
                return Renderer::Next::Stop;
            const Clock::time_point now = Clock::now();
            if (now - start < kFirstProgress || now - lastShown < kProgressEvery
                || m_frameOut.load())
                return Renderer::Next::GoOn;
            lastShown = now;
            return Renderer::Next::Show;
        },
        [&](const Bounds &bounds) {
            m_frameOut.store(true);
            Frame frame;
            frame.generation = generation;
            frame.image = picture(request, request.view);
            frame.view = request.view;
            frame.bounds = bounds;
            frame.points = drawn;
            m_deliver(std::move(frame));
        });
    // A run dropped for a newer one shows nothing more; one stopped by Esc shows where it got.
    if (m_stopAll.load() || m_latest.load() != generation)
        return;
    Frame frame;
    frame.generation = generation;
    frame.image = picture(request, request.view);
    frame.view = request.view;
    frame.bounds = result.bounds;
    frame.points = result.outcome.points;
    frame.finished = true;
    frame.stopped = result.stopped;
    frame.endText = endText(result);
    m_deliver(std::move(frame));
    m_delivered.store(generation);
}

} // namespace quorvel::explore
