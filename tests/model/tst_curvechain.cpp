// SPDX-FileCopyrightText: 2026 The QUORVEL developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "model/CurveChain.h"
#include "model/Degrees.h"

#include <QTest>

#include <cmath>
#include <optional>
#include <utility>
#include <vector>

using namespace quorvel;
using namespace quorvel::model;

namespace {

// The window's starting fields: epsilon 0,86, BETA 55 degrees, t 1, increments 1, "In Seno".
RangePlan startingRange(double from, double to)
{
    RangePlan r;
    r.params
        = {0.86, 1.0, 1.0, 55.0 * static_cast<double>(kDegreesToRadians), 1.0, kDegreesToRadians};
    r.from = from;
    r.to = to;
    r.step = from > to ? -1.0 : 1.0;
    return r;
}

struct Drawn
{
    std::vector<ChainPoint> points;
};

struct Case
{
    Case() = default;
    Case(std::vector<RangePlan> r, std::optional<std::int16_t> colour = std::nullopt,
         std::size_t stop = 0, float limitX = 430.0f, float limitY = 305.0f)
        : ranges(std::move(r))
        , colourBefore(colour)
        , stopAfter(stop)
        , cx(limitX)
        , cy(limitY)
    {
    }
    std::vector<RangePlan> ranges; // what the fields give for ranges 1, 2, 3 (fewer: run ends)
    std::optional<std::int16_t> colourBefore;
    std::size_t stopAfter = 0; // the caller stops after this many dots (0: never)
    float cx = 430.0f; // the field's limits (the window's CX, CY)
    float cy = 305.0f;
};

RunOutcome runCase(const Case &c, Drawn &drawn, ColourCycle &colour)
{
    DirectionTable directions;
    CurveChain chain(directions, c.cx, c.cy);
    colour = ColourCycle(c.colourBefore);
    const auto next = [&](int range) -> std::optional<RangePlan> {
        if (range > static_cast<int>(c.ranges.size()))
            return std::nullopt;
        return c.ranges[static_cast<std::size_t>(range - 1)];
    };
    const auto draw = [&](const ChainPoint &p) {
        drawn.points.push_back(p);
        return c.stopAfter == 0 || drawn.points.size() < c.stopAfter;
    };
    return chain.run(1, colour, next, draw);
}

// The first dot of `drawn` that differs in any field from its match in `expected`, which
// `drawn` follows from dot `from` on: its index in `expected`, or -1 when every dot matches.
qsizetype firstDifferentDot(const std::vector<ChainPoint> &drawn,
                            const std::vector<ChainPoint> &expected, std::size_t from = 0)
{
    for (std::size_t i = 0; i < drawn.size() && from + i < expected.size(); ++i) {
        const ChainPoint &a = drawn[i];
        const ChainPoint &b = expected[from + i];
        if (!(a.x == b.x && a.y == b.y && a.alfa == b.alfa && a.a2 == b.a2 && a.range == b.range
              && a.paletteIndex == b.paletteIndex))
            return static_cast<qsizetype>(from + i);
    }
    return -1;
}

} // namespace

Q_DECLARE_METATYPE(Case)
Q_DECLARE_METATYPE(RangeEnd)

class TestCurveChain : public QObject
{
    Q_OBJECT
private slots:
    // How a run ends, how many dots it draws, where and in which colours.
    void runs_data();
    void runs();
    // The chain continues from range to range and every dot follows from the one before.
    void chainContinuesAcrossRanges();
    void stretchesTakenInParts_data();
    void stretchesTakenInParts();
    void choiceChangedDuringStretch();
    void spansGiveTheSameChain_data();
    void spansGiveTheSameChain();
    void resumedRunGoesOnTheSame_data();
    void resumedRunGoesOnTheSame();
};

void TestCurveChain::runs_data()
{
    QTest::addColumn<Case>("c");
    QTest::addColumn<RangeEnd>("end");
    QTest::addColumn<bool>("byFields");
    QTest::addColumn<int>("endRange");
    QTest::addColumn<int>("points");
    QTest::addColumn<QList<int>>("colours"); // first dot of each range, then the last dot
    QTest::addColumn<int>("counterAfter"); // -1: still nothing

    const RangePlan r0to180 = startingRange(0, 180);
    QTest::newRow("starting fields, range 2 ends the run")
        << Case({r0to180}) << RangeEnd::Done << true << 2 << 181 << QList<int> {2, 2} << 1;
    QTest::newRow("three ranges, three colours")
        << Case({startingRange(0, 5), startingRange(10, -10), startingRange(7, 7)})
        << RangeEnd::Done << false << 3 << 6 + 21 + 1 << QList<int> {2, 3, 4, 4} << 3;
    QTest::newRow("counter 13: 15 for one dot, then 2")
        << Case({startingRange(0, 3)}, 13) << RangeEnd::Done << true << 2 << 4 << QList<int> {15, 2}
        << 1;
    QTest::newRow("counter 14 wraps before the range")
        << Case({startingRange(0, 1)}, 14) << RangeEnd::Done << true << 2 << 2 << QList<int> {3, 3}
        << 2;
    QTest::newRow("no range at all: colour untouched")
        << Case(std::vector<RangePlan> {}) << RangeEnd::Done << true << 1 << 0 << QList<int> {}
        << -1;
    QTest::newRow("stopped by the caller after 10 dots")
        << Case({r0to180, r0to180}, std::nullopt, 10) << RangeEnd::Stopped << false << 1 << 10
        << QList<int> {2, 2} << 1;

    Case outX({r0to180});
    outX.cx = 100.0f;
    // -1: as many dots as lie within the field; the value that ended the run lies beyond it.
    QTest::newRow("out of the field across")
        << outX << RangeEnd::OutOfFieldX << false << 1 << -1 << QList<int> {2, 2} << 1;
    Case outY({r0to180});
    outY.cy = 40.0f;
    QTest::newRow("out of the field down")
        << outY << RangeEnd::OutOfFieldY << false << 1 << -1 << QList<int> {2, 2} << 1;
    Case outBoth({r0to180}, std::nullopt, 0, 10.0f, 10.0f);
    QTest::newRow("out across and down at once: across is reported")
        << outBoth << RangeEnd::OutOfFieldX << false << 1 << 0 << QList<int> {} << 1;

    RangePlan large = startingRange(32760, 32800);
    QTest::newRow("t x ALFA beyond 16 bits")
        << Case({large}, std::nullopt, 0, 1e6f, 1e6f) << RangeEnd::AngleTooLarge << false << 1 << 8
        << QList<int> {2, 2} << 1;
    RangePlan stuck = startingRange(9007199254740992.0, 9007199254740999.0); // 2^53
    stuck.params.ve = 0.0;
    QTest::newRow("ALFA beyond 2^53 no longer moves")
        << Case({stuck}) << RangeEnd::AlfaStuck << false << 1 << 1 << QList<int> {2, 2} << 1;
}

void TestCurveChain::runs()
{
    QFETCH(Case, c);
    QFETCH(RangeEnd, end);
    QFETCH(bool, byFields);
    QFETCH(int, endRange);
    QFETCH(int, points);
    QFETCH(QList<int>, colours);
    QFETCH(int, counterAfter);

    Drawn drawn;
    ColourCycle colour;
    const RunOutcome out = runCase(c, drawn, colour);
    QCOMPARE(out.endedByFields, byFields);
    if (!byFields)
        QCOMPARE(out.last.end, end);
    QCOMPARE(out.range, endRange);
    QCOMPARE(out.points, drawn.points.size());
    if (points >= 0)
        QCOMPARE(static_cast<int>(out.points), points);
    QCOMPARE(colour.counter().value_or(-1), counterAfter);
    if (end == RangeEnd::OutOfFieldX)
        QVERIFY(std::fabs(out.last.value) > c.cx);
    if (end == RangeEnd::OutOfFieldY)
        QVERIFY(std::fabs(out.last.value) > c.cy && std::fabs(out.last.value) > 0);

    QList<int> seen;
    int range = 0;
    for (const ChainPoint &p : drawn.points) {
        QVERIFY(std::fabs(p.x) <= c.cx && std::fabs(p.y) <= c.cy);
        if (p.range != range) {
            seen.append(p.paletteIndex);
            range = p.range;
        }
    }
    if (!drawn.points.empty())
        seen.append(drawn.points.back().paletteIndex);
    QCOMPARE(seen, colours);
}

void TestCurveChain::chainContinuesAcrossRanges()
{
    Case c({startingRange(0, 2), startingRange(0.5, 3), startingRange(3, 1)});
    c.ranges[1].cosine = kCosine;
    c.ranges[2].params.ve = 0.5;
    Drawn drawn;
    ColourCycle colour;
    runCase(c, drawn, colour);
    QCOMPARE(drawn.points.size(), std::size_t(3 + 3 + 3));

    // Each dot is the one before moved by epsilon x increment along the direction
    // BETA x sin (or cos) of the whole angle t x ALFA, formed in single precision.
    double x = kStartX;
    double y = kStartY;
    for (const ChainPoint &p : drawn.points) {
        const RangePlan &r = c.ranges[static_cast<std::size_t>(p.range - 1)];
        QCOMPARE(p.a2, *roundToInt16(p.alfa * r.params.ve));
        const auto angle = static_cast<double>(static_cast<float>(p.a2) * r.params.p1);
        const double direction = r.params.beta1 * (r.cosine ? std::cos(angle) : std::sin(angle));
        x += r.params.ep1 * r.params.inx * std::cos(direction);
        y += r.params.ep1 * r.params.iny * std::sin(direction);
        QCOMPARE(p.x, x);
        QCOMPARE(p.y, y);
    }
    // ALFA 0,5 .. 2,5 gives A2 0, 2, 2; with t 0,5 ALFA 3, 2, 1 gives 2, 1, 0.
    QCOMPARE(drawn.points[3].alfa, 0.5);
    QCOMPARE(drawn.points[4].a2, std::int16_t(2));
    QCOMPARE(drawn.points[5].a2, std::int16_t(2));
    QCOMPARE(drawn.points[6].a2, std::int16_t(2));
    QCOMPARE(drawn.points[8].a2, std::int16_t(0));
}

void TestCurveChain::stretchesTakenInParts_data()
{
    QTest::addColumn<int>("part"); // dots the caller takes from a stretch before it returns
    QTest::addColumn<std::size_t>("stopAfter"); // 0: never

    QTest::newRow("one at a time") << 1 << std::size_t(0);
    QTest::newRow("97 at a time") << 97 << std::size_t(0);
    QTest::newRow("whole stretches") << 100000 << std::size_t(0);
    QTest::newRow("stop inside a later stretch") << 100000 << std::size_t(300);
    QTest::newRow("stop at the end of a part") << 150 << std::size_t(300);
}

// A caller that takes part of a stretch and goes on gets the chain a dot at a time would give,
// bit for bit, and one that stops leaves the chain on its last dot.
void TestCurveChain::stretchesTakenInParts()
{
    QFETCH(int, part);
    QFETCH(std::size_t, stopAfter);
    RangePlan plan = startingRange(-1000, 1000);
    plan.params.ep1 = 0.01;
    const Case c({plan, startingRange(0, 50)}, std::nullopt, stopAfter);
    Drawn expected;
    ColourCycle expectedColour;
    const RunOutcome reference = runCase(c, expected, expectedColour);

    DirectionTable directions;
    CurveChain chain(directions, c.cx, c.cy);
    ColourCycle colour;
    std::vector<ChainPoint> drawn;
    const auto next = [&](int range) -> std::optional<RangePlan> {
        if (range > static_cast<int>(c.ranges.size()))
            return std::nullopt;
        return c.ranges[static_cast<std::size_t>(range - 1)];
    };
    const RunOutcome out = chain.runStretches(
        1, colour, next, [&](const ChainPoint *points, int count) -> CurveChain::Taken {
            int take = std::min(count, part);
            if (stopAfter > 0)
                take = std::min(take, static_cast<int>(stopAfter - drawn.size()));
            drawn.insert(drawn.end(), points, points + take);
            return {take, stopAfter == 0 || drawn.size() < stopAfter};
        });
    QCOMPARE(out.points, reference.points);
    QCOMPARE(out.range, reference.range);
    QCOMPARE(out.last.end, reference.last.end);
    QCOMPARE(drawn.size(), expected.points.size());
    QCOMPARE(firstDifferentDot(drawn, expected.points), qsizetype(-1));
    QCOMPARE(colour.counter(), expectedColour.counter());
    if (stopAfter > 0) {
        QCOMPARE(chain.x10(), drawn.back().x);
        QCOMPARE(chain.y10(), drawn.back().y);
        QCOMPARE(chain.lastA2(), drawn.back().a2);
    }
}

// A caller that changes the choice of function and returns early gets the next dots made with
// the new one.
void TestCurveChain::choiceChangedDuringStretch()
{
    bool cosine = false;
    RangePlan plan = startingRange(0, 30);
    plan.cosine = cosine;
    DirectionTable directions;
    CurveChain chain(directions, 430.0f, 305.0f);
    ColourCycle colour;
    std::vector<ChainPoint> drawn;
    chain.runStretches(
        1, colour, [&](int range) { return range == 1 ? std::optional(plan) : std::nullopt; },
        [&](const ChainPoint *points, int count) -> CurveChain::Taken {
            const int take = drawn.size() < 10 ? std::min(count, 10) : count;
            drawn.insert(drawn.end(), points, points + take);
            cosine = drawn.size() >= 10;
            return {take, true, cosine};
        });
    QCOMPARE(drawn.size(), std::size_t(31));
    double x = kStartX;
    double y = kStartY;
    for (const ChainPoint &p : drawn) {
        const auto angle = static_cast<double>(static_cast<float>(p.a2) * plan.params.p1);
        const bool withCosine = p.alfa >= 10;
        const double direction
            = plan.params.beta1 * (withCosine ? std::cos(angle) : std::sin(angle));
        x += plan.params.ep1 * plan.params.inx * std::cos(direction);
        y += plan.params.ep1 * plan.params.iny * std::sin(direction);
        QCOMPARE(p.x, x);
        QCOMPARE(p.y, y);
    }
}

void TestCurveChain::spansGiveTheSameChain_data()
{
    QTest::addColumn<Case>("c");
    QTest::addColumn<int>("part"); // points the caller walks of a span before it returns
    QTest::addColumn<bool>("spans"); // whether the chain has spans to hand over

    // epsilon 0,000001, increments 0,001, t as given: t x ALFA keeps its value for 1 / t points.
    const auto slow = [](double from, double to, double t) {
        RangePlan r = startingRange(from, to);
        r.params.ep1 = 0.000001;
        r.params.inx = 0.001;
        r.params.iny = 0.001;
        r.params.ve = t;
        return r;
    };
    QTest::newRow("one span to the end") << Case({slow(0, 200000, 0.000001)}) << 1 << true;
    QTest::newRow("a span for each angle") << Case({slow(0, 300000, 0.0001)}) << 1 << true;
    QTest::newRow("downwards") << Case({slow(300000, -300000, 0.0001)}) << 1 << true;
    QTest::newRow("walked in parts") << Case({slow(0, 300000, 0.0001)}) << 1000 << true;
    QTest::newRow("stopped inside a span")
        << Case({slow(0, 300000, 0.0001)}, std::nullopt, 150001) << 1000 << true;
    QTest::newRow("ALFA not whole") << Case({slow(0.5, 100000, 0.000001)}) << 1 << false;
    // Steps of about 0,01: out of the field after some 40,000 points.
    RangePlan fast = slow(0, 100000, 0.000001);
    fast.params.ep1 = 0.01;
    fast.params.inx = 1;
    QTest::newRow("to the field's edge") << Case({fast}) << 1 << true;
    QTest::newRow("across three ranges, colour wrapped")
        << Case({slow(0, 50000, 0.0001), slow(0, -50000, 0.0001), slow(7, 60000, 0.0001)},
                std::int16_t {13})
        << 1 << true;
}

// The chain handed over in spans, walked whole or in parts, is the chain a dot at a time,
// bit for bit, and ends as it does.
void TestCurveChain::spansGiveTheSameChain()
{
    QFETCH(Case, c);
    QFETCH(int, part);
    QFETCH(bool, spans);
    Drawn expected;
    ColourCycle expectedColour;
    const RunOutcome reference = runCase(c, expected, expectedColour);

    DirectionTable directions;
    CurveChain chain(directions, c.cx, c.cy);
    ColourCycle colour(c.colourBefore);
    std::vector<ChainPoint> drawn;
    std::size_t inSpans = 0;
    const auto next = [&](int range) -> std::optional<RangePlan> {
        if (range > static_cast<int>(c.ranges.size()))
            return std::nullopt;
        return c.ranges[static_cast<std::size_t>(range - 1)];
    };
    const auto wanted = [&](int count) {
        if (c.stopAfter > 0)
            count = std::min(count, static_cast<int>(c.stopAfter - drawn.size()));
        return count;
    };
    const auto goOn = [&] { return c.stopAfter == 0 || drawn.size() < c.stopAfter; };
    const RunOutcome out = chain.runStretches(
        1, colour, next,
        [&](const ChainPoint *points, int count) -> CurveChain::Taken {
            const int take = wanted(count);
            drawn.insert(drawn.end(), points, points + take);
            return {take, goOn()};
        },
        [&](ChainSpan &span) -> CurveChain::Taken {
            const int take = wanted(std::min(part, span.count - span.done()));
            int k = span.done();
            span.walk(take, [&](double x, double y) {
                drawn.push_back({span.range, span.alfaAt(k++), span.a2, x, y, span.paletteIndex});
                ++inSpans;
            });
            return {span.done(), goOn()};
        });
    QCOMPARE(inSpans > 0, spans);
    QCOMPARE(out.points, reference.points);
    QCOMPARE(out.range, reference.range);
    QCOMPARE(out.last.end, reference.last.end);
    QCOMPARE(out.last.value, reference.last.value);
    QCOMPARE(drawn.size(), expected.points.size());
    QCOMPARE(firstDifferentDot(drawn, expected.points), qsizetype(-1));
    QCOMPARE(colour.counter(), expectedColour.counter());
    QCOMPARE(chain.x10(), drawn.back().x);
    QCOMPARE(chain.y10(), drawn.back().y);
    QCOMPARE(chain.lastA2(), drawn.back().a2);
}

void TestCurveChain::resumedRunGoesOnTheSame_data()
{
    QTest::addColumn<Case>("c");
    QTest::addColumn<int>("after"); // the dot the run is resumed after

    const auto slow = [](double from, double to) {
        RangePlan r = startingRange(from, to);
        r.params.ep1 = 0.000001;
        r.params.inx = 0.001;
        r.params.iny = 0.001;
        r.params.ve = 0.0001;
        return r;
    };
    const Case spans({slow(0, 50000), slow(0, -50000), slow(7, 60000)});
    QTest::newRow("after the first dot") << spans << 1;
    QTest::newRow("inside a span") << spans << 25000;
    QTest::newRow("after a range's last dot") << spans << 50001;
    QTest::newRow("in the last range") << spans << 100003;
    // The counter reaches 14 at the first dot and wraps after it.
    const Case wrapped({startingRange(0, 30), startingRange(5, -5)}, std::int16_t {13});
    QTest::newRow("colour wrapped") << wrapped << 1;
    QTest::newRow("second range's colour") << wrapped << 33;
    RangePlan far = startingRange(0, 100000);
    far.params.ve = 0.001;
    QTest::newRow("before leaving the field") << Case({far}) << 480;
}

// A run resumed from the position after one of its dots makes the same dots after it, bit for
// bit, and ends the same way.
void TestCurveChain::resumedRunGoesOnTheSame()
{
    QFETCH(Case, c);
    QFETCH(int, after);
    Drawn expected;
    ColourCycle expectedColour;
    const RunOutcome reference = runCase(c, expected, expectedColour);
    QVERIFY(static_cast<std::size_t>(after) < expected.points.size());

    const ChainPoint &last = expected.points[static_cast<std::size_t>(after - 1)];
    const ChainPosition at
        = positionAfter(last, c.ranges[static_cast<std::size_t>(last.range - 1)].step);
    DirectionTable directions;
    CurveChain chain(directions, c.cx, c.cy);
    std::vector<ChainPoint> drawn;
    const RunOutcome out = chain.resumeStretches(
        at,
        [&](int range) -> std::optional<RangePlan> {
            if (range > static_cast<int>(c.ranges.size()))
                return std::nullopt;
            return c.ranges[static_cast<std::size_t>(range - 1)];
        },
        [&](const ChainPoint *points, int count) -> CurveChain::Taken {
            drawn.insert(drawn.end(), points, points + count);
            return {count, true};
        },
        [&](ChainSpan &span) -> CurveChain::Taken {
            int k = 0;
            span.walk(span.count, [&](double x, double y) {
                drawn.push_back({span.range, span.alfaAt(k++), span.a2, x, y, span.paletteIndex});
            });
            return {span.done(), true};
        });
    QCOMPARE(out.points + static_cast<std::size_t>(after), reference.points);
    QCOMPARE(out.range, reference.range);
    QCOMPARE(out.endedByFields, reference.endedByFields);
    QCOMPARE(out.last.end, reference.last.end);
    QVERIFY(out.last.value == reference.last.value);
    QCOMPARE(drawn.size() + static_cast<std::size_t>(after), expected.points.size());
    QCOMPARE(firstDifferentDot(drawn, expected.points, static_cast<std::size_t>(after)),
             qsizetype(-1));
}

QTEST_APPLESS_MAIN(TestCurveChain)
#include "tst_curvechain.moc"
