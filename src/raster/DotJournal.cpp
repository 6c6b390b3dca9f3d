// SPDX-FileCopyrightText: 2026 The QUORVEL developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "DotJournal.h"

#include "RetainedDrawing.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace quorvel::raster {

DotJournal::DotJournal(RetainedDrawing &drawing)
    : m_drawing(drawing)
{
    restart(0);
}

void DotJournal::restart(std::uint64_t dot)
{
    m_lastLeft = kNone;
    m_parts.clear();
    m_parts.emplace_back();
    m_parts.back().start = dot;
}

void DotJournal::put(std::uint64_t dot, float x, float y, int paletteIndex)
{
    RetainedDrawing &d = m_drawing;
    if (!d.m_indexed || d.m_observer != nullptr || d.m_bits == nullptr) {
        // Nothing can be taken back on such a drawing: the journal starts after this dot.
        d.PSet(x, y, paletteIndex);
        restart(dot);
        return;
    }
    if (static_cast<unsigned>(paletteIndex) >= unsigned {kPaletteSize}) {
        d.PSet(x, y, paletteIndex); // a run-time error, as for PSet
        return;
    }
    // The pixels PSet covers: see RetainedDrawing::setDot.
    const double px = std::floor(static_cast<double>(x) * d.m_kx);
    const double py = std::floor(static_cast<double>(y) * d.m_ky);
    const int pen = d.m_pen;
    if (!(px > -pen && px < d.m_devWidth + pen && py > -pen && py < d.m_devHeight + pen))
        return;
    const int left = static_cast<int>(px) - (pen - 1) / 2;
    const int top = static_cast<int>(py) - (pen - 1) / 2;
    const auto entry = static_cast<uchar>(DotWriter::kFirstPaletteEntry + paletteIndex);
    if (left == m_lastLeft && top == m_lastTop && entry == m_lastEntry)
        return;
    m_lastLeft = left;
    m_lastTop = top;
    m_lastEntry = entry;
    const int x0 = std::max(left, 0);
    const int y0 = std::max(top, 0);
    const int x1 = std::min(left + pen, d.m_devWidth);
    const int y1 = std::min(top + pen, d.m_devHeight);
    if (x0 >= x1 || y0 >= y1)
        return;
    Part &part = m_parts.back();
    const std::size_t before = part.offsets.size();
    for (int row = y0; row < y1; ++row) {
        const auto rowStart = static_cast<std::uint32_t>(row * d.m_stride);
        uchar *line = d.m_bits + rowStart;
        for (int col = x0; col < x1; ++col) {
            if (line[col] != entry) {
                part.offsets.push_back(rowStart + static_cast<std::uint32_t>(col));
                part.old.push_back(line[col]);
                line[col] = entry;
            }
        }
    }
    if (part.offsets.size() == before)
        return;
    part.marks.push_back({dot, part.offsets.size()});
    d.addChanged(x0, y0, x1, y1);
}

bool DotJournal::undoAfter(std::uint64_t dot, std::size_t pixels)
{
    RetainedDrawing &d = m_drawing;
    m_lastLeft = kNone;
    std::size_t undone = 0;
    for (;;) {
        Part &part = m_parts.back();
        if (part.marks.empty()) {
            if (m_parts.size() == 1 || part.start <= dot)
                return true;
            m_parts.pop_back();
            continue;
        }
        const Mark mark = part.marks.back();
        if (mark.dot <= dot)
            return true;
        if (undone >= pixels)
            return false;
        part.marks.pop_back();
        const std::size_t begin = part.marks.empty() ? 0 : part.marks.back().end;
        const auto stride = static_cast<std::uint32_t>(d.m_stride);
        std::uint32_t first = part.offsets[begin];
        std::uint32_t last = first;
        for (std::size_t i = mark.end; i-- > begin;) {
            d.m_bits[part.offsets[i]] = part.old[i];
            first = std::min(first, part.offsets[i]);
            last = std::max(last, part.offsets[i]);
        }
        // The dot's pixels lie in a square of the pen's width: its rows are first's and last's.
        const int pen = d.m_pen;
        const auto y0 = static_cast<int>(first / stride);
        const auto y1 = static_cast<int>(last / stride) + 1;
        const auto xa = static_cast<int>(first % stride);
        const auto xb = static_cast<int>(last % stride);
        const int x0 = std::max(0, std::min(xa, xb) - pen);
        const int x1 = std::min(d.m_devWidth, std::max(xa, xb) + pen + 1);
        d.addChanged(x0, y0, x1, y1);
        undone += mark.end - begin;
        part.offsets.resize(begin);
        part.old.resize(begin);
    }
}

std::uint64_t DotJournal::latest() const
{
    for (auto part = m_parts.rbegin(); part != m_parts.rend(); ++part) {
        if (!part->marks.empty())
            return part->marks.back().dot;
    }
    return m_parts.back().start;
}

void DotJournal::startPart(std::uint64_t dot)
{
    m_parts.back().offsets.shrink_to_fit();
    m_parts.back().old.shrink_to_fit();
    m_parts.back().marks.shrink_to_fit();
    m_parts.emplace_back();
    m_parts.back().start = dot;
}

void DotJournal::dropOldestPart()
{
    if (m_parts.size() > 1)
        m_parts.pop_front();
}

std::size_t DotJournal::bytes() const
{
    std::size_t total = 0;
    for (const Part &part : m_parts)
        total += part.bytes();
    return total;
}

std::vector<uchar> DotJournal::copyPixels() const
{
    const RetainedDrawing &d = m_drawing;
    const auto width = static_cast<std::size_t>(d.m_devWidth);
    std::vector<uchar> pixels(width * static_cast<std::size_t>(d.m_devHeight)
                              * (d.m_indexed ? 1 : 4));
    if (d.m_bits == nullptr)
        return {};
    const std::size_t rowBytes = pixels.size() / std::max(1, d.m_devHeight);
    for (int row = 0; row < d.m_devHeight; ++row)
        std::memcpy(pixels.data() + static_cast<std::size_t>(row) * rowBytes,
                    d.m_bits + row * d.m_stride, rowBytes);
    return pixels;
}

void DotJournal::putPixels(const std::vector<uchar> &pixels)
{
    RetainedDrawing &d = m_drawing;
    m_lastLeft = kNone;
    if (d.m_bits == nullptr || d.m_devHeight <= 0)
        return;
    const std::size_t rowBytes = pixels.size() / static_cast<std::size_t>(d.m_devHeight);
    if (rowBytes * static_cast<std::size_t>(d.m_devHeight) != pixels.size()
        || rowBytes > static_cast<std::size_t>(d.m_stride))
        return;
    for (int row = 0; row < d.m_devHeight; ++row)
        std::memcpy(d.m_bits + row * d.m_stride,
                    pixels.data() + static_cast<std::size_t>(row) * rowBytes, rowBytes);
    d.markChanged(QRect(0, 0, d.m_devWidth, d.m_devHeight));
}

} // namespace quorvel::raster
