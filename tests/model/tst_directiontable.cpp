// SPDX-FileCopyrightText: 2026 The QUORVEL developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "model/DirectionTable.h"

#include <QTest>

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>
#include <math.h>

using quorvel::model::DirectionTable;
using quorvel::model::Displacement;
using quorvel::model::PointParameters;

Q_DECLARE_METATYPE(PointParameters)

namespace {

constexpr float kP1 = 3.1415927f / 180.0f;

// Called through pointers the compiler cannot see through, so that no sine and cosine of the
// same argument are merged into one sincos: the reference is the one-function-at-a-time formula.
double (*volatile sineOf)(double) = ::sin;
double (*volatile cosineOf)(double) = ::cos;

// The point-by-point formula of the curve window: the next point from (x10, y10).
void naiveStep(const PointParameters &p, std::int16_t a2, bool cosine, double &x10, double &y10)
{
    const auto radians = static_cast<double>(static_cast<float>(a2) * p.p1);
    const double senCos = cosine ? cosineOf(radians) : sineOf(radians);
    const double direction = p.beta1 * senCos;
    x10 = p.ep1 * p.inx * cosineOf(direction) + x10;
    y10 = p.ep1 * p.iny * sineOf(direction) + y10;
}

bool sameBits(double a, double b)
{
    return std::bit_cast<std::uint64_t>(a) == std::bit_cast<std::uint64_t>(b);
}

// Walks ALFA from `from` to `to` by whole steps as a run does (stopping where t x ALFA leaves
// 16 bits), and returns the first ALFA whose point differs from the formula's by a bit or whose
// displacement was not prepared, or NaN when there is none. `points` counts the points compared.
double firstDifference(DirectionTable &table, const PointParameters &p, bool cosine, double from,
                       double to, int &points)
{
    const double step = from <= to ? 1.0 : -1.0;
    double x = 15;
    double y = 30;
    double naiveX = 15;
    double naiveY = 30;
    points = 0;
    for (double alfa = from; step > 0 ? alfa <= to : alfa >= to; alfa += step) {
        const double a2r = std::nearbyint(alfa * p.ve);
        if (!(a2r >= -32768.0 && a2r <= 32767.0))
            break;
        const auto a2 = static_cast<std::int16_t>(a2r);
        const Displacement *d = table.find(a2);
        if (d == nullptr)
            return alfa; // not prepared
        x = d->dx + x;
        y = d->dy + y;
        naiveStep(p, a2, cosine, naiveX, naiveY);
        ++points;
        if (!sameBits(x, naiveX) || !sameBits(y, naiveY))
            return alfa;
    }
    return std::nan("");
}

// Prepares the displacements of a walk from `from` to `to`, as a run does.
void prepareWalk(DirectionTable &table, const PointParameters &p, bool cosine, double from,
                 double to)
{
    const auto a2 = [&p](double alfa) {
        return static_cast<std::int16_t>(
            std::clamp(std::nearbyint(alfa * p.ve), -32768.0, 32767.0));
    };
    table.setParameters(p);
    table.useFunction(cosine);
    table.prepare(a2(from), a2(to));
}

PointParameters parameters(double ep1, double inx, double iny, double betaDegrees, double ve)
{
    return {ep1, inx, iny, betaDegrees * static_cast<double>(kP1), ve, kP1};
}

} // namespace

// The displacements of the table against the point-by-point formula, bit for bit.
class TestDirectionTable : public QObject
{
    Q_OBJECT
private slots:
    void sameBitsAsFormula_data();
    void sameBitsAsFormula();
    void changedParametersAreExact_data();
    void changedParametersAreExact();
};

void TestDirectionTable::sameBitsAsFormula_data()
{
    QTest::addColumn<PointParameters>("p");
    QTest::addColumn<bool>("cosine");
    QTest::addColumn<double>("from");
    QTest::addColumn<double>("to");
    QTest::addColumn<int>("points");

    // clang-format off
    QTest::newRow("sine t 0,5 whole range") << parameters(0.001, 1, 1, 55, 0.5)  << false << -32768.0 << 32767.0 << 65536;
    QTest::newRow("cosine t 1 to -32768")   << parameters(0.001, 1, 1, 55, 1)    << true  << -32768.0 << 32767.0 << 65536;
    QTest::newRow("sine t 1 from 32767")    << parameters(0.86, 2.5, -3, 80, 1)  << false << 32767.0  << -32768.0 << 65536;
    QTest::newRow("starting values")        << parameters(0.86, 1, 1, 55, 1)     << false << 0.0      << 180.0   << 181;
    QTest::newRow("fractional t, downward") << parameters(0.5, 1, 1, -123.4, 0.37) << true << 1000.0  << -1000.0 << 2001;
    QTest::newRow("negative t, cut at 16 bits") << parameters(0.01, 3, 0.5, 720, -1.5) << false << -20000.0 << 30000.0 << 41846;
    QTest::newRow("fractional ALFA")        << parameters(0.1, 1, 1, 10, 2.5)    << true  << -0.5     << 40.5    << 42;
    QTest::newRow("BETA 0")                 << parameters(0.3, 1, 1, 0, 1)       << false << -100.0   << 100.0   << 201;
    QTest::newRow("BETA 0, infinite steps") << parameters(1e300, 1e300, 1e300, 0, 1) << false << -100.0 << 100.0 << 201;
    // clang-format on
}

void TestDirectionTable::sameBitsAsFormula()
{
    QFETCH(PointParameters, p);
    QFETCH(bool, cosine);
    QFETCH(double, from);
    QFETCH(double, to);
    QFETCH(int, points);
    // The walk's own span, then every entry at once (below 0 from the mirrors, on two threads).
    DirectionTable table;
    table.newRun();
    prepareWalk(table, p, cosine, from, to);
    int compared = 0;
    QVERIFY(std::isnan(firstDifference(table, p, cosine, from, to, compared)));
    QCOMPARE(compared, points);
    DirectionTable whole;
    whole.newRun();
    whole.setParameters(p);
    whole.useFunction(cosine);
    whole.prepare(-32768, 32767);
    QVERIFY(std::isnan(firstDifference(whole, p, cosine, from, to, compared)));
    QCOMPARE(compared, points);
}

void TestDirectionTable::changedParametersAreExact_data()
{
    QTest::addColumn<PointParameters>("first");
    QTest::addColumn<bool>("firstCosine");
    QTest::addColumn<PointParameters>("second");
    QTest::addColumn<bool>("secondCosine");

    const PointParameters base = parameters(0.001, 1, 1, 55, 1);
    auto with = [&base](auto change) {
        PointParameters p = base;
        change(p);
        return p;
    };
    // clang-format off
    QTest::newRow("BETA")      << base << false << with([](auto &p) { p.beta1 = 56 * static_cast<double>(kP1); }) << false;
    QTest::newRow("BETA sign of 0") << with([](auto &p) { p.beta1 = 0.0; }) << false << with([](auto &p) { p.beta1 = -0.0; }) << false;
    QTest::newRow("epsilon")   << base << false << with([](auto &p) { p.ep1 = 0.002; }) << false;
    QTest::newRow("INX")       << base << true  << with([](auto &p) { p.inx = -1; }) << true;
    QTest::newRow("INY")       << base << false << with([](auto &p) { p.iny = 7; }) << false;
    QTest::newRow("P1")        << base << false << with([](auto &p) { p.p1 = 0.0175f; }) << false;
    QTest::newRow("t")         << base << false << with([](auto &p) { p.ve = 0.5; }) << false;
    QTest::newRow("to cosine") << base << false << base << true;
    QTest::newRow("to sine")   << base << true  << base << false;
    // clang-format on
}

void TestDirectionTable::changedParametersAreExact()
{
    // Two preparations in a row, without a new run between them: every displacement of the
    // second must be computed with its own values.
    QFETCH(PointParameters, first);
    QFETCH(bool, firstCosine);
    QFETCH(PointParameters, second);
    QFETCH(bool, secondCosine);
    DirectionTable table;
    table.newRun();
    prepareWalk(table, first, firstCosine, -32768, 32767);
    int compared = 0;
    QVERIFY(std::isnan(firstDifference(table, first, firstCosine, -32768, 32767, compared)));
    prepareWalk(table, second, secondCosine, -32768, 32767);
    QVERIFY(std::isnan(firstDifference(table, second, secondCosine, -32768, 32767, compared)));
    QVERIFY(compared > 0);
}

QTEST_APPLESS_MAIN(TestDirectionTable)
#include "tst_directiontable.moc"
