// SPDX-FileCopyrightText: 2026 The QUORVEL developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "support/TestSupport.h"

#include "curve/Form4.h"
#include "explore/ExploreRecipe.h"
#include "explore/ExploreRender.h"
#include "explore/ExploreRun.h"
#include "explore/ExploreWindow.h"
#include "explore/ExploreWorker.h"
#include "model/NumericText.h"
#include "readout/DotIndex.h"
#include "readout/ReadoutOverlay.h"
#include "shell/FormRegistry.h"

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QSignalSpy>
#include <QSlider>
#include <QTest>

#include <atomic>
#include <cmath>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

using namespace quorvel;
using namespace quorvel::curve;
using namespace quorvel::model;
using namespace quorvel::explore;

Q_DECLARE_METATYPE(quorvel::explore::Field)

using Changes = QList<QPair<int, QString>>;

namespace {

// Texts with the given fields changed, as pairs of Field and text.
Texts textsWith(const Changes &changes, bool cosine)
{
    Texts t = startingTexts();
    for (const auto &[field, text] : changes)
        t[static_cast<Field>(field)] = text;
    t.cosine = cosine;
    return t;
}

// The curve window of a fresh program, activated once (axes drawn, nothing run yet).
Form4 &freshCurveWindow(FormRegistry &registry, double incr)
{
    registry.addFactory(QStringLiteral("Form4"), [incr](FormRegistry &r) {
        return std::make_unique<Form4>(r, [incr] { return Variant::real(incr); });
    });
    auto &f = registry.formAs<Form4>(QStringLiteral("Form4"));
    f.show();
    return f;
}

} // namespace

class TestExplore : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase() { test::filterPlatformNoise(); }
    void sameDrawingAsCurveWindow_data();
    void sameDrawingAsCurveWindow();
    void refusedTexts_data();
    void refusedTexts();
    void sliderTextsReadBack_data();
    void sliderTextsReadBack();
    void zoomKeepsThePointUnderTheCursor();
    void tickSteps_data();
    void tickSteps();
    void newRequestDropsALongRun();
    void refusedTextKeepsTheLastRun();
    void useInCurveWindowWritesTextsAndRunsNothing();
    void ctrlEOpensOneWindow();
    void escStopsALongRun();
    void extremeTexts_data();
    void extremeTexts();
    void readoutFindsTheDotsWhereDrawn();
    void hoverShowsThePointInTheStatusLine();
};

void TestExplore::sameDrawingAsCurveWindow_data()
{
    QTest::addColumn<double>("incr");
    QTest::addColumn<Changes>("changes");
    QTest::addColumn<bool>("cosine");
    QTest::addColumn<QString>("ending");
    const auto F = [](Field f) { return static_cast<int>(f); };
    QTest::newRow("starting values") << 1.0 << Changes {} << false << "fine";
    QTest::newRow("three ranges of 65536, factor 0,8")
        << 0.8 << Changes {{F(Field::Epsilon), "0,001"}, {F(Field::T), "0,5"},
                           {F(Field::From1), "-32768"},  {F(Field::To1), "32767"},
                           {F(Field::From2), "-32768"},  {F(Field::To2), "32767"},
                           {F(Field::From3), "-32768"},  {F(Field::To3), "32767"}}
        << false << "fine";
    QTest::newRow("cosine, downwards, fractional step")
        << 1.0
        << Changes {{F(Field::Beta), "-123,5"}, {F(Field::T), "0,37"},   {F(Field::Inx), "1,5"},
                    {F(Field::Iny), "-0,5"},    {F(Field::From1), "10"}, {F(Field::To1), "-200"},
                    {F(Field::From2), "0"},     {F(Field::To2), "-75,5"}}
        << true << "fine";
    QTest::newRow("out of the field")
        << 1.0 << Changes {{F(Field::Epsilon), "40"}, {F(Field::Beta), "3"}} << false
        << "fuori campo";
}

// For the same texts, choice and factor, the explore window's drawing at 1:1 and the curve
// window's after "Cancella ed esegui" are the same, pixel for pixel.
void TestExplore::sameDrawingAsCurveWindow()
{
    QFETCH(double, incr);
    QFETCH(Changes, changes);
    QFETCH(bool, cosine);
    QFETCH(QString, ending);
    const Texts texts = textsWith(changes, cosine);

    test::MessageRecorder boxes;
    FormRegistry registry;
    Form4 &curve = freshCurveWindow(registry, incr);
    QTRY_VERIFY(curve.PrimVol.equalsNumber(model::kActivatedMarker));
    for (int i = 0; i < kFieldCount; ++i)
        curve.field(curveFieldNumber(static_cast<Field>(i)))
            ->setText(texts.text[static_cast<std::size_t>(i)]);
    (cosine ? curve.Option2() : curve.Option1())->setChecked(true);
    curve.Command1_Click();

    const Reading reading = readTexts(texts);
    QVERIFY(reading.recipe);
    const raster::RetainedDrawing &shown = curve.surface()->raster();
    const Scene scene = sceneOf(curve);
    raster::RetainedDrawing drawing(shown.backgroundRgb());
    drawing.setArea(shown.size(), shown.devicePixelRatio());
    Renderer renderer;
    const RunResult result
        = renderer.render(drawing, scene, oneToOne(scene, shown.size()), *reading.recipe);
    QCOMPARE(static_cast<int>(result.outcome.points), curve.lastRun().points());
    QVERIFY2(drawing.drawing() == shown.drawing(), "the drawings differ");
    QVERIFY2(endText(result).contains(ending), qPrintable(endText(result)));
}

void TestExplore::refusedTexts_data()
{
    QTest::addColumn<Field>("field");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("reason");
    QTest::newRow("letters") << Field::Epsilon << "abc"
                             << "Non è un numero";
    QTest::newRow("a decimal point") << Field::Beta << "1.5"
                                     << "Non è un numero";
    QTest::newRow("blank") << Field::T << " "
                           << "Non è un numero";
    QTest::newRow("INX 0") << Field::Inx << "0"
                           << "Non è ammesso 0";
    QTest::newRow("INY letters") << Field::Iny << "y"
                                 << "INY non è un numero";
    QTest::newRow("empty To2") << Field::To2 << ""
                               << "For o To senza numero";
    QTest::newRow("exponent") << Field::From1 << "1e999"
                              << "For o To non numero";
    QTest::newRow("too large") << Field::To3 << QString(400, QLatin1Char('9'))
                               << "For o To non numero";
}

void TestExplore::refusedTexts()
{
    QFETCH(Field, field);
    QFETCH(QString, text);
    QFETCH(QString, reason);
    Texts t = startingTexts();
    t[field] = text;
    const Reading reading = readTexts(t);
    QVERIFY(!reading.recipe);
    QCOMPARE(reading.refusals.size(), std::size_t {1});
    QCOMPARE(reading.refusals.front().field, field);
    QCOMPARE(reading.refusals.front().reason, reason);
}

void TestExplore::sliderTextsReadBack_data()
{
    QTest::addColumn<Field>("field");
    for (int i = 0; i < kFieldCount; ++i)
        QTest::newRow(qPrintable(fieldName(static_cast<Field>(i)))) << static_cast<Field>(i);
}

// Every position of a slider gives a text the curve window reads, which brings the slider back
// to that position.
void TestExplore::sliderTextsReadBack()
{
    QFETCH(Field, field);
    const SliderScale scale = SliderScale::of(field);
    for (int p = scale.minimum; p <= scale.maximum; ++p) {
        const QString text = scale.text(p);
        const std::optional<double> x = toNumber(text);
        QVERIFY2(x, qPrintable(text));
        QCOMPARE(scale.position(*x), p);
    }
}

void TestExplore::zoomKeepsThePointUnderTheCursor()
{
    const Scene scene = sceneFor(0.75, QSize(1920, 1000));
    const QSize canvas(1000, 700);
    const View before = oneToOne(scene, canvas);
    const QPointF at(123, 456);
    const View after = zoomedAbout(scene, before, canvas, at, 1000);
    QCOMPARE(after.width, before.width / 1000);
    QCOMPARE(before.left + at.x() / canvas.width() * before.width,
             after.left + at.x() / canvas.width() * after.width);
    QCOMPARE(before.top + at.y() / canvas.height() * before.height,
             after.top + at.y() / canvas.height() * after.height);
    // A canvas of the curve window's size at 1:1 is the curve window's own view.
    const View own = oneToOne(scene, scene.area);
    QCOMPARE(own.left, 0.0);
    QCOMPARE(own.top, 0.0);
    QCOMPARE(static_cast<float>(own.height), scene.scaleHeight);
}

void TestExplore::tickSteps_data()
{
    QTest::addColumn<double>("pixelsPerUnit");
    QTest::addColumn<double>("minimumPixels");
    QTest::addColumn<double>("step");
    QTest::newRow("1 px") << 1.0 << 80.0 << 100.0;
    QTest::newRow("3 px") << 3.0 << 80.0 << 50.0;
    QTest::newRow("1000 px") << 1000.0 << 80.0 << 0.1;
    QTest::newRow("0,4 px") << 0.4 << 50.0 << 200.0;
    QTest::newRow("exactly 1") << 80.0 << 80.0 << 1.0;
}

void TestExplore::tickSteps()
{
    QFETCH(double, pixelsPerUnit);
    QFETCH(double, minimumPixels);
    QFETCH(double, step);
    QCOMPARE(tickStep(pixelsPerUnit, minimumPixels), step);
}

// A run of billions of points is dropped by the next request, whose whole frame comes; the
// worker's end stops a run at once.
void TestExplore::newRequestDropsALongRun()
{
    std::mutex mutex;
    std::vector<std::pair<std::uint64_t, bool>> frames;
    auto worker = std::make_unique<Worker>(qRgb(200, 200, 200), [&](const Frame &frame) {
        const std::lock_guard lock(mutex);
        frames.emplace_back(frame.generation, frame.finished);
    });
    const auto finishedOf = [&](std::uint64_t generation) {
        const std::lock_guard lock(mutex);
        for (const auto &[g, finished] : frames) {
            if (g == generation && finished)
                return true;
        }
        return false;
    };
    const Scene scene = sceneFor(1.0, QSize(800, 600));
    Request longRun;
    longRun.recipe = *readTexts(textsWith({{static_cast<int>(Field::Epsilon), "0,000001"},
                                           {static_cast<int>(Field::T), "0,000001"},
                                           {static_cast<int>(Field::From1), "-2000000000"},
                                           {static_cast<int>(Field::To1), "2000000000"}},
                                          false))
                          .recipe;
    longRun.scene = scene;
    longRun.canvas = scene.area;
    longRun.view = oneToOne(scene, scene.area);
    Request shortRun = longRun;
    shortRun.recipe = *readTexts(startingTexts()).recipe;
    const std::uint64_t first = worker->request(longRun);
    const std::uint64_t second = worker->request(shortRun);
    QTRY_VERIFY(finishedOf(second));
    QVERIFY(!finishedOf(first));
    QVERIFY(worker->idle());
    worker->request(longRun);
    QTRY_VERIFY(!worker->idle());
    worker.reset(); // returns once the run has stopped
}

void TestExplore::refusedTextKeepsTheLastRun()
{
    ExploreWindow window(nullptr);
    window.resize(900, 600);
    window.show();
    QTRY_VERIFY(window.finishedShown());
    const std::uint64_t shown = window.generation();
    window.setText(Field::Beta, QStringLiteral("1.5"));
    QCOMPARE(window.reason(Field::Beta)->text(), QStringLiteral("Non è un numero"));
    QCOMPARE(window.generation(), shown);
    // A number typed beyond the slider's range stays as typed; the slider stops at its end.
    window.setText(Field::Beta, QStringLiteral("100000"));
    QVERIFY(window.reason(Field::Beta)->text().isEmpty());
    QCOMPARE(window.slider(Field::Beta)->value(), window.slider(Field::Beta)->maximum());
    QCOMPARE(window.field(Field::Beta)->text(), QStringLiteral("100000"));
    QTRY_VERIFY(window.finishedShown());
    QVERIFY(window.generation() > shown);
}

void TestExplore::useInCurveWindowWritesTextsAndRunsNothing()
{
    FormRegistry registry;
    Form4 &curve = freshCurveWindow(registry, 1.0);
    QTRY_VERIFY(curve.PrimVol.equalsNumber(model::kActivatedMarker));
    ExploreWindow window(&curve);
    window.slider(Field::T)->setValue(37);
    window.cosineButton()->setChecked(true);
    const QImage before = curve.surface()->raster().drawing();
    QVERIFY(window.useInCurveWindow());
    QCOMPARE(curve.field(12)->text(), QStringLiteral("0,37"));
    QVERIFY(curve.Option2()->isChecked());
    QVERIFY(curve.Ve.isEmpty());
    QVERIFY(curve.surface()->raster().drawing() == before);
}

// Ctrl+E on the curve window opens "Esplora la curva" with its texts; asked again, the same
// window comes to the front.
void TestExplore::ctrlEOpensOneWindow()
{
    FormRegistry registry;
    Form4 &curve = freshCurveWindow(registry, 1.0);
    QTRY_VERIFY(curve.PrimVol.equalsNumber(model::kActivatedMarker));
    addExploreAction(curve, *curve.surface());
    curve.field(11)->setText(QStringLiteral("-7,25"));
    const auto explorers = [] {
        QList<ExploreWindow *> found;
        for (QWidget *w : QApplication::topLevelWidgets()) {
            if (auto *e = qobject_cast<ExploreWindow *>(w); e && e->isVisible())
                found << e;
        }
        return found;
    };
    QTest::keySequence(curve.field(10), QKeySequence(Qt::CTRL | Qt::Key_E));
    QTRY_COMPARE(explorers().size(), 1);
    ExploreWindow *window = explorers().front();
    QCOMPARE(window->windowTitle(), QStringLiteral("Esplora la curva"));
    QCOMPARE(window->field(Field::Beta)->text(), QStringLiteral("-7,25"));
    curve.window()->activateWindow();
    QTest::keySequence(curve.field(10), QKeySequence(Qt::CTRL | Qt::Key_E));
    QCOMPARE(explorers(), QList<ExploreWindow *> {window});
    window->close();
    QTRY_COMPARE(explorers().size(), 0);
}

// Esc stops a run of four billion points where it has got to, and says so.
void TestExplore::escStopsALongRun()
{
    ExploreWindow window(nullptr);
    window.resize(900, 600);
    window.show();
    QTRY_VERIFY(window.finishedShown());
    window.setText(Field::Epsilon, QStringLiteral("0,000001"));
    window.setText(Field::T, QStringLiteral("0,000001"));
    window.setText(Field::From1, QStringLiteral("-2000000000"));
    window.setText(Field::To1, QStringLiteral("2000000000"));
    QVERIFY(!window.finishedShown());
    QTest::keyClick(window.canvas(), Qt::Key_Escape);
    QTRY_VERIFY(window.finishedShown());
    QVERIFY2(window.endLabel()->text().startsWith(QStringLiteral("Interrotta dopo")),
             qPrintable(window.endLabel()->text()));
}

void TestExplore::extremeTexts_data()
{
    QTest::addColumn<Field>("field");
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("refused");
    QTest::newRow("1 MB paste") << Field::Beta << QString(1 << 20, QLatin1Char('7')) << true;
    QTest::newRow("BETA 1E+300 in digits")
        << Field::Beta << QStringLiteral("1") + QString(300, QLatin1Char('0')) << false;
    QTest::newRow("t 0") << Field::T << QStringLiteral("0") << false;
    QTest::newRow("epsilon 0") << Field::Epsilon << QStringLiteral("0") << false;
    QTest::newRow("From -2000000000") << Field::From1 << QStringLiteral("-2000000000") << false;
}

// Extreme texts are refused beside their field or drawn, and the window finishes or stops
// the run when asked.
void TestExplore::extremeTexts()
{
    QFETCH(Field, field);
    QFETCH(QString, text);
    QFETCH(bool, refused);
    ExploreWindow window(nullptr);
    window.resize(900, 600);
    window.show();
    QTRY_VERIFY(window.finishedShown());
    window.setText(Field::T, QStringLiteral("0,001"));
    window.setText(Field::To1, QStringLiteral("2000000000"));
    window.setText(field, text);
    QCOMPARE(!window.reason(field)->text().isEmpty(), refused);
    window.stopRun();
    QTRY_VERIFY(window.finishedShown());
}

// At a zoomed and panned view, the run's replayed dots are the drawn ones, as many, each on a
// drawn pixel, and the readout's index finds each where it lies.
void TestExplore::readoutFindsTheDotsWhereDrawn()
{
    const Scene scene = sceneFor(0.8, QSize(1600, 900));
    const QSize canvas(800, 600);
    Texts texts = startingTexts();
    texts[Field::T] = QStringLiteral("0,37");
    texts[Field::Beta] = QStringLiteral("-40");
    texts[Field::From1] = QStringLiteral("0");
    texts[Field::To1] = QStringLiteral("1800");
    const Reading reading = readTexts(texts);
    QVERIFY(reading.recipe);
    Renderer renderer;
    raster::RetainedDrawing drawing(qRgb(255, 255, 255));
    drawing.setArea(canvas, 1.0);
    const RunResult whole
        = renderer.render(drawing, scene, oneToOne(scene, canvas), *reading.recipe);
    QVERIFY2(whole.outcome.points > 300, qPrintable(QString::number(whole.outcome.points)));
    // Six times closer about the run's middle dot, then moved a little.
    const ExploreRun wholeRun(*reading.recipe, scene, whole.outcome.points);
    const readout::ChainMapping oneToOneMapping
        = chainMapping(scene, oneToOne(scene, canvas), canvas);
    std::size_t k = 0;
    QPointF middle;
    wholeRun.replayChain([&](const ChainPoint &p) {
        middle = oneToOneMapping.toView(p.x, p.y);
        return ++k < whole.outcome.points / 2;
    });
    View view = zoomedAbout(scene, oneToOne(scene, canvas), canvas, middle, 6);
    view = panned(view, canvas, QPointF(-37, 21));

    const RunResult result = renderer.render(drawing, scene, view, *reading.recipe);
    const QImage image = drawing.drawing();
    const auto run
        = std::make_shared<const ExploreRun>(*reading.recipe, scene, result.outcome.points);
    const readout::ChainMapping mapping = chainMapping(scene, view, canvas);
    const std::atomic<bool> cancel {false};
    const readout::DotIndex index
        = readout::DotIndex::build({{run, mapping}}, canvas.width(), canvas.height(), cancel);
    std::size_t replayed = 0;
    std::size_t inside = 0;
    std::size_t undrawn = 0;
    std::size_t unfound = 0;
    std::optional<ChainPoint> last;
    QPointF lastAt;
    const QRectF within(QPointF(1, 1), QSizeF(canvas) - QSizeF(2, 2));
    run->replayChain([&](const ChainPoint &p) {
        ++replayed;
        const QPointF at = mapping.toView(p.x, p.y);
        if (!within.contains(at))
            return true;
        ++inside;
        const QPoint pixel(static_cast<int>(std::floor(at.x())),
                           static_cast<int>(std::floor(at.y())));
        if (image.pixel(pixel) == qRgb(255, 255, 255))
            ++undrawn;
        const std::optional<readout::FoundDot> found = index.nearest(at);
        if (!found || QLineF(found->view, at).length() >= 1.5)
            ++unfound;
        last = p;
        lastAt = at;
        return true;
    });
    QCOMPARE(replayed, result.outcome.points);
    QVERIFY2(inside > 100, qPrintable(QString::number(inside)));
    QCOMPARE(undrawn, std::size_t {0});
    QCOMPARE(unfound, std::size_t {0});
    // The last dot in the view is the one found at its very place.
    const std::optional<readout::FoundDot> found = index.nearest(lastAt);
    QVERIFY(found && last);
    QCOMPARE(found->alfa, last->alfa);
    QCOMPARE(found->x11, last->x);
    QCOMPARE(found->y11, last->y);
}

// Over a dot of a zoomed drawing the status line says what the tip says, on one line, also as
// its accessible description, and goes blank when the cursor leaves the drawing.
void TestExplore::hoverShowsThePointInTheStatusLine()
{
    ExploreWindow window(nullptr);
    window.resize(900, 600);
    window.show();
    QVERIFY(QTest::qWaitForWindowActive(&window));
    QTRY_VERIFY(window.finishedShown());
    Canvas *canvas = window.canvas();
    window.zoomAbout(QPointF(canvas->width() / 2.0, canvas->height() / 2.0), 2);
    QTRY_VERIFY(window.finishedShown());
    const readout::Scene scene = window.readoutScene();
    QCOMPARE(scene.runs.size(), std::size_t {1});
    std::optional<QPoint> target;
    scene.runs.front().run->replayChain([&](const ChainPoint &p) {
        const QPointF at = scene.runs.front().mapping.toView(p.x, p.y);
        const QPoint pixel(static_cast<int>(at.x()), static_cast<int>(at.y()));
        if (canvas->rect().adjusted(20, 20, -20, -20).contains(pixel)) {
            target = pixel;
            return false;
        }
        return true;
    });
    QVERIFY(target);
    const QSize before = canvas->size();
    readout::ReadoutOverlay *tip = window.readout();
    QSignalSpy built(tip, &readout::ReadoutOverlay::indexBuilt);
    QTest::mouseMove(canvas, *target);
    QVERIFY(built.count() > 0 || built.wait());
    QTest::mouseMove(canvas, *target + QPoint(1, 0));
    QTest::mouseMove(canvas, *target);
    const QString text = tip->text();
    QVERIFY2(text.contains(QStringLiteral("Esecuzione 1, intervallo 1")), qPrintable(text));
    QString line = text;
    line.replace(QLatin1Char('\n'), QStringLiteral("; "));
    QCOMPARE(window.statusLine()->text(), line);
    QCOMPARE(window.statusLine()->accessibleDescription(), line);
    // However long, the line leaves the drawing its size.
    QCOMPARE(canvas->size(), before);

    QEvent leave(QEvent::Leave);
    QApplication::sendEvent(canvas, &leave);
    QVERIFY(window.statusLine()->text().isEmpty());
    QVERIFY(tip->text().isEmpty());
}

QTEST_MAIN(TestExplore)
#include "tst_explore.moc"
