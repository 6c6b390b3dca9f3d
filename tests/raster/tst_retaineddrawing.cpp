// SPDX-FileCopyrightText: 2026 The QUORVEL developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "raster/DrawingError.h"
#include "raster/RetainedDrawing.h"
#include "support/DrawingSupport.h"

#include <QPainter>
#include <QProcess>
#include <QTest>

#include <cmath>
#include <limits>
#include <memory>

using namespace quorvel;
using namespace quorvel::raster;
using test::RecordingObserver;
using test::SurfaceOp;

namespace {
// The dialog face colour of the platform's standard palette.
constexpr QRgb kBackground = 0xffefefef;
} // namespace

// The drawing without a window: its pixels, its scale, what it tells it changed and how it
// paints. No application object, no platform plugin.
class TestRetainedDrawing : public QObject
{
    Q_OBJECT
private slots:
    void paletteColours_data();
    void paletteColours();
    void userScaleMapsToPixels_data();
    void userScaleMapsToPixels();
    void penWidthCoversPixels_data();
    void penWidthCoversPixels();
    void clippingIsSilent_data();
    void clippingIsSilent();
    void lineDrawsFullSpan();
    void linePixelsAsQtPaintsThem_data();
    void linePixelsAsQtPaintsThem();
    void manyColoursStayExact();
    void observerSeesExactOperations();
    void dotWriterRewritesAfterEdgeDot();
    void changedAreaCoversWhatWasDrawn_data();
    void changedAreaCoversWhatWasDrawn();
    void paintGivesTheDrawing_data();
    void paintGivesTheDrawing();
    void invalidPaletteIndexEndsProcess();

private:
    static std::unique_ptr<RetainedDrawing> makeDrawing(int w, int h, float sw, float sh);
};

std::unique_ptr<RetainedDrawing> TestRetainedDrawing::makeDrawing(int w, int h, float sw, float sh)
{
    auto d = std::make_unique<RetainedDrawing>(kBackground);
    d->setArea(QSize(w, h));
    d->setScaleWidth(sw);
    d->setScaleHeight(sh);
    return d;
}

void TestRetainedDrawing::paletteColours_data()
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

void TestRetainedDrawing::paletteColours()
{
    QFETCH(int, index);
    QFETCH(int, r);
    QFETCH(int, g);
    QFETCH(int, b);
    const ColourValue value = QBColor(index);
    QCOMPARE(value, ColourValue(r | (g << 8) | (b << 16)));
    auto s = makeDrawing(10, 10, 10, 10);
    s->setDrawWidth(1);
    s->PSet(5, 5, index);
    QCOMPARE(s->pixelAt(5, 5), qRgb(r, g, b));
}

void TestRetainedDrawing::userScaleMapsToPixels_data()
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

void TestRetainedDrawing::userScaleMapsToPixels()
{
    QFETCH(float, scaleWidth);
    QFETCH(float, scaleHeight);
    QFETCH(float, x);
    QFETCH(float, y);
    QFETCH(QPoint, pixel);
    auto s = makeDrawing(400, 300, scaleWidth, scaleHeight);
    s->PSet(x, y, 12);
    QCOMPARE(s->pixelAt(pixel.x(), pixel.y()), qRgb(255, 0, 0));
    QCOMPARE(test::countPixels(s->drawing(), qRgb(255, 0, 0)), 1);
}

void TestRetainedDrawing::penWidthCoversPixels_data()
{
    QTest::addColumn<int>("width");
    QTest::addColumn<QRect>("covered");
    QTest::newRow("one pixel") << 1 << QRect(50, 50, 1, 1);
    QTest::newRow("2x2") << 2 << QRect(50, 50, 2, 2);
    QTest::newRow("3x3") << 3 << QRect(49, 49, 3, 3);
}

void TestRetainedDrawing::penWidthCoversPixels()
{
    QFETCH(int, width);
    QFETCH(QRect, covered);
    auto s = makeDrawing(100, 100, 100, 100);
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

void TestRetainedDrawing::clippingIsSilent_data()
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

void TestRetainedDrawing::clippingIsSilent()
{
    QFETCH(float, x);
    QFETCH(float, y);
    QFETCH(int, litPixels);
    auto s = makeDrawing(100, 100, 100, 100);
    s->setDrawWidth(3);
    s->PSet(x, y, 15);
    QCOMPARE(test::countPixels(s->drawing(), qRgb(255, 255, 255)), litPixels);
}

void TestRetainedDrawing::lineDrawsFullSpan()
{
    auto s = makeDrawing(200, 100, 1000, 510);
    s->setDrawWidth(2);
    s->Line(430, 0, 430, 510, 0);
    s->Line(0, 305, 1000, 305, 0);
    // The vertical axis runs over the whole height, the horizontal one over the whole width.
    for (int y = 0; y < 100; ++y)
        QCOMPARE(s->pixelAt(86, y), qRgb(0, 0, 0));
    for (int x = 0; x < 200; ++x)
        QCOMPARE(s->pixelAt(x, 59), qRgb(0, 0, 0));
}

void TestRetainedDrawing::linePixelsAsQtPaintsThem_data()
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
void TestRetainedDrawing::linePixelsAsQtPaintsThem()
{
    QFETCH(int, pen);
    QFETCH(QLineF, line);
    QFETCH(uint, colour);
    auto s = makeDrawing(600, 400, 600, 400);
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
void TestRetainedDrawing::manyColoursStayExact()
{
    auto s = makeDrawing(400, 310, 400, 310);
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

void TestRetainedDrawing::observerSeesExactOperations()
{
    RecordingObserver rec;
    RetainedDrawing s(kBackground);
    s.setArea(QSize(100, 100));
    s.setObserver(&rec);
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

// A dot writer skips a dot on the very pixels of the previous one, but not once a dot at the
// edge has covered part of them in another colour.
void TestRetainedDrawing::dotWriterRewritesAfterEdgeDot()
{
    auto s = makeDrawing(100, 100, 100, 100);
    s->setDrawWidth(3);
    DotWriter dots = s->dotWriter();
    dots.put(1.5f, 50, 12); // whole: columns 0 to 2
    dots.put(0.5f, 50, 10); // at the edge: columns 0 and 1
    dots.put(1.5f, 50, 12);
    dots.finish();
    QCOMPARE(s->pixelAt(0, 50), qRgb(255, 0, 0));
    QCOMPARE(s->pixelAt(2, 50), qRgb(255, 0, 0));
}

void TestRetainedDrawing::changedAreaCoversWhatWasDrawn_data()
{
    QTest::addColumn<QString>("what");
    QTest::newRow("dots through a writer") << "writer";
    QTest::newRow("dots at the edge, pen 2") << "edge";
    QTest::newRow("a line") << "line";
    QTest::newRow("Cls") << "cls";
}

// Whoever shows the drawing updates only the changed area it takes: every pixel drawn lies in
// it, and the listener hears once per batch, however many operations it holds.
void TestRetainedDrawing::changedAreaCoversWhatWasDrawn()
{
    QFETCH(QString, what);
    auto s = makeDrawing(200, 150, 200, 150);
    s->setDrawWidth(3);
    s->PSet(100, 100, 4); // something for Cls to erase
    QVERIFY(!s->takeChangedArea().isEmpty());
    int heard = 0;
    s->setChangeListener([&heard] { ++heard; });
    const QImage before = s->drawing();
    if (what == "writer") {
        DotWriter dots = s->dotWriter();
        for (int i = 0; i < 40; ++i)
            dots.put(20.0f + float(i), 30.0f + float(i) / 2, 9);
        dots.finish();
        dots.finish();
    } else if (what == "edge") {
        s->setDrawWidth(2);
        s->PSet(0, 10, 12);
        s->PSet(199.5f, 149.5f, 12);
    } else if (what == "line") {
        s->Line(10, 140, 190, 20, 0x00FF00);
    } else {
        s->Cls();
    }
    const QImage after = s->drawing();
    const QRect changed = s->takeChangedArea();
    QCOMPARE(heard, 1);
    int differing = 0;
    for (int y = 0; y < after.height(); ++y) {
        for (int x = 0; x < after.width(); ++x) {
            if (after.pixel(x, y) == before.pixel(x, y))
                continue;
            ++differing;
            QVERIFY2(changed.contains(x, y),
                     qPrintable(QStringLiteral("pixel %1,%2").arg(x).arg(y)));
        }
    }
    QVERIFY(differing > 0);
    QVERIFY(s->takeChangedArea().isEmpty());
    s->PSet(5, 5, 1);
    QCOMPARE(heard, 2);
}

void TestRetainedDrawing::paintGivesTheDrawing_data()
{
    QTest::addColumn<QImage::Format>("format"); // of the image painted into
    QTest::addColumn<bool>("direct"); // a drawing of more colours than a table holds
    QTest::newRow("indexed into 32-bit, in place") << QImage::Format_RGB32 << false;
    QTest::newRow("indexed into premultiplied, in place")
        << QImage::Format_ARGB32_Premultiplied << false;
    QTest::newRow("indexed into 24-bit, through a band") << QImage::Format_RGB888 << false;
    QTest::newRow("direct colour") << QImage::Format_RGB32 << true;
}

// A part of the drawing painted at an offset, as a window with controls around it does: the
// very pixels of the drawing where it shows, the target untouched elsewhere.
void TestRetainedDrawing::paintGivesTheDrawing()
{
    QFETCH(QImage::Format, format);
    QFETCH(bool, direct);
    auto s = makeDrawing(120, 90, 120, 90);
    s->setDrawWidth(3);
    for (int i = 0; i < 12; ++i)
        s->PSet(float(5 + 9 * i), float(7 + 6 * i), i % 16);
    s->Line(0, 45, 120, 45, 0x123456);
    if (direct) {
        for (int i = 0; i < 260; ++i)
            s->Line(0, 80, 120, 80, ColourValue(0x010101u * uint(i)));
    }
    QImage target(140, 110, format);
    target.fill(Qt::green);
    const QRect part(10, 20, 100, 60);
    {
        QPainter p(&target);
        p.translate(7, 9);
        s->paint(p, part);
    }
    const QImage drawing = s->drawing();
    const QImage shown = target.convertToFormat(QImage::Format_RGB32);
    for (int y = 0; y < shown.height(); ++y) {
        for (int x = 0; x < shown.width(); ++x) {
            const QPoint at(x - 7, y - 9);
            const QRgb want = part.contains(at) ? drawing.pixel(at) : QColor(Qt::green).rgb();
            QVERIFY2(shown.pixel(x, y) == want,
                     qPrintable(QStringLiteral("pixel %1,%2").arg(x).arg(y)));
        }
    }
}

// Without a window to report it in, a run-time error of the drawing still ends the process,
// with its message on stderr.
void TestRetainedDrawing::invalidPaletteIndexEndsProcess()
{
    QProcess probe;
    probe.start(QStringLiteral(DRAWING_ERROR_PROBE), {QStringLiteral("16")});
    QVERIFY(probe.waitForFinished(30000));
    QCOMPARE(probe.exitStatus(), QProcess::NormalExit);
    QCOMPARE(probe.exitCode(), kDrawingErrorExitStatus);
    const QString out = QString::fromLocal8Bit(probe.readAllStandardOutput());
    const QString err = QString::fromLocal8Bit(probe.readAllStandardError());
    QVERIFY2(!out.contains("PSet returned"), qPrintable(out));
    QVERIFY2(err.contains(QStringLiteral("QBColor 16")), qPrintable(err));
}

QTEST_APPLESS_MAIN(TestRetainedDrawing)
#include "tst_retaineddrawing.moc"
