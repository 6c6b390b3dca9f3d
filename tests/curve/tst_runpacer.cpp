#include "curve/RunPacer.h"
#include "shell/FormRegistry.h"
#include "support/TestSupport.h"

#include <QTest>

using namespace quorvel;

// The pacing of a long run, on its own: its busy clock and the scale it holds.
class TestRunPacer : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void messageTimeIsNotRunTime();
    void resizeKeepsScaleWhileRunning();

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

QTEST_MAIN(TestRunPacer)
#include "tst_runpacer.moc"
