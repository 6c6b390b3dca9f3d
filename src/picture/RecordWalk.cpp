// SPDX-FileCopyrightText: 2026 The QUORVEL developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "RecordWalk.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>

namespace quorvel::picture {

using namespace raster;

namespace {

// Dots of one colour handed to the visitor at a time.
constexpr std::size_t kBatch = 4096;
// What a pixel of the drawing shows, as far as the walk knows: a palette index plus one, or
// kUnknown (the background, or under a line).
constexpr std::uint8_t kUnknown = 0;
constexpr int kPaletteColours = 16;

// The dots of the record that show, gathered by colour, and the pixels they have set so far.
class VisibleDots : public DotVisitor
{
public:
    VisibleDots(const WalkArea &area, RecordVisitor &visitor)
        : m_size(area.size)
        , m_ratio(area.pixelRatio > 0 ? area.pixelRatio : 1.0)
        , m_width(static_cast<int>(std::ceil(area.size.width() * m_ratio)))
        , m_height(static_cast<int>(std::ceil(area.size.height() * m_ratio)))
        , m_shown(static_cast<std::size_t>(std::max(m_width, 0))
                      * static_cast<std::size_t>(std::max(m_height, 0)),
                  kUnknown)
        , m_visitor(visitor)
    {
        m_centres.reserve(kBatch);
    }

    void startBatch(const DotMapping &mapping)
    {
        m_mapping = mapping;
        m_kx = mapping.kx * m_ratio;
        m_ky = mapping.ky * m_ratio;
        m_pen = static_cast<int>(std::clamp(std::lround(mapping.pen * m_ratio), 1L, 32767L));
        forgetLast();
    }

    void finishBatch() { hand(); }

    // A line covers what it crosses: the pixels of its box, widened by its pen, are no longer
    // known to show any dot.
    void line(const RecordedLine &l)
    {
        hand();
        forgetLast();
        const double reach = l.width * m_ratio + 2;
        const auto clampX = [this](double v) {
            return static_cast<int>(std::clamp(v, 0.0, static_cast<double>(m_width)));
        };
        const auto clampY = [this](double v) {
            return static_cast<int>(std::clamp(v, 0.0, static_cast<double>(m_height)));
        };
        const double ax = l.from.x() * m_ratio;
        const double ay = l.from.y() * m_ratio;
        const double bx = l.to.x() * m_ratio;
        const double by = l.to.y() * m_ratio;
        if (!std::isfinite(ax) || !std::isfinite(ay) || !std::isfinite(bx) || !std::isfinite(by))
            return;
        const int x0 = clampX(std::floor(std::min(ax, bx) - reach));
        const int x1 = clampX(std::ceil(std::max(ax, bx) + reach));
        const int y0 = clampY(std::floor(std::min(ay, by) - reach));
        const int y1 = clampY(std::ceil(std::max(ay, by) + reach));
        for (int row = y0; row < y1; ++row)
            std::fill_n(m_shown.begin() + static_cast<std::ptrdiff_t>(row) * m_width + x0, x1 - x0,
                        kUnknown);
    }

    bool dot(const RecordedDot &d) override
    {
        // A chain of small steps repeats the very same place many times in a row: told apart
        // here, with no call, by the bits of the place as it came.
        if ((++m_seen & (kDotsBetweenProgress - 1)) != 0
            && std::bit_cast<std::uint64_t>(d.x) == m_lastX
            && std::bit_cast<std::uint64_t>(d.y) == m_lastY && d.paletteIndex == m_lastIndex)
            return true;
        return look(d);
    }

    bool stopped() const { return m_stopped; }

private:
    static constexpr int kNone = 1 << 30;
    static constexpr std::uint64_t kNoPlace = ~std::uint64_t {0};

    [[gnu::noinline]] bool look(const RecordedDot &d)
    {
        if ((m_seen & (kDotsBetweenProgress - 1)) == 0 && !m_visitor.goOn(m_seen)) {
            m_stopped = true;
            return false;
        }
        if (std::bit_cast<std::uint64_t>(d.x) == m_lastX
            && std::bit_cast<std::uint64_t>(d.y) == m_lastY && d.paletteIndex == m_lastIndex)
            return true;
        m_lastX = std::bit_cast<std::uint64_t>(d.x);
        m_lastY = std::bit_cast<std::uint64_t>(d.y);
        m_lastIndex = d.paletteIndex;
        const double x = d.x * m_mapping.kx;
        const double y = d.y * m_mapping.ky;
        const double pen = m_mapping.pen;
        // Wholly outside the picture (also a position that is not finite): clipped away.
        if (!(x > -pen && x < m_size.width() + pen && y > -pen && y < m_size.height() + pen))
            return true;
        if (d.paletteIndex < 0 || d.paletteIndex >= kPaletteColours) {
            forgetLast();
            keep(x, y, d.paletteIndex);
            return true;
        }
        // The dot's pixels as the drawing sets them: the square of the pen whose middle pixel
        // holds the place.
        const int left = static_cast<int>(std::floor(d.x * m_kx)) - (m_pen - 1) / 2;
        const int top = static_cast<int>(std::floor(d.y * m_ky)) - (m_pen - 1) / 2;
        const auto entry = static_cast<std::uint8_t>(d.paletteIndex + 1);
        // A chain of small steps sets many dots in a row on the very same pixels.
        if (left == m_lastLeft && top == m_lastTop && entry == m_lastEntry)
            return true;
        m_lastLeft = left;
        m_lastTop = top;
        m_lastEntry = entry;
        const int x0 = std::max(left, 0);
        const int y0 = std::max(top, 0);
        const int x1 = std::min(left + m_pen, m_width);
        const int y1 = std::min(top + m_pen, m_height);
        bool changes = false;
        for (int row = y0; row < y1; ++row) {
            std::uint8_t *pixel = m_shown.data() + static_cast<std::ptrdiff_t>(row) * m_width;
            for (int col = x0; col < x1; ++col) {
                if (pixel[col] != entry) {
                    pixel[col] = entry;
                    changes = true;
                }
            }
        }
        if (changes)
            keep(x, y, d.paletteIndex);
        return true;
    }

    void forgetLast()
    {
        m_lastLeft = m_lastTop = kNone;
        m_lastX = m_lastY = kNoPlace;
    }

    void keep(double x, double y, int colour)
    {
        if (colour != m_colour || m_centres.size() >= kBatch) {
            hand();
            m_colour = colour;
        }
        m_centres.emplace_back(x, y);
    }

    void hand()
    {
        if (!m_centres.empty())
            m_visitor.dots(m_colour, m_mapping.pen, m_centres);
        m_centres.clear();
    }

    QSize m_size;
    double m_ratio;
    int m_width; // the picture in pixels of the drawing
    int m_height;
    std::vector<std::uint8_t> m_shown; // m_width x m_height, row by row
    RecordVisitor &m_visitor;
    DotMapping m_mapping;
    double m_kx = 1; // pixels of the drawing per user unit
    double m_ky = 1;
    int m_pen = 1;
    // The latest dot looked at, as it came, and its pixels' top-left corner and colour entry.
    std::uint64_t m_lastX = kNoPlace; // bits of the double
    std::uint64_t m_lastY = kNoPlace;
    int m_lastIndex = -1;
    int m_lastLeft = kNone;
    int m_lastTop = kNone;
    std::uint8_t m_lastEntry = kUnknown;
    int m_colour = -1;
    std::vector<QPointF> m_centres;
    std::size_t m_seen = 0;
    bool m_stopped = false;
};

} // namespace

bool walkRecord(const std::vector<DrawingRecord::Entry> &entries, const WalkArea &area,
                RecordVisitor &visitor)
{
    VisibleDots dots(area, visitor);
    for (const DrawingRecord::Entry &entry : entries) {
        if (const auto *line = std::get_if<RecordedLine>(&entry)) {
            dots.line(*line);
            visitor.line(*line);
            continue;
        }
        const auto &batch = std::get<RecordedDots>(entry);
        if (!batch.source)
            continue;
        dots.startBatch(batch.mapping);
        batch.source->replayDots(dots);
        dots.finishBatch();
        if (dots.stopped())
            return false;
    }
    return true;
}

} // namespace quorvel::picture
