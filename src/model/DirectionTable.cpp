// SPDX-FileCopyrightText: 2026 The QUORVEL developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "DirectionTable.h"

#include <algorithm>
#include <atomic>
#include <bit>
#include <cmath>
#include <system_error>
#include <thread>

namespace quorvel::model {

namespace {

bool sameBits(double a, double b)
{
    return std::bit_cast<std::uint64_t>(a) == std::bit_cast<std::uint64_t>(b);
}

bool sameBits(float a, float b)
{
    return std::bit_cast<std::uint32_t>(a) == std::bit_cast<std::uint32_t>(b);
}

bool sameParameters(const PointParameters &a, const PointParameters &b)
{
    return sameBits(a.ep1, b.ep1) && sameBits(a.inx, b.inx) && sameBits(a.iny, b.iny)
        && sameBits(a.beta1, b.beta1) && sameBits(a.ve, b.ve) && sameBits(a.p1, b.p1);
}

} // namespace

void DirectionTable::newRun()
{
    startGeneration();
}

void DirectionTable::startGeneration()
{
    ++m_generation;
    if (m_generation == 0) {
        // Wrapped after 2^32 generations: no stamp may look current by chance.
        std::fill(m_stamp.begin(), m_stamp.end(), 0U);
        m_generation = 1;
    }
}

void DirectionTable::setParameters(const PointParameters &p)
{
    if (m_stamp.empty()) {
        m_stamp.assign(kAngles, 0U);
        m_displacement.resize(kAngles);
        m_angleKnown.assign(kAngles, 0);
        m_angles.resize(kAngles);
    }
    if (!sameBits(p.p1, m_angleP1)) {
        std::fill(m_angleKnown.begin(), m_angleKnown.end(), std::uint8_t {0});
        m_angleP1 = p.p1;
    }
    if (!sameParameters(p, m_parameters)) {
        m_parameters = p;
        // The same products as in the point-by-point formula, (ep1 x inx) x cos(...).
        m_lengthX = p.ep1 * p.inx;
        m_lengthY = p.ep1 * p.iny;
        startGeneration();
    }
}

void DirectionTable::changeFunction(bool cosine)
{
    m_cosine = cosine;
    startGeneration();
}

const DirectionTable::SineCosine &DirectionTable::angle(std::size_t i)
{
    SineCosine &a = m_angles[i];
    if (m_angleKnown[i] == 0) {
        const auto a2 = static_cast<int>(i) - kAngles / 2;
        const auto radians = static_cast<double>(static_cast<float>(a2) * m_angleP1);
        a.sine = std::sin(radians);
        a.cosine = std::cos(radians);
        m_angleKnown[i] = 1;
    }
    return a;
}

void DirectionTable::compute(std::size_t i)
{
    const SineCosine &a = angle(i);
    const double direction = m_parameters.beta1 * (m_cosine ? a.cosine : a.sine);
    m_displacement[i] = {m_lengthX * std::cos(direction), m_lengthY * std::sin(direction)};
    m_stamp[i] = m_generation;
}

void DirectionTable::computeMissing(std::size_t from, std::size_t to)
{
    for (std::size_t i = from; i < to; ++i) {
        if (m_stamp[i] != m_generation)
            compute(i);
    }
}

void DirectionTable::computeShared(std::size_t from, std::size_t to)
{
    if (to - from < kSharedSpan) {
        computeMissing(from, to);
        return;
    }
    // Both threads take chunks in turn until none is left: a helper that starts late does
    // less, and no entry, stamp or angle is written by both.
    constexpr std::size_t kChunk = 1024;
    std::atomic<std::size_t> next {from};
    const auto work = [this, &next, to] {
        for (;;) {
            const std::size_t start = next.fetch_add(kChunk, std::memory_order_relaxed);
            if (start >= to)
                return;
            computeMissing(start, std::min(to, start + kChunk));
        }
    };
    std::thread helper;
    try {
        helper = std::thread(work);
    } catch (const std::system_error &) {
        // No thread to be had: this one does all the chunks.
    }
    work();
    if (helper.joinable())
        helper.join();
}

void DirectionTable::prepare(std::int16_t first, std::int16_t last)
{
    const int lo = std::min(first, last);
    const int hi = std::max(first, last);
    if (lo >= 0) {
        computeShared(index(static_cast<std::int16_t>(lo)),
                      index(static_cast<std::int16_t>(hi)) + 1);
        return;
    }
    // Below 0 each entry is its mirror's: float(-A2) x P1 is -(float(A2) x P1) exactly, the
    // sine is odd and the cosine even bit for bit (glibc's sin, cos and sincos work on |x| and
    // restore the sign), and so are the products. The mirrors above 0 are computed, the entries
    // below follow from them.
    const int lowestMirrored = std::max(lo, -kAngles / 2 + 1); // -32768 has no mirror
    const int magnitude = std::max(hi, -lowestMirrored);
    const int fromMagnitude = hi >= 0 ? 0 : -hi;
    computeShared(index(static_cast<std::int16_t>(fromMagnitude)),
                  index(static_cast<std::int16_t>(magnitude)) + 1);
    for (int a2 = lowestMirrored; a2 <= std::min(hi, -1); ++a2) {
        const std::size_t i = index(static_cast<std::int16_t>(a2));
        if (m_stamp[i] == m_generation)
            continue;
        const Displacement &mirror = m_displacement[index(static_cast<std::int16_t>(-a2))];
        if (std::isnan(mirror.dx) || std::isnan(mirror.dy)) {
            // A not-a-number keeps no sign worth mirroring: computed as it comes.
            compute(i);
            continue;
        }
        m_displacement[i] = {mirror.dx, m_cosine ? mirror.dy : -mirror.dy};
        m_stamp[i] = m_generation;
    }
    if (lo < lowestMirrored)
        computeMissing(index(static_cast<std::int16_t>(lo)),
                       index(static_cast<std::int16_t>(lo)) + 1);
}

} // namespace quorvel::model
