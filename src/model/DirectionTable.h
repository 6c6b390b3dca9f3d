// SPDX-FileCopyrightText: 2026 The QUORVEL developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

// Plain C++ (no Qt): the displacement of each point of the curve window's chain, computed once
// per distinct angle.

#include <cstdint>
#include <vector>

namespace quorvel::model {

// What a point's displacement depends on besides its A2 (t x ALFA in whole degrees).
struct PointParameters
{
    double ep1 = 0; // epsilon
    double inx = 0; // increment on the X axis
    double iny = 0; // increment on the Y axis
    double beta1 = 0; // BETA in radians
    double ve = 0; // multiplier t of ALFA
    float p1 = 0; // degrees to radians, single precision
};

// The step from one point of the chain to the next, in user units (x to the right, y upwards).
struct Displacement
{
    double dx;
    double dy;
};

// The displacement of a point depends only on its A2, a 16-bit whole number, and on the
// parameters of the run: a run never needs more than 65,536 distinct ones, however many points
// it has. Each is computed once, with exactly the operations of the point-by-point formula, so
// that dx + x10 and dy + y10 give the same bits:
//   s  = sin (or cos) of double(float(A2) x P1)
//   dx = (ep1 x inx) x cos(beta1 x s),  dy = (ep1 x iny) x sin(beta1 x s)
// The sine and cosine of A2 x P1 are kept for as long as the table lives (P1 does not change);
// the displacements only for the current parameters and sine/cosine choice, and only until the
// next run: any change, or a new run, starts them afresh. Not thread-safe (prepare() uses a
// thread of its own for a while, and is over with it when it returns).
class DirectionTable
{
public:
    static constexpr int kAngles = 65536; // every 16-bit A2

    // Forgets every displacement: the next ones are computed again.
    void newRun();
    // Sets the parameters of the points to come; call it before prepare(). Displacements
    // computed with other parameters (compared bit for bit) are never used again.
    void setParameters(const PointParameters &p);
    // The displacement of a point with this A2 when it is known for the current parameters and
    // choice of function; null when it still has to be prepared.
    const Displacement *find(std::int16_t a2) const
    {
        const auto i = index(a2);
        return m_stamp[i] == m_generation ? &m_displacement[i] : nullptr;
    }
    // Chooses the function of A2 x P1 for find() and prepare(): its cosine when `cosine`, else
    // its sine.
    void useFunction(bool cosine)
    {
        if (cosine != m_cosine) [[unlikely]]
            changeFunction(cosine);
    }
    // Computes every displacement from A2 = `first` to `last` (either order) not yet known,
    // those below 0 from their mirrors above. A long span is shared with a second thread: the
    // same operations give the same bits on either.
    void prepare(std::int16_t first, std::int16_t last);

private:
    // Spans at least this long are shared with a second thread (about 0.3 ms of work).
    static constexpr int kSharedSpan = 16384;

    static std::size_t index(std::int16_t a2)
    {
        const int i = a2 + kAngles / 2; // 0 to 65,535
        return static_cast<std::size_t>(i);
    }
    void changeFunction(bool cosine);
    void startGeneration();
    void compute(std::size_t i);
    void computeMissing(std::size_t from, std::size_t to); // [from, to)
    void computeShared(std::size_t from, std::size_t to); // the same, on two threads if long
    // sin and cos of double(float(A2) x P1), for the current P1.
    struct SineCosine
    {
        double sine;
        double cosine;
    };
    const SineCosine &angle(std::size_t i);

    PointParameters m_parameters;
    bool m_cosine = false;
    double m_lengthX = 0; // ep1 x inx
    double m_lengthY = 0; // ep1 x iny
    // Entry i (A2 = i - 32768) is valid when its stamp is the current generation; 0 is never
    // current, so a new table starts empty.
    // The tables are allocated at the first setParameters() (about 2.3 MB in all).
    std::uint32_t m_generation = 1;
    std::vector<std::uint32_t> m_stamp;
    std::vector<Displacement> m_displacement;
    // The angles, for P1 = m_angleP1, valid where m_angleKnown is set.
    float m_angleP1 = 0;
    std::vector<std::uint8_t> m_angleKnown;
    std::vector<SineCosine> m_angles;
};

} // namespace quorvel::model
