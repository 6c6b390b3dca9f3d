// SPDX-FileCopyrightText: 2026 The QUORVEL developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "curve/Form4.h"
#include "lesson/LessonActions.h"
#include "picture/PictureFiles.h"
#include "shell/FormRegistry.h"
#include "support/TestSupport.h"

#include <QTemporaryDir>
#include <QTest>

#include <memory>
#include <tuple>
#include <vector>

using namespace quorvel;
using namespace quorvel::curve;
using namespace quorvel::model;
using namespace quorvel::lesson;

namespace {

using Dot = std::tuple<double, double, int>;

std::vector<Dot> dotsOf(const Form4 &form)
{
    struct Collect : raster::DotVisitor
    {
        std::vector<Dot> dots;
        bool dot(const raster::RecordedDot &d) override
        {
            dots.emplace_back(d.x, d.y, d.paletteIndex);
            return true;
        }
    } collect;
    for (const auto &entry : form.surface()->raster().record().entries()) {
        if (const auto *dots = std::get_if<raster::RecordedDots>(&entry))
            dots->source->replayDots(collect);
    }
    return collect.dots;
}

bool sameMembers(const CurveMembers &a, const CurveMembers &b)
{
    return a.INX == b.INX && a.INY == b.INY && a.EP1 == b.EP1 && a.BETA1 == b.BETA1 && a.Ve == b.Ve
        && a.ContaStep == b.ContaStep && a.ValStep == b.ValStep && a.DaA1 == b.DaA1
        && a.AA1 == b.AA1 && a.Miocolor == b.Miocolor && a.A2 == b.A2;
}

} // namespace

// Lessons opened from files and pictures, examples, undo and redo, through the curve window.
class TestLesson : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();
    void openingReplaysTheSameRuns();
    void stoppedRunEndsWhereItStopped_data();
    void stoppedRunEndsWhereItStopped();
    void otherCalibrationKeepsTheFilesLimits();
    void undoAndRedo();
    void badFileChangesNothing();
    void picturesKeepTheRecipe_data();
    void picturesKeepTheRecipe();
    void legendNamesEachRun();
    void recentFilesKeepEight();
    void examplesDrawWithinTheField();

private:
    Form4 &form() { return m_registry->formAs<Form4>(QStringLiteral("Form4")); }
    void runWith(const QList<std::pair<int, QString>> &texts, bool cosine = false);
    std::unique_ptr<FormRegistry> m_registry;
    std::unique_ptr<test::MessageRecorder> m_messages;
    QTemporaryDir m_dir;
    double m_incr = 0.51;
};

void TestLesson::initTestCase()
{
    test::filterPlatformNoise();
    // The recent files go to a settings file of the test's own.
    qputenv("XDG_CONFIG_HOME", m_dir.filePath(QStringLiteral("config")).toUtf8());
}

void TestLesson::init()
{
    m_incr = 0.51;
    m_messages = std::make_unique<test::MessageRecorder>();
    m_registry = std::make_unique<FormRegistry>();
    m_registry->addFactory(QStringLiteral("Form4"), [this](FormRegistry &r) {
        return std::make_unique<Form4>(r, [this] { return Variant::real(m_incr); });
    });
    form().show();
    QVERIFY(QTest::qWaitForWindowActive(form().window()));
}

void TestLesson::cleanup()
{
    m_registry.reset();
    m_messages.reset();
}

void TestLesson::runWith(const QList<std::pair<int, QString>> &texts, bool cosine)
{
    for (const auto &[n, text] : texts)
        form().field(n)->setText(text);
    (cosine ? form().Option2() : form().Option1())->setChecked(true);
    form().Command5_Click();
}

// Three runs (one with a refused epsilon that keeps the earlier value, one in cosine, one out
// of the field) come back from the file dot for dot, pixel for pixel, with the same members.
void TestLesson::openingReplaysTheSameRuns()
{
    runWith({});
    runWith({{10, QStringLiteral("abc")}, {11, QStringLiteral("200")}, {4, QStringLiteral("720")}},
            true);
    runWith({{10, QStringLiteral("0,9")}, {11, QStringLiteral("0")}, {4, QStringLiteral("1000")}});
    // The refused epsilon at ranges 1 and 2 (emptied at the first), then out of the field.
    QCOMPARE(m_messages->messages.size(), 3);
    const Lesson saved = lessonOf(form());
    QCOMPARE(saved.runs.size(), std::size_t {3});
    QCOMPARE(saved.runs[2].end, End::OutOfField);
    const std::vector<Dot> dots = dotsOf(form());
    const QImage image = form().surface()->raster().drawing();
    const CurveMembers members = form().members();

    runWith({{1, QStringLiteral("2")}, {4, QStringLiteral("90")}, {10, QStringLiteral("0,5")}});
    const ReadResult read = lesson::read(write(saved));
    QVERIFY2(read.lesson, qPrintable(read.error));
    QVERIFY(openLesson(form(), *read.lesson).isEmpty());
    QCOMPARE(m_messages->messages.size(), 3); // opening shows none
    QVERIFY(dotsOf(form()) == dots);
    QCOMPARE(form().surface()->raster().drawing(), image);
    QVERIFY(sameMembers(form().members(), members));
    QVERIFY(lessonOf(form()) == saved);
}

// A run stopped by the user comes back with as many dots as it had, whether its dots come a
// stretch at a time or, for steps of one direction over thousands of points, a span at a time.
using FieldTexts = QList<std::pair<int, QString>>;

void TestLesson::stoppedRunEndsWhereItStopped_data()
{
    QTest::addColumn<FieldTexts>("texts");
    QTest::addColumn<int>("dots");
    QTest::newRow("stretches") << FieldTexts {} << 100;
    QTest::newRow("spans") << FieldTexts {{1, QStringLiteral("0,001")},
                                          {2, QStringLiteral("0,001")},
                                          {10, QStringLiteral("0,000001")},
                                          {12, QStringLiteral("0,000001")},
                                          {4, QStringLiteral("100000")}}
                           << 20000;
}

void TestLesson::stoppedRunEndsWhereItStopped()
{
    QFETCH(FieldTexts, texts);
    QFETCH(int, dots);
    for (const auto &[n, text] : texts)
        form().field(n)->setText(text);
    Lesson l;
    l.fields = lessonOf(form()).fields;
    SavedRun run;
    run.fields = l.fields;
    run.dots = static_cast<std::size_t>(dots);
    run.end = End::Stopped;
    l.runs.push_back(run);
    openLesson(form(), l);
    QCOMPARE(dotsOf(form()).size(), static_cast<std::size_t>(dots));
    QCOMPARE(form().lastRun().points(), static_cast<std::size_t>(dots));
    QCOMPARE(form().lastRun().end, model::RunSummary::End::Stopped);
}

// A lesson drawn where the field was taller: each run still ends where it ended there, and the
// user is told.
void TestLesson::otherCalibrationKeepsTheFilesLimits()
{
    // Upwards until |Y11| passes CY: 305 at 0,51.
    runWith({{11, QStringLiteral("90")}, {12, QStringLiteral("0")}, {4, QStringLiteral("1000")}});
    const Lesson saved = lessonOf(form());
    const std::size_t dots = dotsOf(form()).size();
    m_incr = 0.4;
    QVERIFY(!openLesson(form(), saved).isEmpty());
    QCOMPARE(dotsOf(form()).size(), dots);
    // Saved again here, the lesson keeps the limits its runs were drawn with.
    QCOMPARE(lessonOf(form()).calibration, 0.51);
}

// Undo takes the last run away and gives the next run its colour; redo brings it back.
void TestLesson::undoAndRedo()
{
    runWith({});
    const QImage afterFirst = form().surface()->raster().drawing();
    const CurveMembers membersAfterFirst = form().members();
    runWith({{11, QStringLiteral("120")}});
    const std::vector<Dot> dotsAfterSecond = dotsOf(form());
    const QImage afterSecond = form().surface()->raster().drawing();
    const CurveMembers membersAfterSecond = form().members();

    QVERIFY(form().canUndo());
    form().undoLastRun();
    QVERIFY(sameMembers(form().members(), membersAfterFirst));
    QCOMPARE(form().surface()->raster().drawing(), afterFirst);
    form().redoRun();
    QVERIFY(sameMembers(form().members(), membersAfterSecond));
    QCOMPARE(form().surface()->raster().drawing(), afterSecond);
    QVERIFY(!form().canRedo());

    form().undoLastRun();
    form().undoLastRun();
    QVERIFY(!form().canUndo());
    runWith({{11, QStringLiteral("55")}});
    runWith({{11, QStringLiteral("120")}});
    QVERIFY(dotsOf(form()) == dotsAfterSecond); // the same colours as before the undo
    QVERIFY(!form().canRedo());
}

void TestLesson::badFileChangesNothing()
{
    runWith({});
    const std::vector<Dot> dots = dotsOf(form());
    const Lesson before = lessonOf(form());
    const QString path = m_dir.filePath(QStringLiteral("rotto.quorvel"));
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(write(before).left(200));
    file.close();
    openFile(form(), path);
    QCOMPARE(m_messages->messages.size(), 1);
    QVERIFY(m_messages->messages.constFirst().contains(QStringLiteral("rotto.quorvel")));
    QVERIFY(dotsOf(form()) == dots);
    QVERIFY(lessonOf(form()) == before);
}

void TestLesson::picturesKeepTheRecipe_data()
{
    QTest::addColumn<QString>("name");
    QTest::newRow("png") << QStringLiteral("curva.png");
    QTest::newRow("svg") << QStringLiteral("curva.svg");
}

void TestLesson::picturesKeepTheRecipe()
{
    QFETCH(QString, name);
    runWith({{11, QStringLiteral("<&>\"è")}});
    runWith({{11, QStringLiteral("70")}});
    const Lesson saved = lessonOf(form());
    const QByteArray recipe = write(saved);
    const QString path = m_dir.filePath(name);
    const raster::RetainedDrawing &d = form().surface()->raster();
    const picture::Picture picture {d.drawing(), &d.record(), form().surface()->size()};
    const QString reason = picture::formatOf(path) == picture::Format::Png
        ? picture::writePng(picture.pixels, path, {}, recipe)
        : picture::writeSvg(picture, path, {}, recipe);
    QVERIFY2(reason.isEmpty(), qPrintable(reason));
    const ReadResult read = readLessonFile(path);
    QVERIFY2(read.lesson, qPrintable(read.error));
    QVERIFY(*read.lesson == saved);

    const QString plain = m_dir.filePath(QStringLiteral("senza.") + QFileInfo(name).suffix());
    QVERIFY(picture::formatOf(path) == picture::Format::Png
                ? picture::writePng(picture.pixels, plain).isEmpty()
                : picture::writeSvg(picture, plain).isEmpty());
    QVERIFY(readLessonFile(plain).error.contains(QStringLiteral("non porta")));
}

// The legend of pictures: a line per run with its colour, parameters and end.
void TestLesson::legendNamesEachRun()
{
    runWith({});
    runWith({{11, QStringLiteral("0")}, {4, QStringLiteral("1000")}}, true);
    const raster::RetainedDrawing &d = form().surface()->raster();
    picture::Picture picture {d.drawing(), &d.record(), form().surface()->size()};
    picture.legend = picture::legendOf(d.record());
    QCOMPARE(picture.legend.size(), std::size_t {2});
    QCOMPARE(picture.legend[0].colour, 2);
    QCOMPARE(picture.legend[1].colour, 3);
    QCOMPARE(picture.legend[0].text,
             QStringLiteral("1: epsilon 0,86, BETA 55, t 1, INX 1, INY 1, seno, ALFA 0…180 — "
                            "intervalli completati"));
    QVERIFY(picture.legend[1].text.contains(QStringLiteral("BETA 0, t 1, INX 1, INY 1, coseno")));
    QVERIFY(picture.legend[1].text.endsWith(QStringLiteral("uscita dal campo")));
    const QString path = m_dir.filePath(QStringLiteral("legenda.svg"));
    QVERIFY(picture::writeSvg(picture, path).isEmpty());
    QFile svg(path);
    QVERIFY(svg.open(QIODevice::ReadOnly));
    QVERIFY(QString::fromUtf8(svg.readAll()).contains(picture.legend[1].text));
}

void TestLesson::recentFilesKeepEight()
{
    for (int i = 0; i < 10; ++i)
        rememberFile(QStringLiteral("/tmp/%1.quorvel").arg(i));
    rememberFile(QStringLiteral("/tmp/5.quorvel"));
    const QStringList files = recentFiles();
    QCOMPARE(files.size(), kRecentCount);
    QCOMPARE(files.constFirst(), QStringLiteral("/tmp/5.quorvel"));
    QCOMPARE(files.count(QStringLiteral("/tmp/5.quorvel")), 1);
}

// Every example draws its whole ranges inside the field of an ordinary screen, without a box.
void TestLesson::examplesDrawWithinTheField()
{
    QVERIFY(examples().size() >= 8);
    for (const Example &e : examples()) {
        openLesson(form(), e.lesson, false);
        QVERIFY2(form().lastRun().end == model::RunSummary::End::RangesDone, qPrintable(e.name));
        QVERIFY2(dotsOf(form()).size() > 100, qPrintable(e.name));
        QVERIFY(lessonOf(form()).fields == e.lesson.fields);
    }
}

QTEST_MAIN(TestLesson)
#include "tst_lesson.moc"
