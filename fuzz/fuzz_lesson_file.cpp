// SPDX-FileCopyrightText: 2026 The QUORVEL developers
// SPDX-License-Identifier: GPL-3.0-or-later

// libFuzzer target for the lesson file reader of src/lesson/LessonFile.
//
// Any bytes: the reader either refuses them with a reason, or gives a lesson whose every value
// lies within the file's limits, and that lesson written again reads back as the same lesson
// (so that saving what was opened never loses or changes anything).

#include "lesson/LessonFile.h"

#include <QByteArray>

#include <cstddef>
#include <cstdint>
#include <cstdlib>

using namespace quorvel::lesson;

namespace {

void check(bool ok)
{
    if (!ok)
        std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char *>(data), static_cast<qsizetype>(size));
    const ReadResult r = read(bytes);
    if (!r.lesson) {
        check(!r.error.isEmpty());
        return 0;
    }
    const Lesson &l = *r.lesson;
    check(l.calibration >= kMinCalibration && l.calibration <= kMaxCalibration);
    check(l.runs.size() <= kMaxRuns);
    for (const SavedRun &run : l.runs) {
        check(run.dots >= 1 && run.dots <= kMaxDots);
        for (const QString &text : run.fields.texts)
            check(text.size() <= kMaxTextLength);
    }
    const ReadResult again = read(write(l));
    check(again.lesson && *again.lesson == l);
    return 0;
}
