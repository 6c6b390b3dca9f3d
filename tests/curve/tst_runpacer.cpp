// SPDX-FileCopyrightText: 2026 The QUORVEL developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "curve/RunPacer.h"
#include "shell/AccessibleParts.h"
#include "shell/FormRegistry.h"
#include "support/TestSupport.h"

#include <QPushButton>
#include <QTest>

using namespace quorvel;
using namespace quorvel::curve;

using TextsOfRanges = std::array<QString, 6>;
Q_DECLARE_METATYPE(TextsOfRanges)

// The pacing of a long run, on its own: its busy clock and the scale it holds.
class TestRunPacer : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void messageTimeIsNotRunTime();
    void resizeKeepsScaleWhileRunning();
    void rangesToWalk_data();
    void rangesToWalk();
    void hintText_data();
    void hintText();
    void eventsLetInBetweenRefreshes();
    void focusedControlDescribesProgress();

private:
    // One look at the clock: the pacer checks once every 1024 points.
    static void points(RunPacer &pacer)
    {
        for (int i = 0; i < 1024; ++i) {
            if (pacer.countPoints(1))
                pacer.check(1, i);
        }
    }
};

void TestRunPacer::initTestCase()
{
    test::filterPlatformNoise();
}

void TestRunPacer::messageTimeIsNotRunTime()
{
    qint64 now = 0;
    FormRegistry registry;
    DrawingSurface surface;
    surface.resize(200, 100);
    RunPacer pacer(&surface, registry, {500, 100, [&now] { return now; }});
    now = 100;
    points(pacer);
    QVERIFY(!pacer.isBusy());
    test::MessageRecorder recorder;
    // The box stays open two seconds.
    recorder.onMessage = [&now](const QString &) { now += 2000; };
    pacer.showMessage(QStringLiteral("fuori campo X11 =1"));
    points(pacer);
    QVERIFY(!pacer.isBusy());
    // 100 ms before and 401 ms after the box: the run has lasted longer than half a second.
    now += 401;
    points(pacer);
    QVERIFY(pacer.isBusy());
}

void TestRunPacer::resizeKeepsScaleWhileRunning()
{
    FormRegistry registry;
    DrawingSurface surface;
    surface.resize(200, 100);
    surface.raster().setScaleWidth(100);
    surface.raster().setScaleHeight(100);
    surface.raster().setDrawWidth(1);
    const QRgb red = qRgb(255, 0, 0);
    const QRgb blue = qRgb(0, 0, 255);
    {
        RunPacer pacer(&surface, registry, {});
        // Maximised during the run: 4 pixels a unit across from now on, but not for this run.
        surface.resize(400, 200);
        surface.raster().PSet(50, 50, 12);
        QCOMPARE(surface.raster().pixelAt(100, 50), red);
        QCOMPARE(surface.raster().pixelAt(200, 100), surface.raster().backgroundRgb());
    }
    // After the run the drawing maps onto the new size.
    surface.raster().PSet(75, 75, 9);
    QCOMPARE(surface.raster().pixelAt(300, 150), blue);
}

void TestRunPacer::rangesToWalk_data()
{
    using Texts = TextsOfRanges;
    QTest::addColumn<TextsOfRanges>("texts"); // From and To of ranges 1 to 3
    QTest::addColumn<int>("first");
    QTest::addColumn<int>("count");
    QTest::newRow("window's start") << Texts {"0", "180", "0", "0", "0", "0"} << 1 << 1;
    QTest::newRow("three ranges") << Texts {"0", "180", "5", "-5", "0", "3"} << 1 << 3;
    QTest::newRow("0 to 0 in the middle") << Texts {"0", "180", "0", "0", "1", "9"} << 1 << 1;
    QTest::newRow("zero written otherwise") << Texts {"1", "2", "0,0", "-0", "1", "9"} << 1 << 1;
    QTest::newRow("refused range") << Texts {"1", "2", "", "abc", "1", "9"} << 1 << 1;
    QTest::newRow("from range 2") << Texts {"0", "0", "1", "2", "3", "4"} << 2 << 2;
    QTest::newRow("first refused") << Texts {"x", "180", "1", "2", "3", "4"} << 1 << 0;
}

void TestRunPacer::rangesToWalk()
{
    QFETCH(TextsOfRanges, texts);
    QFETCH(int, first);
    QFETCH(int, count);
    QCOMPARE(RunPacer::rangesToWalk(texts, first), count);
}

void TestRunPacer::hintText_data()
{
    QTest::addColumn<int>("ranges"); // counted when the run starts; 0: not known
    QTest::addColumn<int>("range");
    QTest::addColumn<double>("alfa");
    QTest::addColumn<QString>("text");
    QTest::newRow("large ALFA, one range")
        << 1 << 1 << 530902015.0
        << "Calcolo in corso: intervallo 1 di 1, ALFA = 530.902.015. Esc per interrompere";
    QTest::newRow("second of two, negative")
        << 2 << 2 << -32768.5
        << "Calcolo in corso: intervallo 2 di 2, ALFA = -32.768,5. Esc per interrompere";
    QTest::newRow("count not known")
        << 0 << 2 << 7.0 << "Calcolo in corso: intervallo 2, ALFA = 7. Esc per interrompere";
}

void TestRunPacer::hintText()
{
    QFETCH(int, ranges);
    QFETCH(int, range);
    QFETCH(double, alfa);
    QFETCH(QString, text);
    qint64 now = 0;
    FormRegistry registry;
    DrawingSurface surface;
    surface.resize(400, 100);
    RunPacer pacer(&surface, registry, {0, 0, [&now] { return now; }});
    pacer.setRangesToWalk(ranges);
    now = 10;
    QVERIFY(pacer.check(range, alfa));
    QVERIFY(pacer.hint());
    QCOMPARE(pacer.hint()->text(), text);
    // Said when it appears, for a listener.
    QCOMPARE(lastAnnouncement(&surface), text);
}

// A busy run answers a screen reader's questions within a few milliseconds, not only when it
// shows its progress.
void TestRunPacer::eventsLetInBetweenRefreshes()
{
    qint64 now = 0;
    FormRegistry registry;
    DrawingSurface surface;
    surface.resize(400, 100);
    RunPacer::Timing timing {0, 100, [&now] { return now; }};
    timing.eventsMs = 5;
    RunPacer pacer(&surface, registry, timing);
    now = 200;
    QVERIFY(pacer.check(1, 0));
    QVERIFY(pacer.eventsProcessed()); // a refresh
    now = 203;
    QVERIFY(pacer.check(1, 1));
    QVERIFY(!pacer.eventsProcessed());
    now = 206;
    QVERIFY(pacer.check(1, 2));
    QVERIFY(pacer.eventsProcessed()); // no refresh due, events all the same
}

// While the run is busy, the control that has the focus describes the progress (what a screen
// reader's "where am I" reads there); its own description comes back when the run ends.
void TestRunPacer::focusedControlDescribesProgress()
{
    const QString own = QStringLiteral("Fare click più volte per cambiare il colore.");
    qint64 now = 0;
    FormRegistry registry;
    QWidget window;
    auto *surface = new DrawingSurface(&window);
    surface->resize(400, 100);
    auto *button = new QPushButton(QStringLiteral("ESEGUI"), &window);
    button->setAccessibleDescription(own);
    button->setFocus();
    {
        RunPacer pacer(surface, registry, {0, 0, [&now] { return now; }});
        now = 10;
        QVERIFY(pacer.check(1, 7));
        QVERIFY(pacer.hint());
        QCOMPARE(button->accessibleDescription(), pacer.hint()->text());
        now = 20;
        QVERIFY(pacer.check(1, 8));
        QCOMPARE(button->accessibleDescription(), pacer.hint()->text());
    }
    QCOMPARE(button->accessibleDescription(), own);
}

QTEST_MAIN(TestRunPacer)
#include "tst_runpacer.moc"
