// SPDX-FileCopyrightText: 2026 The QUORVEL developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "GifWriter.h"

#include <gif_lib.h>

#include <algorithm>
#include <cstring>
#include <utility>

namespace quorvel::animation {

namespace {

// Bytes gathered before they are handed to the sink: the encoder writes blocks of 255.
constexpr std::size_t kSinkPiece = std::size_t {1} << 20;
// The longest a frame can be shown, in hundredths of a second (16 bits).
constexpr std::int64_t kLongestDelay = 65535;
constexpr int kTableEntries = 256;

QString libraryError(int code)
{
    const char *text = GifErrorString(code);
    return QStringLiteral("errore della libreria GIF (%1)")
        .arg(text != nullptr ? QString::fromLatin1(text) : QString::number(code));
}

} // namespace

struct GifWriter::Encoder
{
    ByteSink sink;
    std::vector<char> buffer;
    bool sinkFailed = false;
    GifFileType *gif = nullptr;

    bool flush()
    {
        if (!sinkFailed && !buffer.empty() && !sink(buffer.data(), buffer.size()))
            sinkFailed = true;
        buffer.clear();
        return !sinkFailed;
    }

    static int output(GifFileType *gif, const GifByteType *bytes, int size)
    {
        auto *self = static_cast<Encoder *>(gif->UserData);
        if (self->sinkFailed || size < 0)
            return 0;
        self->buffer.insert(self->buffer.end(), reinterpret_cast<const char *>(bytes),
                            reinterpret_cast<const char *>(bytes) + size);
        if (self->buffer.size() >= kSinkPiece && !self->flush())
            return 0;
        return size;
    }
};

GifWriter::GifWriter(ByteSink sink, QSize size, const QList<QRgb> &colours, int framesPerSecond,
                     bool loop)
    : m_encoder(std::make_unique<Encoder>())
    , m_size(size)
    , m_colours(colours)
    , m_framesPerSecond(std::clamp(framesPerSecond, 1, 100))
    , m_transparent(colours.size() < kTableEntries ? static_cast<int>(colours.size()) : -1)
{
    m_encoder->sink = std::move(sink);
    m_encoder->buffer.reserve(kSinkPiece + 4096);
    if (size.isEmpty() || size.width() > 65535 || size.height() > 65535 || colours.isEmpty()
        || colours.size() > kTableEntries) {
        fail(QStringLiteral("dimensioni o colori dell'immagine non validi"));
        return;
    }
    int error = 0;
    m_encoder->gif = EGifOpen(m_encoder.get(), &Encoder::output, &error);
    if (m_encoder->gif == nullptr) {
        fail(libraryError(error));
        return;
    }
    // The drawing's colours, the entry of "unchanged" and black up to a power of two.
    const int used = static_cast<int>(colours.size()) + (m_transparent >= 0 ? 1 : 0);
    int entries = 2;
    while (entries < used)
        entries *= 2;
    ColorMapObject *map = GifMakeMapObject(entries, nullptr);
    if (map == nullptr) {
        fail(libraryError(E_GIF_ERR_NOT_ENOUGH_MEM));
        return;
    }
    for (int i = 0; i < entries; ++i) {
        const QRgb c = i < colours.size() ? colours[i] : 0;
        map->Colors[i] = {static_cast<GifByteType>(qRed(c)), static_cast<GifByteType>(qGreen(c)),
                          static_cast<GifByteType>(qBlue(c))};
    }
    EGifSetGifVersion(m_encoder->gif, true);
    const int put = EGifPutScreenDesc(m_encoder->gif, size.width(), size.height(), 8, 0, map);
    GifFreeMapObject(map);
    if (put != GIF_OK) {
        fail(libraryError(m_encoder->gif->Error));
        return;
    }
    if (loop) {
        // Played again and again: the application extension browsers and office suites know.
        static const char kNetscape[] = "NETSCAPE2.0";
        const GifByteType endless[3] = {1, 0, 0}; // sub-block 1, loop count 0 (no end)
        if (EGifPutExtensionLeader(m_encoder->gif, APPLICATION_EXT_FUNC_CODE) != GIF_OK
            || EGifPutExtensionBlock(m_encoder->gif, 11, kNetscape) != GIF_OK
            || EGifPutExtensionBlock(m_encoder->gif, 3, endless) != GIF_OK
            || EGifPutExtensionTrailer(m_encoder->gif) != GIF_OK)
            fail(libraryError(m_encoder->gif->Error));
    }
}

GifWriter::~GifWriter()
{
    if (m_encoder->gif != nullptr) {
        int error = 0;
        EGifCloseFile(m_encoder->gif, &error);
    }
}

bool GifWriter::fail(const QString &why)
{
    if (m_error.isEmpty())
        m_error = m_encoder->sinkFailed ? QStringLiteral("errore di scrittura") : why;
    return false;
}

bool GifWriter::add(const QImage &frame)
{
    if (!m_error.isEmpty() || m_finished)
        return false;
    if (frame.format() != QImage::Format_Indexed8 || frame.size() != m_size
        || frame.colorTable() != m_colours)
        return fail(QStringLiteral("i colori o le dimensioni del disegno sono cambiati"));
    const int w = m_size.width();
    const int h = m_size.height();
    const auto row = [w](std::vector<std::uint8_t> &v, int y) {
        return v.data() + static_cast<std::size_t>(y) * static_cast<std::size_t>(w);
    };
    if (m_ticks == 0) {
        m_previous.resize(static_cast<std::size_t>(w) * static_cast<std::size_t>(h));
        for (int y = 0; y < h; ++y)
            std::memcpy(row(m_previous, y), frame.constScanLine(y), static_cast<std::size_t>(w));
        m_pending = m_previous;
        m_pendingBox = QRect(0, 0, w, h);
        m_pendingFrom = 0;
        ++m_ticks;
        return true;
    }
    // The smallest rectangle that holds every changed pixel.
    int top = -1;
    int bottom = -1;
    int left = w;
    int right = -1;
    for (int y = 0; y < h; ++y) {
        const std::uint8_t *now = frame.constScanLine(y);
        const std::uint8_t *before = row(m_previous, y);
        if (std::memcmp(now, before, static_cast<std::size_t>(w)) == 0)
            continue;
        if (top < 0)
            top = y;
        bottom = y;
        int x0 = 0;
        while (now[x0] == before[x0])
            ++x0;
        int x1 = w - 1;
        while (now[x1] == before[x1])
            --x1;
        left = std::min(left, x0);
        right = std::max(right, x1);
    }
    if (top < 0)
        return repeat();
    if (!writePending(m_ticks))
        return false;
    m_pendingBox = QRect(QPoint(left, top), QPoint(right, bottom));
    m_pending.resize(static_cast<std::size_t>(m_pendingBox.width())
                     * static_cast<std::size_t>(m_pendingBox.height()));
    std::uint8_t *out = m_pending.data();
    for (int y = top; y <= bottom; ++y) {
        const std::uint8_t *now = frame.constScanLine(y);
        std::uint8_t *before = row(m_previous, y);
        for (int x = left; x <= right; ++x) {
            const std::uint8_t was = before[x];
            before[x] = now[x];
            *out++ = (now[x] == was && m_transparent >= 0)
                ? static_cast<std::uint8_t>(m_transparent)
                : now[x];
        }
    }
    m_pendingFrom = m_ticks;
    ++m_ticks;
    return true;
}

bool GifWriter::repeat()
{
    if (!m_error.isEmpty() || m_finished || m_ticks == 0)
        return fail(QStringLiteral("nessun fotogramma"));
    ++m_ticks;
    return true;
}

bool GifWriter::writePending(std::int64_t untilTick)
{
    // Hundredths of a second from the start to a tick, rounded down: the remainders carry, so
    // that 30 frames a second average 3 1/3 hundredths.
    const auto at = [this](std::int64_t tick) { return tick * 100 / m_framesPerSecond; };
    std::int64_t delay = at(untilTick) - at(m_pendingFrom);
    if (!writeImage(m_pendingBox, m_pending.data(),
                    static_cast<int>(std::min(delay, kLongestDelay))))
        return false;
    // Longer than a frame can last: frames of one unchanged pixel after it.
    for (delay -= kLongestDelay; delay > 0; delay -= kLongestDelay) {
        std::uint8_t pixel
            = m_transparent >= 0 ? static_cast<std::uint8_t>(m_transparent) : m_previous.front();
        if (!writeImage(QRect(0, 0, 1, 1), &pixel,
                        static_cast<int>(std::min(delay, kLongestDelay))))
            return false;
    }
    return true;
}

bool GifWriter::writeImage(const QRect &box, std::uint8_t *pixels, int delay)
{
    GifFileType *gif = m_encoder->gif;
    GraphicsControlBlock control {};
    control.DisposalMode = DISPOSE_DO_NOT;
    control.UserInputFlag = false;
    control.DelayTime = delay;
    // The first frame is whole: nothing in it is "unchanged".
    control.TransparentColor
        = m_transparent < 0 || !m_previousShown ? NO_TRANSPARENT_COLOR : m_transparent;
    GifByteType extension[4];
    const std::size_t length = EGifGCBToExtension(&control, extension);
    if (EGifPutExtension(gif, GRAPHICS_EXT_FUNC_CODE, static_cast<int>(length), extension) != GIF_OK
        || EGifPutImageDesc(gif, box.x(), box.y(), box.width(), box.height(), false, nullptr)
            != GIF_OK)
        return fail(libraryError(gif->Error));
    // (The encoder masks the pixels in place, to the bits of its colour table.)
    if (EGifPutLine(gif, pixels, box.width() * box.height()) != GIF_OK)
        return fail(libraryError(gif->Error));
    m_previousShown = true;
    return true;
}

bool GifWriter::finish()
{
    if (!m_error.isEmpty() || m_finished)
        return false;
    m_finished = true;
    if (m_ticks > 0 && !writePending(m_ticks))
        return false;
    int error = 0;
    GifFileType *gif = std::exchange(m_encoder->gif, nullptr);
    if (EGifCloseFile(gif, &error) != GIF_OK)
        return fail(libraryError(error));
    if (!m_encoder->flush())
        return fail(QStringLiteral("errore di scrittura"));
    return true;
}

} // namespace quorvel::animation
