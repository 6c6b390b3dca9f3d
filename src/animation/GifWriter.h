// SPDX-FileCopyrightText: 2026 The QUORVEL developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QImage>
#include <QList>
#include <QRect>
#include <QRgb>
#include <QSize>
#include <QString>

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

namespace quorvel::animation {

// Where the encoded bytes go, in pieces; false when they could not be written.
using ByteSink = std::function<bool(const char *bytes, std::size_t size)>;

// An animated GIF made of frames of one size, each an indexed drawing (a byte a pixel with the
// drawing's colour table), shown one after the other at a fixed number of frames a second.
// The file's one colour table is the drawing's own, entry for entry (so the palette's colours
// are exact), with one entry more that later frames use for "unchanged", padded to a power of
// two. The first frame is stored whole; every later one only as the smallest rectangle that
// holds its changes, with the pixels that did not change inside it left transparent and the
// frame left in place under the next. A frame that changes nothing makes the one before it
// last longer.
class GifWriter
{
public:
    // `colours`: the drawing's colour table (1 to 256 entries). `framesPerSecond`: 1 to 100.
    // `loop`: played again and again (the NETSCAPE2.0 extension), else once.
    GifWriter(ByteSink sink, QSize size, const QList<QRgb> &colours, int framesPerSecond,
              bool loop);
    ~GifWriter();
    GifWriter(const GifWriter &) = delete;
    GifWriter &operator=(const GifWriter &) = delete;

    // The next frame: Format_Indexed8 of the writer's size whose colour table begins with the
    // writer's. False (see error()) when it cannot be added or the bytes could not be written.
    bool add(const QImage &frame);
    // The next frame is the same as the one before: it lasts a frame longer.
    bool repeat();
    // Writes what is left and the file's end. False when something could not be written.
    bool finish();

    // Why the writer stopped, in Italian; empty while all is well.
    const QString &error() const { return m_error; }
    // Frames given so far (add and repeat).
    std::int64_t frames() const { return m_ticks; }

private:
    struct Encoder;
    bool writePending(std::int64_t untilTick);
    bool writeImage(const QRect &box, std::uint8_t *pixels, int delay);
    bool fail(const QString &why);

    std::unique_ptr<Encoder> m_encoder;
    QSize m_size;
    QList<QRgb> m_colours;
    int m_framesPerSecond;
    int m_transparent; // the colour-table entry of "unchanged"; -1 when the table is full
    std::int64_t m_ticks = 0; // frames given
    // The last frame given, whole, and the one waiting to be written (its changes only) until
    // it is known how long it lasts.
    std::vector<std::uint8_t> m_previous;
    std::vector<std::uint8_t> m_pending;
    QRect m_pendingBox;
    std::int64_t m_pendingFrom = 0; // the tick it starts at
    bool m_finished = false;
    bool m_previousShown = false; // a frame has been written: later ones lie over it
    QString m_error;
};

} // namespace quorvel::animation
