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
    void paletteColours_data();
    void paletteColours();
    void userScaleMapsToPixels_data();
    void userScaleMapsToPixels();
    void penWidthCoversPixels_data();
    void penWidthCoversPixels();
    void clippingIsSilent_data();
    void clippingIsSilent();
    void scaleModeCentimetres();
    void clsErasesDrawingOnly();
    void lineDrawsFullSpan();
    void linePixelsAsQtPaintsThem_data();
    void linePixelsAsQtPaintsThem();
    void manyColoursStayExact();
    void observerSeesExactOperations();
    void scopedObserverRestoresPrevious();
    void drawingSurvivesCoverAndResize();
    void drawingIsASnapshot();
    void drawingVisibleUnderMessageBox();
    void repaintShowsDrawingBesideControls();
    void dotWriterRewritesAfterEdgeDot();
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
    s->setScaleWidth(sw);
    s->setScaleHeight(sh);
    return s;
}

void TestDrawingSurface::paletteColours_data()
{
    QTest::addColumn<int>("index");
    QTest::addColumn<int>("r");
    QTest::addColumn<int>("g");
    QTest::addColumn<int>("b");
    const int rgb[16][3] = {{0, 0, 0},       {0, 0, 128},   {0, 128, 0},   {0, 128, 128},
                            {128, 0, 0},     {128, 0, 128}, {128, 128, 0}, {192, 192, 192},
                            {128, 128, 128}, {0, 0, 255},   {0, 255, 0},   {0, 255, 255},
                            {255, 0, 0},     {255, 0, 255}, {255, 255, 0}, {255, 255, 255}};
    for (int i = 0; i < 16; ++i)
        QTest::addRow("index %d", i) << i << rgb[i][0] << rgb[i][1] << rgb[i][2];
}

void TestDrawingSurface::paletteColours()
{
    QFETCH(int, index);
    QFETCH(int, r);
    QFETCH(int, g);
    QFETCH(int, b);
    const ColourValue value = QBColor(index);
    QCOMPARE(value, ColourValue(r | (g << 8) | (b << 16)));
    auto s = makeSurface(10, 10, 10, 10);
    s->setDrawWidth(1);
    s->PSet(5, 5, index);
    QCOMPARE(s->pixelAt(5, 5), qRgb(r, g, b));
}

void TestDrawingSurface::userScaleMapsToPixels_data()
{
    QTest::addColumn<float>("scaleWidth");
    QTest::addColumn<float>("scaleHeight");
    QTest::addColumn<float>("x");
    QTest::addColumn<float>("y");
    QTest::addColumn<QPoint>("pixel");
    // 400 x 300 pixels.
    QTest::newRow("origin") << 1000.0f << 510.0f << 0.0f << 0.0f << QPoint(0, 0);
    QTest::newRow("axes crossing") << 1000.0f << 510.0f << 430.0f << 305.0f << QPoint(172, 179);
    QTest::newRow("last pixel") << 1000.0f << 510.0f << 999.0f << 509.0f << QPoint(399, 299);
    QTest::newRow("calibration centre") << 146367.359375f << 74647.3515625f << 93183.6796875f
                                        << 37323.67578125f << QPoint(254, 150);
    QTest::newRow("negative scale width flips")
        << -100.0f << 100.0f << -50.0f << 10.0f << QPoint(200, 30);
}

void TestDrawingSurface::userScaleMapsToPixels()
{
    QFETCH(float, scaleWidth);
    QFETCH(float, scaleHeight);
    QFETCH(float, x);
    QFETCH(float, y);
    QFETCH(QPoint, pixel);
    auto s = makeSurface(400, 300, scaleWidth, scaleHeight);
    s->PSet(x, y, 12);
    QCOMPARE(s->pixelAt(pixel.x(), pixel.y()), qRgb(255, 0, 0));
    QCOMPARE(test::countPixels(s->drawing(), qRgb(255, 0, 0)), 1);
}

void TestDrawingSurface::penWidthCoversPixels_data()
{
    QTest::addColumn<int>("width");
    QTest::addColumn<QRect>("covered");
    QTest::newRow("one pixel") << 1 << QRect(50, 50, 1, 1);
    QTest::newRow("2x2") << 2 << QRect(50, 50, 2, 2);
    QTest::newRow("3x3") << 3 << QRect(49, 49, 3, 3);
}

void TestDrawingSurface::penWidthCoversPixels()
{
    QFETCH(int, width);
    QFETCH(QRect, covered);
    auto s = makeSurface(100, 100, 100, 100);
    s->setDrawWidth(width);
    s->PSet(50.5f, 50.5f, 2);
    const QImage img = s->drawing();
    for (int row = 40; row < 60; ++row)
        for (int col = 40; col < 60; ++col) {
            const bool lit = img.pixel(col, row) == qRgb(0, 128, 0);
            QVERIFY2(lit == covered.contains(col, row),
                     qPrintable(QStringLiteral("pixel %1,%2").arg(col).arg(row)));
        }
}

void TestDrawingSurface::clippingIsSilent_data()
{
    QTest::addColumn<float>("x");
    QTest::addColumn<float>("y");
    QTest::addColumn<int>("litPixels");
    const float inf = std::numeric_limits<float>::infinity();
    QTest::newRow("far right") << 1e30f << 50.0f << 0;
    QTest::newRow("far left") << -1e30f << 50.0f << 0;
    QTest::newRow("below") << 50.0f << 150.0f << 0;
    QTest::newRow("infinite") << inf << 50.0f << 0;
    QTest::newRow("nan") << std::numeric_limits<float>::quiet_NaN() << 50.0f << 0;
    QTest::newRow("corner, partly inside") << 0.0f << 0.0f << 4;
    QTest::newRow("bottom-right edge, partly inside") << 99.5f << 99.5f << 4;
}

void TestDrawingSurface::clippingIsSilent()
{
    QFETCH(float, x);
    QFETCH(float, y);
    QFETCH(int, litPixels);
    auto s = makeSurface(100, 100, 100, 100);
    s->setDrawWidth(3);
    s->PSet(x, y, 15);
    QCOMPARE(test::countPixels(s->drawing(), qRgb(255, 255, 255)), litPixels);
}

void TestDrawingSurface::scaleModeCentimetres()
{
    auto s = makeSurface(400, 300, 1000, 510);
    s->setScaleMode(7);
    QCOMPARE(s->scaleMode(), 7);
    QVERIFY(std::abs(s->scaleWidth() - 400 / double(s->logicalDpiX()) * 2.54) < 1e-4);
    QVERIFY(std::abs(s->scaleHeight() - 300 / double(s->logicalDpiY()) * 2.54) < 1e-4);
    s->setScaleWidth(1000);
    QCOMPARE(s->scaleMode(), 0);
    QCOMPARE(s->scaleWidth(), 1000.0f);
}

void TestDrawingSurface::clsErasesDrawingOnly()
{
    auto s = makeSurface(100, 100, 100, 100);
    auto *child = new QWidget(s.get());
    child->setGeometry(10, 10, 20, 20);
    s->setDrawWidth(3);
    s->PSet(50, 50, 4);
    s->Line(0, 10, 100, 10, 0);
    s->Cls();
    const QImage img = s->drawing();
    for (int row = 0; row < img.height(); ++row)
        for (int col = 0; col < img.width(); ++col)
            QCOMPARE(img.pixel(col, row), s->backgroundRgb());
    QVERIFY(child->parent() == s.get());
    QCOMPARE(child->geometry(), QRect(10, 10, 20, 20));
}

void TestDrawingSurface::lineDrawsFullSpan()
{
    auto s = makeSurface(200, 100, 1000, 510);
    s->setDrawWidth(2);
    s->Line(430, 0, 430, 510, 0);
    s->Line(0, 305, 1000, 305, 0);
    // The vertical axis runs over the whole height, the horizontal one over the whole width.
    for (int y = 0; y < 100; ++y)
        QCOMPARE(s->pixelAt(86, y), qRgb(0, 0, 0));
    for (int x = 0; x < 200; ++x)
        QCOMPARE(s->pixelAt(x, 59), qRgb(0, 0, 0));
}

void TestDrawingSurface::linePixelsAsQtPaintsThem_data()
{
    QTest::addColumn<int>("pen");
    QTest::addColumn<QLineF>("line"); // user units, 1 unit = 1 pixel
    QTest::addColumn<uint>("colour");
    QTest::newRow("axis, width 2") << 2 << QLineF(431.7, 0, 431.7, 400) << 0u;
    QTest::newRow("axis across, width 2") << 2 << QLineF(0, 305.2, 600, 305.2) << 0u;
    QTest::newRow("axis, width 1, upwards") << 1 << QLineF(20.5, 300.9, 20.5, 7.1) << 0xFFu;
    QTest::newRow("axis across, width 3, leftwards") << 3 << QLineF(590, 9.5, 3.2, 9.5) << 0xFF00u;
    QTest::newRow("axis, width 4, short") << 4 << QLineF(100, 100, 100, 103) << 0x808000u;
    QTest::newRow("axis, width 5, at the edge") << 5 << QLineF(599.5, -50, 599.5, 50) << 0u;
    QTest::newRow("axis, far beyond") << 2 << QLineF(-1e30, 200, 1e30, 200) << 0u;
    QTest::newRow("diagonal, width 1") << 1 << QLineF(3, 4, 587, 391) << 0x0000FFu;
    QTest::newRow("steep, width 3, new colour") << 3 << QLineF(300.2, 395, 270.9, 2) << 0x123456u;
    QTest::newRow("leaves the area") << 2 << QLineF(-40, -30, 750, 520) << 0xFF00FFu;
    QTest::newRow("wholly outside") << 3 << QLineF(-40, -30, -10, -5) << 0x00FF00u;
    QTest::newRow("a point") << 3 << QLineF(260, 255, 260, 255) << 0x808080u;
}

// The drawing keeps a byte per pixel; a line must still cover exactly the pixels Qt paints for
// the same pen on a 32-bit image, in its exact colour.
void TestDrawingSurface::linePixelsAsQtPaintsThem()
{
    QFETCH(int, pen);
    QFETCH(QLineF, line);
    QFETCH(uint, colour);
    auto s = makeSurface(600, 400, 600, 400);
    s->setDrawWidth(pen);
    s->Line(float(line.x1()), float(line.y1()), float(line.x2()), float(line.y2()), colour);

    QImage want(600, 400, QImage::Format_RGB32);
    want.fill(s->backgroundRgb());
    {
        QPainter p(&want);
        p.setPen(QPen(QColor::fromRgb(toRgb(colour)), pen, Qt::SolidLine, Qt::SquareCap));
        const qreal centre = pen % 2 ? 0.5 : 0.0;
        p.drawLine(QPointF(std::floor(line.x1()) + centre, std::floor(line.y1()) + centre),
                   QPointF(std::floor(line.x2()) + centre, std::floor(line.y2()) + centre));
    }
    const QImage got = s->drawing();
    QCOMPARE(got.size(), want.size());
    int drawn = 0;
    for (int y = 0; y < want.height(); ++y) {
        for (int x = 0; x < want.width(); ++x) {
            QVERIFY2(got.pixel(x, y) == want.pixel(x, y),
                     qPrintable(QStringLiteral("pixel %1,%2").arg(x).arg(y)));
            drawn += want.pixel(x, y) != s->backgroundRgb();
        }
    }
    QCOMPARE(drawn > 0, QTest::currentDataTag() != QByteArray("wholly outside"));
}

// More colours than a colour table holds: every line keeps its own colour, and dots and lines
// drawn before and after the change are all still there.
void TestDrawingSurface::manyColoursStayExact()
{
    auto s = makeSurface(400, 310, 400, 310);
    s->setDrawWidth(1);
    s->PSet(1, 1, 12);
    constexpr int kLines = 300;
    for (int i = 0; i < kLines; ++i)
        s->Line(10, float(i + 5), 390, float(i + 5), ColourValue(0x010203u * uint(i + 1)));
    s->setDrawWidth(3);
    s->PSet(395, 300, 10);
    for (int i = 0; i < kLines; ++i)
        QCOMPARE(s->pixelAt(200, i + 5), toRgb(ColourValue(0x010203u * uint(i + 1))));
    QCOMPARE(s->pixelAt(1, 1), qRgb(255, 0, 0));
    QCOMPARE(s->pixelAt(395, 300), qRgb(0, 255, 0));
    QCOMPARE(s->pixelAt(5, 5), s->backgroundRgb());
    s->Cls();
    QCOMPARE(s->pixelAt(200, 100), s->backgroundRgb());
}

void TestDrawingSurface::observerSeesExactOperations()
{
    RecordingObserver rec;
    DrawingSurface s;
    s.resize(100, 100);
    const ScopedSurfaceObserver watch(s, &rec);
    s.setScaleWidth(146367.36f);
    s.setScaleHeight(74647.3515625f);
    s.setDrawWidth(3);
    s.Cls();
    s.Line(1.5f, 2.5f, 3.5f, 4.5f, 0);
    s.PSet(0.1f, -7.25f, 13);
    QCOMPARE(rec.ops.size(), std::size_t(5));
    QCOMPARE(rec.ops[0].kind, SurfaceOp::Scale);
    QCOMPARE(test::bitsOf(rec.ops[0].a), test::bitsOf(146367.359375f));
    QCOMPARE(rec.ops[1].b, 74647.3515625f);
    QCOMPARE(rec.ops[2].kind, SurfaceOp::Clear);
    QCOMPARE(rec.ops[3].kind, SurfaceOp::Line);
    QCOMPARE(rec.ops[3].d, 4.5f);
    QCOMPARE(rec.ops[3].width, 3);
    QCOMPARE(rec.ops[4].kind, SurfaceOp::Point);
    QCOMPARE(test::bitsOf(rec.ops[4].a), test::bitsOf(0.1f));
    QCOMPARE(rec.ops[4].b, -7.25f);
    QCOMPARE(rec.ops[4].colour, 13u);
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
            s->PSet(10, 10, 2);
        }
        QCOMPARE(s->observer(), &outer);
        s->PSet(20, 20, 2);
    }
    QCOMPARE(s->observer(), nullptr);
    s->PSet(30, 30, 2);
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
    s->setDrawWidth(3);
    s->PSet(20, 20, 12);
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
    QCOMPARE(s->pixelAt(20, 20), qRgb(255, 0, 0));
    // Later drawing maps onto the new client area with the same units.
    s->resize(200, 200);
    s->PSet(50, 50, 10);
    QCOMPARE(s->pixelAt(100, 100), qRgb(0, 255, 0));
}

// Dots are written straight into the retained image: a copy taken earlier, or the screen's
// picture of it, must not change with them.
void TestDrawingSurface::drawingIsASnapshot()
{
    auto s = makeSurface(100, 100, 100, 100);
    s->show();
    QVERIFY(QTest::qWaitForWindowExposed(s.get()));
    s->setDrawWidth(3);
    s->PSet(20, 20, 12);
    const QImage first = s->drawing();
    const QImage firstOnScreen = s->grab().toImage();
    s->PSet(40, 40, 10);
    s->Line(0, 70, 100, 70, 0x00FFFF);
    s->PSet(60, 60, 9);
    QCOMPARE(first.pixel(20, 20), qRgb(255, 0, 0));
    QCOMPARE(first.pixel(40, 40), s->backgroundRgb());
    QCOMPARE(first.pixel(60, 60), s->backgroundRgb());
    QCOMPARE(firstOnScreen.pixel(40, 40), s->backgroundRgb());
    const QImage second = s->drawing();
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
    s->setDrawWidth(3);
    s->PSet(60, 60, 9);
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
    s->setScaleWidth(200);
    s->setScaleHeight(100);
    auto *control = new QWidget(s);
    control->setGeometry(100, 0, 100, 100);
    control->setAutoFillBackground(true);
    QPalette green = control->palette();
    green.setColor(QPalette::Window, Qt::green);
    control->setPalette(green);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    s->setDrawWidth(3);
    for (int x = 10; x < 200; x += 20)
        s->PSet(static_cast<float>(x), 50, 12);
    s->Line(0, 80, 200, 80, 0x0000FF);
    s->repaintNow();
    const QImage shown = window.screen()
                             ->grabWindow(window.winId())
                             .toImage()
                             .convertToFormat(QImage::Format_RGB32);
    QCOMPARE(shown.copy(10, 20, 100, 100), s->drawing().copy(0, 0, 100, 100));
    QCOMPARE(shown.pixel(40, 70), qRgb(255, 0, 0));
    for (const QPoint at : {QPoint(160, 70), QPoint(160, 100), QPoint(209, 119)})
        QCOMPARE(shown.pixel(at), QColor(Qt::green).rgb());
}

// A dot writer skips a dot on the very pixels of the previous one, but not once a dot at the
// edge has covered part of them in another colour.
void TestDrawingSurface::dotWriterRewritesAfterEdgeDot()
{
    auto s = makeSurface(100, 100, 100, 100);
    s->setDrawWidth(3);
    DrawingSurface::DotWriter dots = s->dotWriter();
    dots.put(1.5f, 50, 12); // whole: columns 0 to 2
    dots.put(0.5f, 50, 10); // at the edge: columns 0 and 1
    dots.put(1.5f, 50, 12);
    dots.finish();
    QCOMPARE(s->pixelAt(0, 50), qRgb(255, 0, 0));
    QCOMPARE(s->pixelAt(2, 50), qRgb(255, 0, 0));
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
