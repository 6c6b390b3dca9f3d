// SPDX-FileCopyrightText: 2026 The QUORVEL developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "explore/ExploreRecipe.h"
#include "explore/ExploreRender.h"
#include "model/CurveChain.h"
#include "model/DirectionTable.h"
#include "player/ConstructionPlayer.h"
#include "raster/Palette.h"

#include <QTest>

#include <optional>

using namespace quorvel;
using namespace quorvel::explore;
using quorvel::player::ConstructionPlayer;

namespace {

// The eleven texts in the panel's order: epsilon, BETA, t, increments, then From/To of each range.
struct Fields
{
    QStringList texts;
    bool cosine = false;
};

Recipe recipeOf(const Fields &fields)
{
    Texts t = startingTexts();
    for (int i = 0; i < kFieldCount; ++i)
        t.text[static_cast<std::size_t>(i)] = fields.texts.at(i);
    t.cosine = fields.cosine;
    const Reading reading = readTexts(t);
    if (!reading.recipe)
        qFatal("refused recipe");
    return *reading.recipe;
}

// The run's first n dots as the explore window draws them.
QImage referenceDrawing(const Recipe &recipe, const Scene &scene, const View &view, QSize canvas,
                        qreal dpr, std::size_t n)
{
    raster::RetainedDrawing drawing(qRgb(255, 255, 255));
    drawing.setArea(canvas, dpr);
    Renderer renderer;
    renderer.limitDots(n);
    renderer.render(drawing, scene, view, recipe);
    return drawing.drawing();
}

// The whole run, and its n-th point (from 1) when there is one.
struct PlainRun
{
    model::RunOutcome outcome;
    std::optional<model::ChainPoint> point;
    std::optional<model::ChainPoint> previous;
};

PlainRun plainRun(const Recipe &recipe, const Scene &scene, std::uint64_t n)
{
    model::DirectionTable directions;
    model::CurveChain chain(directions, scene.cx, scene.cy);
    model::ColourCycle colour;
    PlainRun out;
    std::uint64_t seen = 0;
    out.outcome = chain.run(
        1, colour,
        [&recipe](int range) { return recipe.ranges[static_cast<std::size_t>(range - 1)]; },
        [&](const model::ChainPoint &p) {
            ++seen;
            if (seen + 1 == n)
                out.previous = p;
            if (seen == n)
                out.point = p;
            return true;
        });
    return out;
}

} // namespace

class TestPlayer : public QObject
{
    Q_OBJECT
private slots:
    void drawingIsTheRunsFirstDots_data();
    void drawingIsTheRunsFirstDots();
    void viewOfNoSizeWaits();
    void endOfAnEndlessRunIsSoughtInPieces();
};

// Moves: f one dot forward, b one back, s<n> dot n, h the first dot, e the last, v a closer view
// (then the whole one again at the next v).
void TestPlayer::drawingIsTheRunsFirstDots_data()
{
    QTest::addColumn<QStringList>("texts");
    QTest::addColumn<bool>("cosine");
    QTest::addColumn<QString>("moves");
    QTest::addColumn<qreal>("dpr");
    QTest::addColumn<QSize>("canvas");

    QTest::newRow("one range") << QStringList {"0,86", "55", "1", "1", "1", "0",
                                               "400",  "0",  "0", "0", "0"}
                               << false << "f f f b s200 b b f e b h f s5000" << 1.0
                               << QSize(320, 240);
    QTest::newRow("three ranges, colours changing")
        << QStringList {"2", "70", "3", "1", "1", "0", "40", "100", "-30", "7", "90"} << false
        << "s39 f f f s140 b b b s200 v f b e h e" << 1.0 << QSize(320, 240);
    QTest::newRow("leaves the field")
        << QStringList {"9", "20", "0,2", "1", "1", "0", "3000", "0", "0", "0", "0"} << false
        << "e b b f f f s10 v e" << 1.0 << QSize(320, 240);
    QTest::newRow("cosine, dense screen")
        << QStringList {"0,3", "55", "1", "1", "1", "-720", "720", "0", "0", "0", "0"} << true
        << "s700 v f b b s1300 v b e" << 2.0 << QSize(320, 240);
    QTest::newRow("long spans") << QStringList {"0,004", "80", "0,0001", "1", "1", "0",
                                                "90000", "-5", "-60000", "0", "0"}
                                << false << "s4100 f b s65536 f f b s70000 b v s90001 f f b e s60 h"
                                << 1.0 << QSize(320, 240);
    QTest::newRow("no dots") << QStringList {"0,86", "55", "1", "1", "1", "0",
                                             "0",    "0",  "0", "0", "0"}
                             << false << "f e b s3 h" << 1.0 << QSize(320, 240);
    QTest::newRow("many parts") << QStringList {"0,86",   "137,6",  "1",     "1",
                                                "1",      "-32768", "32767", "32767",
                                                "-32768", "-30000", "30000"}
                                << false << "e s120000 b s30000 b f s191000 b h" << 1.0
                                << QSize(80, 60);
}

void TestPlayer::drawingIsTheRunsFirstDots()
{
    QFETCH(QStringList, texts);
    QFETCH(bool, cosine);
    QFETCH(QString, moves);
    QFETCH(qreal, dpr);
    QFETCH(QSize, canvas);
    const Recipe recipe = recipeOf({texts, cosine});
    const Scene scene = sceneFor(0.8, QSize(640, 480));
    const View whole = oneToOne(scene, canvas);
    const View closer = zoomedAbout(scene, whole, canvas, QPointF(170, 90), 3);
    View view = whole;
    const PlainRun all = plainRun(recipe, scene, 0);

    ConstructionPlayer player(recipe, scene, qRgb(255, 255, 255));
    player.setView(view, canvas, dpr);
    for (const QString &move : moves.split(QLatin1Char(' '))) {
        switch (move.at(0).toLatin1()) {
        case 'f':
            player.stepForward();
            break;
        case 'b':
            player.stepBack();
            break;
        case 's':
            player.seek(move.mid(1).toULongLong());
            break;
        case 'h':
            player.toStart();
            break;
        case 'e':
            player.toEnd();
            break;
        case 'v':
            view = view.width == whole.width ? closer : whole;
            player.setView(view, canvas, dpr);
            break;
        default:
            QFAIL("unknown move");
        }
        int calls = 0;
        while (!player.work(5.0))
            QVERIFY(++calls < 100000);
        const std::uint64_t n = player.position();
        QCOMPARE(player.target(), n);
        QVERIFY2(n <= all.outcome.points, qPrintable(move));
        QVERIFY2(player.drawing().drawing()
                     == referenceDrawing(recipe, scene, view, canvas, dpr, n),
                 qPrintable(QStringLiteral("%1: %2 dots").arg(move).arg(n)));
        if (move == QLatin1String("e")) {
            QCOMPARE(n, all.outcome.points);
            QCOMPARE(player.length(), std::optional<std::uint64_t>(n));
            RunResult result;
            result.outcome = all.outcome;
            QCOMPARE(player.endText(), std::optional<QString>(endText(result)));
        }
        const PlainRun at = plainRun(recipe, scene, n);
        const std::optional<player::DotFacts> facts = player.facts(n);
        QCOMPARE(facts.has_value(), at.point.has_value());
        if (at.point) {
            QCOMPARE(facts->number, n);
            QCOMPARE(facts->range, at.point->range);
            // Bit for bit: QCOMPARE compares doubles within a tolerance.
            QVERIFY(facts->alfa == at.point->alfa);
            QCOMPARE(facts->a2, at.point->a2);
            QVERIFY(facts->x == at.point->x);
            QVERIFY(facts->y == at.point->y);
            QCOMPARE(facts->paletteIndex, at.point->paletteIndex);
            QCOMPARE(facts->previous.has_value(), at.previous.has_value());
            // The latest dot lies where canvasPoint() says, in its colour.
            const QPointF where = player.canvasPoint(facts->x, facts->y);
            if (QRectF(QPointF(0, 0), QSizeF(canvas)).contains(where))
                QCOMPARE(player.drawing().pixelAt(static_cast<int>(where.x()),
                                                  static_cast<int>(where.y())),
                         raster::toRgb(raster::QBColor(facts->paletteIndex)));
            if (at.previous)
                QVERIFY(facts->previous->x() == at.previous->x
                        && facts->previous->y() == at.previous->y);
        }
    }
    QVERIFY(!player.facts(all.outcome.points + 1));
}

// A view of no size or an empty canvas draws nothing and ends nothing; the dots come with the
// next view that can show them.
void TestPlayer::viewOfNoSizeWaits()
{
    const Recipe recipe = *readTexts(startingTexts()).recipe;
    const Scene scene = sceneFor(0.8, QSize(640, 480));
    const QSize canvas(320, 240);
    ConstructionPlayer player(recipe, scene, qRgb(255, 255, 255));
    player.seek(50);
    player.setView(View {0, 0, 0, 0}, canvas, 1.0);
    QVERIFY(player.work(5));
    player.setView(oneToOne(scene, canvas), QSize(), 1.0);
    QVERIFY(player.work(5));
    player.setView(oneToOne(scene, canvas), canvas, 1.0);
    QVERIFY(player.work(1000));
    QCOMPARE(player.position(), std::uint64_t {50});
    QVERIFY(player.drawing().drawing()
            == referenceDrawing(recipe, scene, oneToOne(scene, canvas), canvas, 1.0, 50));
}

// The last dot of a run of 10^10 dots is sought a piece of work at a time; a step back then
// stops the search one dot before where the drawing stands.
void TestPlayer::endOfAnEndlessRunIsSoughtInPieces()
{
    const Recipe recipe = recipeOf(
        {{"0,000001", "55", "0,000001", "0,001", "0,001", "0", "10000000000", "0", "0", "0", "0"}});
    const Scene scene = sceneFor(0.8, QSize(640, 480));
    const QSize canvas(320, 240);
    ConstructionPlayer player(recipe, scene, qRgb(255, 255, 255));
    player.setView(oneToOne(scene, canvas), canvas, 1.0);
    player.toEnd();
    QVERIFY(!player.work(2));
    QVERIFY(!player.work(2));
    const std::uint64_t reached = player.position();
    QVERIFY(reached > 0);
    QVERIFY(!player.length());
    player.stepBack();
    QCOMPARE(player.target(), reached - 1);
    QVERIFY(player.work(0));
    QCOMPARE(player.position(), reached - 1);
    QVERIFY(player.drawing().drawing()
            == referenceDrawing(recipe, scene, oneToOne(scene, canvas), canvas, 1.0, reached - 1));
}

QTEST_GUILESS_MAIN(TestPlayer)
#include "tst_player.moc"
