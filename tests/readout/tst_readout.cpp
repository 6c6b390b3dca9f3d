// SPDX-FileCopyrightText: 2026 The QUORVEL developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "curve/Form4.h"
#include "curve/RunRecord.h"
#include "model/NumericText.h"
#include "readout/DotIndex.h"
#include "readout/ReadoutOverlay.h"
#include "shell/FormRegistry.h"
#include "support/TestSupport.h"

#include <QApplication>
#include <QLabel>
#include <QSignalSpy>
#include <QTest>

#include <bit>
#include <cmath>
#include <cstdint>
#include <memory>
#include <vector>

using namespace quorvel;
using namespace quorvel::curve;
using namespace quorvel::model;
using readout::ChainMapping;
using readout::DotIndex;
using readout::PlacedRun;

namespace {

constexpr int kWidth = 4000;
constexpr int kHeight = 4000;

// The starting plot (epsilon 0,86, BETA 55, t 1, ALFA 0 to 180): 181 dots 0,86 units apart,
// 8,6 pixels apart at 10 pixels a unit.
std::shared_ptr<RunRecord> startingRun(int number)
{
    auto record = std::make_shared<RunRecord>(number, 430.0f, 300.0f, std::nullopt, 1);
    model::RangePlan plan;
    plan.params = {0.86, 1, 1, 55 * 0.017453292, 1, 0.017453292f};
    plan.from = 0;
    plan.to = 180;
    plan.step = 1;
    record->keep(1, plan);
    record->setDots(181);
    return record;
}
const ChainMapping kMapping {100, 2000, 10, 10};

std::vector<model::ChainPoint> dotsOf(const RunRecord &run)
{
    std::vector<model::ChainPoint> dots;
    run.replay([&dots](const model::ChainPoint &p) {
        dots.push_back(p);
        return true;
    });
    return dots;
}

DotIndex indexOf(const std::vector<PlacedRun> &runs)
{
    const std::atomic<bool> cancel {false};
    return DotIndex::build(runs, kWidth, kHeight, cancel);
}

bool sameBits(double a, double b)
{
    return std::bit_cast<std::uint64_t>(a) == std::bit_cast<std::uint64_t>(b);
}

} // namespace

class TestReadout : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase() { test::filterPlatformNoise(); }
    void everyDotIsFoundAtItsPlace();
    void reach_data();
    void reach();
    void laterRunOnTheSamePixelShows();
    void tipOverCurveWindow();
};

// Each dot replayed, looked for where it lies, is itself, bit for bit.
void TestReadout::everyDotIsFoundAtItsPlace()
{
    const auto run = startingRun(4);
    const std::vector<model::ChainPoint> dots = dotsOf(*run);
    QCOMPARE(dots.size(), std::size_t {181});
    const DotIndex index = indexOf({{run, kMapping}});
    for (const model::ChainPoint &p : dots) {
        const std::optional<readout::FoundDot> found = index.nearest(kMapping.toView(p.x, p.y));
        QVERIFY(found);
        QCOMPARE(found->run, 4);
        QCOMPARE(found->range, p.range);
        QCOMPARE(found->a2, p.a2);
        QVERIFY(sameBits(found->alfa, p.alfa));
        QVERIFY(sameBits(found->x11, p.x));
        QVERIFY(sameBits(found->y11, p.y));
    }
}

// Three pixels away a dot is found, a little farther it is not.
void TestReadout::reach_data()
{
    QTest::addColumn<double>("offset");
    QTest::addColumn<bool>("found");
    QTest::newRow("2,9 pixels") << 2.9 << true;
    QTest::newRow("3 pixels") << 3.0 << true;
    QTest::newRow("3,2 pixels") << 3.2 << false;
}

void TestReadout::reach()
{
    QFETCH(double, offset);
    QFETCH(bool, found);
    const auto run = startingRun(1);
    const std::vector<model::ChainPoint> dots = dotsOf(*run);
    const DotIndex index = indexOf({{run, kMapping}});
    // The first dot, approached from the side away from the second.
    const QPointF first = kMapping.toView(dots[0].x, dots[0].y);
    const QPointF second = kMapping.toView(dots[1].x, dots[1].y);
    const QPointF away = (first - second) / std::hypot((first - second).x(), (first - second).y());
    const std::optional<readout::FoundDot> dot = index.nearest(first + away * offset);
    QCOMPARE(dot.has_value(), found);
    if (dot)
        QVERIFY(sameBits(dot->alfa, dots[0].alfa));
}

// Where a later run covers an earlier one, the later run's dot is the one shown and told.
void TestReadout::laterRunOnTheSamePixelShows()
{
    const auto first = startingRun(1);
    const auto second = startingRun(2);
    const DotIndex index = indexOf({{first, kMapping}, {second, kMapping}});
    const model::ChainPoint p = dotsOf(*first)[90];
    const std::optional<readout::FoundDot> found = index.nearest(kMapping.toView(p.x, p.y));
    QVERIFY(found);
    QCOMPARE(found->run, 2);
}

// Over the curve window's drawing the tip tells the dot under the cursor, changes neither the
// drawing nor a field, and goes when the cursor leaves.
void TestReadout::tipOverCurveWindow()
{
    FormRegistry registry;
    registry.addFactory(QStringLiteral("Form4"), [](FormRegistry &r) {
        return std::make_unique<Form4>(r, [] { return Variant::real(0.55); });
    });
    auto &form = registry.formAs<Form4>(QStringLiteral("Form4"));
    form.show();
    QVERIFY(QTest::qWaitForWindowActive(form.window()));
    form.Command5_Click(); // the starting plot
    DrawingSurface *surface = form.surface();
    const auto &entries = surface->raster().record().entries();
    QVERIFY(!entries.empty());
    const auto &batch = std::get<raster::RecordedDots>(entries.back());
    const auto run = std::dynamic_pointer_cast<const RunRecord>(batch.source);
    QVERIFY(run);
    // A dot clear of the controls.
    std::optional<QPoint> target;
    model::ChainPoint chosen {};
    run->replay([&](const model::ChainPoint &p) {
        const QPoint at(static_cast<int>((run->cx() + p.x) * batch.mapping.kx),
                        static_cast<int>((run->cy() - p.y) * batch.mapping.ky));
        if (surface->childAt(at) == nullptr && surface->rect().contains(at)) {
            target = at;
            chosen = p;
            return false;
        }
        return true;
    });
    QVERIFY(target);
    const QImage before = surface->raster().drawing();
    QStringList texts;
    for (int n = 1; n <= 12; ++n)
        texts << (form.field(n) ? form.field(n)->text() : QString());

    readout::ReadoutOverlay *tip = form.readout();
    QVERIFY(tip);
    QSignalSpy built(tip, &readout::ReadoutOverlay::indexBuilt);
    QTest::mouseMove(surface, *target);
    QVERIFY(built.count() > 0 || built.wait());
    QTest::mouseMove(surface, *target + QPoint(1, 0));
    QTest::mouseMove(surface, *target);
    const QString text = tip->text();
    QVERIFY2(text.contains(QStringLiteral("Esecuzione 1, intervallo 1")), qPrintable(text));
    QVERIFY2(text.contains(QStringLiteral("ALFA = ") + decimalText(chosen.alfa)), qPrintable(text));
    QCOMPARE(tip->label()->accessibleDescription(), text);
    QCOMPARE(surface->raster().drawing(), before);
    for (int n = 1; n <= 12; ++n)
        QCOMPARE(form.field(n) ? form.field(n)->text() : QString(), texts[n - 1]);

    QEvent leave(QEvent::Leave);
    QApplication::sendEvent(surface, &leave);
    QVERIFY(tip->text().isEmpty());
    QVERIFY(!tip->label()->isVisible());
}

QTEST_MAIN(TestReadout)
#include "tst_readout.moc"
