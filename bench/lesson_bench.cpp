// SPDX-FileCopyrightText: 2026 The QUORVEL developers
// SPDX-License-Identifier: GPL-3.0-or-later

// Times the lesson files of the curve window on a 1920x1080 screen, with ten runs of 196,608
// points each: opening the lesson file (read, checked, every run drawn anew, the window
// repainted), and undoing the last run with nine below it (the nine drawn again from their
// recipes). Both ratios are against drawing the ten runs with ESEGUI after "Cancella ed
// esegui"'s clearing, the repaint included.
#include "BenchSupport.h"
#include "curve/Form4.h"
#include "lesson/LessonActions.h"
#include "surface/DrawingSurface.h"

#include <QFile>
#include <QStringList>
#include <QTemporaryDir>

#include <cstdio>
#include <cstdlib>
#include <utility>

namespace {

using namespace quorvel;
using namespace quorvel::curve;
using namespace quorvel::model;
using quorvel::bench::medianMs;

constexpr int kWidth = 1920;
constexpr int kHeight = 1080;
constexpr int kRuns = 10;

} // namespace

int main(int argc, char *argv[])
{
    bench::CurveWindowSession session(argc, argv, kWidth, kHeight);
    if (session.curveWindow() == nullptr)
        return 1;
    Form4 &form4 = *session.curveWindow();
    // A message would end a run early: the session records them instead of opening boxes.
    const QStringList &messages = session.messages();
    const QTemporaryDir dir; // the files written
    form4.setRunTiming({});
    bench::setFields(form4, bench::longRunFields());

    const auto drawTen = [&] {
        form4.clearToAxes();
        for (int run = 0; run < kRuns; ++run)
            form4.Command5_Click();
    };
    const double drawMs = medianMs(5, drawTen);
    const lesson::Lesson saved = lesson::lessonOf(form4);
    if (!messages.isEmpty() || saved.runs.size() != kRuns || saved.runs[0].dots != 196608) {
        std::fprintf(stderr, "the ten runs were not drawn whole\n");
        return 1;
    }
    const QString path = dir.filePath(QStringLiteral("lezione.quorvel"));
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(lesson::write(saved)) < 0)
        return 1;
    file.close();

    const double openMs = medianMs(11, [&] {
        const lesson::ReadResult read = lesson::readLessonFile(path);
        if (!read.lesson)
            std::abort();
        lesson::openLesson(form4, *read.lesson);
        form4.surface()->repaintNow();
    });
    if (!messages.isEmpty() || !(lesson::lessonOf(form4) == saved)) {
        std::fprintf(stderr, "the lesson did not come back as saved\n");
        return 1;
    }
    bench::report("lesson_open_10x196608", openMs, drawMs);

    const double undoMs = medianMs(
        11, [&] { form4.undoLastRun(); }, [&] { form4.redoRun(); });
    if (lesson::lessonOf(form4).runs.size() != kRuns) {
        std::fprintf(stderr, "undo and redo lost a run\n");
        return 1;
    }
    bench::report("lesson_undo_10x196608", undoMs, drawMs);
    return 0;
}
