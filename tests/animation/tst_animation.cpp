// SPDX-FileCopyrightText: 2026 The QUORVEL developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "support/TestSupport.h"

#include "animation/AnimationExport.h"
#include "animation/AnimationFrames.h"
#include "animation/GifWriter.h"
#include "explore/ExploreRecipe.h"
#include "explore/ExploreRender.h"
#include "explore/ExploreWindow.h"
#include "model/CurveChain.h"
#include "model/DirectionTable.h"
#include "raster/Palette.h"
#include "raster/RetainedDrawing.h"
#include "shell/Seams.h"

#include <QApplication>
#include <QDialog>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <gif_lib.h>

#include <cstring>
#include <memory>
#include <vector>

using namespace quorvel;
using namespace quorvel::animation;
using namespace quorvel::explore;

namespace {

constexpr QRgb kBackground = 0xffe0e0e0;

// A GIF read back with giflib and played: the picture after each of its images.
struct Played
{
    QSize size;
    QList<QRgb> table;
    std::vector<QImage> shown; // after image i
    std::vector<QRect> boxes;
    std::vector<int> starts; // hundredths of a second from the start, image i
    int length = 0; // hundredths of a second, the whole
    bool loops = false;
    bool leftInPlace = true; // every image after the first lies over the one before

    // What shows at `cs` hundredths of a second from the start.
    const QImage &at(int cs) const
    {
        std::size_t i = 0;
        while (i + 1 < starts.size() && starts[i + 1] <= cs)
            ++i;
        return shown[i];
    }
};

int readBytes(GifFileType *gif, GifByteType *into, int size)
{
    auto *source = static_cast<QByteArray *>(gif->UserData);
    const int n = static_cast<int>(std::min<qsizetype>(size, source->size()));
    std::memcpy(into, source->constData(), static_cast<std::size_t>(n));
    source->remove(0, n);
    return n;
}

Played play(QByteArray bytes)
{
    Played p;
    int error = 0;
    GifFileType *gif = DGifOpen(&bytes, &readBytes, &error);
    if (gif == nullptr || DGifSlurp(gif) != GIF_OK)
        return p;
    p.size = QSize(gif->SWidth, gif->SHeight);
    for (int i = 0; i < gif->SColorMap->ColorCount; ++i) {
        const GifColorType &c = gif->SColorMap->Colors[i];
        p.table << qRgb(c.Red, c.Green, c.Blue);
    }
    QImage canvas(p.size, QImage::Format_RGB32);
    canvas.fill(p.table.value(gif->SBackGroundColor));
    int cs = 0;
    for (int i = 0; i < gif->ImageCount; ++i) {
        const SavedImage &image = gif->SavedImages[i];
        GraphicsControlBlock control {};
        DGifSavedExtensionToGCB(gif, i, &control);
        for (int e = 0; e < image.ExtensionBlockCount; ++e) {
            const ExtensionBlock &b = image.ExtensionBlocks[e];
            if (b.Function == APPLICATION_EXT_FUNC_CODE && b.ByteCount == 11
                && std::memcmp(b.Bytes, "NETSCAPE2.0", 11) == 0)
                p.loops = true;
        }
        if (i > 0 && control.DisposalMode != DISPOSE_DO_NOT)
            p.leftInPlace = false;
        const GifImageDesc &d = image.ImageDesc;
        p.boxes.emplace_back(d.Left, d.Top, d.Width, d.Height);
        for (int y = 0; y < d.Height; ++y) {
            for (int x = 0; x < d.Width; ++x) {
                const int index = image.RasterBits[y * d.Width + x];
                if (index != control.TransparentColor)
                    canvas.setPixel(d.Left + x, d.Top + y, p.table.value(index));
            }
        }
        p.shown.push_back(canvas.copy());
        p.starts.push_back(cs);
        cs += control.DelayTime;
    }
    p.length = cs;
    DGifCloseFile(gif, &error);
    return p;
}

Played playFile(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? play(f.readAll()) : Played {};
}

// The explore window's state for an export: a short run (181 dots), a drawing of 320 x 180.
ExportSource shortRun()
{
    ExportSource s;
    s.texts = startingTexts();
    s.scene = sceneFor(1.0, QSize(640, 360));
    s.canvas = QSize(320, 180);
    s.view = oneToOne(s.scene, s.canvas);
    s.background = kBackground;
    s.finishedDots = 181;
    s.animation = {
        Field::Beta, QStringLiteral("0"), QStringLiteral("90"), QStringLiteral("1"), false, false};
    return s;
}

// The axes and the first `dots` dots of the run of `texts`, drawn from nothing a dot at a time.
QImage firstDots(const ExportSource &s, QSize size, std::size_t dots)
{
    raster::RetainedDrawing d(s.background);
    d.setArea(size);
    const View view = viewForSize(s.view, s.canvas, size);
    drawAxes(d, s.scene, view);
    d.setDrawWidth(model::kDotWidth);
    const Recipe recipe = *readTexts(s.texts).recipe;
    model::DirectionTable directions;
    model::CurveChain chain(directions, s.scene.cx, s.scene.cy);
    model::ColourCycle colour;
    std::size_t k = 0;
    if (dots > 0)
        chain.run(
            1, colour,
            [&recipe](int range) { return recipe.ranges[static_cast<std::size_t>(range - 1)]; },
            [&](const model::ChainPoint &p) {
                d.PSet(static_cast<float>(s.scene.cx - view.left + p.x),
                       static_cast<float>(s.scene.cy - view.top - p.y), p.paletteIndex);
                return ++k < dots;
            });
    return d.drawing();
}

// The whole run of `texts` as the explore window draws it, at the view of a picture of `size`.
QImage wholeRun(const ExportSource &s, const Texts &texts, QSize size)
{
    raster::RetainedDrawing d(s.background);
    d.setArea(size);
    Renderer().render(d, s.scene, viewForSize(s.view, s.canvas, size), *readTexts(texts).recipe);
    return d.drawing();
}

} // namespace

class TestAnimation : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase() { test::filterPlatformNoise(); }
    void writerPlaysBackTheFrames_data();
    void writerPlaysBackTheFrames();
    void lastFrameIsTheDrawing_data();
    void lastFrameIsTheDrawing();
    void constructionFramesAreItsFirstDots();
    void constructionStopsAtTheMostFrames_data();
    void constructionStopsAtTheMostFrames();
    void pictureShowsTheWholeView_data();
    void pictureShowsTheWholeView();
    void exportFromTheWindow();
    void cancellingKeepsTheOldFile();
    void closingWaitsForTheExportToStop();
};

// Frames of 8 x 6 pixels in which some pixels change from one to the next: played back, each
// shows at its time, stored as the rectangle of its changes, with delays that add up.
void TestAnimation::writerPlaysBackTheFrames_data()
{
    QTest::addColumn<int>("fps");
    QTest::addColumn<QString>("changes"); // a letter a frame: which frame repeats the one before
    QTest::addColumn<bool>("loop");
    QTest::newRow("30 fps, every frame new") << 30 << QString(30, QLatin1Char('x')) << true;
    QTest::newRow("25 fps, unchanged frames") << 25 << QStringLiteral("x--xx-x---") << false;
    QTest::newRow("10 fps, one frame") << 10 << QStringLiteral("x") << true;
}

void TestAnimation::writerPlaysBackTheFrames()
{
    QFETCH(int, fps);
    QFETCH(QString, changes);
    QFETCH(bool, loop);
    const QSize size(8, 6);
    const QList<QRgb> colours {kBackground, qRgb(0, 0, 0), qRgb(255, 0, 0)};
    QByteArray bytes;
    GifWriter writer(
        [&bytes](const char *b, std::size_t n) {
            bytes.append(b, static_cast<qsizetype>(n));
            return true;
        },
        size, colours, fps, loop);
    QImage frame(size, QImage::Format_Indexed8);
    frame.setColorTable(colours);
    frame.fill(0);
    std::vector<QImage> given;
    int images = 0;
    for (int k = 0; k < changes.size(); ++k) {
        if (changes[k] == QLatin1Char('x')) {
            if (k > 0)
                frame.setPixel(k % 8, k / 8, 1 + k % 2);
            ++images;
        }
        given.push_back(frame.convertToFormat(QImage::Format_RGB32));
        QVERIFY(changes[k] == QLatin1Char('x') ? writer.add(frame) : writer.repeat());
    }
    QVERIFY(writer.finish());

    const Played played = play(bytes);
    QCOMPARE(played.size, size);
    QCOMPARE(played.loops, loop);
    QVERIFY(played.leftInPlace);
    QCOMPARE(static_cast<int>(played.shown.size()), images);
    for (int k = 0; k < changes.size(); ++k)
        QCOMPARE(played.at(k * 100 / fps), given[static_cast<std::size_t>(k)]);
    for (std::size_t i = 1; i < played.boxes.size(); ++i)
        QCOMPARE(played.boxes[i].size(), QSize(1, 1));
}

// The last frame of an exported animation is the picture a PNG of the drawing would hold,
// pixel for pixel, and the file's colour table holds the background and the 16 palette colours
// at the drawing's own entries.
void TestAnimation::lastFrameIsTheDrawing_data()
{
    QTest::addColumn<int>("what"); // ExportChoice::What
    QTest::addColumn<bool>("bySpeed");
    QTest::addColumn<QString>("lastBeta"); // BETA of the last frame's run
    QTest::newRow("construction at a speed") << 0 << true << QStringLiteral("55");
    QTest::newRow("construction in a duration") << 0 << false << QStringLiteral("55");
    QTest::newRow("parameter animation") << 1 << true << QStringLiteral("90");
}

void TestAnimation::lastFrameIsTheDrawing()
{
    QFETCH(int, what);
    QFETCH(bool, bySpeed);
    QFETCH(QString, lastBeta);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("curva.gif"));
    const ExportSource source = shortRun();
    ExportChoice choice;
    choice.what = static_cast<ExportChoice::What>(what);
    choice.bySpeed = bySpeed;
    choice.dotsPerSecond = 997;
    choice.seconds = 1;
    choice.framesPerSecond = 10;
    choice.size = QSize(240, 160);
    choice.loop = false; // played once, the parameter's last frame is at its last value
    const ExportResult result = writeAnimation(path, source, choice);
    QCOMPARE(result.reason, QString());
    QVERIFY(!result.cut);

    const Played played = playFile(path);
    QVERIFY(played.shown.size() > 1);
    Texts last = source.texts;
    last[Field::Beta] = lastBeta;
    QCOMPARE(played.shown.back(), wholeRun(source, last, choice.size));
    QCOMPARE(played.table.size(), 32);
    QCOMPARE(played.table[0], kBackground);
    for (int i = 0; i < raster::kPaletteSize; ++i)
        QCOMPARE(played.table[1 + i], raster::toRgb(raster::kPalette[i]));
}

// The construction's frame k holds the first round(k x speed / fps) dots: the same picture as
// those dots drawn from nothing; every image after the first is smaller than the whole.
void TestAnimation::constructionFramesAreItsFirstDots()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("curva.gif"));
    const ExportSource source = shortRun();
    ExportChoice choice;
    choice.dotsPerSecond = 333;
    choice.framesPerSecond = 25; // 13.32 dots a frame
    choice.size = source.canvas;
    QCOMPARE(writeAnimation(path, source, choice).reason, QString());
    const Played played = playFile(path);
    QVERIFY(played.shown.size() > 10);
    for (int k : {0, 1, 2, 7, 13}) {
        const auto dots = static_cast<std::size_t>(std::llround(k * 333.0 / 25));
        QCOMPARE(played.at(k * 4), firstDots(source, choice.size, dots));
    }
    for (std::size_t i = 1; i < played.boxes.size(); ++i)
        QVERIFY(played.boxes[i].width() * played.boxes[i].height()
                < choice.size.width() * choice.size.height());
}

// A run longer than the most frames allowed can show stops at the last of them and says it
// was cut; one that ends in time is whole.
void TestAnimation::constructionStopsAtTheMostFrames_data()
{
    QTest::addColumn<double>("dotsPerFrame");
    QTest::addColumn<qint64>("maxFrames");
    QTest::addColumn<bool>("cut");
    QTest::addColumn<qint64>("frames");
    QTest::addColumn<qint64>("dots");
    QTest::newRow("cut") << 10.0 << qint64 {5} << true << qint64 {5} << qint64 {40};
    QTest::newRow("ends at the last frame")
        << 45.25 << qint64 {5} << false << qint64 {5} << qint64 {181};
    QTest::newRow("ends before") << 100.0 << qint64 {5} << false << qint64 {3} << qint64 {181};
    QTest::newRow("slower than a dot a frame")
        << 0.25 << qint64 {9} << true << qint64 {9} << qint64 {2};
}

void TestAnimation::constructionStopsAtTheMostFrames()
{
    QFETCH(double, dotsPerFrame);
    QFETCH(qint64, maxFrames);
    QFETCH(bool, cut);
    QFETCH(qint64, frames);
    QFETCH(qint64, dots);
    const ExportSource source = shortRun();
    Construction c {*readTexts(source.texts).recipe, source.scene, source.view, dotsPerFrame,
                    maxFrames};
    raster::RetainedDrawing drawing(kBackground);
    drawing.setArea(QSize(64, 36));
    const Drawn drawn
        = drawConstruction(drawing, c, [](const raster::RetainedDrawing &, bool) { return true; });
    QCOMPARE(drawn.cut, cut);
    QCOMPARE(drawn.frames, frames);
    QCOMPARE(static_cast<qint64>(drawn.dots), dots);
}

// The view of a picture of another size holds all the window shows, about the same middle, a
// unit across and a unit down keeping their ratio of pixels, and one side fills it.
void TestAnimation::pictureShowsTheWholeView_data()
{
    QTest::addColumn<QSize>("canvas");
    QTest::addColumn<QSize>("size");
    QTest::newRow("wider picture") << QSize(902, 810) << QSize(1920, 1080);
    QTest::newRow("taller picture") << QSize(1600, 400) << QSize(1280, 720);
    QTest::newRow("smaller picture") << QSize(320, 180) << QSize(240, 160);
}

void TestAnimation::pictureShowsTheWholeView()
{
    QFETCH(QSize, canvas);
    QFETCH(QSize, size);
    const View shown {-30.5, 12.25, 401.0, 250.0};
    const View v = viewForSize(shown, canvas, size);
    QVERIFY(v.left <= shown.left + 1e-9 && v.left + v.width >= shown.left + shown.width - 1e-9);
    QVERIFY(v.top <= shown.top + 1e-9 && v.top + v.height >= shown.top + shown.height - 1e-9);
    QVERIFY(qFuzzyCompare(v.left + v.width / 2, shown.left + shown.width / 2));
    QVERIFY(qFuzzyCompare(v.top + v.height / 2, shown.top + shown.height / 2));
    const double across = size.width() / v.width / (canvas.width() / shown.width);
    const double down = size.height() / v.height / (canvas.height() / shown.height);
    QVERIFY(qFuzzyCompare(across, down));
    QVERIFY(qFuzzyCompare(v.width, shown.width) || qFuzzyCompare(v.height, shown.height));
}

// From the explore window: the dialog as it opens, the save dialog offering "curva.gif", the
// file written whole at the name chosen (".gif" added) with the finished run fitted to ten
// seconds.
void TestAnimation::exportFromTheWindow()
{
    ExploreWindow window(nullptr);
    window.resize(1000, 700);
    window.show();
    QTRY_VERIFY(window.finishedDots().has_value());
    QTemporaryDir dir;
    SaveRequest asked;
    const ScopedPathAsker asker([&](QWidget *, const SaveRequest &request) {
        asked = request;
        return dir.filePath(QStringLiteral("lezione"));
    });
    test::MessageRecorder boxes;
    QTimer::singleShot(0, [] {
        if (QWidget *dialog = QApplication::activeModalWidget())
            static_cast<QDialog *>(dialog)->accept();
    });
    exportAnimation(window);
    QCOMPARE(asked.suggestedName, QStringLiteral("curva.gif"));
    QCOMPARE(boxes.messages, QStringList());
    const Played played = playFile(dir.filePath(QStringLiteral("lezione.gif")));
    QCOMPARE(played.size, window.canvas()->size());
    QVERIFY(played.loops);
    // Frames 0 to 250 at 25 a second: the axes alone, then the run in ten seconds.
    QCOMPARE(played.length, 1004);
}

// Stopped halfway (Annulla), the export leaves no file of its own and the old file as it was.
void TestAnimation::cancellingKeepsTheOldFile()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("curva.gif"));
    QFile old(path);
    QVERIFY(old.open(QIODevice::WriteOnly));
    old.write("vecchio");
    old.close();
    ExportChoice choice;
    choice.size = QSize(64, 36);
    choice.dotsPerSecond = 100;
    const ExportResult result
        = writeAnimation(path, shortRun(), choice, [](std::size_t done) { return done < 3; });
    QCOMPARE(result.reason, QStringLiteral("annullato"));
    QCOMPARE(QDir(dir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot),
             QStringList {QStringLiteral("curva.gif")});
    QVERIFY(old.open(QIODevice::ReadOnly));
    QCOMPARE(old.readAll(), QByteArray("vecchio"));
}

// Closed during an export, the explore window asks it to stop and closes only once it has.
void TestAnimation::closingWaitsForTheExportToStop()
{
    ExploreWindow window(nullptr);
    window.show();
    bool asked = false;
    window.setStopOnClose([&asked] { asked = true; });
    window.close();
    QVERIFY(asked);
    QVERIFY(window.isVisible());
    window.clearStopOnClose();
    QTRY_VERIFY(!window.isVisible());
}

QTEST_MAIN(TestAnimation)
#include "tst_animation.moc"
