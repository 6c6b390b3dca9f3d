// SPDX-FileCopyrightText: 2026 The QUORVEL developers
// SPDX-License-Identifier: GPL-3.0-or-later

// Times runs of the curve window through its real code ("ESEGUI": readers, ranges, point
// arithmetic, PSet into a 1920x1080 surface) against a raw loop that does the same arithmetic
// and writes the same 3x3 dots straight into an image.
#include "BenchSupport.h"
#include "curve/Form4.h"
#include "model/CurveChain.h"
#include "surface/DrawingSurface.h"
#include "surface/ScopedSurfaceObserver.h"

#include <QCoreApplication>
#include <QImage>
#include <QPaintEvent>
#include <QPainter>
#include <QPushButton>
#include <QStringList>

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <optional>
#include <utility>
#include <vector>

namespace {

using namespace quorvel;
using namespace quorvel::curve;
using namespace quorvel::model;

using quorvel::bench::medianMs;

constexpr int kWidth = 1920;
constexpr int kHeight = 1080;

// The long run (bench::longRunFields()): every range from -32768 to 32767.
constexpr double kLongFrom = -32768;
constexpr double kLongTo = 32767;
constexpr int kLongPoints = bench::kLongRunPoints;
// The same three ranges with t = 1: every one of the 65,536 angles.
const bench::Fields kLongT1Fields = [] {
    bench::Fields fields = bench::longRunFields();
    fields[4] = {12, QStringLiteral("1")};
    return fields;
}();
// The values the window shows when it opens: one range from 0 to 180, 181 points.
constexpr int kStartingPoints = 181;
const bench::Fields kStartingFields = {
    {1, QStringLiteral("1")},   {2, QStringLiteral("1")},  {10, QStringLiteral("0,86")},
    {11, QStringLiteral("55")}, {12, QStringLiteral("1")}, {3, QStringLiteral("0")},
    {4, QStringLiteral("180")}, {5, QStringLiteral("0")},  {6, QStringLiteral("0")},
    {7, QStringLiteral("0")},   {8, QStringLiteral("0")},
};

// The longest run timed: 10^9 points in range 1 (0 to 1000000000), epsilon and t 0,000001, the
// increments 0,001 so that the chain stays within the field (a few pixels wide) to its end.
constexpr double kBillionTo = 1000000000;
constexpr std::size_t kBillionPoints = 1000000001;
const bench::Fields kBillionFields = {
    {1, QStringLiteral("0,001")},      {2, QStringLiteral("0,001")},
    {10, QStringLiteral("0,000001")},  {11, QStringLiteral("55")},
    {12, QStringLiteral("0,000001")},  {3, QStringLiteral("0")},
    {4, QStringLiteral("1000000000")}, {5, QStringLiteral("0")},
    {6, QStringLiteral("0")},          {7, QStringLiteral("0")},
    {8, QStringLiteral("0")},
};

// Every dot the program sets, in user units exactly as passed.
class PointLog : public raster::DrawingObserver
{
public:
    std::vector<std::pair<float, float>> points;
    void scaleChanged(float, float) override { }
    void cleared() override { }
    void lineDrawn(float, float, float, float, int, raster::ColourValue) override { }
    void pointSet(float x, float y, int, int) override { points.emplace_back(x, y); }
};

// Counts the paint events a widget receives.
class PaintCounter : public QObject
{
public:
    int paints = 0;
    bool eventFilter(QObject *, QEvent *event) override
    {
        if (event->type() == QEvent::Paint)
            ++paints;
        return false;
    }
};

// Processor time of the calling thread, milliseconds.
double threadCpuMs()
{
    timespec t {};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) * 1e3 + static_cast<double>(t.tv_nsec) / 1e6;
}

bool sameBits(float a, float b)
{
    return std::bit_cast<std::uint32_t>(a) == std::bit_cast<std::uint32_t>(b);
}

// The raw loop's copy of the run's arithmetic: A2 to nearest even, the angle in single
// precision widened for the sine, then products before sums in double precision.
struct RawRun
{
    double ep1, inx, iny, beta1, ve;
    float p1, cx, cy;
    double kx, ky; // device pixels per user unit

    // Draws ALFA = from..to (step +1) from (x10, y10); false if a point cannot be made.
    template<typename Sink>
    bool range(double from, double to, double &x10, double &y10, Sink &&sink) const
    {
        for (double alfa = from; alfa <= to; alfa += 1) {
            const double a2r = std::nearbyint(alfa * ve);
            if (!(a2r >= -32768.0 && a2r <= 32767.0))
                return false;
            const auto a2 = static_cast<std::int16_t>(a2r);
            const double senCos = std::sin(static_cast<double>(static_cast<float>(a2) * p1));
            const double direction = beta1 * senCos;
            const double x = ep1 * inx * std::cos(direction) + x10;
            const double y = ep1 * iny * std::sin(direction) + y10;
            if (!(std::fabs(x) <= static_cast<double>(cx))
                || !(std::fabs(y) <= static_cast<double>(cy)))
                return false;
            sink(static_cast<float>(static_cast<double>(cx) + x),
                 static_cast<float>(static_cast<double>(cy) - y));
            x10 = x;
            y10 = y;
        }
        return true;
    }
};

} // namespace

int main(int argc, char *argv[])
{
    const bool onlyLong = argc > 1 && std::strcmp(argv[1], "long") == 0;
    bench::CurveWindowSession session(argc, argv, kWidth, kHeight);
    if (session.curveWindow() == nullptr)
        return 1;
    Form4 &form4 = *session.curveWindow();
    DrawingSurface *surface = form4.surface();
    // A message would end a run early: the session records them instead of opening boxes.
    const QStringList &messages = session.messages();
    // The default pacing: a run shorter than half a second is never interrupted.
    form4.setRunTiming({});

    const auto setFields
        = [&form4](const bench::Fields &fields) { bench::setFields(form4, fields); };
    // One "ESEGUI"; the queued screen update is left to the event loop outside the timing.
    auto esegui = [&form4] { form4.Command5_Click(); };
    auto settle = [] { QCoreApplication::processEvents(); };

    // The raw loop, with the parameters the window has just read, into a plain image.
    auto rawFromWindow = [&form4, surface] {
        RawRun r {};
        r.ep1 = form4.EP1.toDouble();
        r.inx = form4.INX.toDouble();
        r.iny = form4.INY.toDouble();
        r.beta1 = form4.BETA1.toDouble();
        r.ve = form4.Ve.toDouble();
        r.p1 = form4.P1.toSingle();
        r.cx = form4.CX.toSingle();
        r.cy = form4.CY.toSingle();
        r.kx = kWidth / static_cast<double>(surface->raster().scaleWidth());
        r.ky = kHeight / static_cast<double>(surface->raster().scaleHeight());
        return r;
    };
    QImage image(kWidth, kHeight, QImage::Format_RGB32);
    image.fill(surface->raster().backgroundRgb());
    uchar *const bits = image.bits();
    const qsizetype stride = image.bytesPerLine();
    constexpr QRgb kGreen = 0xff008000;
    RawRun raw {};
    auto dot = [&raw, bits, stride](float x, float y) {
        const double px = std::floor(static_cast<double>(x) * raw.kx);
        const double py = std::floor(static_cast<double>(y) * raw.ky);
        if (!(px > -3 && px < kWidth + 3 && py > -3 && py < kHeight + 3))
            return;
        const int left = static_cast<int>(px) - 1;
        const int top = static_cast<int>(py) - 1;
        if (left >= 0 && top >= 0 && left + 3 <= kWidth && top + 3 <= kHeight) {
            auto *line = reinterpret_cast<QRgb *>(bits + top * stride) + left;
            for (int row = 0; row < 3; ++row) {
                line[0] = kGreen;
                line[1] = kGreen;
                line[2] = kGreen;
                line = reinterpret_cast<QRgb *>(reinterpret_cast<uchar *>(line) + stride);
            }
            return;
        }
        const int x0 = std::max(left, 0);
        const int x1 = std::min(left + 3, kWidth);
        const int y1 = std::min(top + 3, kHeight);
        for (int row = std::max(top, 0); row < y1; ++row) {
            auto *line = reinterpret_cast<QRgb *>(bits + row * stride);
            for (int col = x0; col < x1; ++col)
                line[col] = kGreen;
        }
    };
    auto rawRun = [&raw](int ranges, double from, double to, auto &&sink) {
        double x10 = 15;
        double y10 = 30;
        for (int range = 0; range < ranges; ++range)
            if (!raw.range(from, to, x10, y10, sink))
                return false;
        return true;
    };
    // Whether the raw loop makes the very same dots as the window did, bit for bit.
    auto rawMatches = [&](int ranges, double from, double to, const PointLog &log) {
        std::size_t index = 0;
        bool same = true;
        const bool complete = rawRun(ranges, from, to, [&](float x, float y) {
            same = same && index < log.points.size() && sameBits(x, log.points[index].first)
                && sameBits(y, log.points[index].second);
            ++index;
        });
        return complete && same && index == log.points.size();
    };
    // An untimed run that records every dot: all of them set, no message, the drawing changed.
    auto verifiedRun = [&](int expectedPoints, const char *what) {
        const QImage before = surface->raster().drawing();
        PointLog log;
        {
            const ScopedSurfaceObserver watch(*surface, &log);
            esegui();
        }
        settle();
        if (!messages.isEmpty() || log.points.size() != static_cast<std::size_t>(expectedPoints)
            || surface->raster().drawing() == before) {
            std::fprintf(stderr, "%s: %zu points (expected %d), %lld messages\n", what,
                         log.points.size(), expectedPoints,
                         static_cast<long long>(messages.size()));
            return PointLog {};
        }
        return log;
    };

    // The run of 10^9 points (see kBillionFields) and the bare chain making the same points.
    double billionCpuMs = 0;
    auto timeBillion = [&](double &billionMs, double &chainMs) {
        setFields(kBillionFields);
        constexpr int billionRuns = 3;
        // The processor time of this thread too: on a machine shared with other work the wall
        // time says more about the others than about the run.
        std::vector<double> cpu;
        billionMs = medianMs(
            billionRuns,
            [&] {
                const double start = threadCpuMs();
                form4.Command1()->click();
                cpu.push_back(threadCpuMs() - start);
            },
            settle);
        std::sort(cpu.begin(), cpu.end());
        billionCpuMs = cpu[cpu.size() / 2];
        if (!messages.isEmpty() || form4.lastRun().drawn != static_cast<int>(kBillionPoints)) {
            std::fprintf(stderr, "long run of 10^9 points: %d points drawn\n",
                         form4.lastRun().drawn);
            return false;
        }
        {
            model::RangePlan plan;
            plan.params = {form4.EP1.toDouble(),   form4.INX.toDouble(), form4.INY.toDouble(),
                           form4.BETA1.toDouble(), form4.Ve.toDouble(),  form4.P1.toSingle()};
            plan.from = 0;
            plan.to = kBillionTo;
            plan.step = 1;
            model::DirectionTable directions;
            std::size_t made = 0;
            chainMs = medianMs(1, [&] {
                model::CurveChain chain(directions, form4.CX.toSingle(), form4.CY.toSingle());
                model::ColourCycle colour;
                made = chain
                           .runStretches(
                               1, colour,
                               [&plan](int range) {
                                   return range == 1 ? std::optional(plan) : std::nullopt;
                               },
                               [](const model::ChainPoint *, int count) {
                                   return model::CurveChain::Taken {count, true};
                               })
                           .points;
            });
            if (made != kBillionPoints) {
                std::fprintf(stderr, "the bare chain made %zu points\n", made);
                return false;
            }
        }

        return true;
    };
    auto printBillion = [&billionCpuMs](double billionMs, double chainMs) {
        std::printf("BENCH long_run_points_per_second median_ms=%.1f ratio=%.2f mpoints_s=%.1f "
                    "cpu_ms=%.1f\n",
                    billionMs, billionMs / chainMs,
                    static_cast<double>(kBillionPoints) / billionMs / 1000.0, billionCpuMs);
        std::printf("BENCH long_run_bare_chain median_ms=%.1f ratio=1.00 mpoints_s=%.1f\n", chainMs,
                    static_cast<double>(kBillionPoints) / chainMs / 1000.0);
    };
    // "bench_curve long": that run alone.
    if (onlyLong) {
        double billionMs = 0;
        double chainMs = 0;
        if (!timeBillion(billionMs, chainMs))
            return 1;
        printBillion(billionMs, chainMs);
        return 0;
    }

    // The long run.
    setFields(bench::longRunFields());
    const PointLog longLog = verifiedRun(kLongPoints, "long run");
    raw = rawFromWindow();
    if (longLog.points.empty() || !rawMatches(3, kLongFrom, kLongTo, longLog)) {
        std::fprintf(stderr, "long run: the raw loop does not match the window\n");
        return 1;
    }
    const int longRuns = 101;
    const double longMs = medianMs(longRuns, esegui, settle);
    const double rawMs = medianMs(
        longRuns, [&] { rawRun(3, kLongFrom, kLongTo, dot); }, [] {});

    // The worst case of distinct angles: t = 1.
    setFields(kLongT1Fields);
    const PointLog t1Log = verifiedRun(kLongPoints, "long run, t 1");
    raw = rawFromWindow();
    if (t1Log.points.empty() || !rawMatches(3, kLongFrom, kLongTo, t1Log)) {
        std::fprintf(stderr, "long run, t 1: the raw loop does not match the window\n");
        return 1;
    }
    const double t1Ms = medianMs(longRuns, esegui, settle);
    const double rawT1Ms = medianMs(
        longRuns, [&] { rawRun(3, kLongFrom, kLongTo, dot); }, [] {});

    // What the user waits for: the click on ESEGUI until the window shows the whole plot, the
    // repaint done inside the click's handler.
    setFields(bench::longRunFields());
    PaintCounter counter;
    surface->installEventFilter(&counter);
    form4.Command5()->click();
    if (counter.paints == 0) {
        std::fprintf(stderr, "ESEGUI returned before the window was repainted\n");
        return 1;
    }
    surface->removeEventFilter(&counter);
    const double paintedMs = medianMs(
        longRuns, [&] { form4.Command5()->click(); }, settle);

    // The starting plot.
    setFields(kStartingFields);
    const PointLog startingLog = verifiedRun(kStartingPoints, "starting plot");
    raw = rawFromWindow();
    if (startingLog.points.empty() || !rawMatches(1, 0, 180, startingLog)) {
        std::fprintf(stderr, "starting plot: the raw loop does not match the window\n");
        return 1;
    }
    const int startingRuns = 2001;
    const double startingMs = medianMs(startingRuns, esegui, settle);
    const double rawStartingMs = medianMs(
        startingRuns, [&] { rawRun(1, 0, 180, dot); }, [] {});

    // A repaint of a whole 1920x1080 drawing (axes and a curve, no controls over it), against
    // painting a 32-bit image of the same size into a 32-bit image, as a backing store is.
    DrawingSurface whole;
    whole.resize(kWidth, kHeight);
    whole.show();
    settle();
    whole.raster().setScaleWidth(1000.0f);
    whole.raster().setScaleHeight(1000.0f);
    whole.raster().Line(500, 0, 500, 1000, 0);
    whole.raster().Line(0, 500, 1000, 500, 0);
    whole.raster().setDrawWidth(3);
    for (const auto &[x, y] : longLog.points)
        whole.raster().PSet(x, y, 2);
    settle();
    const double repaintMs = medianMs(longRuns, [&] { whole.repaint(); });
    const QImage full = whole.raster().drawing();
    QImage target(kWidth, kHeight, QImage::Format_RGB32);
    const double copyMs = medianMs(longRuns, [&] {
        QPainter painter(&target);
        painter.drawImage(0, 0, full);
    });

    double billionMs = 0;
    double chainMs = 0;
    if (!timeBillion(billionMs, chainMs))
        return 1;

    if (!messages.isEmpty()) {
        std::fprintf(stderr, "a timed run showed a message: %s\n", qPrintable(messages[0]));
        return 1;
    }

    std::printf("BENCH curve_calcola_196608 median_ms=%.4f ratio=%.2f\n", longMs, longMs / rawMs);
    std::printf("BENCH curve_raw_loop median_ms=%.4f ratio=1.00\n", rawMs);
    std::printf("BENCH curve_calcola_196608_t1 median_ms=%.4f ratio=%.2f\n", t1Ms, t1Ms / rawT1Ms);
    std::printf("BENCH curve_esegui_painted median_ms=%.4f ratio=%.2f\n", paintedMs,
                paintedMs / rawMs);
    std::printf("BENCH surface_full_repaint median_ms=%.4f ratio=%.2f\n", repaintMs,
                repaintMs / copyMs);
    std::printf("BENCH surface_copy_32bit median_ms=%.4f ratio=1.00\n", copyMs);
    std::printf("BENCH curve_starting_plot median_ms=%.4f ratio=%.2f\n", startingMs,
                startingMs / rawStartingMs);
    printBillion(billionMs, chainMs);
    std::printf("BENCH curve_starting_raw_loop median_ms=%.4f ratio=1.00\n", rawStartingMs);
    return 0;
}
