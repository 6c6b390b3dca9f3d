// SPDX-FileCopyrightText: 2026 The QUORVEL developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "curve/Form4.h"
#include "shell/AccessibleParts.h"
#include "shell/FormRegistry.h"
#include "shell/MessageBox.h"
#include "shell/RuntimeError.h"
#include "support/ScopedFieldObserver.h"
#include "support/TestSupport.h"
#include "surface/ScopedSurfaceObserver.h"

#include <QApplication>
#include <QLabel>
#include <QPointer>
#include <QTest>
#include <QTimer>

#include <cmath>
#include <optional>

using namespace quorvel;
using namespace quorvel::curve;
using namespace quorvel::model;
using test::SurfaceOp;

namespace {

// Records what the program does to the fields, in order, as "text Text1 1" or "bg Text10 255".
class FieldLog : public FieldObserver
{
public:
    QStringList events;
    void textSet(const QString &field, const QString &text) override
    {
        events << QStringLiteral("text %1 %2").arg(field, text);
    }
    void backgroundSet(const QString &field, raster::ColourValue colour) override
    {
        events << QStringLiteral("bg %1 %2").arg(field).arg(colour);
    }
};

using Fields = QList<std::pair<int, QString>>;

const QString kNotNumber = QStringLiteral("Non è un numero");
const QString kZero = QStringLiteral("Non è ammesso 0 ");

} // namespace

// Reading the fields, the ranges, the chain of points, its colours and its ends.
class TestForm4Plot : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();
    void activationSetsFrame_data();
    void activationSetsFrame();
    void firstActivationDrawsOnlyAxes();
    void readers_data();
    void readers();
    void refusedSegmentFieldIsRedWhileMessageShows();
    void readersRunAtEveryRange();
    void ranges_data();
    void ranges();
    void rangeMessageLeavesPreviousRange();
    void startingPlot();
    void colourCycleAcrossRuns();
    void optionReadAtEveryPoint();
    void outOfField_data();
    void outOfField();
    void runEndsCleanly_data();
    void runEndsCleanly();
    void longRunStopsOnEscape_data();
    void longRunStopsOnEscape();
    void shortRunIsNotPaced();
    void laterActivationPlotsOverDrawing();
    void clearAndRun();
    void longStepsDrawnAsWatched();
    void reloadKeepsMembersAndDesignedTexts();
    void realMessageBoxes();
    void userPathDrawsAsWatched_data();
    void userPathDrawsAsWatched();
    void runDrawsOnAfterResizeUnderBox();
    void badInputInEveryField_data();
    void badInputInEveryField();

private:
    Form4 &form() { return m_registry->formAs<Form4>(QStringLiteral("Form4")); }
    void setFields(const QList<std::pair<int, QString>> &texts);
    std::vector<SurfaceOp> run(QStringList *messages = nullptr, QStringList *fieldEvents = nullptr);
    void moveActivationAwayAndBack();

    std::unique_ptr<FormRegistry> m_registry;
    double m_incr = 0.51;
};

void TestForm4Plot::initTestCase()
{
    test::filterPlatformNoise();
}

void TestForm4Plot::init()
{
    m_incr = 0.51;
    m_registry = std::make_unique<FormRegistry>();
    m_registry->addFactory(QStringLiteral("Form4"), [this](FormRegistry &r) {
        return std::make_unique<Form4>(r, [this] { return Variant::real(m_incr); });
    });
    // Another window of the program, to move the activation away and back.
    m_registry->addFactory(QStringLiteral("Other"), [](FormRegistry &r) {
        return std::make_unique<test::StubForm>(r, QStringLiteral("Other"));
    });
    form().show();
    QVERIFY(QTest::qWaitForWindowActive(form().window()));
}

void TestForm4Plot::cleanup()
{
    m_registry.reset();
}

void TestForm4Plot::setFields(const QList<std::pair<int, QString>> &texts)
{
    for (const auto &[number, text] : texts)
        form().field(number)->setText(text);
}

// One "ESEGUI": the drawing operations, and optionally the messages and field changes.
std::vector<SurfaceOp> TestForm4Plot::run(QStringList *messages, QStringList *fieldEvents)
{
    test::MessageRecorder recorder;
    test::RecordingObserver rec;
    FieldLog log;
    {
        const ScopedSurfaceObserver watchSurface(*form().surface(), &rec);
        const ScopedFieldObserver watchFields(form(), &log);
        form().Command5_Click();
    }
    if (messages)
        *messages = recorder.messages;
    if (fieldEvents)
        *fieldEvents = log.events;
    return rec.points();
}

void TestForm4Plot::moveActivationAwayAndBack()
{
    m_registry->show(QStringLiteral("Other"));
    QVERIFY(QTest::qWaitForWindowActive(m_registry->form(QStringLiteral("Other")).window()));
    QTRY_COMPARE(m_registry->lastActiveForm(), &m_registry->form(QStringLiteral("Other")));
    form().show();
    QVERIFY(QTest::qWaitForWindowActive(form().window()));
    QTRY_COMPARE(m_registry->lastActiveForm(), &form());
}

void TestForm4Plot::activationSetsFrame_data()
{
    QTest::addColumn<double>("incr");
    QTest::addColumn<float>("scaleHeight");
    QTest::addColumn<float>("cy");
    QTest::newRow("0.51") << 0.51 << 510.0f << 305.0f;
    QTest::newRow("0.55") << 0.55 << 550.0f << 325.0f;
    QTest::newRow("1.11") << 1.11 << 1110.0f << 605.0f;
    // 1000 x 0.57 is 569.99999999999989 in double precision: rounded to single, 570.
    QTest::newRow("0.57") << 0.57 << 570.0f << 335.0f;
}

void TestForm4Plot::activationSetsFrame()
{
    QFETCH(double, incr);
    QFETCH(float, scaleHeight);
    QFETCH(float, cy);
    m_incr = incr;
    test::RecordingObserver rec;
    {
        const ScopedSurfaceObserver watch(*form().surface(), &rec);
        form().surface()->raster().setDrawWidth(1);
        form().Form_Activate();
    }

    QCOMPARE(test::bitsOf(form().P1.toSingle()), 0x3C8EFA35u);
    QCOMPARE(kindName(form().P1), "single");
    QCOMPARE(form().surface()->raster().scaleWidth(), 1000.0f);
    QCOMPARE(form().surface()->raster().scaleHeight(), scaleHeight);
    QCOMPARE(form().CX.toSingle(), 430.0f);
    QCOMPARE(form().CY.toSingle(), cy);
    QCOMPARE(kindName(form().CY), "single");
    const std::vector<SurfaceOp> lines = rec.lines();
    QCOMPARE(lines.size(), std::size_t(2));
    // The vertical axis over the whole height, then the horizontal one over the whole width,
    // black, two pixels wide, drawn over what is there.
    QCOMPARE(lines[0].a, 430.0f);
    QCOMPARE(lines[0].b, 0.0f);
    QCOMPARE(lines[0].c, 430.0f);
    QCOMPARE(lines[0].d, scaleHeight);
    QCOMPARE(lines[1].a, 0.0f);
    QCOMPARE(lines[1].b, cy);
    QCOMPARE(lines[1].c, 1000.0f);
    QCOMPARE(lines[1].d, cy);
    for (const SurfaceOp &l : lines) {
        QCOMPARE(l.width, 2);
        QCOMPARE(l.colour, 0u);
    }
    QCOMPARE(rec.count(SurfaceOp::Clear), 0);
}

void TestForm4Plot::firstActivationDrawsOnlyAxes()
{
    // init() showed the window: its first activation has set the marker and plotted nothing.
    QCOMPARE(form().PrimVol, Variant::int16(9));
    QVERIFY(form().INX.isEmpty());
    // Even with fields that would be refused, a fresh window shows no message.
    m_registry.reset();
    init();
    test::MessageRecorder recorder;
    m_registry.reset();
    m_registry = std::make_unique<FormRegistry>();
    m_registry->addFactory(QStringLiteral("Form4"), [](FormRegistry &r) {
        return std::make_unique<Form4>(r, [] { return Variant::real(0.51); });
    });
    test::RecordingObserver rec;
    auto &f = form();
    QObject::connect(m_registry.get(), &FormRegistry::formActivated, m_registry.get(),
                     [&f](Form *) { QVERIFY(f.PrimVol.equalsNumber(9)); });
    f.show();
    QVERIFY(QTest::qWaitForWindowActive(f.window()));
    QVERIFY(recorder.messages.isEmpty());
    QCOMPARE(f.PrimVol, Variant::int16(9));
    QCOMPARE(f.ContaStep, Variant::int16(1));
    QVERIFY(f.Miocolor.isEmpty());
    QCOMPARE(test::countPixels(f.surface()->raster().drawing(), qRgb(0, 128, 0)), 0);
}

void TestForm4Plot::readers_data()
{
    QTest::addColumn<int>("field");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QStringList>("messages");
    QTest::addColumn<QStringList>("events");
    QTest::addColumn<QString>("kind"); // of the member afterwards
    QTest::addColumn<double>("value");

    const QStringList none;
    QTest::newRow("INX abc") << 1 << "abc" << QStringList {"INX non è un numero"}
                             << QStringList {"text Text1 1"} << "int16" << 1.0;
    QTest::newRow("INX empty") << 1 << "" << QStringList {"INX non è un numero"}
                               << QStringList {"text Text1 1"} << "int16" << 1.0;
    QTest::newRow("INX 0") << 1 << "0" << QStringList {kZero} << QStringList {"text Text1 1"}
                           << "int16" << 1.0;
    QTest::newRow("INX -2,5") << 1 << "-2,5" << none << none << "double" << -2.5;
    QTest::newRow("INY abc") << 2 << "abc" << QStringList {"INY non è un numero"}
                             << QStringList {"text Text2 1"} << "int16" << 1.0;
    QTest::newRow("INY 0,0") << 2 << "0,0" << QStringList {kZero} << QStringList {"text Text2 1"}
                             << "int16" << 1.0;
    QTest::newRow("INY -0") << 2 << "-0" << QStringList {kZero} << QStringList {"text Text2 1"}
                            << "int16" << 1.0;
    QTest::newRow("INY 3") << 2 << "3" << none << none << "double" << 3.0;
    const QStringList red = {"bg Text%1 255", "text Text%1 ", "bg Text%1 16777215"};
    auto redFor = [&red](int n) {
        QStringList l;
        for (const QString &e : red)
            l << e.arg(n);
        return l;
    };
    QTest::newRow("epsilon abc") << 10 << "abc" << QStringList {kNotNumber} << redFor(10) << "Empty"
                                 << 0.0;
    QTest::newRow("epsilon 0") << 10 << "0" << none << none << "double" << 0.0;
    QTest::newRow("epsilon 0,86") << 10 << "0,86" << none << none << "double" << 0.86;
    QTest::newRow("BETA 55") << 11 << "55" << none << none << "double" << 0.959931081160903;
    QTest::newRow("BETA 0") << 11 << "0" << none << none << "double" << 0.0;
    QTest::newRow("BETA 1e3") << 11 << "1e3" << QStringList {kNotNumber} << redFor(11) << "Empty"
                              << 0.0;
    QTest::newRow("t 0,5") << 12 << "0,5" << none << none << "double" << 0.5;
    QTest::newRow("t blank") << 12 << " " << QStringList {kNotNumber} << redFor(12) << "Empty"
                             << 0.0;
}

void TestForm4Plot::readers()
{
    QFETCH(int, field);
    QFETCH(QString, text);
    QFETCH(QStringList, messages);
    QFETCH(QStringList, events);
    QFETCH(QString, kind);
    QFETCH(double, value);

    form().field(field)->setText(text);
    test::MessageRecorder recorder;
    FieldLog log;
    Variant *member = nullptr;
    auto watch = std::make_unique<ScopedFieldObserver>(form(), &log);
    switch (field) {
    case 1:
        form().LeggiText1();
        member = &form().INX;
        break;
    case 2:
        form().LeggiText2();
        member = &form().INY;
        break;
    case 10:
        form().LeggiText10();
        member = &form().EP1;
        break;
    case 11:
        form().LeggiText11();
        member = &form().BETA1;
        break;
    default:
        form().LeggiText12();
        member = &form().Ve;
        break;
    }
    watch.reset();
    QCOMPARE(recorder.messages, messages);
    QCOMPARE(log.events, events);
    QCOMPARE(QString::fromLatin1(kindName(*member)), kind);
    if (kind != QLatin1String("Empty"))
        QCOMPARE(test::bitsOf(member->toDouble()), test::bitsOf(value));
    // After a refusal the field shows its repair, and is white again.
    if (!events.isEmpty()) {
        QCOMPARE(form().field(field)->text(), field <= 2 ? QStringLiteral("1") : QString());
        QCOMPARE(form().field(field)->palette().color(QPalette::Base), QColor(Qt::white));
    }
}

void TestForm4Plot::refusedSegmentFieldIsRedWhileMessageShows()
{
    form().field(10)->setText(QStringLiteral("x"));
    test::MessageRecorder recorder;
    QColor whileShown;
    QString textWhileShown;
    recorder.onMessage = [&](const QString &) {
        whileShown = form().field(10)->palette().color(QPalette::Base);
        textWhileShown = form().field(10)->text();
    };
    form().EP1 = Variant::real(0.25);
    form().LeggiText10();
    QCOMPARE(whileShown, QColor(255, 0, 0));
    QCOMPARE(textWhileShown, QStringLiteral("x"));
    QCOMPARE(form().field(10)->text(), QString());
    QCOMPARE(form().field(10)->palette().color(QPalette::Base), QColor(Qt::white));
    // The earlier value stays.
    QCOMPARE(form().EP1, Variant::real(0.25));
}

void TestForm4Plot::readersRunAtEveryRange()
{
    // A bad increment is reported once (the field then reads 1); a bad segment field whose
    // member holds a value is reported at every range and the run goes on with that value.
    setFields({{1, "abc"}, {4, "3"}, {5, "1"}, {6, "2"}, {7, "5"}, {8, "4"}});
    form().EP1 = Variant::real(0.5);
    form().field(10)->setText(QStringLiteral("?"));
    QStringList messages;
    const std::vector<SurfaceOp> points = run(&messages);
    QCOMPARE(messages, (QStringList {"INX non è un numero", kNotNumber, kNotNumber, kNotNumber}));
    QCOMPARE(points.size(), std::size_t(4 + 2 + 2));
    QCOMPARE(form().EP1, Variant::real(0.5));
    QCOMPARE(form().ContaStep, Variant::int16(3));
    // The first point: 15 + 0.5 x 1 x cos(0) to the right of the crossing.
    QCOMPARE(points[0].a, static_cast<float>(430.0 + (0.5 + 15.0)));
}

void TestForm4Plot::ranges_data()
{
    QTest::addColumn<QString>("from");
    QTest::addColumn<QString>("to");
    QTest::addColumn<QString>("message");
    QTest::addColumn<QString>("stepKind");
    QTest::addColumn<double>("step");
    QTest::addColumn<int>("points");
    QTest::addColumn<QList<int>>("a2"); // of the points, in order (first few)

    QTest::newRow("0 to 180") << "0"
                              << "180"
                              << ""
                              << "double" << 1.0 << 181 << QList<int> {0, 1, 2};
    QTest::newRow("0 to -3") << "0"
                             << "-3"
                             << ""
                             << "double" << -1.0 << 4 << QList<int> {0, -1, -2, -3};
    QTest::newRow("10 to -10") << "10"
                               << "-10"
                               << ""
                               << "int16" << -1.0 << 21 << QList<int> {10, 9, 8};
    QTest::newRow("-5 to 0") << "-5"
                             << "0"
                             << ""
                             << "int16" << 1.0 << 6 << QList<int> {-5, -4, -3, -2, -1, 0};
    QTest::newRow("5 to 0") << "5"
                            << "0"
                            << ""
                            << "int16" << -1.0 << 6 << QList<int> {5, 4, 3};
    QTest::newRow("7 to 7") << "7"
                            << "7"
                            << ""
                            << "int16" << 1.0 << 1 << QList<int> {7};
    QTest::newRow("0,5 to 3") << "0,5"
                              << "3"
                              << ""
                              << "int16" << 1.0 << 3 << QList<int> {0, 2, 2};
    QTest::newRow("0 to 0") << "0"
                            << "0"
                            << ""
                            << "int16" << 999.0 << 0 << QList<int> {};
    QTest::newRow("0,0 to -0") << "0,0"
                               << "-0"
                               << ""
                               << "int16" << 999.0 << 0 << QList<int> {};
    QTest::newRow("empty to abc") << ""
                                  << "abc"
                                  << "For o To senza numero"
                                  << "int16" << 999.0 << 0 << QList<int> {};
    QTest::newRow("1 to empty") << "1"
                                << ""
                                << "For o To senza numero"
                                << "int16" << 999.0 << 0 << QList<int> {};
    QTest::newRow("abc to 5") << "abc"
                              << "5"
                              << "For o To non numero"
                              << "int16" << 999.0 << 0 << QList<int> {};
    QTest::newRow("blank to 5") << " "
                                << "5"
                                << "For o To non numero"
                                << "int16" << 999.0 << 0 << QList<int> {};
}

void TestForm4Plot::ranges()
{
    QFETCH(QString, from);
    QFETCH(QString, to);
    QFETCH(QString, message);
    QFETCH(QString, stepKind);
    QFETCH(double, step);
    QFETCH(int, points);
    QFETCH(QList<int>, a2);

    {
        test::MessageRecorder direct;
        Variant mem1 = Variant::text(from);
        Variant mem2 = Variant::text(to);
        form().CONTRALFA(mem1, mem2);
        QCOMPARE(direct.messages, message.isEmpty() ? QStringList() : QStringList {message});
        QCOMPARE(QString::fromLatin1(kindName(form().ValStep)), stepKind);
        QCOMPARE(form().ValStep.toDouble(), step);
        if (message.isEmpty()) {
            QCOMPARE(form().DaA1, Variant::real(*Variant::text(from).numericValue()));
            QCOMPARE(form().AA1, Variant::real(*Variant::text(to).numericValue()));
        } else {
            QVERIFY(form().DaA1.isEmpty());
        }
    }
    setFields({{3, from}, {4, to}});
    QList<int> seenA2;
    test::MessageRecorder recorder;
    struct A2Log : test::RecordingObserver
    {
        Form4 *f = nullptr;
        QList<int> *seen = nullptr;
        void pointSet(float x, float y, int w, int i) override
        {
            RecordingObserver::pointSet(x, y, w, i);
            *seen << f->A2;
        }
    } rec;
    rec.f = &form();
    rec.seen = &seenA2;
    {
        const ScopedSurfaceObserver watch(*form().surface(), &rec);
        form().Command5_Click();
    }

    QCOMPARE(recorder.messages, message.isEmpty() ? QStringList() : QStringList {message});
    QCOMPARE(static_cast<int>(rec.points().size()), points);
    QCOMPARE(seenA2.mid(0, a2.size()), a2);
}

void TestForm4Plot::rangeMessageLeavesPreviousRange()
{
    // Range 1 from 2 to 4 is drawn; range 2 is refused and the run ends there.
    setFields({{3, "2"}, {4, "4"}, {5, "x"}, {6, "1"}});
    QStringList messages;
    const std::vector<SurfaceOp> points = run(&messages);
    QCOMPARE(messages, QStringList {"For o To non numero"});
    QCOMPARE(points.size(), std::size_t(3));
    QCOMPARE(form().DaA1, Variant::real(2));
    QCOMPARE(form().AA1, Variant::real(4));
    QCOMPARE(form().ContaStep, Variant::int16(2));
    // Nothing examined yet: a refusal leaves them Empty.
    m_registry.reset();
    init();
    setFields({{3, ""}});
    run();
    QVERIFY(form().DaA1.isEmpty());
    QVERIFY(form().AA1.isEmpty());
}

void TestForm4Plot::startingPlot()
{
    QStringList messages;
    const std::vector<SurfaceOp> points = run(&messages);
    QVERIFY(messages.isEmpty());
    QCOMPARE(points.size(), std::size_t(181));
    // Relative to the crossing (430, 305): ALFA 0 at (15.86, 30), ALFA 90 near (76.2472,
    // 72.9834), ALFA 180 near (137.0011, 115.2623); all green, three pixels wide.
    QCOMPARE(points[0].a, static_cast<float>(430.0 + 15.86));
    QCOMPARE(points[0].b, static_cast<float>(305.0 - 30.0));
    QVERIFY(std::fabs(points[90].a - 430.0f - 76.2472f) < 1e-3f);
    QVERIFY(std::fabs(305.0f - points[90].b - 72.9834f) < 1e-3f);
    QVERIFY(std::fabs(points[180].a - 430.0f - 137.0011f) < 1e-3f);
    QVERIFY(std::fabs(305.0f - points[180].b - 115.2623f) < 1e-3f);
    for (const SurfaceOp &p : points) {
        QCOMPARE(p.colour, 2u);
        QCOMPARE(p.width, 3);
    }
    QCOMPARE(form().BETA1, Variant::real(0.959931081160903));
    // The dots are on screen, in green.
    const QImage drawing = form().surface()->raster().drawing();
    const QPoint at(qRound(points[0].a / 1000.0f * static_cast<float>(form().surface()->width())),
                    qRound(points[0].b / 510.0f * static_cast<float>(form().surface()->height())));
    QCOMPARE(QColor(drawing.pixel(at * drawing.devicePixelRatio())), QColor(0, 128, 0));

    // In Coseno: the first two points move up as well.
    m_registry.reset();
    init();
    form().Option2()->click();
    const std::vector<SurfaceOp> cosine = run();
    QVERIFY(std::fabs(cosine[0].a - 430.0f - 15.4933f) < 1e-3f);
    QVERIFY(std::fabs(305.0f - cosine[0].b - 30.7045f) < 1e-3f);
    QVERIFY(std::fabs(cosine[1].a - 430.0f - 15.9867f) < 1e-3f);
    QVERIFY(std::fabs(305.0f - cosine[1].b - 31.4089f) < 1e-3f);
}

void TestForm4Plot::colourCycleAcrossRuns()
{
    setFields({{4, "3"}});
    QList<QList<unsigned>> colours;
    for (int run = 0; run < 16; ++run) {
        QList<unsigned> c;
        for (const SurfaceOp &p : this->run())
            c << p.colour;
        colours << c;
    }
    for (int run = 0; run < 13; ++run)
        QCOMPARE(colours[run], QList<unsigned>(4, static_cast<unsigned>(run + 2)));
    QCOMPARE(colours[13], (QList<unsigned> {15, 2, 2, 2}));
    QCOMPARE(colours[14], QList<unsigned>(4, 3u));
    QCOMPARE(colours[15], QList<unsigned>(4, 4u));

    // Three ranges in one run advance it three times; a run that ends before its loop does not.
    setFields({{5, "1"}, {6, "2"}, {7, "1"}, {8, "2"}});
    QList<unsigned> threeRanges;
    for (const SurfaceOp &p : run())
        threeRanges << p.colour;
    QCOMPARE(threeRanges, (QList<unsigned> {5, 5, 5, 5, 6, 6, 7, 7}));
    setFields({{3, "0"}, {4, "0"}});
    QVERIFY(run().empty());
    QCOMPARE(form().Miocolor, Variant::int16(6));
}

void TestForm4Plot::optionReadAtEveryPoint()
{
    // Switching to "In Coseno" after the first dot changes the direction of the second.
    setFields({{4, "1"}});
    struct Switcher : test::RecordingObserver
    {
        QRadioButton *cosine = nullptr;
        void pointSet(float x, float y, int w, int i) override
        {
            RecordingObserver::pointSet(x, y, w, i);
            cosine->setChecked(true);
        }
    } switcher;
    switcher.cosine = form().Option2();
    {
        const ScopedSurfaceObserver watch(*form().surface(), &switcher);
        form().Command5_Click();
    }
    const std::vector<SurfaceOp> mixed = switcher.points();

    form().Option1()->setChecked(true);
    const std::vector<SurfaceOp> sine = run();
    form().Option2()->setChecked(true);
    const std::vector<SurfaceOp> cosine = run();
    QCOMPARE(mixed.size(), std::size_t(2));
    QCOMPARE(mixed[0].a, sine[0].a);
    QCOMPARE(mixed[0].b, sine[0].b);
    // The second step of the mixed run is the cosine step from the sine run's first point.
    QVERIFY(mixed[1].b != sine[1].b);
    const double cosineStepY = (cosine[1].b - cosine[0].b);
    QVERIFY(std::fabs((mixed[1].b - mixed[0].b) - cosineStepY) < 1e-4);
}

void TestForm4Plot::outOfField_data()
{
    QTest::addColumn<QString>("inx");
    QTest::addColumn<QString>("iny");
    QTest::addColumn<QString>("epsilon");
    QTest::addColumn<QString>("beta");
    QTest::addColumn<QString>("to");
    QTest::addColumn<bool>("cosine");
    QTest::addColumn<QString>("message"); // its beginning
    QTest::addColumn<int>("points");

    // BETA 0: every step is epsilon x INX to the right, from x = 15.
    QTest::newRow("x exactly at the limit is drawn") << "415"
                                                     << "1"
                                                     << "1"
                                                     << "0"
                                                     << "0" << false << "" << 1;
    QTest::newRow("x past the limit") << "-890,5"
                                      << "1"
                                      << "0,5"
                                      << "55"
                                      << "180" << false << "fuori campo X11 =-430,25" << 0;
    QTest::newRow("x after two points") << "200"
                                        << "1"
                                        << "1"
                                        << "0"
                                        << "5" << false << "fuori campo X11 =615" << 2;
    // In Coseno, BETA 90 at ALFA 0: straight up from y = 30; CY is 305.
    QTest::newRow("y past the limit") << "1"
                                      << "300"
                                      << "1"
                                      << "90"
                                      << "3" << true << "fuori campo Y11 =330" << 0;
    QTest::newRow("both past: only x is reported") << "1000"
                                                   << "1000"
                                                   << "1"
                                                   << "45"
                                                   << "3" << true << "fuori campo X11 =722,1" << 0;
}

void TestForm4Plot::outOfField()
{
    QFETCH(QString, inx);
    QFETCH(QString, iny);
    QFETCH(QString, epsilon);
    QFETCH(QString, beta);
    QFETCH(QString, to);
    QFETCH(bool, cosine);
    QFETCH(QString, message);
    QFETCH(int, points);
    setFields({{1, inx}, {2, iny}, {10, epsilon}, {11, beta}, {4, to}, {3, "0"}});
    if (to == QLatin1String("0"))
        setFields({{3, "1"}, {4, "1"}});
    (cosine ? form().Option2() : form().Option1())->setChecked(true);
    QStringList messages;
    const std::vector<SurfaceOp> drawn = run(&messages);
    QCOMPARE(messages.size(), message.isEmpty() ? 0 : 1);
    if (!message.isEmpty())
        QVERIFY2(messages[0].startsWith(message), qPrintable(messages[0]));
    QCOMPARE(static_cast<int>(drawn.size()), points);
}

void TestForm4Plot::runEndsCleanly_data()
{
    QTest::addColumn<Fields>("fields");
    QTest::addColumn<QString>("message");
    QTest::addColumn<int>("points");

    // t x ALFA beyond 16 bits: 33 points for ALFA 0..32, then 33 x 1000 does not fit.
    QTest::newRow("t x ALFA too large")
        << Fields {{12, "1000"}, {4, "40"}, {10, "0"}} << "fuori campo t*ALFA =33000" << 33;
    // ALFA 32768 gives -32768, which fits; 32769 does not.
    QTest::newRow("t x ALFA too small")
        << Fields {{12, "-1"}, {3, "32760"}, {4, "32770"}, {10, "0"}}
        << "fuori campo t*ALFA =-32769" << 9;
    // Epsilon x increment beyond the range of a double: the point is out of the field.
    const QString huge = QStringLiteral("1") + QString(308, QLatin1Char('0'));
    QTest::newRow("x infinite") << Fields {{1, huge}, {10, "10"}} << "fuori campo X11 =infinito"
                                << 0;
    QTest::newRow("x minus infinite")
        << Fields {{1, "-" + huge}, {10, "10"}} << "fuori campo X11 =-infinito" << 0;
    // At ALFA 0 the direction is 0, and an infinite length times sin 0 is not a number.
    QTest::newRow("y not a number")
        << Fields {{2, huge}, {10, "10"}} << "fuori campo Y11 =indefinito" << 0;
    // Beyond 2^53 a step of 1 no longer changes ALFA.
    QTest::newRow("ALFA stuck") << Fields {{12, "0"},
                                           {3, "9007199254740992"},
                                           {4, "9007199254740999"},
                                           {10, "0"}}
                                << "fuori campo ALFA =9,00719925474099E+15" << 1;
    // Going down from -(2^53 + 2), the first step still changes ALFA (to -(2^53 + 4)).
    QTest::newRow("ALFA stuck going down")
        << Fields {{12, "0"}, {3, "-9007199254740994"}, {4, "-9007199254741999"}, {10, "0"}}
        << "fuori campo ALFA =-9,007199254741E+15" << 2;
}

void TestForm4Plot::runEndsCleanly()
{
    QFETCH(Fields, fields);
    QFETCH(QString, message);
    QFETCH(int, points);
    setFields(fields);
    test::RecordingObserver before;
    QStringList messages;
    const std::vector<SurfaceOp> drawn = run(&messages);
    QCOMPARE(messages, QStringList {message});
    QCOMPARE(static_cast<int>(drawn.size()), points);
    for (const SurfaceOp &p : drawn) {
        QVERIFY(std::isfinite(p.a));
        QVERIFY(std::isfinite(p.b));
    }
    // The program goes on: the next run works as usual.
    m_registry.reset();
    init();
    QCOMPARE(run().size(), std::size_t(181));
}

void TestForm4Plot::longRunStopsOnEscape_data()
{
    QTest::addColumn<QString>("action"); // what the user does while the run is busy
    QTest::addColumn<int>("endings"); // times the program is ended
    QTest::addColumn<bool>("windowKept");
    QTest::addColumn<QString>("said"); // what a screen reader is told of the stop
    const QString esc = QStringLiteral("Esecuzione interrotta con il tasto Esc.");
    QTest::newRow("Esc") << "esc" << 0 << true << esc;
    // Clicks on the other buttons and keys are discarded: no second run, no clearing.
    QTest::newRow("ESEGUI, Cancella ed esegui, a key, then Esc") << "others" << 0 << true << esc;
    QTest::newRow("ESCI") << "esci" << 1 << true
                          << "Calcolo interrotto con ESCI: il programma termina.";
    QTest::newRow("frame's close") << "close" << 0 << false << QString();
}

void TestForm4Plot::longRunStopsOnEscape()
{
    QFETCH(QString, action);
    QFETCH(int, endings);
    QFETCH(bool, windowKept);
    QFETCH(QString, said);
    // Epsilon 0 and t 0: every point is the same, and a range of 10^9 would last half a minute.
    setFields({{10, "0"}, {12, "0"}, {4, "1000000000"}});
    form().setRunTiming({0, 5});
    int ended = 0;
    bool busyCursor = false;
    bool stillRunning = false;
    QString hintText;
    QPointer<QWidget> hint;
    QPointer<QWidget> window = form().window();
    QTimer::singleShot(30, form().window(), [&] {
        stillRunning = form().isRunning();
        busyCursor = QGuiApplication::overrideCursor() != nullptr
            && QGuiApplication::overrideCursor()->shape() == Qt::BusyCursor;
        auto *label = form().window()->findChild<QLabel *>(QStringLiteral("AvvisoCalcolo"));
        if (label != nullptr && label->isVisible()) {
            hint = label;
            hintText = label->text();
        }
        if (action == "esc") {
            QTest::keyClick(form().window(), Qt::Key_Escape);
        } else if (action == "others") {
            QTest::mouseClick(form().Command5(), Qt::LeftButton);
            QTest::mouseClick(form().Command1(), Qt::LeftButton);
            QTest::keyClick(form().field(10), Qt::Key_5);
            QTest::keyClick(form().window(), Qt::Key_Escape);
        } else if (action == "esci") {
            QTest::mouseClick(form().Command3(), Qt::LeftButton);
        } else if (action == "close") {
            QVERIFY(form().window()->close());
        }
    });
    test::MessageRecorder recorder;
    test::RecordingObserver rec;
    {
        const ScopedEndProgramHook endHook([&ended] { ++ended; });
        const ScopedSurfaceObserver watch(*form().surface(), &rec);
        form().Command5_Click();
    }

    QVERIFY(stillRunning);
    QVERIFY(busyCursor);
    // The hint says where the run is and how to stop it; it is gone with the run. Ranges 2 and
    // 3 are 0 to 0: the run walks one range.
    QVERIFY2(hintText.startsWith("Calcolo in corso: intervallo 1 di 1, ALFA = "),
             qPrintable(hintText));
    QVERIFY2(hintText.endsWith(". Esc per interrompere"), qPrintable(hintText));
    QVERIFY(hint.isNull());
    QCOMPARE(ended, endings);
    QVERIFY(recorder.messages.isEmpty());
    QVERIFY(!form().isRunning());
    QCOMPARE(QGuiApplication::overrideCursor(), nullptr);
    QCOMPARE(rec.count(SurfaceOp::Clear), 0);
    QCOMPARE(rec.count(SurfaceOp::Scale), 0);
    const std::size_t drawn = rec.points().size();
    QVERIFY(drawn > 0);
    QVERIFY(drawn < 1000000000u);
    if (windowKept) {
        QVERIFY(form().window()->isVisible());
        QStringList announced;
        for (const Announcement *a : form().window()->findChildren<Announcement *>())
            announced << a->text();
        QVERIFY2(announced.join(u'|').contains(said), qPrintable(announced.join(u'|')));
    } else {
        // Closed as at any other time: the window and its controls go, the members stay.
        QTRY_VERIFY(window.isNull());
        QVERIFY(!form().isLoaded());
        QCOMPARE(form().Miocolor, Variant::int16(1));
        form().show();
        QTRY_COMPARE(m_registry->lastActiveForm(), &form());
    }
    // The next run is an ordinary one.
    form().setRunTiming({});
    setFields({{10, "0,86"}, {12, "1"}, {4, "180"}});
    QCOMPARE(run().size(), std::size_t(181));
}

void TestForm4Plot::shortRunIsNotPaced()
{
    // A run of the usual size never shows the busy cursor nor lets other events in.
    setFields({{3, "-20000"}, {4, "20000"}, {10, "0,001"}});
    bool paced = false;
    struct Watch : test::RecordingObserver
    {
        bool *paced = nullptr;
        void pointSet(float x, float y, int w, int i) override
        {
            RecordingObserver::pointSet(x, y, w, i);
            *paced = *paced || QGuiApplication::overrideCursor() != nullptr;
        }
    } watch;
    watch.paced = &paced;
    bool timerRan = false;
    QTimer::singleShot(0, form().window(), [&timerRan] { timerRan = true; });
    {
        const ScopedSurfaceObserver watching(*form().surface(), &watch);
        form().Command5_Click();
    }
    QCOMPARE(watch.points().size(), std::size_t(40001));
    QVERIFY(!paced);
    QVERIFY(!timerRan);
}

void TestForm4Plot::laterActivationPlotsOverDrawing()
{
    run();
    m_incr = 0.55;
    test::RecordingObserver rec;
    {
        const ScopedSurfaceObserver watch(*form().surface(), &rec);
        moveActivationAwayAndBack();
    }
    QCOMPARE(rec.count(SurfaceOp::Clear), 0);
    QCOMPARE(rec.lines().size(), std::size_t(2));
    QCOMPARE(rec.points().size(), std::size_t(181));
    // The new scale: CY 325, so the first point is 30 units above it; the next colour.
    QCOMPARE(rec.points()[0].b, 295.0f);
    QCOMPARE(rec.points()[0].colour, 3u);
    // The earlier run is still on the surface: green dots stay.
    QVERIFY(test::countPixels(form().surface()->raster().drawing(), qRgb(0, 128, 0)) > 0);
}

void TestForm4Plot::clearAndRun()
{
    run();
    test::RecordingObserver rec;
    {
        const ScopedSurfaceObserver watch(*form().surface(), &rec);
        form().ContaStep = Variant::int16(3);
        test::MessageRecorder recorder;
        form().Command1_Click();
    }
    QCOMPARE(rec.ops.front().kind, SurfaceOp::Clear);
    QCOMPARE(rec.count(SurfaceOp::Clear), 1);
    QCOMPARE(rec.lines().size(), std::size_t(2));
    // From the first range again, in the next colour.
    QCOMPARE(rec.points().size(), std::size_t(181));
    QCOMPARE(rec.points()[0].colour, 3u);
    QCOMPARE(test::coloursIn(form().surface()->raster().drawing()),
             (QSet<QRgb> {form().surface()->raster().backgroundRgb(), qRgb(0, 0, 0),
                          qRgb(0, 128, 128)}));
}

// A run whose angle keeps its value for thousands of points in a row is drawn a span at a time
// when no observer watches each dot: the same picture and the same summary as dot by dot. The
// chain crosses the Y axis on the way.
void TestForm4Plot::longStepsDrawnAsWatched()
{
    setFields(
        {{1, "-1"}, {10, "0,0001"}, {12, "0,0001"}, {3, "0"}, {4, "300000"}, {5, "0"}, {6, "0"}});
    const Variant colour = form().Miocolor;
    test::RecordingObserver rec;
    {
        const ScopedSurfaceObserver watch(*form().surface(), &rec);
        form().Command1_Click();
    }
    QCOMPARE(rec.points().size(), std::size_t(300001));
    const QImage watched = form().surface()->raster().drawing();
    const model::RunSummary dotByDot = form().lastRun();
    QVERIFY(dotByDot.pointsByQuadrant[0] > 0 && dotByDot.pointsByQuadrant[1] > 0);

    form().Miocolor = colour;
    form().Command1_Click();
    QCOMPARE(form().surface()->raster().drawing(), watched);
    const model::RunSummary &spans = form().lastRun();
    QCOMPARE(spans.drawn, dotByDot.drawn);
    QCOMPARE(spans.pointsByColour, dotByDot.pointsByColour);
    QCOMPARE(spans.pointsByQuadrant, dotByDot.pointsByQuadrant);
    QCOMPARE(spans.left, dotByDot.left);
    QCOMPARE(spans.right, dotByDot.right);
    QCOMPARE(spans.bottom, dotByDot.bottom);
    QCOMPARE(spans.top, dotByDot.top);
}

void TestForm4Plot::reloadKeepsMembersAndDesignedTexts()
{
    setFields({{10, "0,5"}, {4, "10"}});
    run();
    QWidget *old = form().window();
    old->close();
    QTRY_VERIFY(!form().isLoaded());
    QCOMPARE(form().EP1, Variant::real(0.5));
    QCOMPARE(form().PrimVol, Variant::int16(9));

    test::RecordingObserver rec;
    form().show();
    QVERIFY(form().isLoaded());
    {
        const ScopedSurfaceObserver watch(*form().surface(), &rec);
        QVERIFY(QTest::qWaitForWindowActive(form().window()));
        QTRY_COMPARE(m_registry->lastActiveForm(), &form());
    }
    QCOMPARE(form().field(10)->text(), QStringLiteral("0,86"));
    QCOMPARE(form().field(4)->text(), QStringLiteral("180"));
    QVERIFY(form().Option1()->isChecked());
    // Still in the plotting state: the activation after the new showing plots at once.
    QCOMPARE(rec.points().size(), std::size_t(181));
    QCOMPARE(rec.points()[0].colour, 3u);
}

void TestForm4Plot::realMessageBoxes()
{
    // Real boxes, closed with OK: messages in order and no activation from a box closing.
    setFields({{1, "abc"}, {2, "0"}, {11, "?"}});
    form().BETA1 = Variant::real(0.5);
    int activations = 0;
    QObject::connect(m_registry.get(), &FormRegistry::formActivated, m_registry.get(),
                     [&activations](Form *) { ++activations; });
    test::BoxDriver driver;
    test::RecordingObserver rec;
    {
        const ScopedSurfaceObserver watch(*form().surface(), &rec);
        form().Command5_Click();
    }
    // The readers run again at the start of range 2 (0 to 0): the emptied BETA field is
    // reported once more, the increments read 1 by now.
    QCOMPARE(driver.messages, (QStringList {"INX non è un numero", kZero, kNotNumber, kNotNumber}));
    QCOMPARE(rec.points().size(), std::size_t(181));
    QCOMPARE(activations, 0);
}

void TestForm4Plot::badInputInEveryField_data()
{
    // Which texts are numbers, and which numbers are zero, is checked at the parser
    // (tst_numerictext); here every field shows that its own reader runs, with its message, and
    // a huge paste into each kind of field (increment, segment, range) ends cleanly.
    QTest::addColumn<int>("field");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("message");

    const QString inx = QStringLiteral("INX non è un numero");
    const QString iny = QStringLiteral("INY non è un numero");
    const QString noRange = QStringLiteral("For o To senza numero");
    const QString badRange = QStringLiteral("For o To non numero");
    const QString tiny
        = QStringLiteral("0,") + QString(400, QLatin1Char('0')) + QStringLiteral("1");
    const QString beyondDouble = QStringLiteral("1") + QString(400, QLatin1Char('0'));
    // Far more than a field holds (32767 characters); 10 MB at the parser is tst_numerictext's.
    const QString digits(100'000, QLatin1Char('7'));

    QTest::newRow("Text1 letters") << 1 << "abc" << inx;
    QTest::newRow("Text1 tiny is zero") << 1 << tiny << kZero;
    QTest::newRow("Text1 a paste of digits") << 1 << digits << inx;
    QTest::newRow("Text2 point") << 2 << "1.5" << iny;
    QTest::newRow("Text2 minus zero") << 2 << "-0" << kZero;
    QTest::newRow("Text10 exponent") << 10 << "1e999" << kNotNumber;
    QTest::newRow("Text10 a paste of digits") << 10 << digits << kNotNumber;
    QTest::newRow("Text11 blanks") << 11 << "   " << kNotNumber;
    QTest::newRow("Text12 beyond double") << 12 << beyondDouble << kNotNumber;
    QTest::newRow("Text12 minus zero") << 12 << "-0"
                                       << "";
    QTest::newRow("Text3 empty") << 3 << "" << noRange;
    QTest::newRow("Text4 plus sign") << 4 << "+5" << badRange;
    QTest::newRow("Text5 two commas") << 5 << "1,2,3" << badRange;
    QTest::newRow("Text6 arabic digits") << 6 << QStringLiteral("\u0661\u0662") << badRange;
    QTest::newRow("Text7 fullwidth digit") << 7 << QStringLiteral("\uff11") << badRange;
    QTest::newRow("Text8 blank around") << 8 << " 5" << badRange;
    QTest::newRow("Text8 a paste of digits") << 8 << digits << badRange;
    QTest::newRow("Text3 three") << 3 << "3"
                                 << "";
}

void TestForm4Plot::badInputInEveryField()
{
    QFETCH(int, field);
    QFETCH(QString, text);
    QFETCH(QString, message);
    // Three small ranges, so that every range field is read.
    setFields({{3, "1"}, {4, "3"}, {5, "1"}, {6, "3"}, {7, "1"}, {8, "3"}});
    form().field(field)->setText(text);
    QStringList messages;
    const std::vector<SurfaceOp> drawn = run(&messages);
    // A refused segment field is reported at every range reached; the others once.
    if (message.isEmpty())
        QVERIFY2(messages.isEmpty(), qPrintable(messages.join(QLatin1Char('|'))));
    else
        QCOMPARE(messages.value(0), message);
    for (const SurfaceOp &p : drawn) {
        QVERIFY(std::isfinite(p.a) && std::isfinite(p.b));
        QVERIFY(p.colour >= 2 && p.colour <= 15);
    }
}

void TestForm4Plot::userPathDrawsAsWatched_data()
{
    QTest::addColumn<Fields>("fields");
    QTest::addColumn<bool>("cosine");
    QTest::addColumn<bool>("epsilonBefore"); // EP1 holds 0,5 before the run
    QTest::addColumn<QStringList>("messages");

    const QString empty = QStringLiteral("For o To senza numero");
    QTest::newRow("starting values") << Fields {} << false << false << QStringList {};
    QTest::newRow("For2 emptied") << Fields {{5, ""}} << false << false << QStringList {empty};
    QTest::newRow("range 2 not a number") << Fields {{3, "2"}, {4, "40"}, {5, "x"}, {6, "1"}}
                                          << false << false << QStringList {"For o To non numero"};
    QTest::newRow("epsilon refused at every range")
        << Fields {{10, "?"}, {4, "30"}, {5, "1"}, {6, "20"}, {7, "5"}, {8, "40"}} << false << true
        << QStringList {kNotNumber, kNotNumber, kNotNumber};
    QTest::newRow("out of the field after points")
        << Fields {{1, "200"}, {10, "1"}, {11, "0"}, {4, "5"}} << false << false
        << QStringList {"fuori campo X11 =615"};
    // Straight down from 30 units above the crossing, 10 units a step: past the drawing's
    // bottom edge (dots clipped there), then out of the field.
    QTest::newRow("down past the edge, then out of the field")
        << Fields {{2, "10"}, {10, "1"}, {11, "-90"}, {4, "50"}} << true << false
        << QStringList {"fuori campo Y11 =-3"};
}

// The exact tests watch the drawing, which sends every dot through the drawing's own PSet. The
// user's run is not watched: its dots take the writer's fast path. Both must give the same
// pixels, and what was drawn must be on the screen whenever a box opens and when the run ends.
void TestForm4Plot::userPathDrawsAsWatched()
{
    QFETCH(Fields, fields);
    QFETCH(bool, cosine);
    QFETCH(bool, epsilonBefore);
    QFETCH(QStringList, messages);
    QImage drawn[2];
    for (const bool watched : {false, true}) {
        if (watched) {
            m_registry.reset();
            init();
        }
        setFields(fields);
        (cosine ? form().Option2() : form().Option1())->setChecked(true);
        if (epsilonBefore)
            form().EP1 = Variant::real(0.5);
        QStringList shown;
        QStringList onScreen;
        const ScopedMessageSink sink([&](const QString &text) {
            shown << text;
            onScreen << test::screenDiffersFromDrawing(*form().surface());
        });
        test::RecordingObserver rec;
        {
            std::optional<ScopedSurfaceObserver> watch;
            if (watched)
                watch.emplace(*form().surface(), &rec);
            form().Command5_Click();
        }
        QCOMPARE(shown.size(), messages.size());
        for (qsizetype i = 0; i < messages.size(); ++i)
            QVERIFY2(shown[i].startsWith(messages[i]), qPrintable(shown[i]));
        QCOMPARE(onScreen, QStringList(messages.size(), QString()));
        QCOMPARE(test::screenDiffersFromDrawing(*form().surface()), QString());
        QCOMPARE(watched, !rec.points().empty());
        drawn[watched ? 1 : 0] = form().surface()->raster().drawing();
    }
    QVERIFY(drawn[0] == drawn[1]);
}

// A box of the run lets events in: the window made larger meanwhile gets a larger image, and
// the run's later dots go into that one.
void TestForm4Plot::runDrawsOnAfterResizeUnderBox()
{
    QWidget *window = form().window();
    window->showNormal();
    window->resize(500, 400);
    QTRY_COMPARE(window->size(), QSize(500, 400));
    form().Form_Activate();
    form().EP1 = Variant::real(0.5);
    setFields({{10, "?"}, {4, "5"}, {5, "1"}, {6, "5"}});
    int boxes = 0;
    const ScopedMessageSink sink([&](const QString &) {
        if (++boxes == 2) {
            window->resize(1000, 900);
            QTRY_COMPARE(form().surface()->size(), QSize(1000, 900));
        }
    });
    form().Command5_Click();
    QCOMPARE(boxes, 3);
    // Range 2's dots, in the run's second colour.
    QVERIFY(test::countPixels(form().surface()->raster().drawing(), qRgb(0, 128, 128)) > 0);
}

QTEST_MAIN(TestForm4Plot)
#include "tst_form4_plot.moc"
