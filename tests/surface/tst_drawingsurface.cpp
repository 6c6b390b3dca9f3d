// SPDX-FileCopyrightText: 2026 The QUORVEL developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "support/TestSupport.h"
#include "surface/DrawingSurface.h"
#include "surface/ScopedSurfaceObserver.h"

#include <QApplication>
#include <QMessageBox>
#include <QPainter>
#include <QProcess>
#include <QScreen>
#include <QTest>
#include <QTimer>

#include <cmath>
#include <limits>

using namespace quorvel;
using test::RecordingObserver;
using test::SurfaceOp;

class TestDrawingSurface : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void scaleModeCentimetres();
    void clsErasesDrawingOnly();
    void scopedObserverRestoresPrevious();
    void drawingSurvivesCoverAndResize();
    void drawingIsASnapshot();
    void drawingVisibleUnderMessageBox();
    void repaintShowsDrawingBesideControls();
    void invalidPaletteIndexEndsProcess_data();
    void invalidPaletteIndexEndsProcess();

private:
    static std::unique_ptr<DrawingSurface> makeSurface(int w, int h, float sw, float sh);
};

void TestDrawingSurface::initTestCase()
{
    test::filterPlatformNoise();
}

std::unique_ptr<DrawingSurface> TestDrawingSurface::makeSurface(int w, int h, float sw, float sh)
{
    auto s = std::make_unique<DrawingSurface>();
    s->resize(w, h);
    s->raster().setScaleWidth(sw);
    s->raster().setScaleHeight(sh);
    return s;
}

void TestDrawingSurface::scaleModeCentimetres()
{
    auto s = makeSurface(400, 300, 1000, 510);
    s->raster().setScaleMode(7);
    QCOMPARE(s->raster().scaleMode(), 7);
    QVERIFY(std::abs(s->raster().scaleWidth() - 400 / double(s->logicalDpiX()) * 2.54) < 1e-4);
    QVERIFY(std::abs(s->raster().scaleHeight() - 300 / double(s->logicalDpiY()) * 2.54) < 1e-4);
    s->raster().setScaleWidth(1000);
    QCOMPARE(s->raster().scaleMode(), 0);
    QCOMPARE(s->raster().scaleWidth(), 1000.0f);
}

void TestDrawingSurface::clsErasesDrawingOnly()
{
    auto s = makeSurface(100, 100, 100, 100);
    auto *child = new QWidget(s.get());
    child->setGeometry(10, 10, 20, 20);
    s->raster().setDrawWidth(3);
    s->raster().PSet(50, 50, 4);
    s->raster().Line(0, 10, 100, 10, 0);
    s->raster().Cls();
    const QImage img = s->raster().drawing();
    for (int row = 0; row < img.height(); ++row)
        for (int col = 0; col < img.width(); ++col)
            QCOMPARE(img.pixel(col, row), s->raster().backgroundRgb());
    QVERIFY(child->parent() == s.get());
    QCOMPARE(child->geometry(), QRect(10, 10, 20, 20));
}

void TestDrawingSurface::scopedObserverRestoresPrevious()
{
    RecordingObserver outer;
    RecordingObserver inner;
    auto s = makeSurface(100, 100, 100, 100);
    {
        const ScopedSurfaceObserver watchOuter(*s, &outer);
        {
            const ScopedSurfaceObserver watchInner(*s, &inner);
            s->raster().PSet(10, 10, 2);
        }
        QCOMPARE(s->observer(), &outer);
        s->raster().PSet(20, 20, 2);
    }
    QCOMPARE(s->observer(), nullptr);
    s->raster().PSet(30, 30, 2);
    QCOMPARE(inner.count(SurfaceOp::Point), 1);
    QCOMPARE(outer.count(SurfaceOp::Point), 1);
    // A surface that goes before its guard (its window closed) is left alone.
    auto gone = makeSurface(10, 10, 10, 10);
    const ScopedSurfaceObserver watchGone(*gone, &outer);
    gone.reset();
}

void TestDrawingSurface::drawingSurvivesCoverAndResize()
{
    auto s = makeSurface(100, 100, 100, 100);
    s->show();
    QVERIFY(QTest::qWaitForWindowExposed(s.get()));
    s->raster().setDrawWidth(3);
    s->raster().PSet(20, 20, 12);
    // Covered by another window, then resized larger and smaller again.
    QWidget cover;
    cover.setGeometry(s->geometry());
    cover.show();
    QVERIFY(QTest::qWaitForWindowExposed(&cover));
    cover.hide();
    s->resize(300, 250);
    const test::QueueMark resized;
    QTRY_VERIFY(resized.reached());
    s->resize(60, 60);
    s->resize(100, 100);
    const QImage onScreen = s->grab().toImage();
    QCOMPARE(onScreen.pixel(20, 20), qRgb(255, 0, 0));
    QCOMPARE(s->raster().pixelAt(20, 20), qRgb(255, 0, 0));
    // Later drawing maps onto the new client area with the same units.
    s->resize(200, 200);
    s->raster().PSet(50, 50, 10);
    QCOMPARE(s->raster().pixelAt(100, 100), qRgb(0, 255, 0));
}

// Dots are written straight into the retained image: a copy taken earlier, or the screen's
// picture of it, must not change with them.
void TestDrawingSurface::drawingIsASnapshot()
{
    auto s = makeSurface(100, 100, 100, 100);
    s->show();
    QVERIFY(QTest::qWaitForWindowExposed(s.get()));
    s->raster().setDrawWidth(3);
    s->raster().PSet(20, 20, 12);
    const QImage first = s->raster().drawing();
    const QImage firstOnScreen = s->grab().toImage();
    s->raster().PSet(40, 40, 10);
    s->raster().Line(0, 70, 100, 70, 0x00FFFF);
    s->raster().PSet(60, 60, 9);
    QCOMPARE(first.pixel(20, 20), qRgb(255, 0, 0));
    QCOMPARE(first.pixel(40, 40), s->raster().backgroundRgb());
    QCOMPARE(first.pixel(60, 60), s->raster().backgroundRgb());
    QCOMPARE(firstOnScreen.pixel(40, 40), s->raster().backgroundRgb());
    const QImage second = s->raster().drawing();
    QCOMPARE(second.pixel(40, 40), qRgb(0, 255, 0));
    QCOMPARE(second.pixel(60, 60), qRgb(0, 0, 255));
    QCOMPARE(second.pixel(50, 70), qRgb(255, 255, 0));
    QCOMPARE(s->grab().toImage().pixel(60, 60), qRgb(0, 0, 255));
}

void TestDrawingSurface::drawingVisibleUnderMessageBox()
{
    auto s = makeSurface(120, 120, 120, 120);
    s->show();
    QVERIFY(QTest::qWaitForWindowExposed(s.get()));
    s->raster().setDrawWidth(3);
    s->raster().PSet(60, 60, 9);
    // While a modal box is open, the event loop paints what was drawn before it.
    QRgb seen = 0;
    QTimer::singleShot(50, [&] {
        seen = s->grab().toImage().pixel(60, 60);
        if (QWidget *box = QApplication::activeModalWidget())
            box->close();
    });
    QMessageBox box(QMessageBox::NoIcon, "QUORVEL", "x", QMessageBox::Ok, s.get());
    box.exec();
    QCOMPARE(seen, qRgb(0, 0, 255));
    QCOMPARE(s->grab().toImage().pixel(60, 60), qRgb(0, 0, 255));
}

// A repaint converts the drawing straight into the window's pixels: exactly the drawing where it
// shows, at its place in the window, and the controls over it as they are.
void TestDrawingSurface::repaintShowsDrawingBesideControls()
{
    QWidget window;
    window.resize(230, 140);
    auto *s = new DrawingSurface(&window);
    s->setGeometry(10, 20, 200, 100);
    s->raster().setScaleWidth(200);
    s->raster().setScaleHeight(100);
    auto *control = new QWidget(s);
    control->setGeometry(100, 0, 100, 100);
    control->setAutoFillBackground(true);
    QPalette green = control->palette();
    green.setColor(QPalette::Window, Qt::green);
    control->setPalette(green);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    s->raster().setDrawWidth(3);
    for (int x = 10; x < 200; x += 20)
        s->raster().PSet(static_cast<float>(x), 50, 12);
    s->raster().Line(0, 80, 200, 80, 0x0000FF);
    s->repaintNow();
    const QImage shown = window.screen()
                             ->grabWindow(window.winId())
                             .toImage()
                             .convertToFormat(QImage::Format_RGB32);
    QCOMPARE(shown.copy(10, 20, 100, 100), s->raster().drawing().copy(0, 0, 100, 100));
    QCOMPARE(shown.pixel(40, 70), qRgb(255, 0, 0));
    for (const QPoint at : {QPoint(160, 70), QPoint(160, 100), QPoint(209, 119)})
        QCOMPARE(shown.pixel(at), QColor(Qt::green).rgb());
}

void TestDrawingSurface::invalidPaletteIndexEndsProcess_data()
{
    QTest::addColumn<QString>("index");
    QTest::newRow("16") << "16";
    QTest::newRow("-1") << "-1";
}

void TestDrawingSurface::invalidPaletteIndexEndsProcess()
{
    QFETCH(QString, index);
    QProcess probe;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("QT_QPA_PLATFORM", "offscreen");
    probe.setProcessEnvironment(env);
    probe.start(QStringLiteral(RUNTIME_ERROR_PROBE), {QStringLiteral("--answer"), index});
    QVERIFY(probe.waitForFinished(30000));
    QCOMPARE(probe.exitStatus(), QProcess::NormalExit);
    QVERIFY(probe.exitCode() != 0);
    const QString out = QString::fromLocal8Bit(probe.readAllStandardOutput());
    const QString err = QString::fromLocal8Bit(probe.readAllStandardError());
    QVERIFY2(!out.contains("PSet returned"), qPrintable(out));
    QVERIFY2(err.contains(QStringLiteral("QBColor %1").arg(index)), qPrintable(err));
}

QTEST_MAIN(TestDrawingSurface)
#include "tst_drawingsurface.moc"
