// SPDX-FileCopyrightText: 2026 The QUORVEL developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QtGlobal>

#include <cstddef>
#include <cstdint>
#include <deque>
#include <vector>

namespace quorvel::raster {

class RetainedDrawing;

// Sets numbered dots on an indexed drawing, pixel for pixel as PSet (and so DotWriter) sets
// them, and remembers the pixels each one changed and what they were, so that the drawing can
// be taken back to the state after any remembered dot. A dot that changes nothing costs
// nothing. What is remembered comes in parts (each started at a dot number), so that the oldest
// may be forgotten to bound the memory. The drawing must be indexed (a byte per pixel, which
// the palette's colours keep it) and unobserved; any other drawing, or a new area or density,
// or a Line or Cls, makes the journal start again (restart()).
class DotJournal
{
public:
    explicit DotJournal(RetainedDrawing &drawing);

    // Forgets everything: the drawing as it is now is the state after dot `dot`.
    void restart(std::uint64_t dot);
    // Dot number `dot` (above every dot remembered) as PSet(x, y, paletteIndex).
    void put(std::uint64_t dot, float x, float y, int paletteIndex);
    // Takes back, latest first, remembered dots numbered above `dot`, at most about `pixels`
    // pixels' worth; true once none is left above `dot`. The drawing is then the state after
    // max(dot, latest()) dots.
    bool undoAfter(std::uint64_t dot, std::size_t pixels);
    // The latest remembered dot that changed anything (or the start, when none).
    std::uint64_t latest() const;
    // The state after this dot is the oldest one the journal can take the drawing back to.
    std::uint64_t oldest() const { return m_parts.front().start; }

    // Starts a new part at dot `dot` (the latest put); the parts before it may then be dropped.
    void startPart(std::uint64_t dot);
    // Forgets the oldest part (never the only one).
    void dropOldestPart();
    std::size_t parts() const { return m_parts.size(); }
    // The memory the latest part and all parts take, in bytes.
    std::size_t latestPartBytes() const { return m_parts.back().bytes(); }
    std::size_t bytes() const;

    // The drawing's pixels over its area, to be put back later (same area and density).
    std::vector<uchar> copyPixels() const;
    void putPixels(const std::vector<uchar> &pixels);

private:
    // One dot's changes end at `end` in its part's lists.
    struct Mark
    {
        std::uint64_t dot;
        std::size_t end;
    };
    struct Part
    {
        std::uint64_t start = 0; // the state after this dot is the part's beginning
        std::vector<std::uint32_t> offsets; // byte offset of each changed pixel in the image
        std::vector<uchar> old; // and its colour-table entry before the change
        std::vector<Mark> marks;
        std::size_t bytes() const
        {
            return offsets.capacity() * sizeof(std::uint32_t) + old.capacity()
                + marks.capacity() * sizeof(Mark);
        }
    };

    RetainedDrawing &m_drawing;
    std::deque<Part> m_parts;
    // The latest dot put: its top-left device pixel and colour-table entry. A dot on the same
    // pixels in the same colour changes nothing (a chain of small steps puts many in a row);
    // forgotten whenever pixels are put back.
    static constexpr int kNone = 1 << 30;
    int m_lastLeft = kNone;
    int m_lastTop = kNone;
    uchar m_lastEntry = 0;
};

} // namespace quorvel::raster
